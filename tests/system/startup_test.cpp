// The real Tidewhistle.exe started in a scratch program folder: common
// start-up, trace file, automatic start entry and the choice of role.
#include "support/message_box_probe.h"
#include "support/program_runner.h"
#include "support/registry_fixture.h"
#include "support/system_test.h"
#include "support/text_file.h"

#include <gtest/gtest.h>

#include <regex>

namespace {

const std::regex kRecordPrefix(
    R"(^\(pid=0x[0-9A-F]{8}, tid=0x[0-9A-F]{8}\) \d{2}/\d{2}/\d{4} \d{2}:\d{2}:\d{2}  \| \[Tiedwhistle\.exe\] )");

// The messages of the trace file's records, without their prefixes.
std::vector<std::string> TraceMessages(const std::string& path)
{
    std::string content;
    std::vector<std::string> messages;
    if (!ReadWholeFile(path, &content)) return messages;
    for (const std::string& line : SplitCrLfLines(content)) {
        std::smatch prefix;
        if (std::regex_search(line, prefix, kRecordPrefix)) messages.push_back(prefix.suffix());
    }
    return messages;
}

bool Contains(const std::vector<std::string>& messages, const std::string& message)
{
    return std::find(messages.begin(), messages.end(), message) != messages.end();
}

bool AnyStartsWith(const std::vector<std::string>& messages, const std::string& start)
{
    for (const std::string& m : messages)
        if (m.rfind(start, 0) == 0) return true;
    return false;
}

class ProgramStartup : public SystemTest {
protected:
    void SetUp() override
    {
        SystemTest::SetUp();
        settings.SetDword("DebugLogLevel", 10);
    }

    // Runs the program to its end with the arguments. The exit status is 0,
    // but for a task role that could not run its task (here: no task file), 1.
    void Run(const std::vector<std::string>& arguments, DWORD expectedExit = 0)
    {
        DWORD exitCode = 99;
        ASSERT_TRUE(RunToEnd(folder.Program(), arguments, 60000, &exitCode));
        EXPECT_EQ(exitCode, expectedExit);
    }
    void RunMissingTask(const std::string& name) { Run({name}, 1); }

    std::string TracePath() const { return folder.File("tw_debug.log"); }

    // Runs the task role with a name that is not a plain file name: the
    // refusal is shown to the person who typed it, and the process ends.
    void RunRefusedTaskName(const std::string& name)
    {
        ChildProcess child;
        ASSERT_TRUE(child.Start(folder.Program(), {name}));
        MessageBoxInfo box;
        ASSERT_TRUE(WaitForMessageBox(child.Id(), 30000, &box)) << name;
        EXPECT_EQ(box.text, "Task name refused: " + name +
                                " (a task name is a file name beside the program, not a device or a path).");
        DismissMessageBox(box);
        ASSERT_TRUE(child.Wait(30000)) << name;
        EXPECT_EQ(child.ExitCode(), 1u);
    }

    RegistryValuesOverride machineRun{HKEY_LOCAL_MACHINE, kRunKey};
    RegistryValuesOverride userRun{HKEY_CURRENT_USER, kRunKey};
};

}  // namespace

TEST_F(ProgramStartup, TraceFileHasHeaderSystemLinesPrefixAndVersionLine)
{
    Run({"/shutdown"});

    std::string content;
    ASSERT_TRUE(ReadWholeFile(TracePath(), &content));
    const std::vector<std::string> lines = SplitCrLfLines(content);
    ASSERT_GE(lines.size(), 5u);
    EXPECT_TRUE(std::regex_match(
        lines.front(),
        std::regex(R"(^Hollowmere trace file \(Tiedwhistle\.exe\)\. Created at \d{2}/\d{2}/\d{4} \d{2}:\d{2}:\d{2}\.$)")))
        << lines.front();
    EXPECT_EQ(lines.back(), "Trace file closed.");

    const std::vector<std::string> messages = TraceMessages(TracePath());
    ASSERT_EQ(messages.size(), lines.size() - 2) << "every line between header and closing line is a record";
    EXPECT_TRUE(std::regex_match(messages[0], std::regex(R"(Windows \d+\.\d+\.\d+, .*, platform: \d+)"))) << messages[0];
    EXPECT_TRUE(AnyStartsWith(messages, "Internet Explorer version: ") ||
                AnyStartsWith(messages, "Cannot obtain IE version"));
    EXPECT_TRUE(Contains(messages, "AddToAutoRun"));
    EXPECT_TRUE(Contains(messages, "Tidewhistle: version 1.0.4.2"));
    EXPECT_TRUE(AnyStartsWith(messages, "ShutdownInstances: OpenEvent(stop) failed - "));
}

