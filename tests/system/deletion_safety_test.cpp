// Attacks on the deletion engines, the temporary-folder job and module
// loading, as a hostile disk, registry or environment would make them. Each
// test lays canaries outside what is cleaned (a file, a folder of files, a
// registry key) and checks that every canary survives and that what should
// go went.
#include "common/settings.h"
#include "common/tracer.h"
#include "plugin/engines/files/filecleanup.h"
#include "plugin/engines/registry/registrycleanup.h"
#include "support/eventually.h"
#include "support/job_harness.h"
#include "support/program_runner.h"
#include "support/raised.h"
#include "support/registry_fixture.h"
#include "support/scratch_folder.h"
#include "support/session_file.h"
#include "support/task_folder.h"
#include "support/text_file.h"
#include "support/unix_side.h"
#include "support/url_cache_fill.h"

#include <windows.h>
#include <wininet.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <ctime>
#include <functional>
#include <mutex>
#include <thread>

namespace {

const char kCanaryKey[] = "Software\\TidewhistleTestCanary";  // under HKLM
const char kCleanedKey[] = "Software\\TidewhistleTest\\Cleaned";  // under HKCU
const char kNullJob[] = "4D6A9D0C-84AA-457e-B3EA-BE99FFFA4FC2";
const char kTempFolderJob[] = "BE32D7AC-BD92-4DF7-ABFC-120BEDAAD0C0";
const char kCookiesJob[] = "20FA0A7E-605A-4bf1-8634-FD1700890FC9";

time32 HoursAgo(int hours)
{
    return static_cast<time32>(std::time(nullptr)) - hours * 3600;
}

std::string Quoted(const std::string& text)
{
    return "\"" + text + "\"";
}

// The names a folder listing shows, as the engine sees them.
std::vector<std::string> Listing(const std::string& folder)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE search = ::FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        const std::string name = found.cFileName;
        if (name != "." && name != "..") names.push_back(name);
    } while (::FindNextFileA(search, &found));
    ::FindClose(search);
    return names;
}

bool Lists(const std::string& folder, const std::string& name)
{
    const std::vector<std::string> names = Listing(folder);
    return std::find(names.begin(), names.end(), name) != names.end();
}

// Runs a Unix program of the prefix and waits until the folder lists name
// (the Windows side cannot open every Unix name by path).
void UnixMake(const std::string& command, const std::string& folder, const std::string& name)
{
    ASSERT_TRUE(RunUnixCommand(command)) << command;
    ASSERT_TRUE(Eventually([&] { return Lists(folder, name); }, kAppearTimeout)) << name;
}


void DeleteKeyTree(HKEY root, const std::string& key)
{
    ::RegDeleteTreeA(root, key.c_str());
    ::RegDeleteKeyA(root, key.c_str());
}

// A registry link at HKCU\linkPath that leads to HKLM\targetPath.
bool MakeRegistryLink(const std::string& linkPath, const std::string& targetPath)
{
    HKEY link = nullptr;
    if (::RegCreateKeyExA(HKEY_CURRENT_USER, linkPath.c_str(), 0, nullptr, REG_OPTION_CREATE_LINK | REG_OPTION_VOLATILE,
                          KEY_ALL_ACCESS, nullptr, &link, nullptr) != ERROR_SUCCESS) {
        return false;
    }
    const std::string target = "\\Registry\\Machine\\" + targetPath;
    const std::wstring wide(target.begin(), target.end());
    const LONG set = ::RegSetValueExW(link, L"SymbolicLinkValue", 0, REG_LINK, reinterpret_cast<const BYTE*>(wide.data()),
                                      static_cast<DWORD>(wide.size() * sizeof(wchar_t)));
    ::RegCloseKey(link);
    return set == ERROR_SUCCESS;
}

void DeleteRegistryLink(const std::string& linkPath)
{
    HKEY link = nullptr;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, linkPath.c_str(), REG_OPTION_OPEN_LINK, DELETE, &link) != ERROR_SUCCESS) return;
    using NtDeleteKeyCall = LONG(WINAPI*)(HANDLE);
    const auto deleteKey = reinterpret_cast<NtDeleteKeyCall>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleA("ntdll.dll"), "NtDeleteKey")));
    if (deleteKey != nullptr) deleteKey(link);
    ::RegCloseKey(link);
}

