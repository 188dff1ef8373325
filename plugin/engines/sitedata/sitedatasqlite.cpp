#include "plugin/engines/sitedata/sitedatasqlite.h"

#include "common/cookiesites.h"
#include "common/error.h"
#include "plugin/engines/browsers/browserdb.h"
#include "plugin/engines/browsers/browserprofiles.h"
#include "plugin/engines/browsers/jsonkeys.h"
#include "plugin/engines/files/smallfile.h"
#include "plugin/engines/sitedata/siteorigins.h"
#include "plugin/engines/sqlite/sqlitedb.h"

#include <windows.h>

#include <cstdint>
#include <initializer_list>
#include <set>
#include <vector>

namespace {

const unsigned kListTimeLimitMs = 10 * 1000;
const long long kMaxBookmarksSize = 256LL * 1024 * 1024;

using HostOf = std::string (*)(const std::string&);

// Runs clean in a transaction of the database at path. Only what the
// committed transaction did counts: each run of clean starts from none.
SiteStoreCleanup CleanSiteDatabase(const std::string& path, bool preview,
                                   const std::function<void(CSqliteDatabase&, SiteStoreCleanup&)>& clean)
{
    SiteStoreCleanup result;
    const DatabaseCleanup done = CleanDatabase(path, preview, [&](CSqliteDatabase& db) {
        result = SiteStoreCleanup();
        clean(db, result);
    });
    result.warning = done.warning;
    return result;
}

// A table of another shape is not the one this program knows: nothing of it is touched.
void RequireColumns(CSqliteDatabase& db, const std::string& table, std::initializer_list<const char*> columns)
{
    if (!db.HasTable(table)) throw CError("it has no " + table + " table");
    for (const char* column : columns) {
        if (!db.HasColumn(table, column)) throw CError("its " + table + " table has no " + column + " column");
    }
}

// Deletes the rows of table whose key column names a site that is not
// kept; rows of no site stay. Tallies the rows by host as it goes.
void DeleteRowsOfGoneSites(CSqliteDatabase& db, const std::string& table, const std::string& keyColumn, HostOf hostOf,
                           const CKeptSites& keptSites, SiteStoreCleanup& result)
{
    RequireColumns(db, table, {keyColumn.c_str()});
    db.DefineTest("tw_gone_site", [hostOf, &keptSites](const std::string& key) {
        const std::string host = hostOf(key);
        return !host.empty() && !keptSites.Keeps(host);
    });
    const std::string key = QuotedSqlName(keyColumn);
    long long goneRows = 0;
    {
        CSqliteStatement rows(db, "SELECT " + key + " FROM " + QuotedSqlName(table));
        while (rows.Step()) {
            const std::string host = hostOf(rows.ColumnText(0));
            if (host.empty()) continue;
            if (keptSites.Keeps(host)) {
                result.kept.insert(host);
            } else {
                ++result.gone[host];
                ++goneRows;
            }
        }
    }
    if (db.IsSnapshot() || goneRows == 0) return;
    // Chosen again by the rows' own key, in the statement that deletes them.
    const long long deleted = db.Exec("DELETE FROM " + QuotedSqlName(table) + " WHERE tw_gone_site(" + key + ")");
    // A count that differs means the table is not what was read: the transaction is undone.
    if (deleted != goneRows) throw CError("its " + table + " table changed while it was cleaned");
}

StringList ReadSiteHosts(const std::string& path, const std::string& table, const std::string& keyColumn, HostOf hostOf)
{
    CSqliteDatabase db(path, CSqliteDatabase::Access::Snapshot, kListTimeLimitMs);
    RequireColumns(db, table, {keyColumn.c_str()});
    StringList hosts;
    CSqliteStatement rows(db, "SELECT DISTINCT " + QuotedSqlName(keyColumn) + " FROM " + QuotedSqlName(table));
    while (rows.Step()) {
        const std::string host = hostOf(rows.ColumnText(0));
        if (!host.empty()) hosts.push_back(host);
    }
    return hosts;
}

std::string FolderOf(const std::string& path)
{
    return path.substr(0, path.find_last_of('\\'));
}

// Chromium's "Bookmarks": every "url" below "roots". A missing file holds none.
std::set<std::string> ReadChromiumBookmarks(const std::string& path)
{
    std::string json;
    if (!ReadSmallFile(path, kMaxBookmarksSize, json)) return {};
    StringList urls;
    if (!ReadJsonStringValues(json, {"roots"}, "url", urls)) throw CError(path + " is damaged (it is not JSON)");
    return std::set<std::string>(urls.begin(), urls.end());
}

// Firefox's "places.sqlite": the address of every bookmark. A missing file
// holds none; one with changes still in its log or journal cannot be read
// as it stands, so it is an error rather than a list that misses some.
std::set<std::string> ReadFirefoxBookmarks(const std::string& path)
{
    if (!IsExistingFile(path)) return {};
    if (FileSize(path + "-wal") > 0 || FileSize(path + "-journal") > 0) {
        throw CError(path + " holds changes its browser did not finish writing, so its bookmarks cannot be read");
    }
    try {
        CSqliteDatabase db(path, CSqliteDatabase::Access::Snapshot, kListTimeLimitMs);
        db.CheckIntact();
        RequireColumns(db, "moz_bookmarks", {"fk"});
        RequireColumns(db, "moz_places", {"id", "url"});
        std::set<std::string> urls;
        CSqliteStatement rows(db, "SELECT p.url FROM moz_bookmarks b JOIN moz_places p ON p.id = b.fk");
        while (rows.Step()) urls.insert(rows.ColumnText(0));
        return urls;
    } catch (const std::exception& failure) {
        throw CError(path + " could not be read for its bookmarks: " + failure.what());
    }
}

// Which pages' favicon rows go: a site's page that is neither bookmarked
// nor of a kept site. Its host when it goes; empty when it stays.
class CGonePages {
public:
    CGonePages(std::set<std::string> bookmarks, const CKeptSites& keptSites)
        : m_bookmarks(std::move(bookmarks)), m_keptSites(keptSites)
    {
    }
    std::string HostIfGone(const std::string& page) const
    {
        const std::string host = HostOfAddress(page);
        if (host.empty() || m_keptSites.Keeps(host) || m_bookmarks.count(page) != 0) return std::string();
        return host;
    }
    // Tallies a page's site as kept or gone; true when its rows go.
    bool Tally(const std::string& page, SiteStoreCleanup& result) const
    {
        const std::string host = HostOfAddress(page);
        if (host.empty() || m_bookmarks.count(page) != 0) return false;
        if (m_keptSites.Keeps(host)) {
            result.kept.insert(host);
            return false;
        }
        ++result.gone[host];
        return true;
    }
    void Define(CSqliteDatabase& db) const
    {
        db.DefineTest("tw_gone_page", [this](const std::string& page) { return !HostIfGone(page).empty(); });
    }

private:
    std::set<std::string> m_bookmarks;
    const CKeptSites& m_keptSites;
};

using TableColumn = std::pair<std::string, std::string>;

// Deletes, for each icon of ids that no row of the mapping names any more,
// the rows of each owner (table and column) whose column is the icon.
void DeleteUnusedIcons(CSqliteDatabase& db, const std::set<std::int64_t>& ids, const TableColumn& mapping,
                       const std::vector<TableColumn>& owners)
{
    for (std::int64_t id : ids) {
        CSqliteStatement used(db, "SELECT 1 FROM " + QuotedSqlName(mapping.first) + " WHERE " +
                                      QuotedSqlName(mapping.second) + " = ?1");
        used.BindInt64(1, id);
        if (used.Step()) continue;
        for (const auto& [table, column] : owners) {
            CSqliteStatement remove(db, "DELETE FROM " + QuotedSqlName(table) + " WHERE " + QuotedSqlName(column) + " = ?1");
            remove.BindInt64(1, id);
            remove.Step();
        }
    }
}

// The hosts of the pages of a favicon table that no bookmark keeps.
StringList ReadPageHosts(const std::string& path, const std::string& table, const std::string& pageColumn,
                         const std::set<std::string>& bookmarks)
{
    CSqliteDatabase db(path, CSqliteDatabase::Access::Snapshot, kListTimeLimitMs);
    RequireColumns(db, table, {pageColumn.c_str()});
    StringList hosts;
    CSqliteStatement rows(db, "SELECT DISTINCT " + QuotedSqlName(pageColumn) + " FROM " + QuotedSqlName(table));
    while (rows.Step()) {
        const std::string page = rows.ColumnText(0);
        const std::string host = HostOfAddress(page);
        if (!host.empty() && bookmarks.count(page) == 0) hosts.push_back(host);
    }
    return hosts;
}

// Only what the committed transaction did counts; the count read is
// checked against SQLite's own, or the transaction is undone.
void RequireDeleted(long long deleted, long long expected, const std::string& table)
{
    if (deleted != expected) throw CError("its " + table + " table changed while it was cleaned");
}

}  // namespace

