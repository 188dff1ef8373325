// The site data item of the Chromium family run in this process on a
// profile built with the browsers' own formats: a kept site keeps its local
// and session storage, IndexedDB folders, service workers and file system;
// every other site's go, from the store's files down to the bytes, and a
// preview changes nothing but says the same.
#include "common/codecs.h"
#include "jobapi/extkeys.h"
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
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace {

const char kSettingsFile[] = "tw_test_site_data.ini";
const std::string kGoneSecret = "gone-site-secret-qzxwvkjhgfdsapoiuytrewqmnbvcxz";

std::string LocalStorageKey(const std::string& origin, const std::string& name)
{
    return "_" + origin + std::string("\x00\x01", 2) + name;
}

// Protocol buffer fields, as the browsers serialize their records.
std::string Varint(std::uint64_t value)
{
    std::string bytes;
    for (; value >= 0x80; value >>= 7) bytes += static_cast<char>((value & 0x7F) | 0x80);
    return bytes + static_cast<char>(value);
}
std::string ProtoNumber(int field, std::uint64_t value)
{
    return Varint(static_cast<std::uint64_t>(field) << 3) + Varint(value);
}
std::string ProtoText(int field, const std::string& text)
{
    return Varint((static_cast<std::uint64_t>(field) << 3) | 2) + Varint(text.size()) + text;
}

// A ServiceWorkerRegistrationData: id, scope, script, version, active, fetch handler, last check.
std::string Registration(int id, const std::string& scope, int version)
{
    return ProtoNumber(1, id) + ProtoText(2, scope) + ProtoText(3, scope + "sw.js") +
           ProtoNumber(4, version) + ProtoNumber(5, 1) + ProtoNumber(6, 1) + ProtoNumber(7, 0);
}

// A LevelDB store of the Chromium family beyond Local Storage, in the
// profile's folder: a kept site's entries, a gone site's, entries of no site
// and of the store itself; and the keys that go.
struct ChromiumStore {
    const char* folder;
    std::map<std::string, std::string> entries;
    std::set<std::string> gone;
};

std::vector<ChromiumStore> ChromiumStores()
{
    const std::string nul(1, '\0');
    const std::string kept = "https://kept.example/";
    const std::string gone = "https://gone.example/";
    const std::string tab1 = "namespace-dabc53e1_8291_4de5_824f_dab8aa69c846-";
    const std::string tab2 = "namespace-0c6e4b1a_7d2f_4e3b_9a51_1f2e3d4c5b6a-";
    return {
        {"Session Storage",
         {{"version", "1"}, {"next-map-id", "6"}, {"namespace-", ""}, {tab1 + kept, "1"}, {tab1 + gone, "2"},
          // A tab opened from another shares its maps until one writes.
          {tab2 + gone, "2"},
          // A map a gone site shares with a kept one stays.
          {tab2 + "https://shared.example/", "1"},
          {tab1 + "chrome-extension://abcdefgh/", "5"}, {"map-1-login", "kept-value"}, {"map-2-id", kGoneSecret},
          {"map-3-orphan", "of no area"}, {"map-5-setting", "an extension's"}},
         {tab1 + gone, tab2 + gone, tab2 + "https://shared.example/", "map-2-id"}},
        {"Service Worker\\Database",
         {{"INITDATA_DB_VERSION", "2"}, {"INITDATA_NEXT_REGISTRATION_ID", "3"}, {"INITDATA_NEXT_VERSION_ID", "5"},
          {"INITDATA_NEXT_RESOURCE_ID", "10"}, {"INITDATA_UNIQUE_ORIGIN:" + kept, ""},
          {"INITDATA_UNIQUE_ORIGIN:" + gone, ""}, {"REG:" + kept + nul + "1", Registration(1, kept, 3)},
          {"REG:" + gone + nul + "2", Registration(2, gone, 4)}, {"REGID_TO_ORIGIN:1", kept}, {"REGID_TO_ORIGIN:2", gone},
          {"RES:3" + nul + "7", ProtoNumber(1, 7) + ProtoText(2, kept + "sw.js")},
          {"RES:4" + nul + "8", ProtoNumber(1, 8) + ProtoText(2, gone + kGoneSecret)},
          {"REG_USER_DATA:1" + nul + "push", "kept-subscription"}, {"REG_USER_DATA:2" + nul + "push", kGoneSecret},
          {"REG_HAS_USER_DATA:push" + nul + "1", ""}, {"REG_HAS_USER_DATA:push" + nul + "2", ""},
          // Resource ids of no telling owner.
          {"URES:9", ""}, {"PRES:6", ""}},
         {"INITDATA_UNIQUE_ORIGIN:" + gone, "REG:" + gone + nul + "2", "REGID_TO_ORIGIN:2", "RES:4" + nul + "8",
          "REG_USER_DATA:2" + nul + "push", "REG_HAS_USER_DATA:push" + nul + "2"}},
        {"File System\\Origins",
         {{"LAST_PATH", "001"}, {"ORIGIN:https_kept.example_0", "000"}, {"ORIGIN:https_gone.example_0", "001"}},
         {"ORIGIN:https_gone.example_0"}},
    };
}

// Files of sites beside the stores: Cache Storage folders named by a hash
// (their index names the site), File System folders named in Origins, and
// script cache entries keyed by the ids of the workers' resource records.
const char* const kKeptSiteFiles[] = {"Service Worker\\CacheStorage\\5f2b0c\\index.txt",
                                      "Service Worker\\CacheStorage\\77aa01\\index.txt",  // names no site
                                      "File System\\000\\p\\00\\00000000",
                                      "Service Worker\\ScriptCache\\0123456789abcdef_0",  // resource 7
                                      "Service Worker\\ScriptCache\\00000000000000aa_0",  // resource 80
                                      "Service Worker\\ScriptCache\\index"};
const char* const kGoneSitePaths[] = {"Service Worker\\CacheStorage\\9e41d7", "File System\\001",
                                      "Service Worker\\ScriptCache\\fedcba9876543210_0",  // resource 8
                                      "Service Worker\\ScriptCache\\fedcba9876543210_1"};

// A simple cache entry file: the header (magic number, version, key length,
// key hash, padding), the key, the data.
std::string ScriptCacheEntry(const std::string& key, const std::string& data)
{
    std::string header(24, '\0');
    for (int i = 0; i < 8; ++i) header[i] = static_cast<char>(0xfcfb6d1ba7725c30ULL >> (8 * i));
    header[8] = 5;
    header[12] = static_cast<char>(key.size());
    return header + key + data;
}

bool Exists(const std::string& path)
{
    return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
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

    void WriteLocalStorage(const std::map<std::string, std::string>& entries) { WriteStore(Store(), entries); }
    std::map<std::string, std::string> ReadLocalStorage() { return ReadStore(Store()); }

    static void WriteStore(const std::string& folder, const std::map<std::string, std::string>& entries)
    {
        ASSERT_TRUE(MakeFolders(folder));
        leveldb::Options options;
        options.create_if_missing = true;
        leveldb::DB* db = nullptr;
        ASSERT_TRUE(leveldb::DB::Open(options, folder, &db).ok());
        std::unique_ptr<leveldb::DB> owner(db);
        for (const auto& entry : entries) ASSERT_TRUE(db->Put(leveldb::WriteOptions(), entry.first, entry.second).ok());
    }

    static std::map<std::string, std::string> ReadStore(const std::string& folder)
    {
        leveldb::DB* db = nullptr;
        std::map<std::string, std::string> entries;
        if (!leveldb::DB::Open(leveldb::Options(), folder, &db).ok()) return entries;
        std::unique_ptr<leveldb::DB> owner(db);
        std::unique_ptr<leveldb::Iterator> it(db->NewIterator(leveldb::ReadOptions()));
        for (it->SeekToFirst(); it->Valid(); it->Next()) entries[it->key().ToString()] = it->value().ToString();
        return entries;
    }

    // The Chromium stores beyond Local Storage, with their sites' files.
    void WriteChromiumStores()
    {
        for (const ChromiumStore& store : ChromiumStores()) WriteStore(Profile() + "\\" + store.folder, store.entries);
        // CacheStorageIndex: a cache (field 1), the origin (field 2).
        const std::string caches = ProtoText(1, ProtoText(1, "v1"));
        WriteSiteFile(kKeptSiteFiles[0], caches + ProtoText(2, "https://kept.example"));
        WriteSiteFile(kKeptSiteFiles[1], caches);
        WriteSiteFile(kKeptSiteFiles[2], "kept file");
        WriteSiteFile(kKeptSiteFiles[3], ScriptCacheEntry("7", "kept script"));
        WriteSiteFile(kKeptSiteFiles[4], ScriptCacheEntry("80", "a script of no record"));
        WriteSiteFile(kKeptSiteFiles[5], "the cache's index");
        WriteSiteFile(std::string(kGoneSitePaths[0]) + "\\index.txt", caches + ProtoText(2, "https://gone.example"));
        WriteSiteFile(std::string(kGoneSitePaths[0]) + "\\0a1b\\index", kGoneSecret);
        WriteSiteFile(std::string(kGoneSitePaths[1]) + "\\t\\00\\00000000", kGoneSecret);
        WriteSiteFile(kGoneSitePaths[2], ScriptCacheEntry("8", kGoneSecret));
        WriteSiteFile(kGoneSitePaths[3], ScriptCacheEntry("8", kGoneSecret));
    }

    void WriteSiteFile(const std::string& relative, const std::string& content)
    {
        const std::string path = Profile() + "\\" + relative;
        ASSERT_TRUE(MakeFolders(path.substr(0, path.rfind('\\'))));
        ASSERT_TRUE(WriteWholeFile(path, content));
    }

    // Every store as it reads back, by folder.
    std::map<std::string, std::map<std::string, std::string>> ReadChromiumStores()
    {
        std::map<std::string, std::map<std::string, std::string>> stores;
        for (const ChromiumStore& store : ChromiumStores()) stores[store.folder] = ReadStore(Profile() + "\\" + store.folder);
        return stores;
    }

    // The profile's record of the run; empty when the job failed.
    std::string Run(BrowserFamily family = BrowserFamily::Chromium, const std::string& profile = "Default",
                    bool succeeds = true)
    {
        CBrowserSiteDataItem* job = new CBrowserSiteDataItem(family);
        sink.events.clear();
        const bool ran = job->Init(&info, kSettingsFile, &sink) == kJobSuccess && job->Run() == kJobSuccess;
        char error[1024] = {};
        job->GetErrorText(error, sizeof error);
        rowsRemoved = job->Counts().rows;
        skipped = job->Counts().skipped;
        job->Release();
        EXPECT_EQ(ran, succeeds) << error;
        for (const RecordedEvent& event : sink.events) {
            if (event.text.rfind("Test Chrome, profile " + profile + ": ", 0) == 0) return event.text;
        }
        return std::string();
    }

    ScratchFolder userData;
    FakeTaskInfo info;
    RecordingSink sink;
    long long rowsRemoved = 0;  // by the last run
    long long skipped = 0;      // by the last run: left alone and said so

    // The warnings of the last run that name text.
    size_t WarningsNaming(const std::string& text) const
    {
        return static_cast<size_t>(std::count_if(sink.events.begin(), sink.events.end(), [&](const RecordedEvent& event) {
            return event.type == 1 && event.text.find(text) != std::string::npos;
        }));
    }
};

// Every file of a store's folder but its logs (which hold no values).
std::vector<std::string> StoreFilesHolding(const std::string& folder, const std::string& bytes)
{
    std::vector<std::string> holding;
    WIN32_FIND_DATAA found;
    HANDLE search = ::FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return {"(the store is gone)"};
    do {
        const std::string name = found.cFileName;
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || name == "LOG" || name == "LOG.old") continue;
        std::string content;
        if (!ReadWholeFile(folder + "\\" + name, &content) || content.find(bytes) != std::string::npos) {
            holding.push_back(name);
        }
    } while (::FindNextFileA(search, &found));
    ::FindClose(search);
    return holding;
}

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