class DeletionSafety : public ::testing::Test {
protected:
    void SetUp() override
    {
        canaryFile = scratch.File("canary.doc");
        canaryFolder = scratch.File("canaries");
        tree = scratch.File("tree");
        ASSERT_TRUE(WriteWholeFile(canaryFile, "thesis"));
        ASSERT_TRUE(SetLastWriteHoursAgo(canaryFile, 100));
        ASSERT_TRUE(::CreateDirectoryA(canaryFolder.c_str(), nullptr));
        ASSERT_TRUE(::CreateDirectoryA((canaryFolder + "\\empty").c_str(), nullptr));
        for (const char* name : {"\\one.doc", "\\two.doc"}) {
            ASSERT_TRUE(WriteWholeFile(canaryFolder + name, "keep"));
            ASSERT_TRUE(SetLastWriteHoursAgo(canaryFolder + name, 100));
        }
        ASSERT_TRUE(::CreateDirectoryA(tree.c_str(), nullptr));
        ASSERT_TRUE(WriteRegString(HKEY_LOCAL_MACHINE, kCanaryKey, "keep", "me"));
        ASSERT_TRUE(WriteRegString(HKEY_LOCAL_MACHINE, std::string(kCanaryKey) + "\\child", "keep", "me too"));
        unixScratch = UnixPathOf(scratch.Path());
        unixTree = UnixPathOf(tree);
        ASSERT_FALSE(unixTree.empty());
    }

    void TearDown() override
    {
        ExpectCanariesSurvive();
        DeleteRegistryLink(std::string(kCleanedKey) + "\\Link");
        DeleteRegistryLink("Software\\TidewhistleTest\\LinkEntry");
        DeleteRegistryLink("Software\\TidewhistleTest\\LinkVendor");
        DeleteKeyTree(HKEY_CURRENT_USER, "Software\\TidewhistleTest");
        DeleteKeyTree(HKEY_LOCAL_MACHINE, kCanaryKey);
        if (!scratchDrive.empty()) RunUnixCommand(UnixTool("rm") + " -f " + Quoted(scratchDrive));
        // Links and odd names are removed from the Unix side, never through Windows paths.
        RunUnixCommand(UnixTool("rm") + " -rf " + Quoted(unixScratch));
        Eventually([&] { return !LongPathExists(scratch.Path()); }, kAppearTimeout);
    }

    void ExpectCanariesSurvive() const
    {
        EXPECT_TRUE(FileExists(canaryFile));
        EXPECT_TRUE(FileExists(canaryFolder + "\\one.doc"));
        EXPECT_TRUE(FileExists(canaryFolder + "\\two.doc"));
        EXPECT_TRUE(FileExists(canaryFolder + "\\empty"));
        std::string value;
        EXPECT_TRUE(ReadRegString(HKEY_LOCAL_MACHINE, kCanaryKey, "keep", &value));
        EXPECT_TRUE(ReadRegString(HKEY_LOCAL_MACHINE, std::string(kCanaryKey) + "\\child", "keep", &value));
    }

    // Maps drive S: of the prefix to a scratch folder of this test.
    std::string MapScratchDrive(const std::string& folder)
    {
        scratchDrive = UnixPathOf("C:\\") + "/../dosdevices/s:";
        RunUnixCommand(UnixTool("ln") + " -sfn " + Quoted(UnixPathOf(folder)) + " " + Quoted(scratchDrive));
        EXPECT_TRUE(Eventually([] { return FileExists("S:\\"); }, kAppearTimeout));
        return "S:\\";
    }

    int Warnings() const
    {
        return static_cast<int>(std::count_if(job.sink.events.begin(), job.sink.events.end(),
                                              [](const RecordedEvent& e) { return e.type == kEventWarning; }));
    }

    ScratchFolder scratch;
    EventOnlyJob job;
    std::string canaryFile, canaryFolder, tree, unixScratch, unixTree, scratchDrive;
};

}  // namespace

