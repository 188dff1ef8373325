// Task files: the exact format, lenient reads, every error of a malformed
// file, and saves that never leave a half-written file. The tests run with
// TZ=Europe/Berlin, so local times have daylight saving.
#include "tasks/taskconfig.h"
#include "common/handles.h"

#include "common/error.h"
#include "jobapi/extkeys.h"
#include "common/guid.h"
#include "common/paths.h"
#include "support/raised.h"
#include "support/scratch_folder.h"
#include "support/text_file.h"
#include "tasks/configfile.h"
#include "tasks/catalogueitems.h"
#include "tasks/taskfiles.h"

#include <windows.h>
#include <gtest/gtest.h>

#include <set>
#include <thread>

namespace {

// The extended-data keys sort by their first bytes: the age key's is 0xE9,
// the keep list's 0xFD.
const std::string kAgeKey = GuidToString(kTempFilesAgeKey);
const std::string kCookiesKey = GuidToString(kCookieKeepListKey);
const char kItemA[] = "AACEE220-9942-4E90-8CD0-F8A0FBAB496E";       // first byte 0x20
const char kItemB[] = "0000FFFF-0000-0000-0000-000000000001";       // first byte 0xFF
const time32 kFebruary6th = 1139213100;                             // 2006-02-06 09:05:00 in Berlin

// Task files are kept beside the running program, here the test executable:
// each test uses a name of its own and removes what it wrote.
class TaskFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        name = std::string("UnitTask_") + ::testing::UnitTest::GetInstance()->current_test_info()->name();
        path = GetTaskFilePath(CTaskName::Checked(name));
        ::DeleteFileA(path.c_str());
    }
    void TearDown() override { ::DeleteFileA(path.c_str()); }

    // Writes a task file from its lines (CR LF added) to the scratch folder.
    std::string WriteLines(const std::vector<std::string>& lines)
    {
        std::string content;
        for (const std::string& line : lines) content += line + "\r\n";
        const std::string file = scratch.File("task.tsk");
        EXPECT_TRUE(WriteWholeFile(file, content));
        return file;
    }

    std::vector<std::string> ValidLines() const
    {
        return {"TaskName=Evening", "ScheduleEnabled=0", "BaseScheduleTime=2006/ 2/ 6  9: 5: 0",
                "RunOnceTime=2006/ 2/ 6  9: 5: 0", "RunAtStartup=0", "RunAtShutdown=0", "ScheduleType=0",
                "RunEveryNumber=1", "RunEveryUnit=1", "ExtendedDataCount=0",
                std::string("EnabledTask=") + kItemA, std::string("EnabledTask=") + kTaskFileEndMarker};
    }

    std::string LoadError(const std::vector<std::string>& lines)
    {
        const std::string file = WriteLines(lines);
        CTaskConfig task;
        return RaisedText([&] { task.Load(file); });
    }

    std::string name;
    std::string path;
    ScratchFolder scratch;
};

}  // namespace

TEST_F(TaskFile, SavesExactlyTheSpecifiedBytes)
{
    CTaskConfig task;
    task.Name = name;
    task.Schedule.base = kFebruary6th;
    task.Schedule.runOnce = 1782900000;  // 2026-07-01 12:00:00 summer time in Berlin
    task.Schedule.enabled = true;
    task.Schedule.atShutdown = true;
    task.Schedule.type = 1;
    task.Schedule.number = -12;
    task.Schedule.unit = 3;
    task.SetExtendedData(kCookieKeepListKey, "616200");
    task.SetExtendedData(kTempFilesAgeKey, "1 48");
    task.EnableItem(StringToGuid(kItemB), true);
    task.EnableItem(StringToGuid(kItemA), true);
    task.Save();
    EXPECT_FALSE(task.IsModified());

    std::string content;
    ASSERT_TRUE(ReadWholeFile(path, &content));
    EXPECT_EQ(content, "TaskName=" + name + "\r\n"
                       "ScheduleEnabled=1\r\n"
                       "BaseScheduleTime=2006/ 2/ 6  9: 5: 0\r\n"
                       "RunOnceTime=2026/ 7/ 1 12: 0: 0\r\n"
                       "RunAtStartup=0\r\n"
                       "RunAtShutdown=1\r\n"
                       "ScheduleType=1\r\n"
                       "RunEveryNumber=-12\r\n"
                       "RunEveryUnit=3\r\n"
                       "ExtendedDataCount=2\r\n"
                       "ExtendedData_GUID=" + kAgeKey + "\r\n"
                       "ExtendedData_Value=1 48\r\n"
                       "ExtendedData_GUID=" + kCookiesKey + "\r\n"
                       "ExtendedData_Value=616200\r\n"
                       "EnabledTask=AACEE220-9942-4E90-8CD0-F8A0FBAB496E\r\n"
                       "EnabledTask=0000FFFF-0000-0000-0000-000000000001\r\n"
                       "EnabledTask=5D793A96-4BF6-495E-A8AF-299E203194B6\r\n");
}