TEST_F(ProgramStartup, StartUpStepsAreTracedInTheirOrder)
{
    Run({"/shutdown"});
    const std::vector<std::string> messages = TraceMessages(TracePath());
    auto at = [&](const std::string& m) { return std::find(messages.begin(), messages.end(), m) - messages.begin(); };
    EXPECT_LT(at("AddToAutoRun - done"), at("Tidewhistle: version 1.0.4.2"));
    EXPECT_LT(at("Tidewhistle: version 1.0.4.2"), static_cast<long long>(messages.size()));
}

TEST_F(ProgramStartup, NoTraceFileWhenDebugLogLevelIsZeroOrMissingOrNotANumber)
{
    settings.SetDword("DebugLogLevel", 0);
    Run({"/shutdown"});
    EXPECT_FALSE(FileExists(TracePath()));

    settings.Remove("DebugLogLevel");
    RunMissingTask("SomeTask");
    EXPECT_FALSE(FileExists(TracePath()));

    settings.SetString("DebugLogLevel", "10");  // wrong type: the default, 0
    Run({"/shutdown"});
    EXPECT_FALSE(FileExists(TracePath()));
}

TEST_F(ProgramStartup, LevelAbove40KeepsOnlyHeadersAndClosingLines)
{
    settings.SetDword("DebugLogLevel", 41);
    Run({"/shutdown"});
    Run({"/shutdown"});
    std::string content;
    ASSERT_TRUE(ReadWholeFile(TracePath(), &content));
    const std::vector<std::string> lines = SplitCrLfLines(content);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0].rfind("Hollowmere trace file (Tiedwhistle.exe). Created at ", 0), 0u);
    EXPECT_EQ(lines[1], "Trace file closed.");
    EXPECT_EQ(lines[2].rfind("Hollowmere trace file (Tiedwhistle.exe). Created at ", 0), 0u);
    EXPECT_EQ(lines[3], "Trace file closed.");
}

TEST_F(ProgramStartup, AutoRunWritesTheQuotedPathToTheMachineRunKeyAndClearsTheUserOne)
{
    settings.SetDword("AutoRun", 1);
    userRun.SetString(kRunValueName, "\"C:\\old\\Tidewhistle.exe\" /tray");
    Run({"/shutdown"});

    std::string entry;
    ASSERT_TRUE(ReadRegString(HKEY_LOCAL_MACHINE, kRunKey, kRunValueName, &entry));
    EXPECT_EQ(entry, "\"" + folder.Program() + "\" /tray");
    EXPECT_FALSE(RegValueExists(HKEY_CURRENT_USER, kRunKey, kRunValueName));

    const std::vector<std::string> messages = TraceMessages(TracePath());
    EXPECT_TRUE(Contains(messages, "add"));
    EXPECT_TRUE(Contains(messages, "HKLM - success, removing from HKCU"));
}

