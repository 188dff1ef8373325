// What a run removed and what a preview would remove, through the real
// program and plug-in: a prepared profile (files of known sizes at several
// depths, a locked file, registry values, URL cache entries and cookies, a
// browser's cookie database), previewed and then cleaned.
#include "jobapi/extkeys.h"
#include "common/guid.h"
#include "common/cleanupcounts.h"
#include "common/codecs.h"
#include "common/handles.h"
#include "runtime/taskprocess.h"
#include "support/browser_profiles.h"
#include "support/eventually.h"
#include "support/program_runner.h"
#include "support/registry_fixture.h"
#include "support/session_file.h"
#include "support/system_test.h"
#include "support/text_file.h"
#include "support/unix_side.h"
#include "support/url_cache_fill.h"

#include <windows.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

const std::string kKeepListKey = GuidToString(kCookieKeepListKey);
const char kTestKey[] = "Software\\TidewhistleTest\\Results";
const char kHeld[] = "7E570000-0000-4000-8000-000000000007";

// Every file and folder below root, with each file's contents.
std::map<std::string, std::string> TreeOf(const std::string& root)
{
    std::map<std::string, std::string> tree;
    WIN32_FIND_DATAA found;
    HANDLE search = ::FindFirstFileA((root + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return tree;
    do {
        const std::string name = found.cFileName;
        if (name == "." || name == "..") continue;
        const std::string path = root + "\\" + name;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            tree[path] = "<folder>";
            for (const auto& entry : TreeOf(path)) tree.insert(entry);
        } else {
            ReadWholeFile(path, &tree[path]);
        }
    } while (::FindNextFileA(search, &found));
    ::FindClose(search);
    return tree;
}

long long DiskSpaceOf(const std::string& path)
{
    HANDLE file = ::CreateFileA(path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    FILE_STANDARD_INFO info = {};
    const bool known = file != INVALID_HANDLE_VALUE &&
                       ::GetFileInformationByHandleEx(file, FileStandardInfo, &info, sizeof info);
    if (file != INVALID_HANDLE_VALUE) ::CloseHandle(file);
    EXPECT_TRUE(known) << path;
    return info.AllocationSize.QuadPart;
}

// The report's entries: what -> bytes.
std::map<std::string, long long> ReportEntries(const std::string& path)
{
    std::string text;
    EXPECT_TRUE(ReadWholeFile(path, &text)) << path;
    std::map<std::string, long long> entries;
    const std::vector<std::string> lines = SplitCrLfLines(text);
    for (size_t i = 2; i < lines.size(); ++i) {
        const size_t tab = lines[i].find('\t');
        if (tab == std::string::npos) continue;
        entries[lines[i].substr(tab + 1)] = std::stoll(lines[i].substr(0, tab));
    }
    return entries;
}

std::string FindRecord(const std::vector<std::string>& messages, const std::string& prefix)
{
    for (const std::string& message : messages)
        if (message.rfind(prefix, 0) == 0) return message;
    return std::string();
}

class ResultsAndPreview : public SystemTest {
protected:
    ResultsAndPreview() : SystemTest("Results_") {}

    void SetUp() override
    {
        SystemTest::SetUp();
        char previous[MAX_PATH] = {};
        ::GetEnvironmentVariableA("TEMP", previous, MAX_PATH);
        oldTemp = previous;
        // The task process inherits the test's temporary folder.
        ::SetEnvironmentVariableA("TEMP", temp.Path().c_str());
        ::SetEnvironmentVariableA("TMP", temp.Path().c_str());
    }

    void TearDown() override
    {
        ::SetEnvironmentVariableA("TEMP", oldTemp.c_str());
        ::SetEnvironmentVariableA("TMP", oldTemp.c_str());
        ::RegDeleteTreeA(HKEY_CURRENT_USER, kTestKey);
        if (wiped) WipeCache();
    }

    std::vector<std::string> Preview(DWORD* exitCode)
    {
        EXPECT_TRUE(RunToEnd(folder.Program(), {"/preview", taskName}, 60000, exitCode));
        std::vector<RawSessionRecord> records;
        EXPECT_TRUE(ReadSessionFile(folder.PreviewSessionFile(taskName), &records));
        return Messages(records);
    }

    ScratchFolder temp;
    ScratchFolder home;
    std::string oldTemp;
    bool wiped = false;
};

}  // namespace

TEST_F(ResultsAndPreview, APreviewListsExactlyWhatTheCleanThenRemovesAndChangesNothing)
{
    // Files of known sizes at three depths, an empty folder, a recent file
    // (spared), and an old file held open (left for the next restart).
    const std::vector<std::pair<std::string, size_t>> oldFiles = {
        {temp.File("setup.log"), 1500}, {temp.File("sub\\download.part"), 20000},
        {temp.File("sub\\deeper\\cache.bin"), 70000}, {temp.File("locked.tmp"), 3000}};
    for (const char* folderName : {"sub", "sub\\deeper", "sub\\empty"})
        ASSERT_TRUE(::CreateDirectoryA(temp.File(folderName).c_str(), nullptr));
    for (const auto& file : oldFiles) {
        ASSERT_TRUE(WriteWholeFile(file.first, std::string(file.second, 'x')));
        ASSERT_TRUE(SetLastWriteHoursAgo(file.first, 100));
    }
    ASSERT_TRUE(WriteWholeFile(temp.File("fresh.txt"), "recent"));
    HANDLE locked = ::CreateFileA(temp.File("locked.tmp").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(locked, INVALID_HANDLE_VALUE);
    long long diskSpace = 0;
    for (size_t i = 0; i < 3; ++i) diskSpace += DiskSpaceOf(oldFiles[i].first);

    // Registry values in a key and its subkey, named by a job settings file.
    WriteRegString(HKEY_CURRENT_USER, kTestKey, "first", "1");
    WriteRegString(HKEY_CURRENT_USER, kTestKey, "second", "2");
    WriteRegString(HKEY_CURRENT_USER, std::string(kTestKey) + "\\sub", "third", "3");
    ASSERT_TRUE(WriteWholeFile(folder.File("tw_test_results.ini"),
                               "[Settings]\r\nName=Test registry\r\nRegKeyCount=1\r\nRegKey1=HKCU\\" +
                                   std::string(kTestKey) + "\r\nFileCount=0\r\n"));
    // The URL cache: a cookie and a page.
    WipeCache();
    wiped = true;
    AddCookie("gone.example.net");
    AddEntry("http://pages.example.com/page.html");
    // A browser's cookies: one site kept, two hosts not.
    const std::string userData = home.File("Chrome\\User Data");
    const std::string cookies = userData + "\\Default\\Network\\Cookies";
    CreateChromiumCookies(cookies, {{".kept.example", "a"}, {".tracker.net", "b"}, {"ads.example.org", "c"}});
    ASSERT_TRUE(WriteWholeFile(folder.File("tw_test_chrome.ini"), "[Browser]\r\nName=Test Chrome\r\nData=" + userData + "\r\n"));

    folder.WriteInventory({{TestItemGuid(1), "Temporary Folder", "Sweepkit.dll", "BE32D7AC-BD92-4DF7-ABFC-120BEDAAD0C0", ""},
                           {TestItemGuid(2), "Registry", "Sweepkit.dll", "46F1FFEA-6AAA-49C6-8773-17CCA2867A00", "tw_test_results.ini"},
                           {TestItemGuid(3), "Cookies", "Sweepkit.dll", "20FA0A7E-605A-4bf1-8634-FD1700890FC9", ""},
                           {TestItemGuid(4), "Cache", "Sweepkit.dll", "5443B092-9ED6-47bb-8ADD-46949F8C909A", ""},
                           {TestItemGuid(5), "Chrome cookies", "Sweepkit.dll", "019C50BD-C5F5-4534-B938-F3D55C101520", "tw_test_chrome.ini"}});
    folder.WriteTask(taskName, {TestItemGuid(1), TestItemGuid(2), TestItemGuid(3), TestItemGuid(4), TestItemGuid(5)},
                     {{kKeepListKey, EncodeStringList({"kept.example"})}});

    const auto treeBefore = TreeOf(temp.Path());
    const CacheSnapshot cacheBefore = ReadCache();
    std::string databaseBefore;
    ASSERT_TRUE(ReadWholeFile(cookies, &databaseBefore));

    // The preview changes nothing, database files included.
    DWORD exitCode = 99;
    const std::vector<std::string> preview = Preview(&exitCode);
    EXPECT_EQ(exitCode, 0u);
    EXPECT_EQ(TreeOf(temp.Path()), treeBefore);
    EXPECT_EQ(ReadCache(), cacheBefore);
    std::string databaseAfter;
    ASSERT_TRUE(ReadWholeFile(cookies, &databaseAfter));
    EXPECT_EQ(databaseAfter, databaseBefore);
    for (const char* companion : {"-journal", "-wal", "-shm"}) EXPECT_FALSE(FileExists(cookies + companion));
    std::string third;
    EXPECT_TRUE(ReadRegString(HKEY_CURRENT_USER, std::string(kTestKey) + "\\sub", "third", &third));
    EXPECT_EQ(third, "3");

    CleanupCounts expected;
    expected.files = 3;
    expected.bytes = diskSpace;
    expected.folders = 3;
    expected.registryValues = 3;
    expected.registryKeys = 1;
    expected.cacheEntries = 1;
    expected.cookies = 3;
    expected.leftForRestart = 1;
    EXPECT_EQ(FindRecord(preview, "Preview totals: "), "Preview totals: " + DescribeCleanupCounts(expected, true))
        << ::testing::PrintToString(preview);
    EXPECT_NE(std::find(preview.begin(), preview.end(),
                        "Would remove 3 files (" + ByteSize(diskSpace) + "), 3 folders; 1 file would be left for "
                        "deletion at restart."),
              preview.end());
    const auto report = ReportEntries(folder.File(taskName + ".preview.txt"));

    // The clean removes exactly what the preview listed, path for path.
    const std::vector<std::string> clean = Messages(folder.RunTask(taskName));
    ::CloseHandle(locked);
    EXPECT_EQ(FindRecord(clean, "Run totals: "), "Run totals: " + DescribeCleanupCounts(expected, false))
        << ::testing::PrintToString(clean);
    const auto treeAfter = TreeOf(temp.Path());
    std::set<std::string> gone;
    for (const auto& entry : treeBefore)
        if (treeAfter.count(entry.first) == 0) gone.insert(entry.first);
    std::set<std::string> listedInTemp;
    long long listedSpace = 0;
    for (const auto& entry : report) {
        if (entry.first.rfind(temp.Path() + "\\", 0) != 0) continue;
        listedInTemp.insert(entry.first);
        listedSpace += entry.second;
    }
    EXPECT_EQ(listedInTemp, gone);
    EXPECT_EQ(listedSpace, diskSpace);
    EXPECT_TRUE(treeAfter.count(temp.File("fresh.txt")) && treeAfter.count(temp.File("locked.tmp")));
    EXPECT_EQ(report.count("HKCU\\" + std::string(kTestKey) + "\\sub|third"), 1u);
    EXPECT_EQ(report.count(cookies + ": cookie of .tracker.net"), 1u);
    EXPECT_EQ(Sorted(QueryColumn(cookies, "SELECT host_key FROM cookies")), std::vector<std::string>{".kept.example"});
    EXPECT_TRUE(ReadCache().empty());
}

TEST_F(ResultsAndPreview, AJobThatCannotPreviewIsNotRunByOneAndAMissingTaskFailsIt)
{
    folder.WriteInventory({{TestItemGuid(1), "Group", "Sweepkit.dll", "4D6A9D0C-84AA-457e-B3EA-BE99FFFA4FC2", ""},
                           {TestItemGuid(2), "Reporter", "twtestjobs.dll", "7E570000-0000-4000-8000-000000000003", ""}});
    folder.WriteTask(taskName, {TestItemGuid(1), TestItemGuid(2)});
    DWORD exitCode = 99;
    const std::vector<std::string> messages = Preview(&exitCode);
    EXPECT_EQ(exitCode, 0u);
    EXPECT_EQ(messages, (std::vector<std::string>{
                            "Session started", "Loading job list.", "Starting cleanup jobs.", "Starting job: Group...",
                            "Job 'Group' finished.", "Starting job: Reporter...",
                            "Job 'Reporter' cannot show what it would remove, so the preview did not run it.",
                            "Preview totals: Would remove nothing; 1 skipped for safety.", "Session finished"}));
    // The same job runs in a clean as it always did.
    const std::vector<std::string> clean = Messages(folder.RunTask(taskName));
    EXPECT_NE(std::find(clean.begin(), clean.end(), "warning from job"), clean.end());

    EXPECT_TRUE(RunToEnd(folder.Program(), {"/preview", "NoSuchTask"}, 60000, &exitCode));
    EXPECT_EQ(exitCode, 1u);
}

TEST_F(ResultsAndPreview, OverlapsAndSparedFilesCountAsACleanCountsThemAndAHalfWrittenDatabaseIsNotGuessed)
{
    // Old files the temporary-folder job and an overlapping custom item both
    // select, and a recent file that keeps its two folders.
    for (const char* folderName : {"sub", "sub\\deeper"})
        ASSERT_TRUE(::CreateDirectoryA(temp.File(folderName).c_str(), nullptr));
    long long diskSpace = 0;
    for (const char* name : {"a.log", "b.log", "sub\\deeper\\old.bin"}) {
        ASSERT_TRUE(WriteWholeFile(temp.File(name), std::string(2000, 'y')));
        ASSERT_TRUE(SetLastWriteHoursAgo(temp.File(name), 100));
        diskSpace += DiskSpaceOf(temp.File(name));
    }
    ASSERT_TRUE(WriteWholeFile(temp.File("sub\\deeper\\fresh.txt"), "recent"));
    ASSERT_TRUE(WriteWholeFile(folder.File("tw_test_overlap.ini"),
                               "[Settings]\r\nName=Logs\r\nRegKeyCount=0\r\nFileCount=2\r\nFile1=" + temp.File("*.log") +
                                   "\r\nFile2=" + temp.File("a.*") + "\r\n"));
    // A browser database with changes still in its log.
    const std::string userData = home.File("Chrome\\User Data");
    const std::string cookies = userData + "\\Default\\Network\\Cookies";
    CreateChromiumCookies(cookies, {{".tracker.net", "b"}});
    ASSERT_TRUE(WriteWholeFile(cookies + "-journal", std::string(512, '\x01')));
    ASSERT_TRUE(WriteWholeFile(folder.File("tw_test_chrome.ini"), "[Browser]\r\nName=Test Chrome\r\nData=" + userData + "\r\n"));
    folder.WriteInventory({{TestItemGuid(1), "Temporary Folder", "Sweepkit.dll", "BE32D7AC-BD92-4DF7-ABFC-120BEDAAD0C0", ""},
                           {TestItemGuid(2), "Logs", "Sweepkit.dll", "46F1FFEA-6AAA-49C6-8773-17CCA2867A00", "tw_test_overlap.ini"},
                           {TestItemGuid(3), "Chrome cookies", "Sweepkit.dll", "019C50BD-C5F5-4534-B938-F3D55C101520", "tw_test_chrome.ini"}});
    folder.WriteTask(taskName, {TestItemGuid(1), TestItemGuid(2), TestItemGuid(3)});
    std::string databaseBefore;
    ASSERT_TRUE(ReadWholeFile(cookies, &databaseBefore));

    DWORD exitCode = 99;
    const std::vector<std::string> preview = Preview(&exitCode);
    EXPECT_EQ(exitCode, 0u);
    std::string databaseAfter;
    ASSERT_TRUE(ReadWholeFile(cookies, &databaseAfter));
    EXPECT_EQ(databaseAfter, databaseBefore);
    EXPECT_NE(FindRecord(preview, "Test Chrome, profile Default: " + cookies + " was left as it was: its browser did "
                                  "not close it cleanly"),
              "")
        << ::testing::PrintToString(preview);
    // Each file once, though two jobs and two patterns select a.log; the
    // folders kept by the recent file are no failures.
    CleanupCounts files;
    files.files = 3;
    files.bytes = diskSpace;
    EXPECT_NE(std::find(preview.begin(), preview.end(), DescribeCleanupCounts(files, true)), preview.end())
        << ::testing::PrintToString(preview);
    EXPECT_NE(std::find(preview.begin(), preview.end(), "Would remove nothing."), preview.end());

    // Without the database, the clean counts what the preview counted.
    folder.WriteTask(taskName, {TestItemGuid(1), TestItemGuid(2)});
    const std::vector<std::string> clean = Messages(folder.RunTask(taskName));
    EXPECT_EQ(FindRecord(clean, "Run totals: "), "Run totals: " + DescribeCleanupCounts(files, false))
        << ::testing::PrintToString(clean);
    EXPECT_TRUE(FileExists(temp.File("sub\\deeper\\fresh.txt")));
    EXPECT_FALSE(FileExists(temp.File("a.log")));
}

// A file with two names in the cleaned folder frees its space once, with
// the second name; one whose other name lies outside frees none. A clean
// meets the second name after the first is gone: it must count as a
// preview, which deletes nothing.
TEST_F(ResultsAndPreview, AFileWithSeveralNamesFreesItsSpaceOnceInAPreviewAndInAClean)
{
    ASSERT_TRUE(WriteWholeFile(temp.File("both.tmp"), std::string(50000, 'b')));
    ASSERT_TRUE(::CreateHardLinkA(temp.File("both again.tmp").c_str(), temp.File("both.tmp").c_str(), nullptr));
    ASSERT_TRUE(WriteWholeFile(home.File("kept.bin"), std::string(20000, 'k')));
    ASSERT_TRUE(::CreateHardLinkA(temp.File("elsewhere.tmp").c_str(), home.File("kept.bin").c_str(), nullptr));
    ASSERT_TRUE(WriteWholeFile(folder.File("tw_test_names.ini"), "[Settings]\r\nName=Temporary\r\nRegKeyCount=0\r\n"
                                                                "FileCount=1\r\nFile1=" + temp.File("*.tmp") + "\r\n"));
    folder.WriteInventory({{TestItemGuid(1), "Temporary", "Sweepkit.dll", "46F1FFEA-6AAA-49C6-8773-17CCA2867A00", "tw_test_names.ini"}});
    folder.WriteTask(taskName, {TestItemGuid(1)});
    CleanupCounts expected;
    expected.files = 3;
    expected.bytes = DiskSpaceOf(temp.File("both.tmp"));

    DWORD exitCode = 99;
    const std::vector<std::string> preview = Preview(&exitCode);
    EXPECT_EQ(FindRecord(preview, "Preview totals: "), "Preview totals: " + DescribeCleanupCounts(expected, true))
        << ::testing::PrintToString(preview);
    const std::vector<std::string> clean = Messages(folder.RunTask(taskName));
    EXPECT_EQ(FindRecord(clean, "Run totals: "), "Run totals: " + DescribeCleanupCounts(expected, false))
        << ::testing::PrintToString(clean);
    EXPECT_TRUE(TreeOf(temp.Path()).empty());
    std::string kept;
    EXPECT_TRUE(ReadWholeFile(home.File("kept.bin"), &kept));
    EXPECT_EQ(kept, std::string(20000, 'k'));
}

TEST_F(ResultsAndPreview, APreviewCountsEachCookieAndEachFileAsTheCleanRemovesThem)
{
    if (UnixPathOf("C:\\").empty()) GTEST_SKIP() << "names differing only in capitals are made from the Linux side";
    // Three files whose names differ only in capitals, five cookies of one host.
    const std::vector<std::string> names = {"Case.tmp", "CASE.TMP", "case.tmp"};
    // The folder's Unix path, the names added to it as they are: Wine would
    // take a Windows path to a name for the one already there in other capitals.
    const std::string unixFolder = UnixPathOf(temp.Path());
    for (const std::string& name : names) {
        ASSERT_TRUE(RunUnixCommand(UnixTool("touch") + " \"" + unixFolder + "/" + name + "\""));
    }
    // And a hard link to a file elsewhere: its name goes, no space is freed.
    ASSERT_TRUE(WriteWholeFile(home.File("shared.bin"), std::string(10000, 's')));
    ASSERT_TRUE(RunUnixCommand(UnixTool("ln") + " \"" + UnixPathOf(home.File("shared.bin")) + "\" \"" + unixFolder +
                               "/shared.tmp\""));
    ASSERT_TRUE(Eventually([&] { return TreeOf(temp.Path()).size() == names.size() + 1; }, kAppearTimeout))
        << ::testing::PrintToString(TreeOf(temp.Path()));
    const std::string userData = home.File("Chrome\\User Data");
    const std::string cookies = userData + "\\Default\\Network\\Cookies";
    CreateChromiumCookies(cookies, {{".tracker.net", "a"}, {".tracker.net", "b"}, {".tracker.net", "c"},
                                    {".tracker.net", "d"}, {".tracker.net", "e"}, {".kept.example", "k"}});
    // The same database under the older name too (a hard link): a database
    // with two names is never opened, by the preview or by the clean.
    ASSERT_TRUE(RunUnixCommand(UnixTool("ln") + " \"" + UnixPathOf(cookies) + "\" \"" +
                               UnixPathOf(userData + "\\Default") + "/Cookies\""));
    ASSERT_TRUE(Eventually([&] { return FileExists(userData + "\\Default\\Cookies"); }, kAppearTimeout));
    ASSERT_TRUE(WriteWholeFile(folder.File("tw_test_chrome.ini"), "[Browser]\r\nName=Test Chrome\r\nData=" + userData + "\r\n"));
    ASSERT_TRUE(WriteWholeFile(folder.File("tw_test_case.ini"), "[Settings]\r\nName=Temporary\r\nRegKeyCount=0\r\n"
                                                               "FileCount=1\r\nFile1=" + temp.File("*.tmp") + "\r\n"));
    folder.WriteInventory({{TestItemGuid(1), "Temporary", "Sweepkit.dll", "46F1FFEA-6AAA-49C6-8773-17CCA2867A00", "tw_test_case.ini"},
                           {TestItemGuid(2), "Chrome cookies", "Sweepkit.dll", "019C50BD-C5F5-4534-B938-F3D55C101520", "tw_test_chrome.ini"}});
    folder.WriteTask(taskName, {TestItemGuid(1), TestItemGuid(2)}, {{kKeepListKey, EncodeStringList({"kept.example"})}});

    CleanupCounts expected;
    expected.files = 4;
    expected.failed = 1;
    const std::string refused = "Test Chrome, profile Default: " + cookies + " was left as it was: Cookies has other "
                                "names (hard links).";
    DWORD exitCode = 99;
    const std::vector<std::string> preview = Preview(&exitCode);
    EXPECT_EQ(FindRecord(preview, "Preview totals: "), "Preview totals: " + DescribeCleanupCounts(expected, true))
        << ::testing::PrintToString(preview);
    EXPECT_NE(std::find(preview.begin(), preview.end(), refused), preview.end()) << ::testing::PrintToString(preview);
    const std::vector<std::string> clean = Messages(folder.RunTask(taskName));
    EXPECT_EQ(FindRecord(clean, "Run totals: "), "Run totals: " + DescribeCleanupCounts(expected, false))
        << ::testing::PrintToString(clean);
    EXPECT_NE(std::find(clean.begin(), clean.end(), refused), clean.end());
    EXPECT_EQ(CountRows(cookies, "cookies"), 6);
    EXPECT_TRUE(TreeOf(temp.Path()).empty());
    std::string shared;
    EXPECT_TRUE(ReadWholeFile(home.File("shared.bin"), &shared) && shared == std::string(10000, 's'));
}

TEST_F(ResultsAndPreview, APreviewKeepsItsOwnRecordsAndACleanDueMeanwhileWaitsForItInsteadOfBeingLost)
{
    // The job waits until the test lets it go.
    const std::string release = "TidewhistleTest_Release_" + taskName;
    UniqueHandle go(::CreateEventA(nullptr, TRUE, TRUE, release.c_str()));
    ASSERT_TRUE(go.IsValid());
    folder.WriteInventory({{TestItemGuid(1), "Held", "twtestjobs.dll", kHeld, release}});
    folder.WriteTask(taskName, {TestItemGuid(1)});
    const auto records = [&](bool preview) {
        std::vector<RawSessionRecord> read;
        ReadSessionFile(preview ? folder.PreviewSessionFile(taskName) : folder.SessionFile(taskName), &read);
        return Messages(read);
    };
    // A clean, then a preview: the clean's records stay as they were.
    folder.RunTask(taskName);
    std::string cleanRecords;
    ASSERT_TRUE(ReadWholeFile(folder.SessionFile(taskName), &cleanRecords));
    DWORD exitCode = 99;
    EXPECT_EQ(FindRecord(Preview(&exitCode), "Preview totals: "), "Preview totals: Would remove nothing.");
    std::string afterPreview;
    ASSERT_TRUE(ReadWholeFile(folder.SessionFile(taskName), &afterPreview));
    EXPECT_EQ(afterPreview, cleanRecords);

    // A clean falls due while a preview runs: it waits for the preview, then
    // runs whole, rather than being taken for a run already going.
    ::ResetEvent(go.Get());
    ChildProcess previewing;
    ASSERT_TRUE(previewing.Start(folder.Program(), {"/preview", taskName}));
    ASSERT_TRUE(Eventually([&] { return IsTaskRunning(taskName, SessionKind::Preview); }, kAppearTimeout));
    StartTask(taskName, folder.Program());  // as the scheduler starts a due task
    const std::vector<std::string> waiting = {"Session started",
                                              "A preview of this task is running: the cleanup starts when it ends."};
    EXPECT_TRUE(Eventually([&] { return records(false) == waiting; }, kAppearTimeout))
        << ::testing::PrintToString(records(false));
    ::Sleep(500);
    EXPECT_EQ(records(false), waiting) << "the clean went on while the preview ran";
    ::SetEvent(go.Get());
    ASSERT_TRUE(previewing.Wait(30000));
    ASSERT_TRUE(Eventually([&] { return !IsTaskRunning(taskName); }, 30000));
    EXPECT_EQ(records(false),
              (std::vector<std::string>{"Session started", "A preview of this task is running: the cleanup starts when it ends.",
                                        "Loading job list.", "Starting cleanup jobs.", "Starting job: Held...",
                                        "Removed nothing.", "Job 'Held' finished.", "Run totals: Removed nothing.",
                                        "Session finished"}));
    EXPECT_EQ(records(true).back(), "Session finished");

    // A preview asked for while a clean runs does not run beside it.
    ::ResetEvent(go.Get());
    StartTask(taskName, folder.Program());
    ASSERT_TRUE(IsTaskRunning(taskName));
    ASSERT_TRUE(RunToEnd(folder.Program(), {"/preview", taskName}, 60000, &exitCode));
    EXPECT_EQ(exitCode, 1u);
    EXPECT_EQ(records(true), (std::vector<std::string>{"Session started",
                                                       "The task is being cleaned now, so the preview did not run.",
                                                       "Session finished"}));
    ::SetEvent(go.Get());
    EXPECT_TRUE(Eventually([&] { return !IsTaskRunning(taskName); }, 30000));
}