TEST_F(TaskFile, ARecordSavedAndLoadedIsTheSameRecordAndSavesTheSameBytes)
{
    CTaskConfig original;
    original.Name = name;
    original.Schedule.enabled = true;
    original.Schedule.base = 1700000000;
    original.Schedule.runOnce = 1800000000;
    original.Schedule.atStartup = true;
    original.Schedule.type = 0;
    original.Schedule.number = 3;
    original.Schedule.unit = 2;
    original.SetExtendedData(kCookieKeepListKey, "value with = and spaces  \t");
    original.EnableItem(StringToGuid(kItemA), true);
    original.Save();
    std::string first;
    ASSERT_TRUE(ReadWholeFile(path, &first));

    CTaskConfig loaded;
    loaded.Load(path);
    EXPECT_FALSE(loaded.IsModified());
    EXPECT_EQ(loaded.Name, original.Name);
    EXPECT_EQ(loaded.Schedule.enabled, original.Schedule.enabled);
    EXPECT_EQ(loaded.Schedule.base, original.Schedule.base);
    EXPECT_EQ(loaded.Schedule.runOnce, original.Schedule.runOnce);
    EXPECT_EQ(loaded.Schedule.atStartup, original.Schedule.atStartup);
    EXPECT_EQ(loaded.Schedule.atShutdown, original.Schedule.atShutdown);
    EXPECT_EQ(loaded.Schedule.type, original.Schedule.type);
    EXPECT_EQ(loaded.Schedule.number, original.Schedule.number);
    EXPECT_EQ(loaded.Schedule.unit, original.Schedule.unit);
    EXPECT_EQ(loaded.ExtendedData(), original.ExtendedData());
    EXPECT_EQ(loaded.EnabledItems(), original.EnabledItems());

    loaded.Save();
    std::string second;
    ASSERT_TRUE(ReadWholeFile(path, &second));
    EXPECT_EQ(first, second);
}