SiteStoreCleanup CleanFirefoxWebAppsStore(const std::string& path, bool preview, const CKeptSites& keptSites,
                                          const SiteFolderRemover&)
{
    return CleanSiteDatabase(path, preview, [&](CSqliteDatabase& db, SiteStoreCleanup& result) {
        DeleteRowsOfGoneSites(db, "webappsstore2", "originKey", &HostOfWebAppsStoreKey, keptSites, result);
    });
}

StringList ReadFirefoxWebAppsStoreHosts(const std::string& path)
{
    return ReadSiteHosts(path, "webappsstore2", "originKey", &HostOfWebAppsStoreKey);
}

SiteStoreCleanup CleanChromiumFavicons(const std::string& path, bool preview, const CKeptSites& keptSites,
                                       const SiteFolderRemover&)
{
    const CGonePages pages(ReadChromiumBookmarks(FolderOf(path) + "\\Bookmarks"), keptSites);
    return CleanSiteDatabase(path, preview, [&](CSqliteDatabase& db, SiteStoreCleanup& result) {
        RequireColumns(db, "icon_mapping", {"page_url", "icon_id"});
        RequireColumns(db, "favicons", {"id"});
        RequireColumns(db, "favicon_bitmaps", {"icon_id"});
        std::set<std::int64_t> icons;  // of the pages that go
        long long goneRows = 0;
        {
            CSqliteStatement rows(db, "SELECT page_url, icon_id FROM icon_mapping");
            while (rows.Step()) {
                if (!pages.Tally(rows.ColumnText(0), result)) continue;
                icons.insert(rows.ColumnInt64(1));
                ++goneRows;
            }
        }
        if (db.IsSnapshot() || goneRows == 0) return;
        pages.Define(db);
        RequireDeleted(db.Exec("DELETE FROM icon_mapping WHERE tw_gone_page(page_url)"), goneRows, "icon_mapping");
        DeleteUnusedIcons(db, icons, {"icon_mapping", "icon_id"}, {{"favicon_bitmaps", "icon_id"}, {"favicons", "id"}});
    });
}