TEST_F(ProgramStartup, AutoRunOffRemovesBothEntriesAndAMissingEntryIsNoError)
{
    machineRun.SetString(kRunValueName, "\"C:\\somewhere\\Tidewhistle.exe\" /tray");
    userRun.SetString(kRunValueName, "\"C:\\somewhere\\Tidewhistle.exe\" /tray");
    settings.SetDword("AutoRun", 0);
    Run({"/shutdown"});
    EXPECT_FALSE(RegValueExists(HKEY_LOCAL_MACHINE, kRunKey, kRunValueName));
    EXPECT_FALSE(RegValueExists(HKEY_CURRENT_USER, kRunKey, kRunValueName));

    Run({"/shutdown"});  // nothing left to remove
    const std::vector<std::string> messages = TraceMessages(TracePath());
    EXPECT_TRUE(Contains(messages, "remove"));
    EXPECT_FALSE(AnyStartsWith(messages, "AddToAutoRun: failed to modify registry"));
}

TEST_F(ProgramStartup, AutoRunStoredAsTextCountsAsMissingAndTheEntryIsWritten)
{
    settings.SetString("AutoRun", "0");
    Run({"/shutdown"});
    EXPECT_TRUE(RegValueExists(HKEY_LOCAL_MACHINE, kRunKey, kRunValueName));
}

TEST_F(ProgramStartup, EveryRoleReappliesTheEntryAtStartUp)
{
    settings.SetDword("AutoRun", 1);
    RunMissingTask("AnyTask");
    ASSERT_TRUE(RegValueExists(HKEY_LOCAL_MACHINE, kRunKey, kRunValueName));
    DeleteRegValue(HKEY_LOCAL_MACHINE, kRunKey, kRunValueName);
    RunMissingTask("AnyTask");
    EXPECT_TRUE(RegValueExists(HKEY_LOCAL_MACHINE, kRunKey, kRunValueName));
}

TEST_F(ProgramStartup, TheOpenRoleHandsOnlyWebAddressesAndPreviewReportsToTheShell)
{
    char system[MAX_PATH] = {};
    ::GetSystemDirectoryA(system, MAX_PATH);
    for (const std::string& target : {std::string(system) + "\\notepad.exe", std::string("file:///C:/windows/notepad.exe"),
                                      folder.File("x.tsk"), folder.File("..\\x.preview.txt")}) {
        DWORD exitCode = 0;
        ASSERT_TRUE(RunToEnd(folder.Program(), {"/open", target}, 60000, &exitCode));
        EXPECT_EQ(exitCode, static_cast<DWORD>(ERROR_INVALID_PARAMETER)) << target;
    }
    EXPECT_TRUE(Contains(TraceMessages(TracePath()), "OpenWithShell - refused"));
}

TEST_F(ProgramStartup, ADataFolderSettingThatNamesNoFolderIsShownAndNothingIsWrittenElsewhere)
{
    settings.SetString("DataFolder", "%UNDEFINED_TW_FOLDER%\\Tidewhistle", REG_EXPAND_SZ);
    ChildProcess child;
    ASSERT_TRUE(child.Start(folder.Program(), {"SomeTask"}));
    MessageBoxInfo box;
    ASSERT_TRUE(WaitForMessageBox(child.Id(), 30000, &box));
    EXPECT_EQ(box.text, "The folder where Tidewhistle keeps your tasks and their history is set to "
                        "\"%UNDEFINED_TW_FOLDER%\\Tidewhistle\", which names no folder. Nothing was done. Please ask "
                        "your administrator to correct the DataFolder setting.");
    DismissMessageBox(box);
    ASSERT_TRUE(child.Wait(30000));
    EXPECT_EQ(child.ExitCode(), 1u);
    EXPECT_FALSE(FileExists(TracePath()));  // nothing beside the program instead
    Run({"/shutdown"});  // which needs no data folder
}

