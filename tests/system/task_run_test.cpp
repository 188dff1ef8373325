// Task runs through the real program and plug-in, in a scratch program
// folder: the session records each run leaves, the module cache, the start
// and stop handshakes between processes.
#include "jobapi/extkeys.h"
#include "common/guid.h"
#include "common/handles.h"
#include "common/namedevent.h"
#include "common/usersid.h"
#include "runtime/taskprocess.h"
#include "tasks/taskconfig.h"
#include "support/eventually.h"
#include "support/unix_side.h"
#include "support/foreign_event.h"
#include "support/program_runner.h"
#include "support/raised.h"
#include "support/scratch_folder.h"
#include "support/session_file.h"
#include "support/system_test.h"
#include "support/text_file.h"

#include <windows.h>
#include <gtest/gtest.h>

#include <chrono>
#include <ctime>

namespace {

const char kNullJob[] = "4D6A9D0C-84AA-457e-B3EA-BE99FFFA4FC2";
const char kFailInit[] = "7E570000-0000-4000-8000-000000000001";
const char kFailRun[] = "7E570000-0000-4000-8000-000000000002";
const char kReport[] = "7E570000-0000-4000-8000-000000000003";
const char kWait[] = "7E570000-0000-4000-8000-000000000004";
const char kCount[] = "7E570000-0000-4000-8000-000000000005";
const char kThrowOther[] = "7E570000-0000-4000-8000-000000000006";

// A program folder with the test plug-in beside the real one, and an
// inventory of the test's own.
class TaskRun : public SystemTest {
protected:
    TaskRun() : SystemTest("SysTask_") {}

    void SetUp() override
    {
        SystemTest::SetUp();
        settings.SetDword("DebugLogLevel", 20);
    }

    void TearDown() override
    {
        // Never leave a task process behind.
        if (IsTaskRunning(taskName)) {
            try {
                StopTask(taskName);
            } catch (...) {
            }
        }
    }

    void WriteInventory(const std::vector<InventoryEntry>& items) { folder.WriteInventory(items); }
    void WriteTask(const std::string& name, const std::vector<std::string>& enabled,
                   const std::vector<std::pair<std::string, std::string>>& extended = {})
    {
        folder.WriteTask(name, enabled, extended);
    }
    std::vector<RawSessionRecord> RunTask(const std::string& name) { return folder.RunTask(name); }
    std::string SessionFile(const std::string& name) const { return folder.SessionFile(name); }
    std::string StatusFile(const std::string& name) const { return folder.StatusFile(name); }
    std::string Trace() const { return folder.Trace(); }
};

}  // namespace

TEST_F(TaskRun, ATaskWithNoEnabledItemsWritesExactlyFourRecords)
{
    WriteInventory({{TestItemGuid(1), "Nothing", "Sweepkit.dll", kNullJob, ""}});
    WriteTask(taskName, {});
    const std::time_t before = std::time(nullptr);
    const std::vector<RawSessionRecord> records = RunTask(taskName);
    const std::time_t after = std::time(nullptr);

    EXPECT_EQ(Messages(records), (std::vector<std::string>{"Session started", "Loading job list.",
                                                           "Starting cleanup jobs.", "Session finished"}));
    ASSERT_EQ(records.size(), 4u);
    for (size_t i = 0; i < records.size(); ++i) {
        EXPECT_EQ(records[i].magic, "HOTW");
        EXPECT_EQ(records[i].version, 1u);
        EXPECT_EQ(records[i].type, 2);
        EXPECT_TRUE(records[i].messageZeroPadded);
        EXPECT_TRUE(records[i].reservedZero);
        EXPECT_GE(records[i].time, before - 2);
        EXPECT_LE(records[i].time, after + 2);
        EXPECT_EQ(records[i].sequence, records[0].sequence + i);
    }
    // Numbered from the session's start time plus one.
    EXPECT_GE(static_cast<std::int64_t>(records[0].sequence), before + 1 - 3601);
    EXPECT_LE(static_cast<std::int64_t>(records[0].sequence), after + 1);
    EXPECT_TRUE(::GetFileAttributesA(SessionFile(taskName).c_str()) & FILE_ATTRIBUTE_HIDDEN);
    // The task status file goes with the process.
    EXPECT_FALSE(FileExists(StatusFile(taskName)));
    EXPECT_FALSE(IsTaskRunning(taskName));
}