TEST_F(DeletionSafety, NamesThatAPathWouldRewriteCostAWarningEachAndTheRestIsCleaned)
{
    // Unix names as an archive made on Windows unpacks them: a backslash
    // in the name, a trailing dot, characters Windows forbids.
    const std::string stamp = " -d @" + std::to_string(HoursAgo(100));
    UnixMake(UnixTool("mkdir") + " " + Quoted(unixTree + "/..\\canaries"), tree, "..\\canaries");
    UnixMake(UnixTool("touch") + stamp + " " + Quoted(unixTree + "/..\\canary.doc"), tree, "..\\canary.doc");
    UnixMake(UnixTool("mkdir") + " " + Quoted(unixTree + "/x."), tree, "x.");
    ASSERT_TRUE(MakeFolderLink(canaryFolder, tree + "\\x"));
    UnixMake(UnixTool("touch") + stamp + " " + Quoted(unixTree + "/report."), tree, "report.");
    ASSERT_TRUE(WriteWholeFile(tree + "\\report", "fresh"));
    UnixMake(UnixTool("mkdir") + " " + Quoted(unixTree + "/..."), tree, "...");
    UnixMake(UnixTool("mkdir") + " " + Quoted(unixTree + "/a*b"), tree, "a*b");
    ASSERT_TRUE(WriteWholeFile(tree + "\\old.tmp", "trace"));
    ASSERT_TRUE(SetLastWriteHoursAgo(tree + "\\old.tmp", 100));
    ASSERT_TRUE(Lists(tree, "..\\canary.doc"));  // Wine lists the name as it is

    EXPECT_NO_THROW(DeleteFiles(tree + "\\*", true, HoursAgo(48), job));

    EXPECT_TRUE(FileExists(tree + "\\report"));   // the fresh file, never "report."
    EXPECT_FALSE(FileExists(tree + "\\old.tmp"));  // cleaned although odd names stand beside it
    EXPECT_TRUE(Lists(tree, "..\\canary.doc"));
    EXPECT_TRUE(Lists(tree, "report."));
    // "..\canaries", "..\canary.doc", "x.", "report.", "...", "a*b", and the link x.
    EXPECT_EQ(Warnings(), 7);
}

TEST_F(DeletionSafety, AWildcardMatchesLongNamesOnlyInACleanAndInAPreview)
{
    // Names whose short forms end in ".LOG" or ".HTM" though their long names do not.
    const std::vector<std::string> named = {"x.log", "y.htm"};
    const std::vector<std::string> others = {"x.log-old", "x.logx", "data.log_backup", "y.html", "notes.htmlx"};
    for (const auto* names : {&named, &others})
        for (const std::string& name : *names) ASSERT_TRUE(WriteWholeFile(tree + "\\" + name, "log"));
    WIN32_FIND_DATAA found;
    HANDLE search = ::FindFirstFileA((tree + "\\*.log").c_str(), &found);
    ASSERT_NE(search, INVALID_HANDLE_VALUE);
    int bySearch = 0;
    do ++bySearch;
    while (::FindNextFileA(search, &found));
    ::FindClose(search);
    ASSERT_GT(bySearch, 1) << "the system's search here matches short names too";

    TaskProgramFolder folder;
    ASSERT_TRUE(WriteWholeFile(folder.File("tw_test_logs.ini"), "[Settings]\r\nName=Logs\r\nRegKeyCount=0\r\nFileCount=2\r\n"
                                                               "File1=" + tree + "\\*.log\r\nFile2=" + tree + "\\*.htm\r\n"));
    folder.WriteInventory({{TestItemGuid(1), "Logs", "Sweepkit.dll", "46F1FFEA-6AAA-49C6-8773-17CCA2867A00", "tw_test_logs.ini"}});
    folder.WriteTask("ShortNames", {TestItemGuid(1)});
    ASSERT_TRUE(RunToEnd(folder.Program(), {"/preview", "ShortNames"}));
    std::string report;
    ASSERT_TRUE(ReadWholeFile(folder.File("ShortNames.preview.txt"), &report));
    std::vector<std::string> listed;
    for (const std::string& line : SplitCrLfLines(report)) {
        const size_t tab = line.find('\t');
        if (tab != std::string::npos && line.compare(tab + 1, tree.size(), tree) == 0) listed.push_back(line.substr(tab + 1));
    }
    EXPECT_EQ(listed, (std::vector<std::string>{tree + "\\x.log", tree + "\\y.htm"}));

    folder.RunTask("ShortNames");
    for (const std::string& name : named) EXPECT_FALSE(FileExists(tree + "\\" + name)) << name;
    for (const std::string& name : others) EXPECT_TRUE(FileExists(tree + "\\" + name)) << name;
}