TEST_F(SiteData, EveryOriginFormChromiumWritesIsCleanedUnderTheKeepListOrReportedAsNotCleaned)
{
    // Origins as Chromium serializes them: a host ending in a dot, one with
    // an underscore, an IPv6 address (in IndexedDB's name, "_" for ":"),
    // and local files, which no keep list can name.
    const struct {
        std::string origin;
        const char* indexedDb;  // its IndexedDB folder, if any
        bool goes;
    } origins[] = {
        {"https://dot.example.", nullptr, true},
        {"https://www.kept.example.", nullptr, false},
        {"https://my_host.example", "https_my_host.example_0.indexeddb.leveldb", true},
        {"http://[::1]:8080", "http_[__1]_8080.indexeddb.leveldb", true},
        {"file://", "file__0.indexeddb.leveldb", false},
    };
    std::map<std::string, std::string> entries;
    for (const auto& o : origins) {
        entries["META:" + o.origin] = "m";
        entries[LocalStorageKey(o.origin, "k")] = "\x01" + (o.goes ? kGoneSecret : std::string("stays"));
        if (o.indexedDb == nullptr) continue;
        ASSERT_TRUE(MakeFolders(Profile() + "\\IndexedDB\\" + o.indexedDb));
        ASSERT_TRUE(WriteWholeFile(Profile() + "\\IndexedDB\\" + o.indexedDb + "\\000003.log", "data"));
    }
    WriteLocalStorage(entries);
    std::map<std::string, std::string> kept = ReadLocalStorage();
    for (const auto& o : origins) {
        if (!o.goes) continue;
        kept.erase("META:" + o.origin);
        kept.erase(LocalStorageKey(o.origin, "k"));
    }
    kept.erase("META:https://gone.example");
    kept.erase(LocalStorageKey("https://gone.example", "id"));

    // Gone: gone.example, dot.example, my_host.example, [::1]; kept: kept.example, www.kept.example.
    info.Set(kRunModeKey, kRunModePreview);
    EXPECT_EQ(Run(), "Test Chrome, profile Default: site data of 4 sites would be deleted, of 2 kept.");
    info.Set(kRunModeKey, kRunModeClean);
    EXPECT_EQ(Run(), "Test Chrome, profile Default: site data of 4 sites deleted, of 2 kept.");
    EXPECT_EQ(ReadLocalStorage(), kept);
    EXPECT_EQ(StoreFilesHolding(Store(), kGoneSecret), std::vector<std::string>());
    for (const auto& o : origins) {
        if (o.indexedDb == nullptr) continue;
        EXPECT_EQ(Exists(Profile() + "\\IndexedDB\\" + o.indexedDb), !o.goes) << o.indexedDb;
    }
    // What local files stored stays, said so and counted: two Local Storage entries and one folder.
    EXPECT_EQ(skipped, 3);
    EXPECT_EQ(WarningsNaming("local files (file://)"), 2u);
}