TEST_F(TaskRun, ItemsRunInInventoryOrderWhateverTheTaskFileSays)
{
    WriteInventory({{TestItemGuid(3), "Third in file", "Sweepkit.dll", kNullJob, ""},
                    {TestItemGuid(1), "Not enabled", "Sweepkit.dll", kNullJob, ""},
                    {TestItemGuid(2), "Second", "twtestjobs.dll", kCount, ""}});
    WriteTask(taskName, {TestItemGuid(2), TestItemGuid(3)});
    const std::vector<std::string> messages = Messages(RunTask(taskName));
    EXPECT_EQ(messages, (std::vector<std::string>{
                            "Session started", "Loading job list.", "Starting cleanup jobs.",
                            "Starting job: Third in file...", "Job 'Third in file' finished.", "Starting job: Second...",
                            "jobs created since load: 1", "Job 'Second' finished.", "Run totals: Removed nothing.",
                            "Session finished"}));
}

TEST_F(TaskRun, EachKindOfItemFailureIsOneErrorRecordAndTheNextItemRuns)
{
    // A module without the export, beside the program: modules load from there only.
    char system[MAX_PATH] = {};
    ::GetSystemDirectoryA(system, MAX_PATH);
    ASSERT_TRUE(::CopyFileA((std::string(system) + "\\kernel32.dll").c_str(), folder.File("NoExport.dll").c_str(), FALSE));
    WriteInventory({{TestItemGuid(1), "Missing module", "NoSuchModule.dll", kNullJob, ""},
                    {TestItemGuid(2), "No export", "NoExport.dll", kNullJob, ""},
                    {TestItemGuid(3), "Unknown class", "Sweepkit.dll", "0BADC1A5-0000-4000-8000-000000000000", ""},
                    {TestItemGuid(4), "Bad settings", "twtestjobs.dll", kFailInit, ""},
                    {TestItemGuid(5), "Failing run", "twtestjobs.dll", kFailRun, ""},
                    {TestItemGuid(6), "Foreign exception", "twtestjobs.dll", kThrowOther, ""},
                    {TestItemGuid(7), "Last", "Sweepkit.dll", kNullJob, ""}});
    WriteTask(taskName, {TestItemGuid(1), TestItemGuid(2), TestItemGuid(3), TestItemGuid(4), TestItemGuid(5), TestItemGuid(6), TestItemGuid(7)});
    const std::vector<RawSessionRecord> records = RunTask(taskName);
    const std::vector<std::string> messages = Messages(records);
    ASSERT_EQ(messages.size(), 3u + 7 * 2 + 2);

    EXPECT_EQ(messages[4], "Job execution failure (Failed to load extension module (error 126).).");
    EXPECT_EQ(messages[6], "Job execution failure (Invalid task information - 127.).");
    EXPECT_EQ(messages[8], "Job execution failure (Cannot create job (-2147483648).).");
    EXPECT_EQ(messages[10], "Job execution failure (-2147483648: test settings are invalid).");
    EXPECT_EQ(messages[12], "Job execution failure (-2147483648: test run failed).");
    EXPECT_EQ(messages[14], "Job execution failure (-2147483648: Unexpected failure in the cleanup job.).");
    for (size_t i : {4, 6, 8, 10, 12, 14}) EXPECT_EQ(records[i].type, 0) << i;
    EXPECT_EQ(messages[16], "Job 'Last' finished.");
    // Each item that could not start or failed is a failure of the run.
    EXPECT_EQ(messages[17], "Run totals: Removed nothing; 6 failed.");
    EXPECT_EQ(messages.back(), "Session finished");
}

