// The site data item of the Chromium family run in this process on a
// profile built with the browsers' own formats: a kept site keeps its local
// storage and its IndexedDB folders; every other site's go, from the store's
// files down to the bytes, and a preview changes nothing but says the same.
#include "common/codecs.h"
#include "common/extkeys.h"
#include "common/paths.h"
#include "plugin/jobs/browseritems.h"
#include "support/browser_profiles.h"
#include "support/fake_task_info.h"
#include "support/recording_sink.h"
#include "support/scratch_folder.h"
#include "support/text_file.h"
#include "support/unix_side.h"

#include <windows.h>
#include <leveldb/db.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <string>

namespace {

const char kSettingsFile[] = "tw_test_site_data.ini";
const std::string kGoneSecret = "gone-site-secret-qzxwvkjhgfdsapoiuytrewqmnbvcxz";

std::string LocalStorageKey(const std::string& origin, const std::string& name)
{
    return "_" + origin + std::string("\x00\x01", 2) + name;
}

class SiteData : public ::testing::Test {
protected:
    void SetUp() override
    {
        WriteLocalState(userData.Path(), {"Default"});
        ASSERT_TRUE(MakeFolders(Store()));
        ASSERT_TRUE(WriteWholeFile(GetModuleFilePath(kSettingsFile),
                                   "[Browser]\r\nName=Test Chrome\r\nData=" + userData.Path() + "\r\n"));
        WriteLocalStorage({{"VERSION", "1"},
                           {"META:https://kept.example", "m"},
                           {LocalStorageKey("https://kept.example", "login"), "\x01kept-value"},
                           {LocalStorageKey("https://www.kept.example", "theme"), "\x01" "dark"},
                           {"META:https://gone.example", "m"},
                           {LocalStorageKey("https://gone.example", "id"), "\x01" + kGoneSecret}});
        for (const char* folder : {"https_kept.example_0.indexeddb.leveldb", "https_gone.example_0.indexeddb.leveldb",
                                   "https_gone.example_0.indexeddb.blob"}) {
            ASSERT_TRUE(MakeFolders(Profile() + "\\IndexedDB\\" + folder));
            ASSERT_TRUE(WriteWholeFile(Profile() + "\\IndexedDB\\" + folder + "\\000003.log", kGoneSecret));
        }
        info.Set(kCookieKeepListKey, EncodeStringList({"kept.example"}));
    }
    void TearDown() override { ::DeleteFileA(GetModuleFilePath(kSettingsFile).c_str()); }

    std::string Profile() const { return userData.File("Default"); }
    std::string Store() const { return Profile() + "\\Local Storage\\leveldb"; }

    void WriteLocalStorage(const std::map<std::string, std::string>& entries)
    {
        leveldb::Options options;
        options.create_if_missing = true;
        leveldb::DB* db = nullptr;
        ASSERT_TRUE(leveldb::DB::Open(options, Store(), &db).ok());
        std::unique_ptr<leveldb::DB> owner(db);
        for (const auto& entry : entries) ASSERT_TRUE(db->Put(leveldb::WriteOptions(), entry.first, entry.second).ok());
    }

    std::map<std::string, std::string> ReadLocalStorage()
    {
        leveldb::DB* db = nullptr;
        std::map<std::string, std::string> entries;
        if (!leveldb::DB::Open(leveldb::Options(), Store(), &db).ok()) return entries;
        std::unique_ptr<leveldb::DB> owner(db);
        std::unique_ptr<leveldb::Iterator> it(db->NewIterator(leveldb::ReadOptions()));
        for (it->SeekToFirst(); it->Valid(); it->Next()) entries[it->key().ToString()] = it->value().ToString();
        return entries;
    }

    // The profile's record of the run; empty when the job failed.
    std::string Run(BrowserFamily family = BrowserFamily::Chromium, const std::string& profile = "Default")
    {
        CBrowserSiteDataItem* job = new CBrowserSiteDataItem(family);
        sink.events.clear();
        const bool ran = job->Init(&info, kSettingsFile, &sink) == kJobSuccess && job->Run() == kJobSuccess;
        char error[1024] = {};
        job->GetErrorText(error, sizeof error);
        job->Release();
        EXPECT_TRUE(ran) << error;
        for (const RecordedEvent& event : sink.events) {
            if (event.text.rfind("Test Chrome, profile " + profile + ": ", 0) == 0) return event.text;
        }
        return std::string();
    }

    ScratchFolder userData;
    FakeTaskInfo info;
    RecordingSink sink;
};

}  // namespace