TEST_F(SiteData, FirefoxSiteFoldersOfEveryKindOfStorageAreCleanedUnderTheKeepList)
{
    WriteProfilesIni(userData.Path(), {{"main", "Profiles/main"}});
    // Origin folders as Firefox names them: ":" and "/" written "+",
    // attributes after "^", an IPv6 address in brackets.
    const struct {
        const char* name;
        bool goes;
    } folders[] = {
        {"https+++gone.example", true},
        {"http+++localhost+8080", true},
        {"http+++[++1]+8080", true},
        {"https+++my_host.example^userContextId=1", true},
        {"https+++kept.example^userContextId=2", false},
        {"https+++www.kept.example+8443", false},
        {"moz-extension+++0123-4567", false},
        {"chrome", false},
        {"file++++C++Users+me+page.html", false},  // local files: reported
    };
    for (const char* kind : {"default", "permanent", "temporary"}) {
        SCOPED_TRACE(kind);
        const std::string storage = userData.File(std::string("Profiles\\main\\storage\\") + kind);
        for (const auto& folder : folders) {
            ASSERT_TRUE(MakeFolders(storage + "\\" + folder.name + "\\idb"));
            ASSERT_TRUE(WriteWholeFile(storage + "\\" + folder.name + "\\idb\\data.sqlite", kGoneSecret));
        }
        EXPECT_EQ(Run(BrowserFamily::Firefox, "main"), "Test Chrome, profile main: site data of 4 sites deleted, of 2 kept.");
        for (const auto& folder : folders) EXPECT_EQ(Exists(storage + "\\" + folder.name), !folder.goes) << folder.name;
        EXPECT_EQ(skipped, 1);
        EXPECT_EQ(WarningsNaming("file++++C++Users+me+page.html was not cleaned"), 1u);
        ASSERT_TRUE(RemoveTree(storage));
    }
}