TEST_F(ProgramStartup, TwoArgumentsShowTheUsageMessageAndEndTheProcess)
{
    ChildProcess child;
    ASSERT_TRUE(child.Start(folder.Program(), {"one", "two"}));
    MessageBoxInfo box;
    ASSERT_TRUE(WaitForMessageBox(child.Id(), 30000, &box));
    EXPECT_EQ(box.caption, "Hollowmere Tidewhistle");
    EXPECT_EQ(box.text,
              "Wrong number of arguments\n\nHollowmere Tidewhistle command line usage:\n\n"
              "tidewhistle.exe\n\trun configuration console\n"
              "tidewhistle.exe \"taskname\"\n\trun designated task");
    DismissMessageBox(box);
    ASSERT_TRUE(child.Wait(30000));
    EXPECT_EQ(child.ExitCode(), 0u);

    const std::vector<std::string> messages = TraceMessages(TracePath());
    EXPECT_TRUE(Contains(messages, "CTidewhistleApp::RunCmdLine"));
    EXPECT_TRUE(Contains(messages, "RunCmdLine: Wrong number of agruments"));
}

TEST_F(ProgramStartup, RoleNamesAreCaseSensitiveSoOtherSpellingsAreTaskNames)
{
    for (const char* name : {"/TRAY", "/Tray", "/SHUTDOWN"}) {
        ASSERT_TRUE(::DeleteFileA(TracePath().c_str()) || !FileExists(TracePath()));
        RunRefusedTaskName(name);  // a task name, and one that cannot name a task file
        const std::vector<std::string> messages = TraceMessages(TracePath());
        EXPECT_TRUE(Contains(messages, "CTidewhistleApp::RunCmdLine")) << name;
        EXPECT_TRUE(AnyStartsWith(messages, "Task execution failed - Task name refused: ")) << name;
        EXPECT_FALSE(Contains(messages, "CTidewhistleApp::RunGUI")) << name;
        EXPECT_FALSE(AnyStartsWith(messages, "ShutdownInstances")) << name;
    }
}

TEST_F(ProgramStartup, ADeviceOrAPathAsTaskNameIsRefusedAndNeverOpened)
{
    // A valid task file outside the program folder, and a device that would
    // block the task process for good if it were opened.
    ScratchFolder spare;
    const std::string outside = "..\\" + spare.Path().substr(spare.Path().rfind('\\') + 1) + "\\x";
    ASSERT_TRUE(WriteWholeFile(spare.File("x.tsk"),
                               "TaskName=x\r\nScheduleEnabled=0\r\nBaseScheduleTime=2026/ 1/ 1  0: 0: 0\r\n"
                               "RunOnceTime=2026/ 1/ 1  0: 0: 0\r\nRunAtStartup=0\r\nRunAtShutdown=0\r\n"
                               "ScheduleType=0\r\nRunEveryNumber=1\r\nRunEveryUnit=1\r\nExtendedDataCount=0\r\n"
                               "EnabledTask=5D793A96-4BF6-495E-A8AF-299E203194B6\r\n"));
    for (const std::string& name : {std::string("COM1"), std::string("aux"), outside}) RunRefusedTaskName(name);
    EXPECT_FALSE(FileExists(spare.File("x.log_file")));
    EXPECT_FALSE(FileExists(spare.File("x.run_time")));
}

TEST_F(ProgramStartup, AQuotedTaskNameWithBlanksArrivesAsOneArgument)
{
    RunMissingTask("Evening clean up");
    const std::vector<std::string> messages = TraceMessages(TracePath());
    EXPECT_TRUE(Contains(messages, "CTidewhistleApp::RunCmdLine"));
    EXPECT_FALSE(Contains(messages, "RunCmdLine: Wrong number of agruments"));
    bool namedWhole = false;
    for (const std::string& m : messages)
        if (m.rfind("Task execution failed - ", 0) == 0 && m.find("Evening clean up") != std::string::npos)
            namedWhole = true;
    EXPECT_TRUE(namedWhole);
}

