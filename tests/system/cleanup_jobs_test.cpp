// The plug-in's registry, recent-documents, temporary-folder and data-driven
// jobs run by the real program against traces laid in the test prefix.
#include "jobapi/extkeys.h"
#include "common/codecs.h"
#include "common/guid.h"
#include "support/registry_fixture.h"
#include "support/scratch_folder.h"
#include "support/system_test.h"
#include "support/text_file.h"
#include "tasks/catalogueitems.h"

#include <windows.h>
#include <shlobj.h>

#include <memory>
#include <gtest/gtest.h>

namespace {

const char kTypedUrlsJob[] = "B0E19CC3-4046-40DA-A480-7E3A9AF4ECDB";
const char kRecentDocumentsJob[] = "AACEE220-9942-4E90-8CD0-F8A0FBAB496E";
const char kTempFolderJob[] = "BE32D7AC-BD92-4DF7-ABFC-120BEDAAD0C0";
const char kRulesEntryJob[] = "AAF0FEAC-5472-4EF4-AA9D-AD7BDCC40E2A";
const std::string kAgeKey = GuidToString(kTempFilesAgeKey);
const char kTypedUrls[] = "Software\\Microsoft\\Internet Explorer\\TypedURLs";
const char kFilesNamed[] =
    "Software\\Microsoft\\Internet Explorer\\Explorer Bars\\{C4EE31F3-4768-11D2-BE5C-00A0C9A83DA1}\\FilesNamedMRU";

bool NoWarningsOrErrors(const std::vector<RawSessionRecord>& records)
{
    for (const RawSessionRecord& r : records)
        if (r.type != 2) return false;
    return true;
}

class CleanupJobs : public SystemTest {
protected:
    CleanupJobs() : SystemTest("Jobs_") {}
    std::vector<RawSessionRecord> RunOneJob(const std::string& classId,
                                            const std::vector<std::pair<std::string, std::string>>& extended = {},
                                            const std::string& config = std::string())
    {
        folder.WriteInventory({{TestItemGuid(1), "Job under test", "Sweepkit.dll", classId, config}});
        folder.WriteTask(taskName, {TestItemGuid(1)}, extended);
        return folder.RunTask(taskName);
    }
};

// The task process inherits this process's environment: point its
// temporary folder at a scratch tree, away from the program folder.
class TemporaryFolderJob : public CleanupJobs {
protected:
    void SetUp() override
    {
        CleanupJobs::SetUp();
        char previous[MAX_PATH] = {};
        ::GetEnvironmentVariableA("TEMP", previous, MAX_PATH);
        oldTemp = previous;
        ::SetEnvironmentVariableA("TEMP", temp.Path().c_str());
        ::SetEnvironmentVariableA("TMP", temp.Path().c_str());
        Make("old.tmp", 72);
        Make("recent.tmp", 1);
        ASSERT_TRUE(::CreateDirectoryA(temp.File("setup").c_str(), nullptr));
        Make("setup\\old.log", 100);
        ASSERT_TRUE(::CreateDirectoryA(temp.File("setup\\deeper").c_str(), nullptr));
        Make("setup\\deeper\\old.dat", 100);
        Make("future.tmp", -1);
    }
    void TearDown() override
    {
        ::SetEnvironmentVariableA("TEMP", oldTemp.c_str());
        ::SetEnvironmentVariableA("TMP", oldTemp.c_str());
    }
    void Make(const std::string& name, long long hoursAgo)
    {
        ASSERT_TRUE(WriteWholeFile(temp.File(name), "trace"));
        ASSERT_TRUE(SetLastWriteHoursAgo(temp.File(name), hoursAgo));
    }

    ScratchFolder temp;
    std::string oldTemp;
};

}  // namespace

TEST_F(CleanupJobs, TypedAddressesAndSearchListsAreEmptiedAndTheirKeysKept)
{
    RegistryValuesOverride typed(HKEY_CURRENT_USER, kTypedUrls);
    typed.SetString("url1", "http://example.com/private");
    typed.SetString("url2", "http://example.org/");
    WriteRegString(HKEY_CURRENT_USER, std::string(kTypedUrls) + "\\nested", "x", "y");
    WriteRegString(HKEY_CURRENT_USER, kFilesNamed, "a", "secret.doc");

    const std::vector<RawSessionRecord> records = RunOneJob(kTypedUrlsJob);
    // Two typed addresses, the nested key and its value, one search entry.
    EXPECT_EQ(records[records.size() - 4].message, "Removed 4 registry values, 1 registry key.");
    EXPECT_EQ(records[records.size() - 3].message, "Job 'Job under test' finished.");
    EXPECT_EQ(records[records.size() - 2].message, "Run totals: Removed 4 registry values, 1 registry key.");
    EXPECT_EQ(CountOf(HKEY_CURRENT_USER, kTypedUrls, false), 0u);
    EXPECT_EQ(CountOf(HKEY_CURRENT_USER, kTypedUrls, true), 0u);
    EXPECT_EQ(CountOf(HKEY_CURRENT_USER, kFilesNamed, false), 0u);
}