TEST_F(TaskRun, ItemsOfOneModuleShareOneLoadAndAnotherModuleInBetweenReloadsIt)
{
    WriteInventory({{TestItemGuid(1), "Count A", "twtestjobs.dll", kCount, ""},
                    {TestItemGuid(2), "Count B", "twtestjobs.dll", kCount, ""},
                    {TestItemGuid(3), "Other module", "Sweepkit.dll", kNullJob, ""},
                    {TestItemGuid(4), "Count C", "twtestjobs.dll", kCount, ""}});
    WriteTask(taskName, {TestItemGuid(1), TestItemGuid(2), TestItemGuid(3), TestItemGuid(4)});
    std::vector<std::string> counts;
    for (const std::string& m : Messages(RunTask(taskName)))
        if (m.rfind("jobs created since load: ", 0) == 0) counts.push_back(m.substr(25));
    EXPECT_EQ(counts, (std::vector<std::string>{"1", "2", "1"}));
}

TEST_F(TaskRun, JobsReportThroughTheSinkAndReadTheTaskExtendedData)
{
    WriteInventory({{TestItemGuid(1), "Reporter", "twtestjobs.dll", kReport, "cfg text"}});
    WriteTask(taskName, {TestItemGuid(1)}, {{GuidToString(kTempFilesAgeKey), "0 12"}});
    const std::vector<RawSessionRecord> records = RunTask(taskName);
    ASSERT_EQ(records.size(), 12u);
    EXPECT_EQ(records[4].message, "warning from job");
    EXPECT_EQ(records[4].type, 1);
    EXPECT_EQ(records[5].message, "error from job");
    EXPECT_EQ(records[5].type, 0);
    EXPECT_EQ(records[6].message, "config=cfg text");
    EXPECT_EQ(records[7].message, "age=0 12");
    EXPECT_EQ(records[8].message, std::string(199, 'L'));  // a 250-character message keeps 199
    EXPECT_EQ(records[9].message, "Job 'Reporter' finished.");
}

TEST_F(TaskRun, AStopRequestLetsTheRunningJobFinishAndSkipsTheRest)
{
    WriteInventory({{TestItemGuid(1), "Slow", "twtestjobs.dll", kWait, "3000"},
                    {TestItemGuid(2), "Never started", "twtestjobs.dll", kCount, ""}});
    WriteTask(taskName, {TestItemGuid(1), TestItemGuid(2)});
    StartTask(taskName, folder.Program());
    EXPECT_TRUE(IsTaskRunning(taskName));
    EXPECT_TRUE(FileExists(StatusFile(taskName)));
    // Ask for the stop while the slow job runs.
    std::vector<RawSessionRecord> records;
    const auto slowJobStarted = [&] {
        ReadSessionFile(SessionFile(taskName), &records);
        return !records.empty() && records.back().message == "Starting job: Slow...";
    };
    ASSERT_TRUE(Eventually(slowJobStarted, kAnswerTimeout)) << (records.empty() ? "no records" : records.back().message);
    StopTask(taskName);
    EXPECT_FALSE(IsTaskRunning(taskName));

    ASSERT_TRUE(ReadSessionFile(SessionFile(taskName), &records));
    EXPECT_EQ(Messages(records),
              (std::vector<std::string>{"Session started", "Loading job list.", "Starting cleanup jobs.",
                                        "Starting job: Slow...", "Job 'Slow' finished.", "Run totals: Removed nothing.",
                                        "Session finished"}));
    EXPECT_FALSE(FileExists(StatusFile(taskName)));
}

TEST_F(TaskRun, StartTaskOfARunningTaskReturnsAtOnce)
{
    WriteInventory({{TestItemGuid(1), "Slow", "twtestjobs.dll", kWait, "6000"}});
    WriteTask(taskName, {TestItemGuid(1)});
    StartTask(taskName, folder.Program());
    StartTask(taskName, folder.Program());
    // It came back while the first run still works on its six-second job,
    // without starting a second process.
    EXPECT_TRUE(IsTaskRunning(taskName));
    std::vector<RawSessionRecord> records;
    ReadSessionFile(SessionFile(taskName), &records);  // may not hold a record yet
    for (const RawSessionRecord& record : records) EXPECT_NE(record.message, "Session finished");
    StopTask(taskName);
    ASSERT_TRUE(ReadSessionFile(SessionFile(taskName), &records));
    const std::vector<std::string> messages = Messages(records);
    EXPECT_EQ(std::count(messages.begin(), messages.end(), "Session started"), 1);
    EXPECT_EQ(folder.Trace().find("Task status file creation failure"), std::string::npos);
}

