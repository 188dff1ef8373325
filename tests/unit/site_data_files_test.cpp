// The site data files of a profile (Firefox webappsstore.sqlite,
// serviceworker.txt and favicons.sqlite, Chromium Favicons) cleaned by the
// site data item in this process, on profiles written in the browsers' own
// formats: a kept site keeps every entry, so does a bookmarked page, every
// other site's entries go down to their bytes, entries of no site stay, a
// preview says the same and changes nothing, and a file that is held or
// malformed (or whose bookmarks cannot be read) stays as it was.
#include "common/codecs.h"
#include "jobapi/extkeys.h"
#include "common/handles.h"
#include "common/paths.h"
#include "plugin/engines/sitedata/serviceworkerlist.h"
#include "plugin/jobs/browseritems.h"
#include "support/browser_profiles.h"
#include "support/fake_task_info.h"
#include "support/recording_sink.h"
#include "support/scratch_folder.h"
#include "support/text_file.h"

#include <windows.h>
#include <sqlite3.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

const char kSettingsFile[] = "tw_test_site_data_files.ini";
const std::string kGoneSecret = "gone-site-secret-plmoknijbuhvygctfxrdzeswaq";

// A registration as current Firefox writes it in a version 12 list: origin
// attributes, scope, script, fetch flag, cache, update flags, three times,
// navigation preload flag and header, the count of key and value pairs
// (hexadecimal), activation attempts, broken flag, cache id, worker type,
// then "#".
std::string Registration(const std::string& scope, const std::string& cache)
{
    return "\n" + scope + "\n" + scope + "sw.js\ntrue\n" + cache +
           "\n0\n1700000000000\n1700000000000\n1700000000000\n0\ntrue\n0\n0\n0\n0\n0\n#\n";
}

std::string Contents(const std::string& path)
{
    std::string text;
    return ReadWholeFile(path, &text) ? text : std::string("(missing)");
}

// Holds a database as its running browser does: in the middle of a write.
std::shared_ptr<void> HoldDatabase(const std::string& path)
{
    sqlite3* db = nullptr;
    EXPECT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    return std::shared_ptr<void>(db, [](void* held) { sqlite3_close(static_cast<sqlite3*>(held)); });
}

std::string FolderOf(const std::string& path)
{
    return path.substr(0, path.rfind('\\'));
}

// Pages with icons: two kept sites, the gone site (two pages, one with an
// icon of its own holding the secret, one sharing a kept page's icon), a
// bookmarked page of a site that is not kept, and a page of no site.
const std::vector<TestFavicon> kFavicons = {
    {"https://kept.example/a", "https://kept.example/icon.png", "kept-image"},
    {"https://www.kept.example/b", "https://cdn.example/shared.ico", "shared-image"},
    {"https://gone.example/x", "https://gone.example/icon.png", kGoneSecret},
    {"http://gone.example:8080/y", "https://cdn.example/shared.ico", "shared-image"},
    {"https://bookmarked.example/z", "https://bookmarked.example/icon.png", "bookmarked-image"},
    {"about:home", "chrome://branding/icon.png", "of no site"},
};
const char kBookmarkedPage[] = "https://bookmarked.example/z";

// One store of the table: how a test writes it with two kept sites, a gone
// site (whose entries name it and hold the secret) and an entry of no site,
// and what it holds, one text per entry.
struct StoreCase {
    BrowserFamily family;
    const char* profile;  // its folder below the user data folder
    const char* file;
    std::function<void(const std::string& path)> write;
    std::function<std::vector<std::string>(const std::string& path)> entries;
    // Holds the file as the running browser does, until the result goes.
    std::function<std::shared_ptr<void>(const std::string& path)> hold;
    size_t goneEntries;
    long long goneRows;  // as the item counts them: rows, registrations, favicon pages and root icons, buckets
};

void WriteWebAppsStore(const std::string& path)
{
    CreateFirefoxWebAppsStore(path, {{"elpmaxe.tpek.:https:443", "login", "kept-value"},
                                     {"elpmaxe.tpek.www.:https:443", "theme", "dark"},
                                     {"elpmaxe.enog.:https:443", "gone-id", kGoneSecret},
                                     {"elpmaxe.enog.:http:8080", "gone-token", kGoneSecret},
                                     {"7654-3210.:moz-extension", "options", "of no site"}});
}