namespace {

// The bookmarks for the keep-list dialog: bookmarks that cannot be read
// (a running Firefox holds changes in its log) only mean that a page a
// bookmark keeps may be offered too, not that no site can be offered.
std::set<std::string> BookmarksToList(std::set<std::string> (*read)(const std::string&), const std::string& path)
{
    try {
        return read(path);
    } catch (const std::exception&) {
        return {};
    }
}

}  // namespace

StringList ReadChromiumFaviconHosts(const std::string& path)
{
    return ReadPageHosts(path, "icon_mapping", "page_url",
                         BookmarksToList(&ReadChromiumBookmarks, FolderOf(path) + "\\Bookmarks"));
}

namespace {

// Which icons of favicons.sqlite go, read whole before anything changes.
// A root icon (a host's /favicon.ico, root = 1) serves every page of its
// host without a row relating them; the browser relates it only to pages
// of other hosts. So it goes with its own site, never with another site's
// pages; any icon a page that stays names stays.
class CFirefoxIcons {
public:
    CFirefoxIcons(const CGonePages& pages, const std::set<std::string>& bookmarkedHosts)
        : m_pages(pages), m_bookmarkedHosts(bookmarkedHosts)
    {
    }

    // Tallies the icons that go (root icons by their site) and returns their ids.
    std::set<std::string> Read(CSqliteDatabase& db, const CKeptSites& keptSites, SiteStoreCleanup& result) const
    {
        std::set<std::int64_t> namedByGone;
        std::set<std::int64_t> namedByStaying;
        {
            CSqliteStatement rows(db, "SELECT m.icon_id, tw_gone_page(p.page_url) FROM moz_icons_to_pages m JOIN "
                                      "moz_pages_w_icons p ON p.id = m.page_id WHERE m.icon_id IS NOT NULL");
            while (rows.Step()) (rows.ColumnInt64(1) != 0 ? namedByGone : namedByStaying).insert(rows.ColumnInt64(0));
        }
        const bool hasRoot = db.HasColumn("moz_icons", "root");
        std::set<std::string> goneIcons;
        CSqliteStatement rows(db, std::string("SELECT id, icon_url, ") + (hasRoot ? "root = 1" : "0") + " FROM moz_icons");
        while (rows.Step()) {
            const std::int64_t id = rows.ColumnInt64(0);
            if (namedByStaying.count(id) != 0) continue;
            if (rows.ColumnInt64(2) == 0) {
                // Icons no page named before are not this item's to remove.
                if (namedByGone.count(id) != 0) goneIcons.insert(std::to_string(id));
                continue;
            }
            const std::string host = HostOfAddress(rows.ColumnText(1));
            if (host.empty()) continue;
            if (keptSites.Keeps(host)) {
                result.kept.insert(host);
            } else if (m_bookmarkedHosts.count(host) == 0 && !m_pages.HostIfGone(rows.ColumnText(1)).empty()) {
                ++result.gone[host];
                goneIcons.insert(std::to_string(id));
            }
        }
        return goneIcons;
    }

private:
    const CGonePages& m_pages;
    const std::set<std::string>& m_bookmarkedHosts;
};

}  // namespace