TEST_F(SiteData, EachChromiumStoreKeepsAKeptSitesEntriesAndLosesEveryOtherSitesDownToTheBytes)
{
    WriteChromiumStores();
    const auto before = ReadChromiumStores();
    BrowserSettings settings;
    settings.name = "Test Chrome";
    settings.dataRoot = settings.cacheRoot = userData.Path();
    StringList hosts = ListSiteDataHosts(BrowserFamily::Chromium, settings);
    std::sort(hosts.begin(), hosts.end());
    hosts.erase(std::unique(hosts.begin(), hosts.end()), hosts.end());
    EXPECT_EQ(hosts, (StringList{"gone.example", "kept.example", "shared.example", "www.kept.example"}));

    // Local Storage's two keys of the gone site, then each store's.
    long long goneKeys = 2;
    for (const ChromiumStore& store : ChromiumStores()) goneKeys += static_cast<long long>(store.gone.size());
    info.Set(kRunModeKey, kRunModePreview);
    EXPECT_EQ(Run(), "Test Chrome, profile Default: site data of 2 sites would be deleted, of 2 kept.");
    EXPECT_EQ(rowsRemoved, goneKeys);
    EXPECT_EQ(ReadChromiumStores(), before);
    for (const char* path : kGoneSitePaths) EXPECT_TRUE(Exists(Profile() + "\\" + path)) << path;

    info.Set(kRunModeKey, kRunModeClean);
    EXPECT_EQ(Run(), "Test Chrome, profile Default: site data of 2 sites deleted, of 2 kept.");
    EXPECT_EQ(rowsRemoved, goneKeys);
    for (const ChromiumStore& store : ChromiumStores()) {
        SCOPED_TRACE(store.folder);
        std::map<std::string, std::string> kept = store.entries;
        for (const std::string& key : store.gone) kept.erase(key);
        EXPECT_EQ(ReadStore(Profile() + "\\" + store.folder), kept);
        for (const std::string& bytes : {kGoneSecret, std::string("gone.example"), std::string("shared.example")}) {
            EXPECT_EQ(StoreFilesHolding(Profile() + "\\" + store.folder, bytes), std::vector<std::string>()) << bytes;
        }
    }
    for (const char* file : kKeptSiteFiles) EXPECT_TRUE(FileExists(Profile() + "\\" + file)) << file;
    for (const char* path : kGoneSitePaths) EXPECT_FALSE(Exists(Profile() + "\\" + path)) << path;
}