std::vector<std::string> WebAppsStoreEntries(const std::string& path)
{
    return QueryColumn(path, "SELECT originKey || ' ' || key || ' ' || value FROM webappsstore2 ORDER BY 1");
}

const std::vector<StoreCase>& Stores()
{
    static const std::vector<StoreCase> stores = {
        {BrowserFamily::Firefox, "Profiles\\main", "webappsstore.sqlite", &WriteWebAppsStore, &WebAppsStoreEntries,
         &HoldDatabase, 2, 2},
        // The copy of it that the newer local storage keeps beside its sites' folders.
        {BrowserFamily::Firefox, "Profiles\\main", "storage\\ls-archive.sqlite", &WriteWebAppsStore,
         &WebAppsStoreEntries, &HoldDatabase, 2, 2},
        {BrowserFamily::Firefox, "Profiles\\main", "serviceworker.txt",
         [](const std::string& path) {
             ASSERT_TRUE(WriteWholeFile(path, "12\n" + Registration("https://kept.example/", "kept-cache") +
                                                  Registration("https://gone.example/", kGoneSecret) +
                                                  Registration("https://www.kept.example/app/", "kept-cache-2") +
                                                  Registration("http://gone.example:8080/", kGoneSecret) +
                                                  Registration("moz-extension://0123-4567/", "no-site-cache")));
         },
         [](const std::string& path) {
             std::vector<std::string> entries;
             std::string text = Contents(path);
             for (size_t end; (end = text.find("#\n")) != std::string::npos; text.erase(0, end + 2)) {
                 entries.push_back(text.substr(0, end));
             }
             entries.push_back(text);  // what follows the last registration
             return entries;
         },
         [](const std::string& path) -> std::shared_ptr<void> {
             const HANDLE file = ::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                               nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
             EXPECT_NE(file, INVALID_HANDLE_VALUE);
             return std::shared_ptr<void>(file, [](void* held) { ::CloseHandle(held); });
         },
         2, 2},
        {BrowserFamily::Chromium, "Default", "Favicons",
         [](const std::string& path) {
             CreateChromiumFavicons(path, kFavicons);
             WriteChromiumBookmarks(FolderOf(path) + "\\Bookmarks", {"https://elsewhere.example/", kBookmarkedPage});
         },
         [](const std::string& path) {
             return QueryColumn(path, "SELECT 'map ' || page_url FROM icon_mapping UNION ALL SELECT 'icon ' || url FROM "
                                      "favicons UNION ALL SELECT 'bitmap ' || CAST(image_data AS TEXT) FROM "
                                      "favicon_bitmaps ORDER BY 1");
         },
         &HoldDatabase, 4, 2},
        {BrowserFamily::Firefox, "Profiles\\main", "favicons.sqlite",
         [](const std::string& path) {
             std::vector<TestFavicon> favicons = kFavicons;
             // Root icons, which no page names: the gone site's, a bookmarked site's, a kept site's.
             favicons.push_back({"", "https://gone.example/favicon.ico", kGoneSecret});
             favicons.push_back({"", "https://bookmarked.example/favicon.ico", "bookmarked-root"});
             favicons.push_back({"", "https://kept.example/favicon.ico", "kept-root"});
             CreateFirefoxFavicons(path, favicons);
             CreateFirefoxPlaces(FolderOf(path) + "\\places.sqlite", {"https://visited.example/"}, {kBookmarkedPage});
         },
         [](const std::string& path) {
             return QueryColumn(path, "SELECT 'page ' || page_url FROM moz_pages_w_icons UNION ALL SELECT 'map ' || "
                                      "p.page_url || ' ' || i.icon_url FROM moz_icons_to_pages m JOIN moz_pages_w_icons "
                                      "p ON p.id = m.page_id JOIN moz_icons i ON i.id = m.icon_id UNION ALL SELECT "
                                      "'icon ' || icon_url || ' ' || CAST(data AS TEXT) FROM moz_icons ORDER BY 1");
         },
         &HoldDatabase, 6, 3},
        {BrowserFamily::Chromium, "Default", "WebStorage\\QuotaManager",
         [](const std::string& path) {
             const std::vector<TestBucket> buckets = {{"https://kept.example/", "default"},
                                                      {"https://www.kept.example/", "default"},
                                                      {"https://gone.example/", "gone-" + kGoneSecret},
                                                      {"https://gone.example/^0https://kept.example", "gone-partitioned"},
                                                      {"chrome-extension://abcdef/", "default"}};
             CreateChromiumQuotaManager(path, buckets);
             for (size_t id = 1; id <= buckets.size(); ++id) {
                 const std::string folder = FolderOf(path) + "\\" + std::to_string(id) + "\\IndexedDB";
                 ASSERT_TRUE(MakeFolders(folder));
                 ASSERT_TRUE(WriteWholeFile(folder + "\\data", "data of " + buckets[id - 1].name));
             }
         },
         [](const std::string& path) {
             std::vector<std::string> entries = QueryColumn(path, "SELECT storage_key || ' ' || name FROM buckets");
             for (int id = 1; id <= 5; ++id) {
                 const std::string data = FolderOf(path) + "\\" + std::to_string(id) + "\\IndexedDB\\data";
                 if (FileExists(data)) entries.push_back("folder " + std::to_string(id) + " " + Contents(data));
             }
             return entries;
         },
         &HoldDatabase, 4, 2},
        {BrowserFamily::Chromium, "Default", "Shared Dictionary\\db",
         [](const std::string& path) {
             CreateChromiumSharedDictionaries(path, {{"https://kept.example", "https://kept.example", "/kept/*"},
                                                     {"https://www.kept.example", "https://other.example", "/www/*"},
                                                     {"https://gone.example", "https://gone.example", "/" + kGoneSecret},
                                                     {"https://gone.example:8443", "https://kept.example", "/gone/*"},
                                                     {"chrome-extension://abcdef", "chrome-extension://abcdef", "/x"}});
         },
         [](const std::string& path) {
             std::vector<std::string> entries = QueryColumn(
                 path, "SELECT frame_origin || ' ' || top_frame_site || ' ' || match FROM dictionaries ORDER BY 1");
             // What the browser records of their total size follows the rows that are left.
             const std::vector<std::string> total = QueryColumn(
                 path, "SELECT CAST(value AS INTEGER) = (SELECT SUM(size) FROM dictionaries) FROM meta "
                       "WHERE key = 'total_dict_size'");
             entries.push_back("total size recorded right: " + (total.empty() ? std::string("none") : total[0]));
             return entries;
         },
         &HoldDatabase, 2, 2},
    };
    return stores;
}