SiteStoreCleanup CleanFirefoxFavicons(const std::string& path, bool preview, const CKeptSites& keptSites,
                                      const SiteFolderRemover&)
{
    const std::set<std::string> bookmarks = ReadFirefoxBookmarks(FolderOf(path) + "\\places.sqlite");
    // A site's root icon stays while a bookmark of the site may show it.
    std::set<std::string> bookmarkedHosts;
    for (const std::string& url : bookmarks) bookmarkedHosts.insert(HostOfAddress(url));
    const CGonePages pages(bookmarks, keptSites);
    const CFirefoxIcons icons(pages, bookmarkedHosts);
    return CleanSiteDatabase(path, preview, [&](CSqliteDatabase& db, SiteStoreCleanup& result) {
        RequireColumns(db, "moz_pages_w_icons", {"id", "page_url"});
        RequireColumns(db, "moz_icons_to_pages", {"page_id", "icon_id"});
        RequireColumns(db, "moz_icons", {"id", "icon_url"});
        pages.Define(db);
        long long gonePages = 0;
        {
            CSqliteStatement rows(db, "SELECT page_url FROM moz_pages_w_icons");
            while (rows.Step()) gonePages += pages.Tally(rows.ColumnText(0), result) ? 1 : 0;
        }
        const std::set<std::string> goneIcons = icons.Read(db, keptSites, result);
        if (db.IsSnapshot() || gonePages + static_cast<long long>(goneIcons.size()) == 0) return;
        db.Exec("DELETE FROM moz_icons_to_pages WHERE page_id IN "
                "(SELECT id FROM moz_pages_w_icons WHERE tw_gone_page(page_url))");
        RequireDeleted(db.Exec("DELETE FROM moz_pages_w_icons WHERE tw_gone_page(page_url)"), gonePages,
                       "moz_pages_w_icons");
        // Relations of other pages to these icons: none, or the icon would stay.
        db.DefineTest("tw_gone_icon", [goneIcons](const std::string& id) { return goneIcons.count(id) != 0; });
        RequireDeleted(db.Exec("DELETE FROM moz_icons WHERE tw_gone_icon(id)"), static_cast<long long>(goneIcons.size()),
                       "moz_icons");
    });
}

StringList ReadFirefoxFaviconHosts(const std::string& path)
{
    const std::set<std::string> bookmarks = BookmarksToList(&ReadFirefoxBookmarks, FolderOf(path) + "\\places.sqlite");
    StringList hosts = ReadPageHosts(path, "moz_pages_w_icons", "page_url", bookmarks);
    // A site known by its root icon alone (its pages are related to none) is offered too.
    std::set<std::string> bookmarkedHosts;
    for (const std::string& url : bookmarks) bookmarkedHosts.insert(HostOfAddress(url));
    CSqliteDatabase db(path, CSqliteDatabase::Access::Snapshot, kListTimeLimitMs);
    if (!db.HasTable("moz_icons") || !db.HasColumn("moz_icons", "root")) return hosts;
    CSqliteStatement rows(db, "SELECT icon_url FROM moz_icons WHERE root = 1");
    while (rows.Step()) {
        const std::string host = HostOfAddress(rows.ColumnText(0));
        if (!host.empty() && bookmarkedHosts.count(host) == 0) hosts.push_back(host);
    }
    return hosts;
}