// The browser-close choice is extended data: a file without it (written
// before the choice existed) reads as off, and a program that knows only
// the items' data keeps it as one of them.
TEST_F(TaskFile, TheBrowserCloseChoiceIsExtendedDataThatOlderFilesLackAndSavesKeepInKeyOrder)
{
    const std::string browserKey = GuidToString(kRunAtBrowserCloseKey);
    const struct {
        const char* what;
        std::vector<std::string> stored;  // extended data pairs of the file, GUID then value
        std::string loaded;               // the schedule's browser
        std::vector<std::string> saved;   // the extended data lines a save writes back
    } cases[] = {
        {"an older file", {}, "", {"ExtendedDataCount=0"}},
        {"a browser", {browserKey, "chrome"}, "chrome",
         {"ExtendedDataCount=1", "ExtendedData_GUID=" + browserKey, "ExtendedData_Value=chrome"}},
        {"an empty value is off", {browserKey, ""}, "", {"ExtendedDataCount=0"}},
        {"among the items' data", {kCookiesKey, "616200", browserKey, "edge", kAgeKey, "1 48"}, "edge",
         {"ExtendedDataCount=3", "ExtendedData_GUID=" + browserKey, "ExtendedData_Value=edge",
          "ExtendedData_GUID=" + kAgeKey, "ExtendedData_Value=1 48", "ExtendedData_GUID=" + kCookiesKey,
          "ExtendedData_Value=616200"}},
        // Never a path: the scheduler refuses it, the file keeps it as it is.
        {"a hostile value", {browserKey, "..\\x"}, "..\\x",
         {"ExtendedDataCount=1", "ExtendedData_GUID=" + browserKey, "ExtendedData_Value=..\\x"}},
    };
    for (const auto& c : cases) {
        std::vector<std::string> lines = ValidLines();
        lines[0] = "TaskName=" + name;
        lines[9] = "ExtendedDataCount=" + std::to_string(c.stored.size() / 2);
        for (size_t i = 0; i < c.stored.size(); i += 2) {
            lines.insert(lines.end() - 2, {"ExtendedData_GUID=" + c.stored[i], "ExtendedData_Value=" + c.stored[i + 1]});
        }
        CTaskConfig task;
        task.Load(WriteLines(lines));
        EXPECT_EQ(task.Schedule.atBrowserClose, c.loaded) << c.what;
        EXPECT_EQ(task.ExtendedData().count(kRunAtBrowserCloseKey), 0u) << c.what << ": held by the schedule alone";
        task.Save();
        std::string content;
        ASSERT_TRUE(ReadWholeFile(path, &content));
        const std::vector<std::string> saved = SplitCrLfLines(content);
        ASSERT_EQ(saved.size(), 12 + c.saved.size() - 1) << c.what;
        EXPECT_EQ(std::vector<std::string>(saved.begin() + 9, saved.end() - 2), c.saved) << c.what;
    }
}

TEST_F(TaskFile, EveryHourOfAYearReadsBackUnchangedButTheRepeatedHour)
{
    CTaskConfig task;
    task.Name = name;
    const time32 start = 1767225600;  // 2026-01-01 00:00 UTC
    int repeated = 0;
    for (time32 t = start; t < start + 365 * 86400; t += 1800) {
        task.Schedule.base = t;
        task.Schedule.runOnce = t;
        task.Save();
        CTaskConfig loaded;
        loaded.Load(path);
        if (loaded.Schedule.base != t) {
            // 25 October 2026, 02:00-03:00 local comes twice: the second pass
            // has the text of the first and reads back as the first.
            EXPECT_EQ(t - loaded.Schedule.base, 3600) << t;
            EXPECT_GE(t, 1792890000) << t;  // 2026-10-25 01:00 UTC
            EXPECT_LT(t, 1792893600) << t;  // 2026-10-25 02:00 UTC
            ++repeated;
        }
        ASSERT_EQ(loaded.Schedule.runOnce, loaded.Schedule.base);
    }
    EXPECT_EQ(repeated, 2);  // 01:00 and 01:30 UTC
}

TEST_F(TaskFile, ATaskWithoutItemsWritesOnlyTheEndMarker)
{
    CTaskConfig task;
    task.Name = name;
    task.Save();
    std::string content;
    ASSERT_TRUE(ReadWholeFile(path, &content));
    const std::vector<std::string> lines = SplitCrLfLines(content);
    ASSERT_EQ(lines.size(), 11u);
    EXPECT_EQ(lines[9], "ExtendedDataCount=0");
    EXPECT_EQ(lines[10], std::string("EnabledTask=") + kTaskFileEndMarker);
    CTaskConfig loaded;
    loaded.Load(path);
    EXPECT_TRUE(loaded.EnabledItems().empty());
}