std::vector<std::string> WithoutGoneEntries(std::vector<std::string> entries)
{
    entries.erase(std::remove_if(entries.begin(), entries.end(),
                                 [](const std::string& entry) { return entry.find("gone") != std::string::npos; }),
                  entries.end());
    return entries;
}

struct Outcome {
    bool ran = false;
    std::string record;  // the profile's record
    std::string error;
    long long rows = 0;  // the rows (entries) counted as removed
};

class SiteDataFiles : public ::testing::Test {
protected:
    void SetUp() override
    {
        // One folder serves as both browsers' user data folder.
        WriteProfilesIni(userData.Path(), {{"main", "Profiles/main"}});
        WriteLocalState(userData.Path(), {"Default"});
        for (const char* profile : {"Profiles\\main", "Default"}) ASSERT_TRUE(MakeFolders(userData.File(profile)));
        ASSERT_TRUE(WriteWholeFile(GetModuleFilePath(kSettingsFile),
                                   "[Browser]\r\nName=Test Browser\r\nData=" + userData.Path() + "\r\n"));
        info.Set(kCookieKeepListKey, EncodeStringList({"kept.example"}));
    }
    void TearDown() override { ::DeleteFileA(GetModuleFilePath(kSettingsFile).c_str()); }

    std::string Path(const StoreCase& store) const { return userData.File(store.profile) + "\\" + store.file; }

    Outcome Run(bool preview, BrowserFamily family = BrowserFamily::Firefox)
    {
        info.Set(kRunModeKey, preview ? kRunModePreview : kRunModeClean);
        CBrowserSiteDataItem* job = new CBrowserSiteDataItem(family);
        sink.events.clear();
        Outcome outcome;
        outcome.ran = job->Init(&info, kSettingsFile, &sink) == kJobSuccess && job->Run() == kJobSuccess;
        char error[2048] = {};
        job->GetErrorText(error, sizeof error);
        outcome.error = error;
        outcome.rows = job->Counts().rows;
        job->Release();
        for (const RecordedEvent& event : sink.events) {
            const std::string profile = family == BrowserFamily::Firefox ? "main" : "Default";
            if (event.text.rfind("Test Browser, profile " + profile + ": ", 0) == 0) outcome.record = event.text;
            if (event.text.rfind("Test Browser, profile ", 0) == 0) outcome.error += "\n" + event.text;
        }
        return outcome;
    }