// A store the item must not change: held by the running browser, or with a
// record that contradicts what the store's reader expects.
struct RefusedChromiumStore {
    const char* folder;
    std::string key;    // damaged to value; empty: the store is held
    std::string value;
    const char* errorText;
    std::vector<const char*> untouched;  // files of the store's sites that must stay with it
};

TEST_F(SiteData, AChromiumStoreThatIsHeldOrDamagedIsRefusedAndLeftWhole)
{
    const RefusedChromiumStore refused[] = {
        {"Session Storage", "", "", "in use by another program", {}},
        {"Service Worker\\Database", "", "", "in use by another program", {kGoneSitePaths[0], kGoneSitePaths[2]}},
        {"File System\\Origins", "", "", "in use by another program", {kGoneSitePaths[1]}},
        {"Session Storage", "namespace-dabc53e1_8291_4de5_824f_dab8aa69c846-https://gone.example/", "two",
         "names no map", {}},
        {"Service Worker\\Database", std::string("REG:https://gone.example/\0" "2", 27), "\x08\x02\x22", "cannot be read",
         {kGoneSitePaths[0], kGoneSitePaths[2]}},
        {"Service Worker\\Database", std::string("REG:https://gone.example/\0" "2", 27), ProtoNumber(1, 7) + ProtoNumber(4, 4),
         "cannot be read", {kGoneSitePaths[0], kGoneSitePaths[2]}},
        {"File System\\Origins", "ORIGIN:https_gone.example_0", "..\\..\\Local Storage", "not its own plain number",
         {kGoneSitePaths[1]}},
        // The store's own folder, and a kept site's.
        {"File System\\Origins", "ORIGIN:https_gone.example_0", "Origins", "not its own plain number",
         {kGoneSitePaths[1]}},
        {"File System\\Origins", "ORIGIN:https_gone.example_0", "000", "not its own plain number", {kKeptSiteFiles[2]}},
    };
    for (const RefusedChromiumStore& store : refused) {
        SCOPED_TRACE(std::string(store.folder) + " " + store.errorText);
        WriteChromiumStores();
        const std::string folder = Profile() + "\\" + store.folder;
        std::unique_ptr<leveldb::DB> holder;
        if (store.key.empty()) {
            leveldb::DB* db = nullptr;
            ASSERT_TRUE(leveldb::DB::Open(leveldb::Options(), folder, &db).ok());
            holder.reset(db);
        } else {
            WriteStore(folder, {{store.key, store.value}});
        }
        std::map<std::string, std::string> before;
        for (const ChromiumStore& written : ChromiumStores()) {
            if (written.folder == std::string(store.folder)) before = written.entries;
        }
        if (!store.key.empty()) before[store.key] = store.value;

        info.Set(kRunModeKey, kRunModeClean);
        const std::string record = Run(BrowserFamily::Chromium, "Default", false);
        EXPECT_NE(record.find(store.errorText), std::string::npos) << record;
        holder.reset();
        EXPECT_EQ(ReadStore(folder), before);
        for (const char* path : store.untouched) EXPECT_TRUE(Exists(Profile() + "\\" + path)) << path;
    }
}