TEST_F(TaskFile, ReadsLeniently)
{
    std::vector<std::string> lines = ValidLines();
    lines[0] = "Task=Short key";          // compared over the file key's length
    lines[1] = "ScheduleEnabled=yes";     // only "0" is false
    lines[4] = "RunAtStartup=";           // empty is true
    lines[7] = "RunEveryNumber=abc";      // no digits: 0
    lines[8] = "RunEveryUnit=  -2days";   // blanks, a sign, digits
    lines[9] = "ExtendedDataCount=-3";    // no pairs
    lines.push_back("TaskName=after the end marker, never read");
    CTaskConfig task;
    task.Load(WriteLines(lines));
    EXPECT_EQ(task.Name, "Short key");
    EXPECT_TRUE(task.Schedule.enabled);
    EXPECT_TRUE(task.Schedule.atStartup);
    EXPECT_FALSE(task.Schedule.atShutdown);
    EXPECT_EQ(task.Schedule.number, 0);
    EXPECT_EQ(task.Schedule.unit, -2);
    EXPECT_TRUE(task.ExtendedData().empty());
    EXPECT_TRUE(task.IsItemEnabled(StringToGuid(kItemA)));
    EXPECT_EQ(task.Schedule.base, kFebruary6th);
}

TEST_F(TaskFile, ValuesKeepEverythingAfterTheFirstEqualsSign)
{
    std::vector<std::string> lines = ValidLines();
    lines[0] = "TaskName=a=b=c \t";
    lines[9] = "ExtendedDataCount=1";
    lines.insert(lines.begin() + 10, {std::string("ExtendedData_GUID={") + kAgeKey + "}", "ExtendedData_Value=x=1"});
    CTaskConfig task;
    task.Load(WriteLines(lines));
    EXPECT_EQ(task.Name, "a=b=c \t");
    EXPECT_EQ(task.GetExtendedData(kTempFilesAgeKey), "x=1");
}

TEST_F(TaskFile, AnEndMarkerInBracesOrLowerCaseIsAnItem)
{
    std::vector<std::string> lines = ValidLines();
    lines.insert(lines.end() - 1, std::string("EnabledTask={") + kTaskFileEndMarker + "}");
    lines.insert(lines.end() - 1, "EnabledTask=5d793a96-4bf6-495e-a8af-299e203194b6");
    CTaskConfig task;
    task.Load(WriteLines(lines));
    EXPECT_EQ(task.EnabledItems().size(), 2u);
    EXPECT_TRUE(task.IsItemEnabled(StringToGuid(kTaskFileEndMarker)));
}

TEST_F(TaskFile, MalformedFilesFailWithTheirMessages)
{
    const std::string file = scratch.File("task.tsk");
    const std::string badFormat = "Bad file format (" + file + ").";
    const std::string badDate = "Bad date/time format (file: " + file + ").";

    std::vector<std::string> lines = ValidLines();
    lines[0] = "TaskNames=Evening";
    EXPECT_EQ(LoadError(lines), badFormat);

    lines = ValidLines();
    lines[3] = "RunOnceTime 2006/ 2/ 6  9: 5: 0";  // no "="
    EXPECT_EQ(LoadError(lines), badFormat);

    lines = ValidLines();
    std::swap(lines[5], lines[6]);  // a key out of order
    EXPECT_EQ(LoadError(lines), badFormat);

    lines = ValidLines();
    lines[2] = "BaseScheduleTime=2006/ 2/ 6  9: 5";  // five fields
    EXPECT_EQ(LoadError(lines), badFormat);

    lines = ValidLines();
    lines[2] = "BaseScheduleTime=2040/ 1/ 1  0: 0: 0";
    EXPECT_EQ(LoadError(lines), badDate);

    lines = ValidLines();
    lines[3] = "RunOnceTime=1969/12/31 12: 0: 0";
    EXPECT_EQ(LoadError(lines), badDate);

    lines = ValidLines();
    lines[10] = "EnabledTask=AACEE220-9942-4E90-8CD0-F8A0FBAB496";
    EXPECT_EQ(LoadError(lines), "bad GUID: AACEE220-9942-4E90-8CD0-F8A0FBAB496");

    lines = ValidLines();
    lines[10] = "EnabledTask=AACEE220-9942-4E90-8CD0-F8A0FBAB496X";
    EXPECT_EQ(LoadError(lines), "ill-formed GUID: AACEE220-9942-4E90-8CD0-F8A0FBAB496X");

    lines = ValidLines();
    lines[9] = "ExtendedDataCount=1";  // the pair is missing
    EXPECT_EQ(LoadError(lines), badFormat);
}