TEST_F(CleanupJobs, RecentDocumentsLosesItsFilesButKeepsItsSubfolders)
{
    char recent[MAX_PATH] = {};
    ASSERT_EQ(::SHGetFolderPathA(nullptr, CSIDL_RECENT, nullptr, SHGFP_TYPE_CURRENT, recent), S_OK);
    ::CreateDirectoryA(recent, nullptr);
    const std::string folderPath = recent;
    ASSERT_TRUE(WriteWholeFile(folderPath + "\\report.lnk", "link"));
    ASSERT_TRUE(WriteWholeFile(folderPath + "\\letter.txt.lnk", "link"));
    ::CreateDirectoryA((folderPath + "\\TestSubfolder").c_str(), nullptr);
    ASSERT_TRUE(WriteWholeFile(folderPath + "\\TestSubfolder\\kept.lnk", "link"));

    const std::vector<RawSessionRecord> records = RunOneJob(kRecentDocumentsJob);
    EXPECT_TRUE(NoWarningsOrErrors(records));
    EXPECT_FALSE(FileExists(folderPath + "\\report.lnk"));
    EXPECT_FALSE(FileExists(folderPath + "\\letter.txt.lnk"));
    EXPECT_TRUE(FileExists(folderPath + "\\TestSubfolder\\kept.lnk"));
    RemoveTree(folderPath + "\\TestSubfolder");
}

TEST_F(TemporaryFolderJob, WithoutASettingFilesOfTheLast48HoursAreSpared)
{
    const std::vector<RawSessionRecord> records = RunOneJob(kTempFolderJob);
    EXPECT_TRUE(NoWarningsOrErrors(records));
    EXPECT_FALSE(FileExists(temp.File("old.tmp")));
    EXPECT_TRUE(FileExists(temp.File("recent.tmp")));
    EXPECT_TRUE(FileExists(temp.File("future.tmp")));
    EXPECT_FALSE(FileExists(temp.File("setup")));  // emptied at every depth, then removed
}

TEST_F(TemporaryFolderJob, FlagZeroDeletesEveryFile)
{
    const std::vector<RawSessionRecord> records = RunOneJob(kTempFolderJob, {{kAgeKey, EncodeFlagAndNumber(false, 5)}});
    EXPECT_TRUE(NoWarningsOrErrors(records));
    EXPECT_FALSE(FileExists(temp.File("old.tmp")));
    EXPECT_FALSE(FileExists(temp.File("recent.tmp")));
    EXPECT_FALSE(FileExists(temp.File("future.tmp")));
    EXPECT_FALSE(FileExists(temp.File("setup")));
}

TEST_F(TemporaryFolderJob, FlagOneWithZeroHoursSparesOnlyFilesFromNowOn)
{
    RunOneJob(kTempFolderJob, {{kAgeKey, "1 0"}});
    EXPECT_FALSE(FileExists(temp.File("old.tmp")));
    EXPECT_FALSE(FileExists(temp.File("recent.tmp")));
    EXPECT_TRUE(FileExists(temp.File("future.tmp")));
}

TEST_F(TemporaryFolderJob, AFolderThatKeepsSparedFilesStaysWithAWarning)
{
    Make("setup\\deeper\\fresh.dat", 2);
    const std::vector<RawSessionRecord> records = RunOneJob(kTempFolderJob);
    EXPECT_TRUE(FileExists(temp.File("setup\\deeper\\fresh.dat")));
    EXPECT_FALSE(FileExists(temp.File("setup\\old.log")));
    bool warned = false;
    for (const RawSessionRecord& r : records)
        warned |= r.type == 1 && r.message == "Cannot delete folder: " + temp.File("setup\\deeper") + ". Error: 145";
    EXPECT_TRUE(warned);
}