TEST_F(SiteData, RecordsADamagedServiceWorkerStoreSharesWithAKeptSiteStayWithWhatTheyName)
{
    const std::string nul(1, '\0');
    const std::string gone = "https://gone.example/";
    const std::string userData = "REG_USER_DATA:5" + nul + "push";
    // Records written over the store's own, each of which must stay. The gone
    // site's version 4 names resource 8, whose script stays while a record
    // left names it; registration 5 is the gone site's by its REG record and
    // the kept site's by its origin record, the id spelled two ways.
    const std::vector<std::map<std::string, std::string>> cases = {
        {{"RES:3" + nul + "8", ProtoNumber(1, 8)}},   // the kept site's version
        {{"RES:9" + nul + "8", ProtoNumber(1, 8)}},   // a version no registration names
        {{"RES:3" + nul + "08", ProtoNumber(1, 8)}},  // the id written another way
        {{"REG:" + gone + nul + "05", Registration(5, gone, 6)}, {"REGID_TO_ORIGIN:5", "https://kept.example/"},
         {userData, "kept-subscription"}},
        {{"REG:" + gone + nul + "5", Registration(5, gone, 6)}, {"REGID_TO_ORIGIN:005", "https://kept.example/"},
         {userData, "kept-subscription"}},
    };
    const std::string folder = Profile() + "\\Service Worker\\Database";
    for (const auto& added : cases) {
        SCOPED_TRACE(added.begin()->first);
        leveldb::DestroyDB(folder, leveldb::Options());  // what the case before left
        WriteChromiumStores();
        WriteStore(folder, added);
        info.Set(kRunModeKey, kRunModeClean);
        EXPECT_EQ(Run(), "Test Chrome, profile Default: site data of 2 sites deleted, of 2 kept.");
        const std::map<std::string, std::string> left = ReadStore(folder);
        for (const auto& record : added) EXPECT_EQ(left.count(record.first), 1u) << record.first;
        EXPECT_EQ(left.count("REG:" + gone + nul + "2"), 0u) << "the gone site's own registration goes";
        EXPECT_FALSE(Exists(Profile() + "\\" + kGoneSitePaths[0])) << "the gone site's caches go all the same";
        if (added.size() == 1) {
            EXPECT_TRUE(FileExists(Profile() + "\\" + kGoneSitePaths[2])) << "its script stays";
        }
    }
}