TEST_F(TaskFile, AFileThatEndsBeforeTheEndMarkerFailsWithTheReadError)
{
    std::vector<std::string> lines = ValidLines();
    lines.pop_back();
    const std::string file = scratch.File("task.tsk");
    const std::string message = LoadError(lines);
    EXPECT_EQ(message.rfind("Can't read file " + file + " (Error: ", 0), 0u) << message;

    EXPECT_EQ(LoadError({}).rfind("Can't read file " + file + " (Error: ", 0), 0u);
}

TEST_F(TaskFile, LinesOfAnyLengthAreReadWhole)
{
    std::vector<std::string> lines = ValidLines();
    lines[0] = "TaskName=" + std::string(65534 - 9, 'n');  // with its line end: 65535 characters
    CTaskConfig task;
    task.Load(WriteLines(lines));
    EXPECT_EQ(task.Name.size(), 65534u - 9);

    // Longer than one read: still one line, not the start of the next key.
    lines[0] = "TaskName=" + std::string(200000, 'n') + "ScheduleEnabled=0";
    task.Load(WriteLines(lines));
    EXPECT_EQ(task.Name, std::string(200000, 'n') + "ScheduleEnabled=0");
}

TEST_F(TaskFile, AKeepListOfThousandsOfCookiesIsReadBackAsSaved)
{
    CTaskConfig task;
    task.Name = name;
    const std::string keepList(70000, 'A');  // about 1,100 cookie names, hexadecimal
    task.SetExtendedData(kCookieKeepListKey, keepList);
    task.Save();

    CTaskConfig loaded;
    loaded.Load(path);
    EXPECT_EQ(loaded.GetExtendedData(kCookieKeepListKey), keepList);
}

TEST_F(TaskFile, AFailureAfterTheNameLeavesAPartlyFilledModifiedRecord)
{
    std::vector<std::string> lines = ValidLines();
    lines[6] = "ScheduleKind=0";
    CTaskConfig task;
    EXPECT_THROW(task.Load(WriteLines(lines)), CError);
    EXPECT_EQ(task.Name, "Evening");
    EXPECT_EQ(task.Schedule.base, kFebruary6th);
    EXPECT_TRUE(task.IsModified());
}

TEST_F(TaskFile, AFailedOpenLeavesTheRecordUnchanged)
{
    CTaskConfig task;
    task.Name = "Kept";
    task.EnableItem(StringToGuid(kItemA), true);
    task.SetModified(false);
    const std::string missing = scratch.File("missing.tsk");
    EXPECT_EQ(RaisedText([&] { task.Load(missing); }),
              "Can't open file " + missing + " (Error: No such file or directory).");
    EXPECT_EQ(task.Name, "Kept");
    EXPECT_TRUE(task.IsItemEnabled(StringToGuid(kItemA)));
    EXPECT_FALSE(task.IsModified());
}

