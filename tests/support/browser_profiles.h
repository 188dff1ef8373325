#pragma once
// Browser profiles built in a scratch folder from the browsers' documented
// database schemas (Chromium "Network\Cookies", "History", "Top Sites",
// "Shortcuts"; Firefox "cookies.sqlite", "places.sqlite",
// "formhistory.sqlite"), and what the tests read back from them.
#include <string>
#include <vector>

struct TestCookie {
    std::string host;  // as the browser stores it: ".example.com" or "www.example.com"
    std::string name;
};

// Each creates the file (and its folders) anew with the browser's tables and
// the given rows. Paths are full Windows paths.
void CreateChromiumCookies(const std::string& path, const std::vector<TestCookie>& cookies);
void CreateFirefoxCookies(const std::string& path, const std::vector<TestCookie>& cookies);
// "History": one row in urls and one in visits per address, a search term
// and a download for the first address, the "meta" table with a version.
void CreateChromiumHistory(const std::string& path, const std::vector<std::string>& addresses);
// "Top Sites" (top_sites) and "Shortcuts" (omni_box_shortcuts), a row per address.
void CreateChromiumTopSites(const std::string& path, const std::vector<std::string>& addresses);
void CreateChromiumShortcuts(const std::string& path, const std::vector<std::string>& addresses);
// "places.sqlite" in write-ahead-log mode: every address of visited and of
// bookmarked in moz_places (with an origin in moz_origins); each visited one
// with a visit, typed input and a download annotation; each bookmarked one
// with a bookmark (under a root folder row) and no visit.
void CreateFirefoxPlaces(const std::string& path, const std::vector<std::string>& visited,
                         const std::vector<std::string>& bookmarked);
// "formhistory.sqlite": one moz_formhistory row per entry.
void CreateFirefoxFormHistory(const std::string& path, const std::vector<std::string>& entries);
// "Web Data": one autofill row per form entry, beside a saved address and card.
void CreateChromiumWebData(const std::string& path, const std::vector<std::string>& entries);

// Firefox "webappsstore.sqlite" in write-ahead-log mode: one webappsstore2
// row per entry, its scope, originAttributes empty.
struct TestStorageEntry {
    std::string originKey;  // "moc.elpmaxe.:https:443"
    std::string key;
    std::string value;
};
void CreateFirefoxWebAppsStore(const std::string& path, const std::vector<TestStorageEntry>& entries);

// Favicon databases: each entry a page shown with an icon (pages naming
// one icon address share its row), the icon's image its data; an entry
// without a page is a site's root icon (Firefox keeps those apart).
struct TestFavicon {
    std::string page;
    std::string icon;
    std::string image;
};
// Chromium "Favicons" (icon_mapping, favicons, favicon_bitmaps).
void CreateChromiumFavicons(const std::string& path, const std::vector<TestFavicon>& favicons);
// Firefox "favicons.sqlite" in write-ahead-log mode.
void CreateFirefoxFavicons(const std::string& path, const std::vector<TestFavicon>& favicons);
// Chromium "Bookmarks": the addresses in the bookmark bar, the last one in a folder.
void WriteChromiumBookmarks(const std::string& path, const std::vector<std::string>& addresses);

// Chromium "WebStorage\QuotaManager": one buckets row per storage key (ids
// from 1 in order), each bucket named name.
struct TestBucket {
    std::string storageKey;  // "https://example.com/"
    std::string name;
};
void CreateChromiumQuotaManager(const std::string& path, const std::vector<TestBucket>& buckets);

// Chromium "Shared Dictionary\db": one dictionaries row per entry, the
// meta table with the total size of the dictionaries.
struct TestDictionary {
    std::string frameOrigin;  // "https://example.com"
    std::string topFrameSite;
    std::string match;
};
void CreateChromiumSharedDictionaries(const std::string& path, const std::vector<TestDictionary>& dictionaries);

// Runs SQL on an existing database (to give it a hostile shape).
void ExecuteSql(const std::string& path, const std::string& sql);

// The values of the first column of a query's rows, in their order.
std::vector<std::string> QueryColumn(const std::string& path, const std::string& sql);
// The number of rows of table.
int CountRows(const std::string& path, const std::string& table);

// Chromium's "Local State" listing these profile folder names.
void WriteLocalState(const std::string& userDataFolder, const std::vector<std::string>& profileFolders);

struct FirefoxProfileEntry {
    std::string name;
    std::string path;  // relative with "/" when relative, else a full path
    bool relative = true;
};
void WriteProfilesIni(const std::string& firefoxFolder, const std::vector<FirefoxProfileEntry>& profiles);