TEST_F(SiteData, LocalStorageASiteWroteInsideAnotherIsTheEmbeddedSitesOwn)
{
    // Partitioned keys name the storage key: the embedded origin, then "^" and the top-level site.
    const std::map<std::string, std::string> partitioned = {
        {"META:https://gone.example/^0https://kept.example", "m"},
        {LocalStorageKey("https://gone.example/^0https://kept.example", "id"), "\x01" + kGoneSecret},
        {"META:https://kept.example/^0https://gone.example", "m"},
        {LocalStorageKey("https://kept.example/^0https://gone.example", "login"), "\x01kept-inside"},
    };
    WriteLocalStorage(partitioned);
    std::map<std::string, std::string> kept = ReadLocalStorage();
    for (const char* origin : {"https://gone.example", "https://gone.example/^0https://kept.example"}) {
        kept.erase(std::string("META:") + origin);
        kept.erase(LocalStorageKey(origin, "id"));
    }
    info.Set(kRunModeKey, kRunModeClean);
    EXPECT_EQ(Run(), "Test Chrome, profile Default: site data of 1 sites deleted, of 2 kept.");
    EXPECT_EQ(rowsRemoved, 4);
    EXPECT_EQ(ReadLocalStorage(), kept);
    EXPECT_EQ(StoreFilesHolding(Store(), kGoneSecret), std::vector<std::string>());
}

// A store one of whose files has a second name elsewhere is refused whole:
// opening it would let LevelDB rewrite or delete that file.
TEST_F(SiteData, AStoreWithAFileOfTwoNamesIsRefusedWithAWarningNamingIt)
{
    const std::map<std::string, std::string> entries = {
        {"META:https://gone.example", "meta"}, {std::string("_https://gone.example\0\1key", 26), "\1value"}};
    WriteLocalStorage(entries);
    const std::map<std::string, std::string> before = ReadLocalStorage();
    const std::string secondName = userData.File("second name of CURRENT");
    ASSERT_TRUE(::CreateHardLinkA(secondName.c_str(), (Store() + "\\CURRENT").c_str(), nullptr));
    std::string current;
    ASSERT_TRUE(ReadWholeFile(secondName, &current));

    info.Set(kRunModeKey, kRunModeClean);
    const std::string record = Run(BrowserFamily::Chromium, "Default", false);
    EXPECT_NE(record.find("The LevelDB store " + Store() + " is left alone: its file CURRENT cannot be used (it has "
                          "other names (hard links))"), std::string::npos) << record;
    std::string after;
    EXPECT_TRUE(ReadWholeFile(secondName, &after) && after == current);
    ASSERT_TRUE(::DeleteFileA(secondName.c_str()));
    EXPECT_EQ(ReadLocalStorage(), before);
}