    StringList SiteHosts(BrowserFamily family)
    {
        BrowserSettings settings;
        settings.name = "Test Browser";
        settings.dataRoot = settings.cacheRoot = userData.Path();
        StringList hosts = ListSiteDataHosts(family, settings);
        std::sort(hosts.begin(), hosts.end());
        hosts.erase(std::unique(hosts.begin(), hosts.end()), hosts.end());
        return hosts;
    }

    ScratchFolder userData;
    FakeTaskInfo info;
    RecordingSink sink;
};

}  // namespace

TEST_F(SiteDataFiles, AKeptSiteOrBookmarkKeepsAllItStoresAndEveryOtherSitesEntriesGoDownToTheBytes)
{
    for (const StoreCase& store : Stores()) {
        SCOPED_TRACE(store.file);
        const std::string path = Path(store);
        store.write(path);
        ASSERT_NE(Contents(path).find(kGoneSecret), std::string::npos) << "the scan below looks for what is there";
        const std::vector<std::string> before = store.entries(path);
        const std::vector<std::string> kept = WithoutGoneEntries(before);
        ASSERT_EQ(before.size(), kept.size() + store.goneEntries);
        EXPECT_EQ(SiteHosts(store.family), (StringList{"gone.example", "kept.example", "www.kept.example"}));
        const std::string record = std::string("Test Browser, profile ") +
                                   (store.family == BrowserFamily::Firefox ? "main" : "Default") + ": site data of 1 sites ";

        const Outcome preview = Run(true, store.family);
        EXPECT_TRUE(preview.ran) << preview.error;
        EXPECT_EQ(preview.record, record + "would be deleted, of 2 kept.");
        EXPECT_EQ(store.entries(path), before);

        const Outcome clean = Run(false, store.family);
        EXPECT_TRUE(clean.ran) << clean.error;
        EXPECT_EQ(clean.record, record + "deleted, of 2 kept.");
        EXPECT_EQ(clean.rows, store.goneRows);
        EXPECT_EQ(preview.rows, clean.rows);
        EXPECT_EQ(store.entries(path), kept);
        // Erased means erased: no file of the store holds the gone site's bytes.
        for (const char* suffix : {"", "-wal", "-journal", ".tw-new"}) {
            EXPECT_EQ(Contents(path + suffix).find(kGoneSecret), std::string::npos) << suffix;
        }
        EXPECT_EQ(SiteHosts(store.family), (StringList{"kept.example", "www.kept.example"}));
        for (const char* suffix : {"", "-wal", "-shm"}) ::DeleteFileA((path + suffix).c_str());
    }
}

TEST_F(SiteDataFiles, AFileItsBrowserHoldsIsRefusedAndLeftWhole)
{
    for (const StoreCase& store : Stores()) {
        SCOPED_TRACE(store.file);
        const std::string path = Path(store);
        store.write(path);
        const std::string before = Contents(path);
        Outcome clean;
        {
            const std::shared_ptr<void> held = store.hold(path);
            clean = Run(false, store.family);
        }
        EXPECT_FALSE(clean.ran);
        EXPECT_NE(clean.error.find(path + " was left as it was"), std::string::npos) << clean.error;
        EXPECT_EQ(clean.rows, 0);
        EXPECT_EQ(Contents(path), before);
        for (const char* suffix : {"", "-wal", "-shm"}) ::DeleteFileA((path + suffix).c_str());
    }
}