TEST_F(DeletionSafety, ALinkIsNeverFollowedNorRemovedThroughItsTarget)
{
    // Under Wine a Unix link to a file is listed as a plain file.
    UnixMake(UnixTool("ln") + " -s " + Quoted(UnixPathOf(canaryFile)) + " " + Quoted(unixTree + "/filelink"),
             tree, "filelink");
    UnixMake(UnixTool("ln") + " -s " + Quoted(UnixPathOf(canaryFolder + "\\empty")) + " " +
                 Quoted(unixTree + "/emptylink"),
             tree, "emptylink");
    ASSERT_TRUE(WriteWholeFile(tree + "\\plain.tmp", "trace"));

    DeleteFiles(tree + "\\*", true, 0, job);
    DeleteFiles(tree + "\\*", false, 0, job);

    EXPECT_FALSE(FileExists(tree + "\\plain.tmp"));
    EXPECT_GE(Warnings(), 2);
}

TEST_F(DeletionSafety, TheDataFolderThatHoldsTheUsersTasksIsNeverCleaned)
{
    // An installed program keeps its tasks in the folder its settings name.
    ScratchFolder parent;
    const std::string data = parent.File("Tidewhistle");
    ASSERT_TRUE(::CreateDirectoryA(data.c_str(), nullptr));
    ProgramSettings settings;
    settings.SetString("DataFolder", data + "\\");
    ASSERT_TRUE(OpenExistingSettingsKey("Hollowmere", "Tidewhistle"));
    for (const std::string& file : {data + "\\Evenings.tsk", parent.File("old.tmp")}) {
        ASSERT_TRUE(WriteWholeFile(file, "TaskName=Evenings\r\n"));
        ASSERT_TRUE(SetLastWriteHoursAgo(file, 100));
    }

    const std::string refusal = RaisedText([&] { DeleteFiles(data + "\\*.tsk", true, HoursAgo(48), job); });
    EXPECT_EQ(refusal.rfind("File pattern refused: " + data + "\\*.tsk (", 0), 0u) << refusal;
    // Reached from the folder above it, it is skipped as a whole; the rest goes.
    DeleteFiles(parent.Path() + "\\*", true, HoursAgo(48), job);
    EXPECT_TRUE(FileExists(data + "\\Evenings.tsk"));
    EXPECT_FALSE(FileExists(parent.File("old.tmp")));
}

TEST_F(DeletionSafety, PatternsOutsideAPlainFolderOfTheirOwnAreRefused)
{
    ScratchFolder driveFolder;
    const std::string drive = MapScratchDrive(driveFolder.Path());
    ASSERT_TRUE(WriteWholeFile(drive + "old.doc", "keep"));
    ASSERT_TRUE(SetLastWriteHoursAgo(drive + "old.doc", 100));
    ASSERT_TRUE(::SetCurrentDirectoryA(drive.c_str()));
    const std::string windowsCanary = "C:\\windows\\tw-canary.twcanary";
    ASSERT_TRUE(WriteWholeFile(windowsCanary, "keep"));
    ::SetEnvironmentVariableA("TW_TEST_EMPTY", "");

    const auto refusal = [&](const std::string& pattern) {
        return RaisedText([&] { DeleteFiles(pattern, true, HoursAgo(48), job); });
    };
    EXPECT_EQ(refusal("S:\\*"), "File pattern refused: S:\\* (the folder S:\\ is a drive root).");
    EXPECT_EQ(refusal("%TW_TEST_EMPTY%\\*"), "File pattern refused: %TW_TEST_EMPTY%\\* (it names no folder).");
    EXPECT_EQ(refusal("*.doc"), "File pattern refused: *.doc (it names no folder).");
    EXPECT_EQ(refusal("%SystemRoot%\\*.twcanary").rfind("File pattern refused: %SystemRoot%\\*.twcanary (the folder ", 0), 0u);
    EXPECT_NE(refusal("%USERPROFILE%\\*.doc").find(" is a user profile"), std::string::npos);
    EXPECT_NE(refusal("%USERPROFILE%\\..\\*.doc").find(" is not a plain full path"), std::string::npos);
    EXPECT_NE(refusal(tree + "\\..\\canaries\\*").find(" is not a plain full path"), std::string::npos);
    EXPECT_NE(refusal("canaries\\*").find(" is not a full path"), std::string::npos);
    EXPECT_NE(refusal("\\\\?\\" + tree + "\\*").find(" is not a full path"), std::string::npos);
    EXPECT_TRUE(FileExists(drive + "old.doc"));
    EXPECT_TRUE(FileExists(windowsCanary));
    ::DeleteFileA(windowsCanary.c_str());

    // "/" separates like "\": only the named folder is cleaned, never the
    // folder before the last backslash, nor the current folder.
    ASSERT_TRUE(::CreateDirectoryA((tree + "\\data").c_str(), nullptr));
    ASSERT_TRUE(::CreateDirectoryA((tree + "\\data\\cache").c_str(), nullptr));
    ASSERT_TRUE(WriteWholeFile(tree + "\\data\\cache\\a.log", "trace"));
    ASSERT_TRUE(WriteWholeFile(tree + "\\a.log", "keep"));
    ASSERT_TRUE(WriteWholeFile(drive + "a.log", "keep"));
    std::string forward = tree;
    std::replace(forward.begin(), forward.end(), '\\', '/');
    DeleteFiles(tree + "\\data/cache/*.log", false, 0, job);
    EXPECT_FALSE(FileExists(tree + "\\data\\cache\\a.log"));
    ASSERT_TRUE(WriteWholeFile(tree + "\\data\\cache\\a.log", "trace"));
    DeleteFiles(forward + "/data/cache/*.log", false, 0, job);
    EXPECT_FALSE(FileExists(tree + "\\data\\cache\\a.log"));
    EXPECT_TRUE(FileExists(tree + "\\a.log"));
    EXPECT_TRUE(FileExists(drive + "a.log"));
    ::SetCurrentDirectoryA("C:\\");
}