TEST_F(TaskFile, AFailedSaveLeavesThePreviousFileWholeAndTheRecordModified)
{
    CTaskConfig task;
    task.Name = name;
    task.Save();
    std::string before;
    ASSERT_TRUE(ReadWholeFile(path, &before));

    // Another program holds the task file open without sharing it for deletion.
    UniqueHandle holder(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(holder);
    task.EnableItem(StringToGuid(kItemA), true);
    const std::string error = RaisedText([&] { task.Save(); });
    EXPECT_EQ(error.rfind("Can't write file " + path + " (Error: ", 0), 0u) << error;
    holder.Reset();

    std::string after;
    ASSERT_TRUE(ReadWholeFile(path, &after));
    EXPECT_EQ(after, before);
    EXPECT_TRUE(task.IsModified());
    EXPECT_FALSE(FileExists(GetModuleFilePath((name + ".tw-saving").c_str())));
}

TEST_F(TaskFile, ASaveReplacesTheFileWhileItIsBeingReadAndWaitsBrieflyForAnotherHolder)
{
    CTaskConfig task;
    task.Name = name;
    task.Save();

    // The scheduler or a task process reading the file meanwhile.
    CConfigFile reader;
    reader.Open(path, CConfigFile::Mode::Read);
    task.EnableItem(StringToGuid(kItemA), true);
    EXPECT_NO_THROW(task.Save());
    reader.Close();

    // Another program that lets go of the file within moments.
    UniqueHandle holder(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(holder);
    std::thread release([&holder] {
        ::Sleep(300);
        holder.Reset();
    });
    task.Schedule.number = 9;
    EXPECT_NO_THROW(task.Save());
    release.join();
    CTaskConfig loaded;
    loaded.Load(path);
    EXPECT_EQ(loaded.Schedule.number, 9);
    EXPECT_TRUE(loaded.IsItemEnabled(StringToGuid(kItemA)));
}

TEST_F(TaskFile, ANameThatIsNotAFileNameFailsToOpenAndLeavesNothing)
{
    CTaskConfig task;
    task.Name = "bad:name?";
    EXPECT_EQ(RaisedText([&] { task.Save(); }),
              "Task name refused: bad:name? (a task name is a file name beside the program, not a device or a path).");
    for (const char* refused : {"COM1", "..\\x", "x."}) {
        EXPECT_NE(RaisedText([&] { GetTaskFilePath(CTaskName::Checked(refused)); }).find("Task name refused: "),
                  std::string::npos);
    }
    WIN32_FIND_DATAA found;
    HANDLE search = ::FindFirstFileA(GetModuleFilePath("bad*").c_str(), &found);
    EXPECT_EQ(search, INVALID_HANDLE_VALUE);
    if (search != INVALID_HANDLE_VALUE) ::FindClose(search);
}

TEST_F(TaskFile, TheTemporaryFileOfASaveIsNeverListedAsATaskFile)
{
    const std::string temporary = GetModuleFilePath((name + ".tw-saving").c_str());
    ASSERT_TRUE(WriteWholeFile(temporary, "x"));
    WIN32_FIND_DATAA found;
    HANDLE search = ::FindFirstFileA(GetModuleFilePath("*.tsk").c_str(), &found);
    bool listed = false;
    if (search != INVALID_HANDLE_VALUE) {
        do {
            if (std::string(found.cFileName) == name + ".tw-saving") listed = true;
        } while (::FindNextFileA(search, &found));
        ::FindClose(search);
    }
    ::DeleteFileA(temporary.c_str());
    EXPECT_FALSE(listed);
}

TEST_F(TaskFile, DeleteRemovesTheFileAndAMissingFileIsReported)
{
    CTaskConfig task;
    task.Name = name;
    task.Save();
    task.Delete();
    EXPECT_FALSE(FileExists(path));
    EXPECT_TRUE(task.IsModified());
    EXPECT_EQ(RaisedText([&] { task.Delete(); }), "Cannot delete task '" + name + "' data from disk (Error: 2).");
}

TEST(TaskRecord, ModifiedFlagFollowsEveryChange)
{
    CTaskConfig task;
    EXPECT_FALSE(task.IsModified());
    task.EnableItem(StringToGuid(kItemA), false);  // absent: nothing changes, flag set
    EXPECT_TRUE(task.IsModified());
    EXPECT_TRUE(task.EnabledItems().empty());
    task.SetModified(false);
    task.SetExtendedData(kTempFilesAgeKey, "0 12");
    EXPECT_TRUE(task.IsModified());
    task.SetExtendedData(kTempFilesAgeKey, "1 5");
    EXPECT_EQ(task.GetExtendedData(kTempFilesAgeKey), "1 5");
    EXPECT_EQ(task.GetExtendedData(kCookieKeepListKey), "");
    EXPECT_EQ(task.ExtendedData().size(), 1u);
}

TEST(TaskRecord, NewTaskEnablesTheItemsThatStartTickedAndStartsNow)
{
    ScratchFolder folder;
    const std::string inventoryPath = folder.File("task_inventory.ini");
    const char kItemC[] = "0000FFFF-0000-0000-0000-000000000002";
    const auto item = [](const char* guid, const std::string& extra) {
        return std::string("[ITEM]\nGUID=") + guid + "\nName=x\nIcon=0\nModuleName=m.dll\nCLSID=" + guid + "\n" + extra;
    };
    ASSERT_TRUE(WriteWholeFile(inventoryPath, item(kItemA, "DefaultState=0\n") + item(kItemB, "") +
                                                  item(kItemC, "NeedsAdministrator=1\n") + "[ITEM]\n"));
    CCatalogueItems inventory;
    inventory.Read(inventoryPath);

    // An item that starts unticked never starts enabled; one that needs an
    // administrator starts enabled only for one.
    const struct {
        bool administrator;
        std::set<std::string> enabled;
    } cases[] = {{true, {kItemB, kItemC}}, {false, {kItemB}}};
    for (const auto& expected : cases) {
        CTaskConfig task;
        task.Name = "old";
        task.EnableItem(kCookieKeepListKey, true);
        task.SetExtendedData(kTempFilesAgeKey, "1 1");
        const time32 before = GetLocalNow();
        task.InitDefaults("Evening", inventory, expected.administrator);
        std::set<std::string> enabled;
        for (const GUID& guid : task.EnabledItems()) enabled.insert(GuidToString(guid));
        std::set<std::string> wanted;
        for (const std::string& guid : expected.enabled) wanted.insert(GuidToString(StringToGuid(guid)));
        EXPECT_EQ(enabled, wanted) << "administrator " << expected.administrator;
        EXPECT_EQ(task.Name, "Evening");
        EXPECT_TRUE(task.IsModified());
        EXPECT_TRUE(task.ExtendedData().empty());
        EXPECT_GE(task.Schedule.base, before);
        EXPECT_EQ(task.Schedule.runOnce, task.Schedule.base);
        EXPECT_FALSE(task.Schedule.enabled);
        EXPECT_EQ(task.Schedule.type, 0);
        EXPECT_EQ(task.Schedule.number, 1);
        EXPECT_EQ(task.Schedule.unit, 1);
    }
}


TEST(TaskRecord, TaskNamesAreAsLongAsEveryFileAndEventOfTheTaskAllows)
{
    const std::string longest = "T" + std::string(kMaxTaskNameLength - 1, 'x');
    const std::string accented = "T" + std::string(kMaxTaskNameLength - 2, 'x') + "\xC3\xA9";  // one character, two bytes
    const struct {
        std::string name;
        size_t folderLength;
        std::string refusal;  // the start of the message, or empty
    } cases[] = {
        {longest, 40, ""},
        {accented, 40, ""},
        {longest + "x", 40, "Task name refused: " + longest.substr(0, 40) + "... (a task name has at most 128 characters)."},
        {longest, 259 - 1 - kMaxTaskNameLength - TaskFiles::kLongestAddition, ""},
        {longest, 260 - 1 - kMaxTaskNameLength - TaskFiles::kLongestAddition,
         "Task name refused: " + longest.substr(0, 40) + "... (the task's files"},
        {"Short", 259 - 1 - 5 - TaskFiles::kLongestAddition, ""},
    };
    for (const auto& c : cases) {
        const std::string refusal = TaskNameLengthError(c.name, c.folderLength);
        if (c.refusal.empty()) EXPECT_EQ(refusal, "") << c.name.size() << " " << c.folderLength;
        else EXPECT_EQ(refusal.rfind(c.refusal, 0), 0u) << refusal;
    }
    EXPECT_NE(RaisedText([&] { GetTaskFilePath(CTaskName::Checked(longest + "x")); }).find("at most 128 characters"),
              std::string::npos);
}

TEST(TaskRecord, FilePathsLieBesideTheProgram)
{
    CTaskConfig task;
    task.Name = "Evening run";
    EXPECT_EQ(task.GetFilePath(), GetModuleFolder() + "\\Evening run.tsk");
    EXPECT_EQ(GetTaskFilePath(CTaskName::Checked("Evening run")), GetModuleFolder() + "\\Evening run.tsk");
}