TEST_F(SiteDataFiles, FaviconsStayUntouchedWhenTheBookmarksCannotBeRead)
{
    const struct {
        BrowserFamily family;
        const char* favicons;
        const char* damaged;  // beside the favicons
        std::string content;
        const char* said;
    } cases[] = {
        {BrowserFamily::Chromium, "Default\\Favicons", "Default\\Bookmarks", "{\"roots\":{\"bookmark_bar\":{\"children\":[",
         "\\Default\\Bookmarks is damaged"},
        {BrowserFamily::Firefox, "Profiles\\main\\favicons.sqlite", "Profiles\\main\\places.sqlite", "not a database",
         "\\places.sqlite could not be read for its bookmarks"},
        // Bookmarks still in the log of a browser that did not close cleanly.
        {BrowserFamily::Firefox, "Profiles\\main\\favicons.sqlite", "Profiles\\main\\places.sqlite-wal", "log",
         "\\places.sqlite holds changes its browser did not finish writing"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.damaged);
        const std::string favicons = userData.File(c.favicons);
        if (c.family == BrowserFamily::Chromium) CreateChromiumFavicons(favicons, kFavicons);
        if (c.family == BrowserFamily::Firefox) CreateFirefoxFavicons(favicons, kFavicons);
        CreateFirefoxPlaces(FolderOf(favicons) + "\\places.sqlite", {}, {kBookmarkedPage});
        ASSERT_TRUE(WriteWholeFile(userData.File(c.damaged), c.content));
        const std::string before = Contents(favicons);
        const Outcome clean = Run(false, c.family);
        EXPECT_FALSE(clean.ran);
        EXPECT_NE(clean.error.find(c.said), std::string::npos) << clean.error;
        EXPECT_EQ(Contents(favicons), before);
        // The keep-list dialog still offers the sites, the bookmarked one among them.
        EXPECT_EQ(SiteHosts(c.family), (StringList{"bookmarked.example", "gone.example", "kept.example", "www.kept.example"}));
        for (const char* suffix : {"", "-wal", "-shm"}) ::DeleteFileA((userData.File(c.damaged) + suffix).c_str());
    }
}

TEST_F(SiteDataFiles, AFirefoxRootIconGoesWithItsOwnSiteAloneAndNeverWithAPageThatStays)
{
    // Root icons as the browser keeps them: related to no page of their own
    // host, only to pages of other hosts (a subdomain's included).
    const struct {
        const char* what;
        std::vector<TestFavicon> favicons;
        const char* record;  // after "site data of "
        long long rows;      // pages and root icons that go
        std::vector<std::string> iconsLeft;
    } cases[] = {
        {"a kept site's root icon that a gone site's page also showed",
         {{"https://gone.example/x", "https://kept.example/favicon.ico", "kept-root"},
          {"https://kept.example/a", "https://kept.example/favicon.ico", "kept-root"}},
         "1 sites deleted, of 1 kept.", 1, {"https://kept.example/favicon.ico"}},
        {"a bookmarked site's root icon that a gone site's page also showed",
         {{"https://gone.example/x", "https://bookmarked.example/favicon.ico", "bookmarked-root"}},
         "1 sites deleted, of 0 kept.", 1, {"https://bookmarked.example/favicon.ico"}},
        {"a gone site's root icon that a kept site's page shows",
         {{"https://kept.example/a", "https://gone.example/favicon.ico", "shown by a kept page"}},
         "0 sites deleted, of 1 kept.", 0, {"https://gone.example/favicon.ico"}},
        {"a gone subdomain sharing its gone parent's root icon",
         {{"https://sub.gone.example/p", "https://gone.example/favicon.ico", kGoneSecret},
          {"https://gone.example/q", "https://gone.example/favicon.ico", kGoneSecret}},
         "2 sites deleted, of 0 kept.", 2, {}},
    };
    const std::string path = userData.File("Profiles\\main\\favicons.sqlite");
    const std::string record = "Test Browser, profile main: site data of ";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        CreateFirefoxFavicons(path, c.favicons);
        CreateFirefoxPlaces(FolderOf(path) + "\\places.sqlite", {}, {kBookmarkedPage});
        const std::string before = Contents(path);
        const Outcome preview = Run(true);
        EXPECT_TRUE(preview.ran) << preview.error;
        EXPECT_TRUE(Contents(path) == before) << "a preview changed the database";
        const Outcome clean = Run(false);
        EXPECT_TRUE(clean.ran) << clean.error;
        EXPECT_EQ(clean.record, record + c.record);
        // The preview says what the clean does.
        std::string previewed = c.record;
        previewed.replace(previewed.find("deleted"), 7, "would be deleted");
        EXPECT_EQ(preview.record, record + previewed);
        EXPECT_EQ(clean.rows, c.rows);
        EXPECT_EQ(QueryColumn(path, "SELECT icon_url FROM moz_icons ORDER BY 1"), c.iconsLeft);
        EXPECT_EQ(QueryColumn(path, "SELECT page_url FROM moz_pages_w_icons WHERE page_url LIKE '%gone.example%'"),
                  std::vector<std::string>{});
        for (const char* suffix : {"", "-wal", "-shm"}) ::DeleteFileA((path + suffix).c_str());
    }
}