// Every shipped custom item against the traces its job settings file names:
// per registry entry a list (or a named value beside one that must stay),
// per file pattern a cache folder with files and a subfolder that stays.
TEST_F(CleanupJobs, EveryShippedJobSettingsFileErasesTheTracesItNames)
{
    CCatalogueItems shipped;
    shipped.Read(folder.File("task_inventory.ini"));
    GuidList guids;
    shipped.GetAllItems(guids);

    struct Trace {
        HKEY root;
        std::string key;
        std::string value;  // empty: the whole key was laid
        std::string keptValue;
    };
    std::vector<Trace> registryTraces;
    struct FileTrace {
        std::string folder;
        std::vector<std::string> files;
        std::string made;  // the topmost folder laying them made; empty when none
    };
    std::vector<FileTrace> fileTraces;
    std::vector<std::string> enabled;
    std::vector<std::unique_ptr<RegistryValuesOverride>> restore;

    for (const GUID& guid : guids) {
        const CCatalogueItem* item = shipped.FindItem(guid);
        if (item->config.empty()) continue;
        enabled.push_back(GuidToString(guid));
        const std::string settingsFile = folder.File(item->config);
        const int regKeys = static_cast<int>(::GetPrivateProfileIntA("Settings", "RegKeyCount", 0, settingsFile.c_str()));
        for (int i = 1; i <= regKeys; ++i) {
            char entry[1024] = {};
            ::GetPrivateProfileStringA("Settings", ("RegKey" + std::to_string(i)).c_str(), "", entry, sizeof entry,
                                       settingsFile.c_str());
            std::string text = entry;
            ASSERT_EQ(text.rfind("HKCU\\", 0), 0u) << text;
            std::string key = text.substr(5);
            std::string value;
            const size_t bar = key.find('|');
            if (bar != std::string::npos) {
                value = key.substr(bar + 1);
                key = key.substr(0, bar);
            }
            restore.push_back(std::make_unique<RegistryValuesOverride>(HKEY_CURRENT_USER, key));
            if (value.empty()) {
                restore.back()->SetString("MRUList", "ab");
                restore.back()->SetString("a", "C:\\private\\secret.txt");
                WriteRegString(HKEY_CURRENT_USER, key + "\\TestTraceSubkey", "b", "trace");
                registryTraces.push_back({HKEY_CURRENT_USER, key, "", ""});
            } else {
                restore.back()->SetString(value, "trace");
                restore.back()->SetString("TestKeptSetting", "setting");
                registryTraces.push_back({HKEY_CURRENT_USER, key, value, "TestKeptSetting"});
            }
        }
        // An item whose part of the system is a key Wine lacks says it is
        // not present (its own test lays that part); its files stay unlaid.
        char systemKey[1024] = {};
        ::GetPrivateProfileStringA("Settings", "SystemPartKey", "", systemKey, sizeof systemKey, settingsFile.c_str());
        if (systemKey[0] != '\0') continue;
        const int files = static_cast<int>(::GetPrivateProfileIntA("Settings", "FileCount", 0, settingsFile.c_str()));
        for (int i = 1; i <= files; ++i) {
            char pattern[1024] = {};
            ::GetPrivateProfileStringA("Settings", ("File" + std::to_string(i)).c_str(), "", pattern, sizeof pattern,
                                       settingsFile.c_str());
            char expanded[MAX_PATH] = {};
            ::ExpandEnvironmentStringsA(pattern, expanded, MAX_PATH);
            const std::string path = expanded;
            const std::string cacheFolder = path.substr(0, path.rfind('\\'));
            // What the last part matches: its "*" stands for the trace's name.
            const std::string namePattern = path.substr(path.rfind('\\') + 1);
            FileTrace trace{cacheFolder, {}, TopMissingFolder(cacheFolder)};
            for (const char* name : {"data_0", "f_000001"}) {
                std::string file = namePattern;
                file.replace(file.find('*'), 1, name);
                trace.files.push_back(file);
            }
            ASSERT_EQ(::SHCreateDirectoryExA(nullptr, cacheFolder.c_str(), nullptr) == ERROR_SUCCESS ||
                          FileExists(cacheFolder),
                      true)
                << cacheFolder;
            for (const std::string& file : trace.files) ASSERT_TRUE(WriteWholeFile(cacheFolder + "\\" + file, "trace"));
            ::CreateDirectoryA((cacheFolder + "\\index-dir").c_str(), nullptr);
            ASSERT_TRUE(WriteWholeFile(cacheFolder + "\\index-dir\\the-real-index", "index"));
            fileTraces.push_back(trace);
        }
    }
    ASSERT_FALSE(enabled.empty());
    folder.WriteTask(taskName, enabled);

    const std::vector<RawSessionRecord> records = folder.RunTask(taskName);
    EXPECT_TRUE(NoWarningsOrErrors(records));
    for (const RawSessionRecord& r : records) EXPECT_EQ(r.type, 2) << r.message;

    for (const Trace& trace : registryTraces) {
        if (trace.value.empty()) {
            EXPECT_EQ(CountOf(trace.root, trace.key, false), 0u) << trace.key;
            EXPECT_EQ(CountOf(trace.root, trace.key, true), 0u) << trace.key;
        } else {
            EXPECT_FALSE(RegValueExists(trace.root, trace.key, trace.value)) << trace.key << "|" << trace.value;
            EXPECT_TRUE(RegValueExists(trace.root, trace.key, trace.keptValue)) << trace.key;
        }
    }
    for (const FileTrace& trace : fileTraces) {
        for (const std::string& file : trace.files) EXPECT_FALSE(FileExists(trace.folder + "\\" + file)) << file;
        EXPECT_TRUE(FileExists(trace.folder + "\\index-dir\\the-real-index")) << trace.folder;
        RemoveTree(trace.folder + "\\index-dir");
        // A system folder laid here would make another test's item present.
        if (!trace.made.empty()) RemoveTree(trace.made);
    }
}