SiteStoreCleanup CleanChromiumStorageBuckets(const std::string& path, bool preview, const CKeptSites& keptSites,
                                             const SiteFolderRemover& removeFolder)
{
    return CleanSiteDatabase(path, preview, [&](CSqliteDatabase& db, SiteStoreCleanup& result) {
        RequireColumns(db, "buckets", {"id", "storage_key"});
        // Each bucket keeps its files in a folder named by its number beside the database.
        std::vector<std::pair<std::int64_t, std::string>> goneBuckets;  // id, host
        {
            // The browser's ids are whole numbers, one per bucket: an id of
            // another type would be read as some number, and one given twice
            // could be a kept bucket's, so either refuses the table.
            std::set<std::int64_t> ids;
            CSqliteStatement rows(db, "SELECT id, storage_key, typeof(id) FROM buckets");
            while (rows.Step()) {
                const std::int64_t id = rows.ColumnInt64(0);
                if (rows.ColumnText(2) != "integer" || !ids.insert(id).second) {
                    throw CError("its buckets table gives a bucket the id '" + rows.ColumnText(0).substr(0, 40) +
                                 "', which is not a number of its own");
                }
                const std::string host = HostOfStorageKey(rows.ColumnText(1));
                if (host.empty()) continue;
                if (keptSites.Keeps(host)) {
                    result.kept.insert(host);
                } else {
                    goneBuckets.emplace_back(id, host);
                }
            }
        }
        // The folder goes first, while the rows still name it: a bucket whose
        // folder stays (a file in use) keeps its row, so a later run finds
        // that folder again. A row without its folder only makes the browser
        // start the bucket empty.
        std::set<std::string> goingIds;
        for (const auto& [id, host] : goneBuckets) {
            if (removeFolder(std::to_string(id))) {
                goingIds.insert(std::to_string(id));
                ++result.gone[host];
            } else {
                result.partlyKept.insert(host);
            }
        }
        if (db.IsSnapshot() || goingIds.empty()) return;
        db.DefineTest("tw_bucket_goes", [goingIds](const std::string& id) { return goingIds.count(id) != 0; });
        RequireDeleted(db.Exec("DELETE FROM buckets WHERE tw_bucket_goes(id)"), static_cast<long long>(goingIds.size()),
                       "buckets");
    });
}

StringList ReadChromiumStorageBucketHosts(const std::string& path)
{
    return ReadSiteHosts(path, "buckets", "storage_key", &HostOfStorageKey);
}

SiteStoreCleanup CleanChromiumSharedDictionaries(const std::string& path, bool preview, const CKeptSites& keptSites,
                                                 const SiteFolderRemover&)
{
    return CleanSiteDatabase(path, preview, [&](CSqliteDatabase& db, SiteStoreCleanup& result) {
        // The columns that tie a dictionary to its site and to its body in the cache: another shape is not this store.
        RequireColumns(db, "dictionaries", {"frame_origin", "top_frame_site", "host", "size", "token_high", "token_low"});
        DeleteRowsOfGoneSites(db, "dictionaries", "frame_origin", &HostOfOrigin, keptSites, result);
        // The browser keeps the dictionaries' total size beside them to decide when to evict.
        if (!db.IsSnapshot() && !result.gone.empty() && db.HasTable("meta") && db.HasColumn("meta", "key") &&
            db.HasColumn("meta", "value")) {
            db.Exec("UPDATE meta SET value = (SELECT COALESCE(SUM(size), 0) FROM dictionaries) "
                    "WHERE key = 'total_dict_size'");
        }
    });
}

StringList ReadChromiumSharedDictionaryHosts(const std::string& path)
{
    return ReadSiteHosts(path, "dictionaries", "frame_origin", &HostOfOrigin);
}