TEST_F(SiteDataFiles, AServiceWorkerListThisProgramCannotReadWholeIsLeftUntouched)
{
    const std::string gone = Registration("https://gone.example/", kGoneSecret);
    const std::string flag = gone.substr(0, gone.find("true")) + "yes" + gone.substr(gone.find("true") + 4);
    const std::string type = gone.substr(0, gone.size() - 4) + "x\n#\n";
    const std::string cases[] = {
        "",                                                 // no version
        "99\n" + gone,                                      // a version not known
        "13\n" + gone,                                      // the one after the newest known
        "12\r\n" + gone,                                    // lines of another kind
        "12\n" + gone.substr(0, gone.size() - 2),           // cut short before its "#"
        "12\n" + gone + gone.substr(0, gone.find("true")),  // the next one cut short
        "12\n" + flag,                                      // a flag that is none
        "12\n" + type,                                      // a number that is none
        "11\n" + gone,                                      // one line more than its version has
        "12\nattributes" + gone,                            // lines out of step
    };
    const std::string path = userData.File("Profiles\\main\\serviceworker.txt");
    const std::string favicons = userData.File("Profiles\\main\\favicons.sqlite");  // cleaned after the list
    for (const std::string& text : cases) {
        SCOPED_TRACE(text);
        ASSERT_TRUE(WriteWholeFile(path, text));
        // The profile's other stores are cleaned all the same.
        CreateFirefoxFavicons(favicons, {{"https://gone.example/x", "https://gone.example/icon.png", kGoneSecret}});
        const Outcome clean = Run(false);
        EXPECT_FALSE(clean.ran);
        EXPECT_NE(clean.error.find(path + " was left as it was"), std::string::npos) << clean.error;
        EXPECT_EQ(Contents(path), text);
        EXPECT_EQ(Contents(path + ".tw-new"), "(missing)");
        EXPECT_EQ(CountRows(favicons, "moz_pages_w_icons"), 0);
    }
}

TEST(ServiceWorkerList, EachVersionsRegistrationsReadWholeWithTheirScopesSite)
{
    struct Case {
        std::string text;
        StringList hosts;
    };
    const Case cases[] = {
        {"2\n\nhttps://a.example/\nhttps://a.example/\nsw.js\nhttps://a.example/sw.js\ncache\nwaiting\n#\n", {"a.example"}},
        {"4\n^userContextId=2\nhttps://b.example/x/\nhttps://b.example/sw.js\ncache\n#\n", {"b.example"}},
        {"10\n\nhttps://c.example/\nhttps://c.example/sw.js\nfalse\ncache\n0\n1\n2\n3\n0\ntrue\n1\ncookie-store\n[]\n#\n"
         "\nmoz-extension://0123/\nmoz-extension://0123/sw.js\ntrue\ncache\n0\n1\n2\n3\n0\ntrue\n0\n#\n",
         {"c.example", ""}},
        // As Firefox writes them today: after the pairs, activation attempts,
        // broken flag and cache id (11), then the worker's type (12).
        {"11\n\nhttps://d.example/\nhttps://d.example/sw.js\ntrue\ncache\n0\n1\n2\n3\n0\ntrue\n0\n2\n1\n-1\n#\n", {"d.example"}},
        {"12\n^privateBrowsingId=1\nhttps://e.example/app/\nhttps://e.example/sw.js\ntrue\ncache\n1\n1\n2\n3\n1\nx\n1\n"
         "cookie-store\n[{\"name\":\"a\"}]\n0\n0\n7\n1\n#\n\nhttps://f.example/\nhttps://f.example/sw.js\nfalse\ncache\n0\n1\n2\n3\n0\n"
         "true\n0\n3\n1\n0\n0\n#\n",
         {"e.example", "f.example"}},
        {"9\n", {}},
    };
    for (const Case& c : cases) {
        ServiceWorkerList list;
        std::string problem;
        ASSERT_TRUE(ParseServiceWorkerList(c.text, list, problem)) << c.text << problem;
        StringList hosts;
        std::string joined = list.header;
        for (const ServiceWorkerRegistration& registration : list.registrations) {
            hosts.push_back(registration.host);
            joined += registration.text;
        }
        EXPECT_EQ(hosts, c.hosts) << c.text;
        EXPECT_EQ(joined, c.text);
    }
}