TEST_F(DeletionSafety, TheTemporaryFolderJobRefusesATempThatNamesADriveOrNothing)
{
    ScratchFolder driveFolder;
    const std::string drive = MapScratchDrive(driveFolder.Path());
    ASSERT_TRUE(WriteWholeFile(drive + "old.doc", "keep"));
    ASSERT_TRUE(SetLastWriteHoursAgo(drive + "old.doc", 100));
    TaskProgramFolder folder;
    folder.WriteInventory({{TestItemGuid(1), "Temporary files", "Sweepkit.dll", kTempFolderJob, ""}});
    folder.WriteTask("TempAttack", {TestItemGuid(1)});

    char previous[MAX_PATH] = {};
    ::GetEnvironmentVariableA("TEMP", previous, MAX_PATH);
    for (const char* temp : {"S:\\", ""}) {
        ::SetEnvironmentVariableA("TEMP", temp);
        ChildProcess task;  // started from the scratch drive: "\*" would be its root
        ASSERT_TRUE(task.Start(folder.Program(), {"TempAttack"}, drive));
        ASSERT_TRUE(task.Wait(60000));
        std::vector<RawSessionRecord> records;
        ASSERT_TRUE(ReadSessionFile(folder.SessionFile("TempAttack"), &records));
        const std::vector<std::string> messages = Messages(records);
        ASSERT_EQ(messages.size(), 8u) << temp << ": " << messages.back();
        EXPECT_EQ(messages[4], "Removed nothing.");
        EXPECT_EQ(records[5].type, 0) << messages[5];
        EXPECT_NE(messages[5].find("File pattern refused: %TEMP%\\*"), std::string::npos) << messages[5];
    }
    ::SetEnvironmentVariableA("TEMP", previous);
    EXPECT_TRUE(FileExists(drive + "old.doc"));
}