TEST_F(CleanupJobs, AnItemThatNeedsAnAdministratorDoesNotRunForAStandardUserAndSaysSoOnce)
{
    ScratchFolder machine;
    ASSERT_TRUE(WriteWholeFile(machine.File("report.wer"), "trace"));
    ASSERT_TRUE(WriteWholeFile(folder.File("tw_test_machine_item.ini"),
                               "[Settings]\r\nName=Machine\r\nRegKeyCount=0\r\nFileCount=1\r\nFile1=" +
                                   machine.File("*.wer") + "\r\n"));
    InventoryEntry item{TestItemGuid(1), "Machine reports", "Sweepkit.dll", "46F1FFEA-6AAA-49C6-8773-17CCA2867A00",
                        "tw_test_machine_item.ini"};
    item.needsAdministrator = true;
    folder.WriteInventory({item});
    folder.WriteTask(taskName, {TestItemGuid(1)});

    // One warning in place of the job's records, the item counted as not
    // cleaned, its file untouched.
    std::vector<std::string> messages;
    for (const RawSessionRecord& r : folder.RunTask(taskName, true)) {
        if (r.type != 2) messages.push_back(r.message);
        if (r.message.rfind("Run totals: ", 0) == 0) messages.push_back(r.message);
    }
    EXPECT_EQ(messages, (std::vector<std::string>{
                            "Job 'Machine reports' needs administrator rights, and this task runs without them, so it "
                            "was not cleaned. Run the task as an administrator to clean it.",
                            "Run totals: Removed nothing; 1 item not cleaned without administrator rights."}));
    EXPECT_TRUE(FileExists(machine.File("report.wer")));

    // An administrator's run cleans it.
    folder.RunTask(taskName);
    EXPECT_FALSE(FileExists(machine.File("report.wer")));
}

// The plug-in's rules entry class reads its entry from the Rules folder of
// the program it runs in; a configuration naming any other file runs nothing.
TEST_F(CleanupJobs, ARulesEntryRunsFromTheProgramsRulesFolderAndNoOtherFile)
{
    ScratchFolder traces;
    ASSERT_TRUE(WriteWholeFile(traces.File("a.log"), "trace"));
    ASSERT_TRUE(WriteWholeFile(traces.File("keep.txt"), "canary"));
    ASSERT_TRUE(::CreateDirectoryA(folder.File("Rules").c_str(), nullptr));
    ASSERT_TRUE(WriteWholeFile(folder.File("Rules\\tw_system.ini"),
                               "[Tidewhistle System Entry *]\r\nFileKey1=" + traces.Path() + "|*.log\r\n"));
    const struct {
        const char* file;
        const char* record;  // one the job's run must write
        bool cleans;
    } cases[] = {
        {"..\\tw_system.ini", "Job configuration is invalid (the rules file ..\\tw_system.ini is neither winapp2.ini nor in Rules\\)", false},
        {"Rules\\tw_system.ini", "Job 'Job under test' finished.", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        const std::string config = std::string("program\t") + c.file + "\tTidewhistle System Entry *";
        const std::vector<std::string> messages = Messages(RunOneJob(kRulesEntryJob, {}, config));
        bool found = false;
        for (const std::string& message : messages) found = found || message.find(c.record) != std::string::npos;
        EXPECT_TRUE(found) << ::testing::PrintToString(messages);
        EXPECT_EQ(FileExists(traces.File("a.log")), !c.cleans);
        EXPECT_TRUE(FileExists(traces.File("keep.txt")));
    }
}