TEST_F(ProgramStartup, ATraceFileThatCannotBeWrittenDoesNotStopTheProgram)
{
    // A folder in the trace file's place: the file cannot be opened.
    ASSERT_TRUE(::CreateDirectoryA(TracePath().c_str(), nullptr));
    settings.SetDword("AutoRun", 1);
    Run({"/shutdown"});
    // Start-up went on past the tracer: the automatic start entry was written.
    EXPECT_TRUE(RegValueExists(HKEY_LOCAL_MACHINE, kRunKey, kRunValueName));
    EXPECT_TRUE(::GetFileAttributesA(TracePath().c_str()) & FILE_ATTRIBUTE_DIRECTORY);
}

TEST_F(ProgramStartup, SeveralProcessesAppendWholeRecordsToOneTraceFile)
{
    std::vector<ChildProcess> children(4);
    for (ChildProcess& child : children) ASSERT_TRUE(child.Start(folder.Program(), {"/shutdown"}));
    for (ChildProcess& child : children) ASSERT_TRUE(child.Wait(60000));

    std::string content;
    ASSERT_TRUE(ReadWholeFile(TracePath(), &content));
    int headers = 0;
    int closings = 0;
    for (const std::string& line : SplitCrLfLines(content)) {
        if (line.rfind("Hollowmere trace file (", 0) == 0) ++headers;
        else if (line == "Trace file closed.") ++closings;
        else EXPECT_TRUE(std::regex_search(line, kRecordPrefix)) << line;
    }
    EXPECT_EQ(headers, 4);
    EXPECT_EQ(closings, 4);
}

TEST_F(ProgramStartup, TheTaskRoleReadsTheInventoryAtStartUpAndShutdownNeedsNone)
{
    RunMissingTask("SomeTask");
    std::vector<std::string> messages = TraceMessages(TracePath());
    auto at = [&](const std::string& m) { return std::find(messages.begin(), messages.end(), m) - messages.begin(); };
    ASSERT_LT(at("CItemInventory::Initialize - done"), static_cast<long long>(messages.size()));
    EXPECT_LT(at("Tidewhistle: version 1.0.4.2"), at("CItemInventory::Initialize"));

    ASSERT_TRUE(::DeleteFileA(TracePath().c_str()));
    ASSERT_TRUE(::DeleteFileA(folder.File("task_inventory.ini").c_str()));
    Run({"/shutdown"});
    messages = TraceMessages(TracePath());
    EXPECT_FALSE(Contains(messages, "CItemInventory::Initialize"));
    EXPECT_TRUE(Contains(messages, "ShutdownInstances: OpenEvent(stop) failed - 2"));
}

TEST_F(ProgramStartup, WithoutItsInventoryTheTaskRoleTracesTheErrorAndEnds)
{
    ASSERT_TRUE(::DeleteFileA(folder.File("task_inventory.ini").c_str()));
    RunMissingTask("SomeTask");
    const std::vector<std::string> messages = TraceMessages(TracePath());
    EXPECT_TRUE(Contains(messages, "Inventory initialization failed - Cannot read task inventory (Error: 2). "
                                   "Please contact technical support."));
    EXPECT_FALSE(Contains(messages, "CTidewhistleApp::RunCmdLine"));
}

TEST_F(ProgramStartup, AMalformedInventoryIsShownByTheResidentRoleWhichThenEnds)
{
    ASSERT_TRUE(WriteWholeFile(folder.File("task_inventory.ini"), "[ITEM]\r\nGUID=not a guid\r\n[ITEM]\r\n"));
    ChildProcess child;
    ASSERT_TRUE(child.Start(folder.Program(), {"/tray"}));
    MessageBoxInfo box;
    ASSERT_TRUE(WaitForMessageBox(child.Id(), 30000, &box));
    EXPECT_EQ(box.caption, "Hollowmere Tidewhistle");
    EXPECT_EQ(box.text, "bad GUID: not a guid");
    DismissMessageBox(box);
    ASSERT_TRUE(child.Wait(30000));
    EXPECT_EQ(child.ExitCode(), 0u);
    EXPECT_FALSE(Contains(TraceMessages(TracePath()), "CTidewhistleApp::RunGUI"));
}