TEST_F(SiteDataFiles, ABucketTableWhoseIdsDoNotNameOneFolderEachIsRefusedAndNoFolderGoes)
{
    // A buckets table of another shape than the browser's: ids that are not
    // its own whole numbers, or the same id for a kept and a gone bucket,
    // would take a kept bucket's folder for the gone one's.
    const char* const tables[] = {
        "CREATE TABLE buckets(id INTEGER, storage_key TEXT); INSERT INTO buckets VALUES(5, 'https://kept.example/'), "
        "(5, 'https://gone.example/')",
        "CREATE TABLE buckets(id, storage_key); INSERT INTO buckets VALUES(5, 'https://kept.example/'), "
        "('5x', 'https://gone.example/')",
        "CREATE TABLE buckets(id, storage_key); INSERT INTO buckets VALUES(5, 'https://kept.example/'), "
        "(5.5, 'https://gone.example/')",
        "CREATE TABLE buckets(id, storage_key); INSERT INTO buckets VALUES(0, 'https://kept.example/'), "
        "(NULL, 'https://gone.example/')",
    };
    const std::string path = userData.File("Default\\WebStorage\\QuotaManager");
    for (const char* sql : tables) {
        SCOPED_TRACE(sql);
        ASSERT_TRUE(MakeFolders(FolderOf(path)));
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
        EXPECT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK);
        sqlite3_close(db);
        for (const char* id : {"0", "5"}) {
            ASSERT_TRUE(MakeFolders(FolderOf(path) + "\\" + id));
            ASSERT_TRUE(WriteWholeFile(FolderOf(path) + "\\" + id + "\\data", "kept data"));
        }
        const std::string before = Contents(path);
        for (bool preview : {true, false}) {
            const Outcome outcome = Run(preview, BrowserFamily::Chromium);
            EXPECT_FALSE(outcome.ran);
            EXPECT_NE(outcome.error.find(path + " was left as it was"), std::string::npos) << outcome.error;
            EXPECT_EQ(outcome.rows, 0);
        }
        EXPECT_TRUE(Contents(path) == before) << "the database changed";
        for (const char* id : {"0", "5"}) EXPECT_EQ(Contents(FolderOf(path) + "\\" + id + "\\data"), "kept data") << id;
        ::DeleteFileA(path.c_str());
    }
}

TEST_F(SiteDataFiles, AGoneBucketWhoseFolderStaysInUseKeepsItsRowSoALaterRunRemovesBoth)
{
    const std::string path = userData.File("Default\\WebStorage\\QuotaManager");
    CreateChromiumQuotaManager(path, {{"https://kept.example/", "default"}, {"https://gone.example/", "default"}});
    for (const char* id : {"1", "2"}) {
        ASSERT_TRUE(MakeFolders(FolderOf(path) + "\\" + id + "\\IndexedDB"));
        ASSERT_TRUE(WriteWholeFile(FolderOf(path) + "\\" + id + "\\IndexedDB\\data", kGoneSecret));
    }
    const std::string held = FolderOf(path) + "\\2\\IndexedDB\\data";
    const std::string buckets = "SELECT id || ' ' || storage_key FROM buckets ORDER BY id";
    Outcome clean;
    {
        const UniqueHandle inUse(::CreateFileA(held.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(inUse);
        clean = Run(false, BrowserFamily::Chromium);
    }
    EXPECT_TRUE(clean.ran) << clean.error;
    EXPECT_EQ(clean.record, "Test Browser, profile Default: site data of 0 sites deleted, of 1 kept.");
    EXPECT_EQ(clean.rows, 0);
    EXPECT_TRUE(FileExists(held));
    EXPECT_TRUE(FileExists(FolderOf(path) + "\\1\\IndexedDB\\data"));
    // The row still names the folder that stayed, so the next run finds both and removes both.
    EXPECT_EQ(QueryColumn(path, buckets), (std::vector<std::string>{"1 https://kept.example/", "2 https://gone.example/"}));
    EXPECT_EQ(SiteHosts(BrowserFamily::Chromium), (StringList{"gone.example", "kept.example"}));
    const Outcome again = Run(false, BrowserFamily::Chromium);
    EXPECT_TRUE(again.ran) << again.error;
    EXPECT_EQ(again.record, "Test Browser, profile Default: site data of 1 sites deleted, of 1 kept.");
    EXPECT_EQ(::GetFileAttributesA((FolderOf(path) + "\\2").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(QueryColumn(path, buckets), (std::vector<std::string>{"1 https://kept.example/"}));
}