TEST_F(TaskRun, AProcessThatCannotLoadItsTaskMakesStartTaskFailFast)
{
    WriteInventory({{TestItemGuid(1), "Nothing", "Sweepkit.dll", kNullJob, ""}});
    const auto start = std::chrono::steady_clock::now();
    // No task file.
    const std::string error = RaisedText<std::exception>([&] { StartTask(taskName, folder.Program()); });
    EXPECT_EQ(error.rfind("Task initialization failure (Error ", 0), 0u) << error;
    EXPECT_EQ(error.find("(Error 258)"), std::string::npos);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(8));
    EXPECT_NE(Trace().find("Task execution failed - Can't open file "), std::string::npos);
}

TEST_F(TaskRun, StopTaskOfATaskThatIsNotRunningFails)
{
    EXPECT_EQ(RaisedText<std::exception>([&] { StopTask(taskName); }),
              "Cannot stop task (error 2). Please contact technical support.");
}

TEST_F(TaskRun, ATaskNameThatIsNotAPlainFileNameIsRefused)
{
    // A quote would split the argument, a device would block the task
    // process for good, a path part would reach outside the program folder.
    for (const char* name : {"Evening \"late\"", "COM1", "aux.tsk", "..\\spare\\x", "C:\\x", "x."}) {
        EXPECT_EQ(RaisedText<std::exception>([&] { StartTask(name, folder.Program()); }),
                  "Cannot run task (error 123). Please contact technical support.")
            << name;
    }
}

TEST_F(TaskRun, EveryTaskNameAcceptedRunsAndARunThatCannotStartItsSessionSaysSo)
{
    WriteInventory({{TestItemGuid(1), "Nothing", "Sweepkit.dll", kNullJob, ""}});
    const std::string longest = "L" + std::string(kMaxTaskNameLength - 1, 'n');
    WriteTask(longest, {TestItemGuid(1)});
    DWORD exitCode = 99;
    ASSERT_TRUE(RunToEnd(folder.Program(), {longest}, 30000, &exitCode));
    EXPECT_EQ(exitCode, 0u);
    std::vector<RawSessionRecord> records;
    ASSERT_TRUE(ReadSessionFile(SessionFile(longest), &records));
    EXPECT_EQ(records.back().message, "Session finished");
    // One character more is refused before any process starts.
    EXPECT_EQ(RaisedText<std::exception>([&] { StartTask(longest + "n", folder.Program()); }),
              "Cannot run task (error 206). Please contact technical support.");

    // The user's own object of another kind holding the session event's
    // name: the run cannot start its session, and its records and exit
    // status say so.
    WriteTask(taskName, {TestItemGuid(1)});
    CPrivateSecurity own(CPrivateSecurity::For::Object);
    UniqueHandle squatter(
        ::CreateMutexA(own.Attributes(), FALSE, UserObjectName(SessionEventName(taskName)).c_str()));
    ASSERT_TRUE(squatter.IsValid());
    ASSERT_TRUE(RunToEnd(folder.Program(), {taskName}, 30000, &exitCode));
    EXPECT_EQ(exitCode, 1u);
    ASSERT_TRUE(ReadSessionFile(SessionFile(taskName), &records));
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records.front().message, "Session started");
    EXPECT_EQ(records.back().message, "The task could not run: " + FormatInternalError(8, 6));
    EXPECT_EQ(records.back().type, 0);
    squatter.Reset();

    // Another account's object under the name, open to the user or not:
    // refused, never trusted.
    for (ForeignHold hold : {ForeignHold::OpenEvent, ForeignHold::ClosedEvent, ForeignHold::OtherKind}) {
        SCOPED_TRACE(static_cast<int>(hold));
        UniqueHandle foreign = ForeignObject(UserObjectName(SessionEventName(taskName)), hold);
        ASSERT_TRUE(foreign.IsValid());
        EXPECT_FALSE(IsTaskRunning(taskName));
        ASSERT_TRUE(RunToEnd(folder.Program(), {taskName}, 30000, &exitCode));
        EXPECT_EQ(exitCode, 1u);
        ASSERT_TRUE(ReadSessionFile(SessionFile(taskName), &records));
        EXPECT_EQ(Messages(records), (std::vector<std::string>{"Session started",
                                                               "The task could not run: Another account holds a name "
                                                               "this task's run uses, so the task did not run."}));
    }
}