TEST_F(DeletionSafety, RegistryLinksRootKeysAndLongNamesNeverLeadTheCleanupAstray)
{
    const std::string cleaned = kCleanedKey;
    ASSERT_TRUE(WriteRegString(HKEY_CURRENT_USER, cleaned, "url1", "private"));
    ASSERT_TRUE(WriteRegString(HKEY_CURRENT_USER, cleaned + "\\Plain", "url2", "private"));
    ASSERT_TRUE(MakeRegistryLink(cleaned + "\\Link", kCanaryKey));
    ASSERT_TRUE(MakeRegistryLink("Software\\TidewhistleTest\\LinkEntry", kCanaryKey));
    // Three bytes a character in UTF-8: more than the longest-name query promises.
    // Made through the wide functions, which take a name of this length whole.
    const std::wstring wideLongName(200, L'\u20AC');
    HKEY longKey = nullptr;
    ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, (L"Software\\TidewhistleTest\\Cleaned\\" + wideLongName).c_str(), 0,
                                nullptr, 0, KEY_ALL_ACCESS, nullptr, &longKey, nullptr),
              ERROR_SUCCESS);
    ::RegSetValueExW(longKey, L"url3", 0, REG_SZ, reinterpret_cast<const BYTE*>(L"x"), 4);
    ::RegCloseKey(longKey);
    ASSERT_TRUE(WriteRegString(HKEY_CURRENT_USER, "Software\\TidewhistleTest\\Kept", "keep", "me"));

    EXPECT_NO_THROW(CleanRegistryKey("HKCU\\" + cleaned, job));

    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, cleaned));
    EXPECT_FALSE(RegValueExists(HKEY_CURRENT_USER, cleaned, "url1"));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, cleaned + "\\Plain"));
    EXPECT_EQ(CountOf(HKEY_CURRENT_USER, cleaned, true), 0u);  // the long-named subkey went too
    HKEY link = nullptr;
    EXPECT_NE(::RegOpenKeyExA(HKEY_CURRENT_USER, (cleaned + "\\Link").c_str(), REG_OPTION_OPEN_LINK, KEY_READ, &link),
              ERROR_SUCCESS);  // the link itself is gone
    EXPECT_TRUE(job.sink.events.empty());

    EXPECT_EQ(RaisedText([&] { CleanRegistryKey("HKCU\\", job); }), "Registry entry names a root key only: HKCU\\.");
    EXPECT_EQ(RaisedText([&] { CleanRegistryKey("HKLM/", job); }), "Registry entry names a root key only: HKLM/.");
    EXPECT_EQ(RaisedText([&] { CleanRegistryKey("HKCU\\Software\\TidewhistleTest\\LinkEntry", job); }),
              "Registry key is a link and is left alone: HKCU\\Software\\TidewhistleTest\\LinkEntry.");
    EXPECT_TRUE(RegValueExists(HKEY_CURRENT_USER, "Software\\TidewhistleTest\\Kept", "keep"));
}

TEST_F(DeletionSafety, AKeyWhosePathLeadsThroughARegistryLinkIsRefusedWhateverTheEntrySays)
{
    // HKCU\...\LinkVendor leads to the machine's canary key.
    ASSERT_TRUE(MakeRegistryLink("Software\\TidewhistleTest\\LinkVendor", kCanaryKey));
    const std::string below = "HKCU\\Software\\TidewhistleTest\\LinkVendor\\child";
    const std::pair<std::string, std::function<void(const std::string&)>> entries[] = {
        {below, [&](const std::string& entry) { CleanRegistryKey(entry, job); }},
        {below + "|keep", [&](const std::string& entry) { CleanRegistryKey(entry, job); }},
        {below, [&](const std::string& entry) { CleanRegistryValues(entry, job); }},
        {below + "\\*", [&](const std::string& entry) { CleanRegistryValues(entry, job); }},
    };
    for (const auto& [entry, clean] : entries) {
        EXPECT_EQ(RaisedText([&] { clean(entry); }), "Registry key lies below a link and is left alone: " + entry + ".");
    }
    EXPECT_TRUE(RegValueExists(HKEY_LOCAL_MACHINE, std::string(kCanaryKey) + "\\child", "keep"));
    EXPECT_TRUE(job.sink.events.empty());
}