TEST_F(SiteData, AKeptSiteKeepsAllItStoresAndEveryOtherSitesDataGoesDownToTheBytes)
{
    const std::map<std::string, std::string> before = ReadLocalStorage();
    // The keep-list dialog offers every site that keeps data, each once.
    BrowserSettings settings;
    settings.name = "Test Chrome";
    settings.dataRoot = settings.cacheRoot = userData.Path();
    StringList hosts = ListSiteDataHosts(BrowserFamily::Chromium, settings);
    std::sort(hosts.begin(), hosts.end());
    hosts.erase(std::unique(hosts.begin(), hosts.end()), hosts.end());
    EXPECT_EQ(hosts, (StringList{"gone.example", "kept.example", "www.kept.example"}));
    EXPECT_EQ(ReadLocalStorage(), before);

    info.Set(kRunModeKey, kRunModePreview);
    EXPECT_EQ(Run(), "Test Chrome, profile Default: site data of 1 sites would be deleted, of 2 kept.");
    EXPECT_EQ(ReadLocalStorage(), before);
    EXPECT_TRUE(FileExists(Profile() + "\\IndexedDB\\https_gone.example_0.indexeddb.leveldb\\000003.log"));

    info.Set(kRunModeKey, kRunModeClean);
    EXPECT_EQ(Run(), "Test Chrome, profile Default: site data of 1 sites deleted, of 2 kept.");
    std::map<std::string, std::string> kept = before;
    kept.erase("META:https://gone.example");
    kept.erase(LocalStorageKey("https://gone.example", "id"));
    EXPECT_EQ(ReadLocalStorage(), kept);
    // Erased means erased: no file of the store holds the gone site's value.
    WIN32_FIND_DATAA found;
    HANDLE search = ::FindFirstFileA((Store() + "\\*").c_str(), &found);
    ASSERT_NE(search, INVALID_HANDLE_VALUE);
    do {
        const std::string name = found.cFileName;
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || name == "LOG" || name == "LOG.old") continue;
        std::string content;
        ASSERT_TRUE(ReadWholeFile(Store() + "\\" + name, &content)) << name;
        EXPECT_EQ(content.find(kGoneSecret), std::string::npos) << name;
    } while (::FindNextFileA(search, &found));
    ::FindClose(search);

    EXPECT_TRUE(FileExists(Profile() + "\\IndexedDB\\https_kept.example_0.indexeddb.leveldb\\000003.log"));
    for (const char* folder : {"https_gone.example_0.indexeddb.leveldb", "https_gone.example_0.indexeddb.blob"}) {
        EXPECT_EQ(::GetFileAttributesA((Profile() + "\\IndexedDB\\" + folder).c_str()), INVALID_FILE_ATTRIBUTES) << folder;
    }
}

TEST_F(SiteData, FirefoxKeepsAKeptSitesStorageFolderAndEveryOtherSitesGoesWhole)
{
    WriteProfilesIni(userData.Path(), {{"main", "Profiles/main"}});
    const std::string storage = userData.File("Profiles\\main\\storage\\default");
    const char* const folders[] = {"https+++kept.example", "https+++gone.example+++8443^userContextId=1",
                                   "moz-extension+++0123-4567"};
    for (const char* folder : folders) {
        ASSERT_TRUE(MakeFolders(storage + "\\" + folder + "\\ls"));
        ASSERT_TRUE(WriteWholeFile(storage + "\\" + folder + "\\ls\\data.sqlite", kGoneSecret));
    }
    // A site whose folder holds a file in use is not reported as gone.
    const std::string held = storage + "\\https+++held.example\\ls";
    ASSERT_TRUE(MakeFolders(held));
    ASSERT_TRUE(WriteWholeFile(held + "\\data.sqlite", kGoneSecret));
    const HANDLE inUse = ::CreateFileA((held + "\\data.sqlite").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(inUse, INVALID_HANDLE_VALUE);
    // A site's folder that is a link is never entered: what it leads to
    // stays, and a link the engine will not remove is not reported as gone.
    ScratchFolder elsewhere;
    ASSERT_TRUE(WriteWholeFile(elsewhere.File("data.sqlite"), kGoneSecret));
    ASSERT_TRUE(MakeFolderLink(elsewhere.Path(), storage + "\\https+++linked.example"));
    EXPECT_EQ(Run(BrowserFamily::Firefox, "main"), "Test Chrome, profile main: site data of 1 sites deleted, of 1 kept.");
    ::CloseHandle(inUse);
    std::string target;
    EXPECT_TRUE(ReadWholeFile(elsewhere.File("data.sqlite"), &target));
    EXPECT_EQ(target, kGoneSecret);
    // The link's own Unix path: removing it by its Windows path would reach its target.
    RunUnixCommand(UnixTool("rm") + " -f \"" + UnixPathOf(storage) + "/https+++linked.example\"");
    EXPECT_TRUE(FileExists(storage + "\\https+++kept.example\\ls\\data.sqlite"));
    EXPECT_TRUE(FileExists(storage + "\\moz-extension+++0123-4567\\ls\\data.sqlite")) << "not a site's: it stays";
    EXPECT_EQ(::GetFileAttributesA((storage + "\\" + folders[1]).c_str()), INVALID_FILE_ATTRIBUTES);
}