TEST_F(TaskRun, ALinkOrAHardLinkAtTheProgramsOwnFilesIsNeverWrittenThrough)
{
    if (UnixPathOf("C:\\").empty()) GTEST_SKIP() << "the links are made from the Linux side of Wine";
    ScratchFolder elsewhere;
    WriteInventory({{TestItemGuid(1), "Nothing", "Sweepkit.dll", kNullJob, ""}});
    const std::string linked = taskName + "_Linked";
    const std::string hard = taskName + "_Hard";
    WriteTask(linked, {TestItemGuid(1)});
    WriteTask(hard, {TestItemGuid(1)});
    // Two tasks the resident scheduler starts, recording their last runs.
    TaskSchedule startup;
    startup.atStartup = true;
    folder.WriteScheduledTask("LastLinked", "LastLinked", startup, {TestItemGuid(1)});
    folder.WriteScheduledTask("LastHard", "LastHard", startup, {TestItemGuid(1)});
    // Canaries outside, and at the files' names links to them: symbolic
    // links (which Wine opens as their targets) and hard links.
    const std::vector<std::pair<std::string, bool>> planted = {
        {linked + ".log_file", false},   {linked + ".preview.txt", false}, {"TS_LRT_LastLinked.dat", false},
        {linked + ".run_time", false},   {"tw_debug.log", false},          {hard + ".log_file", true},
        {hard + ".preview.txt", true},   {"TS_LRT_LastHard.dat", true},    {hard + ".preview_log", true}};
    for (size_t i = 0; i < planted.size(); ++i) {
        const std::string canary = elsewhere.File("canary" + std::to_string(i));
        ASSERT_TRUE(WriteWholeFile(canary, "precious"));
        const std::string command = UnixTool("ln") + (planted[i].second ? " \"" : " -s \"") + UnixPathOf(canary) +
                                    "\" \"" + UnixPathOf(folder.Path()) + "/" + planted[i].first + "\"";
        ASSERT_TRUE(RunUnixCommand(command));
        ASSERT_TRUE(Eventually([&] { return FileExists(folder.File(planted[i].first)); }, kAppearTimeout));
    }

    // A link to a name in the same folder that differs only in capitals.
    WriteTask("Twin", {TestItemGuid(1)});
    ASSERT_TRUE(WriteWholeFile(folder.File("TWIN.LOG_FILE"), "precious"));
    ASSERT_TRUE(RunUnixCommand(UnixTool("ln") + " -s TWIN.LOG_FILE \"" + UnixPathOf(folder.Path()) + "/Twin.log_file\""));

    DWORD exitCode = 0;
    // A run whose session data file stands elsewhere does not run: nothing
    // of it is written through the link.
    for (const std::string& task : {linked, std::string("Twin")}) {
        ASSERT_TRUE(RunToEnd(folder.Program(), {task}, 30000, &exitCode));
        EXPECT_EQ(exitCode, 1u) << task;
    }
    std::string twinContent;
    ASSERT_TRUE(ReadWholeFile(folder.File("TWIN.LOG_FILE"), &twinContent));
    EXPECT_EQ(twinContent, "precious");
    ASSERT_TRUE(RunToEnd(folder.Program(), {"/preview", linked}, 30000, &exitCode));
    // Hard links are moved aside and the files made anew: the runs go on.
    ASSERT_TRUE(RunToEnd(folder.Program(), {"/preview", hard}, 30000, &exitCode));
    EXPECT_EQ(exitCode, 0u);
    ASSERT_TRUE(RunToEnd(folder.Program(), {hard}, 30000, &exitCode));
    EXPECT_EQ(exitCode, 0u);
    std::vector<RawSessionRecord> records;
    ASSERT_TRUE(ReadSessionFile(SessionFile(hard), &records));
    EXPECT_EQ(records.back().message, "Session finished");
    // The resident scheduler records the last runs: never through a link.
    ChildProcess resident;
    ASSERT_TRUE(resident.Start(folder.Program(), {"/tray"}));
    EXPECT_TRUE(Eventually([&] {
        std::string content;
        return ReadWholeFile(folder.File("TS_LRT_LastHard.dat"), &content) && content.size() == 4;
    }, 30000));
    EXPECT_TRUE(Eventually([&] {
        std::vector<RawSessionRecord> done;
        return ReadSessionFile(SessionFile("LastLinked"), &done) && !done.empty() &&
               done.back().message == "Session finished" && !IsTaskRunning("LastLinked");
    }, 30000));
    ASSERT_TRUE(RunToEnd(folder.Program(), {"/shutdown"}, 30000, &exitCode));
    EXPECT_TRUE(resident.Wait(30000));

    for (size_t i = 0; i < planted.size(); ++i) {
        std::string content;
        EXPECT_TRUE(ReadWholeFile(elsewhere.File("canary" + std::to_string(i)), &content)) << planted[i].first;
        EXPECT_EQ(content, "precious") << planted[i].first;
    }
    // Links are removed from the Unix side.
    for (const auto& [name, isHard] : planted) RunUnixCommand(UnixTool("rm") + " -f \"" + UnixPathOf(folder.Path()) + "/" + name + "\"");
    RunUnixCommand(UnixTool("rm") + " -f \"" + UnixPathOf(folder.Path()) + "/Twin.log_file\"");
}

