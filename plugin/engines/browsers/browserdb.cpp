#include "plugin/engines/browsers/browserdb.h"

#include "common/cookiesites.h"
#include "common/error.h"
#include "common/strformat.h"
#include "common/handles.h"
#include "common/tracer.h"

#include <windows.h>

#include <exception>
#include <memory>
#include <vector>

namespace {

// How long one database may take; a hostile file cannot hold the run longer.
const unsigned kCleanTimeLimitMs = 5 * 60 * 1000;
const unsigned kListTimeLimitMs = 10 * 1000;

void ClearTables(CSqliteDatabase& db, std::initializer_list<const char*> tables)
{
    for (const char* table : tables) db.RemoveRows(table);
}

void RequireTable(CSqliteDatabase& db, const std::string& table)
{
    if (!db.HasTable(table)) throw CError("it has no " + table + " table");
}

// What the log still holds of the deleted rows goes with it: the log is
// folded back into the file and emptied.
void EmptyWriteAheadLog(CSqliteDatabase& db, const std::string& path)
{
    CSqliteStatement checkpoint(db, "PRAGMA wal_checkpoint(TRUNCATE)");
    if (checkpoint.Step() && checkpoint.ColumnInt64(0) == 0) return;
    throw CError(path + " was cleaned, but its log still holds what was deleted: another program is reading it.");
}

}  // namespace