TEST_F(DeletionSafety, AValuesOnlyEntryReachesEachSubkeyButNeverThroughALinkNorFromTheRoot)
{
    const std::string cleaned = kCleanedKey;
    ASSERT_TRUE(WriteRegString(HKEY_CURRENT_USER, cleaned + "\\{A}\\Count", "run1", "private"));
    ASSERT_TRUE(WriteRegString(HKEY_CURRENT_USER, cleaned + "\\{A}\\Count\\Deeper", "kept", "setting"));
    ASSERT_TRUE(WriteRegString(HKEY_CURRENT_USER, cleaned + "\\{A}", "Version", "kept"));
    ASSERT_TRUE(WriteRegString(HKEY_CURRENT_USER, cleaned + "\\{B}\\Count", "run2", "private"));
    ASSERT_TRUE(WriteRegString(HKEY_CURRENT_USER, cleaned + "\\{C}", "no Count here", "kept"));
    // Through the link, "Link\child" is the machine's canary key.
    ASSERT_TRUE(MakeRegistryLink(cleaned + "\\Link", kCanaryKey));

    EXPECT_NO_THROW(CleanRegistryValues("HKCU\\" + cleaned + "\\*\\Count", job));
    EXPECT_NO_THROW(CleanRegistryValues("HKCU\\" + cleaned + "\\*\\child", job));

    EXPECT_EQ(CountOf(HKEY_CURRENT_USER, cleaned + "\\{A}\\Count", false), 0u);
    EXPECT_EQ(CountOf(HKEY_CURRENT_USER, cleaned + "\\{B}\\Count", false), 0u);
    EXPECT_TRUE(RegValueExists(HKEY_CURRENT_USER, cleaned + "\\{A}\\Count\\Deeper", "kept"));
    EXPECT_TRUE(RegValueExists(HKEY_CURRENT_USER, cleaned + "\\{A}", "Version"));
    EXPECT_TRUE(RegValueExists(HKEY_CURRENT_USER, cleaned + "\\{C}", "no Count here"));
    EXPECT_EQ(job.Counts().registryValues, 2);
    EXPECT_EQ(job.Counts().registryKeys, 0);
    EXPECT_EQ(job.Counts().skipped, 2) << "the link, once for each entry";
    ASSERT_EQ(job.sink.events.size(), 2u);
    EXPECT_EQ(job.sink.events[0].text, "Registry key is a link and is left alone: HKCU\\" + cleaned + "\\Link.");

    const std::pair<std::string, std::string> refused[] = {
        {"HKCU\\*\\Count", "Registry entry begins with every key: HKCU\\*\\Count."},
        {"HKCU\\", "Registry entry names a root key only: HKCU\\."},
        {"HKCU\\\\\\", "Registry entry names a root key only: HKCU\\\\\\."},
        {"HKCU\\" + cleaned + "\\*\\Count|run1", "A values-only entry names no value: HKCU\\" + cleaned + "\\*\\Count|run1."},
        {"HKCU\\" + cleaned + "\\Link", "Registry key is a link and is left alone: HKCU\\" + cleaned + "\\Link."},
    };
    for (const auto& [entry, message] : refused) EXPECT_EQ(RaisedText([&] { CleanRegistryValues(entry, job); }), message);
    EXPECT_TRUE(RegValueExists(HKEY_CURRENT_USER, cleaned + "\\{A}", "Version"));
}

TEST_F(DeletionSafety, ModulesLoadOnlyFromTheProgramFolderByName)
{
    // A module planted in the folder the task process is started from.
    TaskProgramFolder folder;
    ASSERT_TRUE(::CopyFileA(folder.File("Sweepkit.dll").c_str(), scratch.File("Bare.dll").c_str(), FALSE));
    const std::string planted = scratch.File("Bare.dll");
    const std::string climbing = "..\\" + scratch.Path().substr(scratch.Path().rfind('\\') + 1) + "\\Bare.dll";
    folder.WriteInventory({{TestItemGuid(1), "Bare", "Bare.dll", kNullJob, ""},
                           {TestItemGuid(2), "Climbing", climbing, kNullJob, ""},
                           {TestItemGuid(3), "Absolute", planted, kNullJob, ""}});
    folder.WriteTask("ModuleAttack", {TestItemGuid(1), TestItemGuid(2), TestItemGuid(3)});

    ChildProcess task;
    ASSERT_TRUE(task.Start(folder.Program(), {"ModuleAttack"}, scratch.Path()));
    ASSERT_TRUE(task.Wait(60000));
    std::vector<RawSessionRecord> records;
    ASSERT_TRUE(ReadSessionFile(folder.SessionFile("ModuleAttack"), &records));
    const std::vector<std::string> messages = Messages(records);
    ASSERT_EQ(messages.size(), 11u);
    EXPECT_EQ(messages[4], "Job execution failure (Failed to load extension module (error 126).).");
    EXPECT_EQ(messages[6], "Job execution failure (Extension module name refused: " + climbing +
                               " (a module is a file name beside the program).).");
    EXPECT_EQ(messages[8], "Job execution failure (Extension module name refused: " + planted +
                               " (a module is a file name beside the program).).");
}