TEST_F(TaskRun, ATaskNameWithBlanksIsPassedWhole)
{
    const std::string name = taskName + " with blanks";
    WriteInventory({{TestItemGuid(1), "Nothing", "Sweepkit.dll", kNullJob, ""}});
    WriteTask(name, {TestItemGuid(1)});
    StartTask(name, folder.Program());
    Eventually([&] { return !IsTaskRunning(name); }, kAppearTimeout);
    std::vector<RawSessionRecord> records;
    ASSERT_TRUE(ReadSessionFile(SessionFile(name), &records));
    EXPECT_EQ(records.back().message, "Session finished");
}

TEST_F(TaskRun, KillingATaskProcessRemovesItsStatusFileAndSessionEvent)
{
    WriteInventory({{TestItemGuid(1), "Slow", "twtestjobs.dll", kWait, "30000"}});
    WriteTask(taskName, {TestItemGuid(1)});
    ChildProcess task;
    ASSERT_TRUE(task.Start(folder.Program(), {taskName}));
    ASSERT_TRUE(Eventually([&] { return IsTaskRunning(taskName); }, kAppearTimeout));
    const DWORD attributes = ::GetFileAttributesA(StatusFile(taskName).c_str());
    ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(attributes & FILE_ATTRIBUTE_HIDDEN);

    task.Kill();
    EXPECT_FALSE(IsTaskRunning(taskName));
    EXPECT_FALSE(FileExists(StatusFile(taskName)));
}

TEST_F(TaskRun, ASecondProcessOfTheSameTaskFailsOnTheStatusFile)
{
    WriteInventory({{TestItemGuid(1), "Slow", "twtestjobs.dll", kWait, "3000"}});
    WriteTask(taskName, {TestItemGuid(1)});
    StartTask(taskName, folder.Program());

    DWORD exitCode = 0;
    ASSERT_TRUE(RunToEnd(folder.Program(), {taskName}, 30000, &exitCode));
    EXPECT_EQ(exitCode, 1u);  // it could not run the task
    EXPECT_NE(Trace().find("Task status file creation failure - 32"), std::string::npos);
    EXPECT_NE(Trace().find("Error in task execution - Internal error 4 (details: 32)."), std::string::npos);
    EXPECT_TRUE(IsTaskRunning(taskName));  // the first one runs on, its session file untouched

    StopTask(taskName);
    std::vector<RawSessionRecord> records;
    ASSERT_TRUE(ReadSessionFile(SessionFile(taskName), &records));
    EXPECT_EQ(records.back().message, "Session finished");
    EXPECT_EQ(records.front().message, "Session started");
}