long long FileSize(const std::string& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    if (!::GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return 0;
    return (static_cast<long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

DatabaseCleanup CleanDatabase(const std::string& path, bool preview, const std::function<void(CSqliteDatabase&)>& clean)
{
    DatabaseCleanup result;
    std::unique_ptr<CSqliteDatabase> db;
    try {
        if (preview) {
            // A snapshot reads the file alone: what a log or journal still
            // holds would be missed, and the preview would select otherwise.
            if (FileSize(path + "-wal") > 0 || FileSize(path + "-journal") > 0) {
                throw CError("its browser did not close it cleanly, so a preview cannot show what a clean would do");
            }
            // The same selection on a snapshot: nothing is written, locked or created.
            db = std::make_unique<CSqliteDatabase>(path, CSqliteDatabase::Access::Snapshot, kCleanTimeLimitMs);
            db->CheckIntact();
            clean(*db);
            result.removedRows = db->RemovedRows();
            return result;
        }
        db = std::make_unique<CSqliteDatabase>(path, CSqliteDatabase::Access::ReadWrite, kCleanTimeLimitMs);
        db->CheckIntact();
        CSqliteTransaction transaction(*db);
        clean(*db);
        transaction.Commit();
    } catch (const std::exception& failure) {
        throw CError(path + " was left as it was: " + failure.what() + ".");
    }
    result.removedRows = db->RemovedRows();
    try {
        if (db->UsesWriteAheadLog()) EmptyWriteAheadLog(*db, path);
    } catch (const std::exception& failure) {
        result.warning = failure.what();
    }
    return result;
}

CookieDeletion DeleteUnkeptCookies(CSqliteDatabase& db, const std::string& table, const std::string& hostColumn,
                                   const CKeptSites& keptSites)
{
    RequireTable(db, table);
    db.DefineTest("tw_kept_site", [&keptSites](const std::string& host) { return keptSites.Keeps(host); });
    const std::string host = QuotedSqlName(hostColumn);
    CookieDeletion result;
    {
        CSqliteStatement rows(db, "SELECT " + host + ", tw_kept_site(" + host + ") FROM " + QuotedSqlName(table));
        while (rows.Step()) {
            if (rows.ColumnInt64(1) != 0) {
                ++result.kept;
                continue;
            }
            // What is erased is traced to the trace file only.
            if (!db.IsSnapshot()) TRACE_PRIVATE(10, "deleting cookie of %s", rows.ColumnText(0).c_str());
            result.hosts.push_back(rows.ColumnText(0));
        }
    }
    if (db.IsSnapshot()) {
        result.removed = static_cast<long long>(result.hosts.size());
        return result;
    }
    // The rows are chosen again by their own host, not by a row number: a
    // table may have a column of its own named rowid, _rowid_ or oid.
    result.removed = db.Exec("DELETE FROM " + QuotedSqlName(table) + " WHERE NOT tw_kept_site(" + host + ")");
    return result;
}

std::string DatabaseIdentity(const std::string& path)
{
    UniqueHandle file(::CreateFileA(path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, 0, nullptr));
    BY_HANDLE_FILE_INFORMATION info = {};
    if (!file || !::GetFileInformationByHandle(file.Get(), &info)) return path;
    return StrFormat("%08lx:%08lx%08lx", static_cast<unsigned long>(info.dwVolumeSerialNumber),
                     static_cast<unsigned long>(info.nFileIndexHigh), static_cast<unsigned long>(info.nFileIndexLow));
}

StringList ReadCookieHosts(const std::string& path, const std::string& table, const std::string& hostColumn)
{
    CSqliteDatabase db(path, CSqliteDatabase::Access::Snapshot, kListTimeLimitMs);
    RequireTable(db, table);
    StringList hosts;
    CSqliteStatement rows(db,
                          "SELECT DISTINCT " + QuotedSqlName(hostColumn) + " FROM " + QuotedSqlName(table));
    while (rows.Step()) hosts.push_back(rows.ColumnText(0));
    return hosts;
}

void ClearChromiumHistory(CSqliteDatabase& db)
{
    ClearTables(db, {"visits", "visit_source", "urls", "visited_links", "keyword_search_terms", "downloads",
                     "downloads_url_chains", "downloads_slices", "segments", "segment_usage",
                     "content_annotations", "context_annotations", "clusters", "clusters_and_visits",
                     "cluster_keywords", "cluster_visit_duplicates", "history_sync_metadata",
                     "typed_url_sync_metadata"});
}

void ClearChromiumTopSites(CSqliteDatabase& db)
{
    ClearTables(db, {"top_sites", "thumbnails"});
}

void ClearChromiumShortcuts(CSqliteDatabase& db)
{
    ClearTables(db, {"omni_box_shortcuts"});
}

void ClearChromiumFormEntries(CSqliteDatabase& db)
{
    ClearTables(db, {"autofill"});
}

void ClearFirefoxHistory(CSqliteDatabase& db)
{
    if (!db.HasTable("moz_places")) throw CError("it has no history table (moz_places)");
    ClearTables(db, {"moz_historyvisits", "moz_historyvisits_extra", "moz_inputhistory", "moz_annos",
                     "moz_places_metadata_search_queries", "moz_places_metadata", "moz_session_to_places",
                     "moz_session_metadata", "moz_places_extra"});

    // An address stays only while a bookmark or a keyword points at it.
    std::string needed = "id IN (SELECT fk FROM moz_bookmarks WHERE fk IS NOT NULL)";
    if (!db.HasTable("moz_bookmarks")) needed = "0";
    if (db.HasTable("moz_keywords") && db.HasColumn("moz_keywords", "place_id")) {
        needed += " OR id IN (SELECT place_id FROM moz_keywords WHERE place_id IS NOT NULL)";
    }
    // Origins go with the last address that uses them; the condition names
    // the addresses that stay, so it holds before and after they are deleted.
    if (db.HasTable("moz_origins") && db.HasColumn("moz_places", "origin_id")) {
        db.RemoveRows("moz_origins", "id NOT IN (SELECT origin_id FROM moz_places WHERE origin_id IS NOT NULL AND (" +
                                         needed + "))");
    }
    db.RemoveRows("moz_places", "NOT (" + needed + ")");
    for (const char* column : {"visit_count", "typed"}) {
        if (db.HasColumn("moz_places", column)) db.ChangeRows(std::string("UPDATE moz_places SET ") + column + " = 0");
    }
    if (db.HasColumn("moz_places", "last_visit_date")) db.ChangeRows("UPDATE moz_places SET last_visit_date = NULL");
}

void ClearFirefoxFormHistory(CSqliteDatabase& db)
{
    ClearTables(db, {"moz_formhistory", "moz_history_to_sources", "moz_sources"});
}