namespace {

// Listens to the debugger output of every process, as a debug monitor does:
// the DBWIN buffer and its two events.
class DebugOutputListener {
public:
    DebugOutputListener()
    {
        m_mutex = ::CreateMutexA(nullptr, FALSE, "DBWinMutex");
        m_bufferReady = ::CreateEventA(nullptr, FALSE, TRUE, "DBWIN_BUFFER_READY");
        m_dataReady = ::CreateEventA(nullptr, FALSE, FALSE, "DBWIN_DATA_READY");
        m_mapping = ::CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4096, "DBWIN_BUFFER");
        m_view = static_cast<const char*>(::MapViewOfFile(m_mapping, FILE_MAP_READ, 0, 0, 4096));
        m_thread = std::thread([this] {
            while (!m_stop) {
                if (::WaitForSingleObject(m_dataReady, 100) != WAIT_OBJECT_0) continue;
                {
                    std::lock_guard<std::mutex> lock(m_lock);
                    m_messages.emplace_back(m_view + sizeof(DWORD), strnlen(m_view + sizeof(DWORD), 4096 - sizeof(DWORD)));
                }
                ::SetEvent(m_bufferReady);
            }
        });
    }
    ~DebugOutputListener()
    {
        m_stop = true;
        m_thread.join();
        ::UnmapViewOfFile(m_view);
        for (HANDLE h : {m_mapping, m_dataReady, m_bufferReady, m_mutex}) ::CloseHandle(h);
    }
    bool Heard(const std::string& part)
    {
        std::lock_guard<std::mutex> lock(m_lock);
        return std::any_of(m_messages.begin(), m_messages.end(),
                           [&](const std::string& m) { return m.find(part) != std::string::npos; });
    }

private:
    HANDLE m_mutex, m_bufferReady, m_dataReady, m_mapping;
    const char* m_view;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
    std::mutex m_lock;
    std::vector<std::string> m_messages;
};

}  // namespace

TEST_F(DeletionSafety, ErasedCookieNamesReachTheTraceFileOnlyAndFailedDeletionsAreCounted)
{
    TaskProgramFolder folder;
    ProgramSettings settings;
    folder.WriteInventory({{TestItemGuid(1), "Cookies", "Sweepkit.dll", kCookiesJob, ""}});
    folder.WriteTask("PrivacyCheck", {TestItemGuid(1)});
    DebugOutputListener listener;

    for (DWORD level : {0u, 10u}) {
        settings.SetDword("DebugLogLevel", level);
        WipeCache();
        const std::string cookie = AddCookie("privacy-canary-" + std::to_string(level) + ".example");
        const std::vector<RawSessionRecord> records = folder.RunTask("PrivacyCheck");
        ASSERT_EQ(Messages(records).at(4), "Removed 1 cookie.");
        ASSERT_EQ(Messages(records).at(5), "Job 'Cookies' finished.");
        EXPECT_TRUE(Names(ReadCache(), true).empty());
        // The plug-in's progress still reaches a debug monitor with tracing
        // off: the listener hears what it should.
        if (level == 0) {
            EXPECT_TRUE(Eventually([&] { return listener.Heard("CIECookiesItem::Run"); }, kAnswerTimeout));
        }
        EXPECT_FALSE(listener.Heard("privacy-canary")) << level;
        EXPECT_EQ(folder.Trace().find("privacy-canary") != std::string::npos, level == 10) << level;
    }

    // A cookie that is in use cannot be deleted: the job says how many.
    const std::string locked = AddCookie("locked-canary.example");
    DWORD size = 0;
    ::RetrieveUrlCacheEntryFileA(locked.c_str(), nullptr, &size, 0);
    std::vector<char> info(size);
    ASSERT_TRUE(::RetrieveUrlCacheEntryFileA(locked.c_str(), reinterpret_cast<INTERNET_CACHE_ENTRY_INFOA*>(info.data()),
                                             &size, 0));
    const std::vector<RawSessionRecord> records = folder.RunTask("PrivacyCheck");
    ::UnlockUrlCacheEntryFileA(locked.c_str(), 0);
    const std::vector<std::string> messages = Messages(records);
    ASSERT_EQ(messages.size(), 9u);
    EXPECT_EQ(messages[4], "Cookies that could not be deleted: 1.");
    EXPECT_EQ(records[4].type, 1);
    EXPECT_EQ(messages[5], "Removed nothing; 1 failed.");
}
