#include "browser_profiles.h"

#include "text_file.h"

#include <windows.h>
#include <sqlite3.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace {

// Times as the browsers keep them: Chromium in microseconds since 1601,
// Firefox in microseconds (cookie expiry in seconds) since 1970.
const long long kChromiumTime = 13300000000000000LL;
const long long kFirefoxTime = 1700000000000000LL;

// Creates every folder of a Windows folder path that does not exist yet.
bool CreateFolders(const std::string& folder)
{
    for (size_t i = 0; i <= folder.size(); ++i) {
        if (i < folder.size() && folder[i] != '\\' && folder[i] != '/') continue;
        const std::string prefix = folder.substr(0, i);
        if (prefix.empty() || prefix.back() == ':' || prefix.back() == '\\') continue;
        ::CreateDirectoryA(prefix.c_str(), nullptr);
    }
    const DWORD attributes = ::GetFileAttributesA(folder.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool CreateParentFolders(const std::string& path)
{
    const size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos || CreateFolders(path.substr(0, slash));
}

// A value bound to a statement parameter.
struct Value {
    enum class Kind { Integer, Text, Null, EmptyBlob } kind;
    long long integer = 0;
    std::string text;

    Value(int v) : kind(Kind::Integer), integer(v) {}
    Value(long long v) : kind(Kind::Integer), integer(v) {}
    Value(const char* v) : kind(Kind::Text), text(v) {}
    Value(std::string v) : kind(Kind::Text), text(std::move(v)) {}
    static Value Null() { return Value(Kind::Null); }
    static Value EmptyBlob() { return Value(Kind::EmptyBlob); }

private:
    explicit Value(Kind k) : kind(k) {}
};

// One database connection; every failure is reported to the running test
// and makes the connection unusable for the rest of the fixture.
class Database {
public:
    Database(const std::string& path, int flags) : m_path(path)
    {
        const int code = sqlite3_open_v2(path.c_str(), &m_db, flags, nullptr);
        if (code != SQLITE_OK) Fail("open", code);
    }
    ~Database()
    {
        if (m_db != nullptr) sqlite3_close(m_db);
    }
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    bool Ok() const { return m_ok; }
    sqlite3* Handle() const { return m_db; }

    bool Exec(const std::string& sql)
    {
        if (!m_ok) return false;
        char* message = nullptr;
        const int code = sqlite3_exec(m_db, sql.c_str(), nullptr, nullptr, &message);
        if (code != SQLITE_OK) {
            ADD_FAILURE() << "SQLite error " << code << " in " << m_path << ": "
                          << (message != nullptr ? message : "") << "\n  for: " << sql;
            m_ok = false;
        }
        sqlite3_free(message);
        return m_ok;
    }

    // Runs a statement that returns no rows, with its parameters bound in order.
    bool Run(const std::string& sql, const std::vector<Value>& values)
    {
        if (!m_ok) return false;
        sqlite3_stmt* statement = nullptr;
        int code = sqlite3_prepare_v2(m_db, sql.c_str(), -1, &statement, nullptr);
        for (size_t i = 0; code == SQLITE_OK && i < values.size(); ++i) {
            const int index = static_cast<int>(i) + 1;
            const Value& value = values[i];
            switch (value.kind) {
            case Value::Kind::Integer: code = sqlite3_bind_int64(statement, index, value.integer); break;
            case Value::Kind::Text:
                code = sqlite3_bind_text(statement, index, value.text.c_str(), static_cast<int>(value.text.size()),
                                         SQLITE_TRANSIENT);
                break;
            case Value::Kind::Null: code = sqlite3_bind_null(statement, index); break;
            case Value::Kind::EmptyBlob: code = sqlite3_bind_zeroblob(statement, index, 0); break;
            }
        }
        if (code == SQLITE_OK) {
            code = sqlite3_step(statement);
            if (code == SQLITE_DONE) code = SQLITE_OK;
        }
        sqlite3_finalize(statement);
        if (code != SQLITE_OK) Fail(sql, code);
        return m_ok;
    }

    void Fail(const std::string& what, int code)
    {
        ADD_FAILURE() << "SQLite error " << code << " in " << m_path << ": "
                      << (m_db != nullptr ? sqlite3_errmsg(m_db) : sqlite3_errstr(code)) << "\n  for: " << what;
        m_ok = false;
    }

private:
    std::string m_path;
    sqlite3* m_db = nullptr;
    bool m_ok = true;
};

// Removes the file and its companions, creates its folders, opens it anew.
std::unique_ptr<Database> CreateDatabase(const std::string& path)
{
    for (const char* suffix : {"", "-journal", "-wal", "-shm"}) ::DeleteFileA((path + suffix).c_str());
    if (!CreateParentFolders(path)) ADD_FAILURE() << "cannot create the folders of " << path;
    return std::make_unique<Database>(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
}

// Chromium's version table.
bool WriteChromiumMeta(Database& db, int version, int compatibleVersion)
{
    return db.Exec("CREATE TABLE meta(key LONGVARCHAR NOT NULL UNIQUE PRIMARY KEY, value LONGVARCHAR)") &&
           db.Run("INSERT INTO meta(key, value) VALUES('version', ?)", {std::to_string(version)}) &&
           db.Run("INSERT INTO meta(key, value) VALUES('last_compatible_version', ?)",
                  {std::to_string(compatibleVersion)});
}

std::string Guid(int n)
{
    char text[40];
    std::snprintf(text, sizeof text, "0000%04X-0000-4000-8000-%012d", n & 0xFFFF, n);
    return text;
}

// Firefox's 12-character identifiers.
std::string PlacesGuid(const char* kind, long long n)
{
    const std::string number = std::to_string(n);
    const std::string prefix = kind;
    return prefix + std::string(12 - prefix.size() - number.size(), '0') + number;
}

// "https://www.example.com/a?b" -> "https://" and "www.example.com".
std::pair<std::string, std::string> PrefixAndHost(const std::string& address)
{
    const size_t scheme = address.find("://");
    if (scheme == std::string::npos) return {"", ""};
    const size_t start = scheme + 3;
    const size_t end = address.find_first_of("/:?#", start);
    return {address.substr(0, start), address.substr(start, end == std::string::npos ? end : end - start)};
}

std::string JsonString(const std::string& text)
{
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') quoted += '\\';
        quoted += c;
    }
    return quoted + "\"";
}

void WriteTextFile(const std::string& path, const std::string& content)
{
    if (!CreateParentFolders(path)) ADD_FAILURE() << "cannot create the folders of " << path;
    if (!WriteWholeFile(path, content)) ADD_FAILURE() << "cannot write " << path;
}

}  // namespace

void CreateChromiumCookies(const std::string& path, const std::vector<TestCookie>& cookies)
{
    auto db = CreateDatabase(path);
    if (!WriteChromiumMeta(*db, 21, 21)) return;
    if (!db->Exec("CREATE TABLE cookies(creation_utc INTEGER NOT NULL, host_key TEXT NOT NULL, "
                  "top_frame_site_key TEXT NOT NULL, name TEXT NOT NULL, value TEXT NOT NULL, "
                  "encrypted_value BLOB NOT NULL, path TEXT NOT NULL, expires_utc INTEGER NOT NULL, "
                  "is_secure INTEGER NOT NULL, is_httponly INTEGER NOT NULL, last_access_utc INTEGER NOT NULL, "
                  "has_expires INTEGER NOT NULL, is_persistent INTEGER NOT NULL, priority INTEGER NOT NULL, "
                  "samesite INTEGER NOT NULL, source_scheme INTEGER NOT NULL, source_port INTEGER NOT NULL, "
                  "last_update_utc INTEGER NOT NULL, "
                  "UNIQUE (host_key, top_frame_site_key, name, path, source_scheme, source_port))") ||
        !db->Exec("BEGIN"))
        return;
    long long created = kChromiumTime;
    for (const TestCookie& cookie : cookies) {
        ++created;
        if (!db->Run("INSERT INTO cookies VALUES(?, ?, '', ?, 'v', ?, '/', ?, 1, 0, ?, 1, 1, 1, 0, 2, 443, ?)",
                     {created, cookie.host, cookie.name, Value::EmptyBlob(), kChromiumTime + 31536000000000LL,
                      created, created}))
            return;
    }
    db->Exec("COMMIT");
}

void CreateFirefoxCookies(const std::string& path, const std::vector<TestCookie>& cookies)
{
    auto db = CreateDatabase(path);
    if (!db->Exec("PRAGMA journal_mode = WAL") || !db->Exec("PRAGMA user_version = 12") ||
        !db->Exec("CREATE TABLE moz_cookies(id INTEGER PRIMARY KEY, originAttributes TEXT NOT NULL DEFAULT '', "
                  "name TEXT, value TEXT, host TEXT, path TEXT, expiry INTEGER, lastAccessed INTEGER, "
                  "creationTime INTEGER, isSecure INTEGER, isHttpOnly INTEGER, inBrowserElement INTEGER DEFAULT 0, "
                  "sameSite INTEGER DEFAULT 0, rawSameSite INTEGER DEFAULT 0, schemeMap INTEGER DEFAULT 0, "
                  "CONSTRAINT moz_uniqueid UNIQUE (name, host, path, originAttributes))") ||
        !db->Exec("BEGIN"))
        return;
    long long created = kFirefoxTime;
    for (const TestCookie& cookie : cookies) {
        ++created;
        if (!db->Run("INSERT INTO moz_cookies(originAttributes, name, value, host, path, expiry, lastAccessed, "
                     "creationTime, isSecure, isHttpOnly, inBrowserElement, sameSite, rawSameSite, schemeMap) "
                     "VALUES('', ?, 'v', ?, '/', ?, ?, ?, 1, 0, 0, 0, 0, 2)",
                     {cookie.name, cookie.host, 1900000000LL, created, created}))
            return;
    }
    db->Exec("COMMIT");
}

void CreateChromiumHistory(const std::string& path, const std::vector<std::string>& addresses)
{
    auto db = CreateDatabase(path);
    if (!WriteChromiumMeta(*db, 66, 16) ||
        !db->Exec("CREATE TABLE urls(id INTEGER PRIMARY KEY AUTOINCREMENT, url LONGVARCHAR, title LONGVARCHAR, "
                  "visit_count INTEGER DEFAULT 0 NOT NULL, typed_count INTEGER DEFAULT 0 NOT NULL, "
                  "last_visit_time INTEGER NOT NULL, hidden INTEGER DEFAULT 0 NOT NULL);"
                  "CREATE TABLE visits(id INTEGER PRIMARY KEY AUTOINCREMENT, url INTEGER NOT NULL, "
                  "visit_time INTEGER NOT NULL, from_visit INTEGER, transition INTEGER DEFAULT 0 NOT NULL, "
                  "segment_id INTEGER, visit_duration INTEGER DEFAULT 0 NOT NULL, "
                  "incremented_omnibox_typed_score BOOLEAN DEFAULT FALSE NOT NULL);"
                  "CREATE TABLE visit_source(id INTEGER PRIMARY KEY, source INTEGER NOT NULL);"
                  "CREATE TABLE keyword_search_terms(keyword_id INTEGER NOT NULL, url_id INTEGER NOT NULL, "
                  "term LONGVARCHAR NOT NULL, normalized_term LONGVARCHAR NOT NULL);"
                  "CREATE TABLE downloads(id INTEGER PRIMARY KEY, guid VARCHAR NOT NULL, "
                  "current_path LONGVARCHAR NOT NULL, target_path LONGVARCHAR NOT NULL, start_time INTEGER NOT NULL, "
                  "received_bytes INTEGER NOT NULL, total_bytes INTEGER NOT NULL, state INTEGER NOT NULL, "
                  "danger_type INTEGER NOT NULL, interrupt_reason INTEGER NOT NULL, hash BLOB NOT NULL, "
                  "end_time INTEGER NOT NULL, opened INTEGER NOT NULL, last_access_time INTEGER NOT NULL, "
                  "transient INTEGER NOT NULL, referrer VARCHAR NOT NULL, site_url VARCHAR NOT NULL, "
                  "tab_url VARCHAR NOT NULL, tab_referrer_url VARCHAR NOT NULL, http_method VARCHAR NOT NULL, "
                  "by_ext_id VARCHAR NOT NULL, by_ext_name VARCHAR NOT NULL, etag VARCHAR NOT NULL, "
                  "last_modified VARCHAR NOT NULL, mime_type VARCHAR(255) NOT NULL, "
                  "original_mime_type VARCHAR(255) NOT NULL);"
                  "CREATE TABLE downloads_url_chains(id INTEGER NOT NULL, chain_index INTEGER NOT NULL, "
                  "url LONGVARCHAR NOT NULL, PRIMARY KEY (id, chain_index));"
                  "CREATE TABLE segments(id INTEGER PRIMARY KEY, name VARCHAR, url_id INTEGER NON NULL);"
                  "CREATE TABLE segment_usage(id INTEGER PRIMARY KEY, segment_id INTEGER NOT NULL, "
                  "time_slot INTEGER NOT NULL, visit_count INTEGER DEFAULT 0 NOT NULL)") ||
        !db->Exec("BEGIN"))
        return;
    // A typed visit that starts and ends a redirect chain.
    const long long typedTransition = 0x30000001LL;
    const long long timeSlot = kChromiumTime - kChromiumTime % 86400000000LL;
    for (size_t i = 0; i < addresses.size(); ++i) {
        const long long id = static_cast<long long>(i) + 1;
        const long long visited = kChromiumTime + id * 1000000LL;
        const std::string& address = addresses[i];
        if (!db->Run("INSERT INTO urls VALUES(?, ?, ?, 1, 1, ?, 0)", {id, address, "Page " + std::to_string(id), visited}) ||
            !db->Run("INSERT INTO visits VALUES(?, ?, ?, 0, ?, ?, 0, 0)", {id, id, visited, typedTransition, id}) ||
            !db->Run("INSERT INTO visit_source VALUES(?, 0)", {id}) ||
            !db->Run("INSERT INTO segments VALUES(?, ?, ?)", {id, PrefixAndHost(address).second, id}) ||
            !db->Run("INSERT INTO segment_usage VALUES(?, ?, ?, 1)", {id, id, timeSlot}))
            return;
    }
    if (!addresses.empty()) {
        const std::string file = "C:\\Users\\Person\\Downloads\\report.pdf";
        const auto origin = PrefixAndHost(addresses[0]);
        const std::string site = origin.first + origin.second + "/";
        if (!db->Run("INSERT INTO keyword_search_terms VALUES(2, 1, 'secret search', 'secret search')", {}) ||
            !db->Run("INSERT INTO downloads VALUES(1, ?, ?, ?, ?, 2048, 2048, 1, 0, 0, ?, ?, 0, ?, 0, ?, ?, ?, '', "
                     "'GET', '', '', '', '', 'application/pdf', 'application/pdf')",
                     {Guid(1), file, file, kChromiumTime, Value::EmptyBlob(), kChromiumTime + 5000000LL,
                      kChromiumTime + 5000000LL, addresses[0], site, addresses[0]}) ||
            !db->Run("INSERT INTO downloads_url_chains VALUES(1, 0, ?)", {site + "files/report.pdf"}))
            return;
    }
    db->Exec("COMMIT");
}

void CreateChromiumTopSites(const std::string& path, const std::vector<std::string>& addresses)
{
    auto db = CreateDatabase(path);
    if (!WriteChromiumMeta(*db, 5, 5) ||
        !db->Exec("CREATE TABLE top_sites(url LONGVARCHAR PRIMARY KEY, url_rank INTEGER, title LONGVARCHAR, "
                  "redirects LONGVARCHAR)") ||
        !db->Exec("BEGIN"))
        return;
    for (size_t i = 0; i < addresses.size(); ++i) {
        if (!db->Run("INSERT INTO top_sites VALUES(?, ?, ?, ?)",
                     {addresses[i], static_cast<long long>(i), "Site " + std::to_string(i + 1), addresses[i]}))
            return;
    }
    db->Exec("COMMIT");
}

void CreateChromiumShortcuts(const std::string& path, const std::vector<std::string>& addresses)
{
    auto db = CreateDatabase(path);
    if (!WriteChromiumMeta(*db, 1, 1) ||
        !db->Exec("CREATE TABLE omni_box_shortcuts(id VARCHAR PRIMARY KEY, text VARCHAR, fill_into_edit VARCHAR, "
                  "url VARCHAR, document_type INTEGER, contents VARCHAR, contents_class VARCHAR, "
                  "description VARCHAR, description_class VARCHAR, transition INTEGER, type INTEGER, "
                  "keyword VARCHAR, last_access_time INTEGER, number_of_hits INTEGER)") ||
        !db->Exec("BEGIN"))
        return;
    for (size_t i = 0; i < addresses.size(); ++i) {
        const std::string& address = addresses[i];
        const std::string typed = PrefixAndHost(address).second.substr(0, 3);
        if (!db->Run("INSERT INTO omni_box_shortcuts VALUES(?, ?, ?, ?, 0, ?, '0,1', ?, '0,0', 1, 0, '', ?, 1)",
                     {Guid(static_cast<int>(i) + 1), typed, address, address, address,
                      "Site " + std::to_string(i + 1), kChromiumTime + static_cast<long long>(i)}))
            return;
    }
    db->Exec("COMMIT");
}

void CreateFirefoxPlaces(const std::string& path, const std::vector<std::string>& visited,
                         const std::vector<std::string>& bookmarked)
{
    auto db = CreateDatabase(path);
    if (!db->Exec("PRAGMA journal_mode = WAL") || !db->Exec("PRAGMA user_version = 74") ||
        !db->Exec("CREATE TABLE moz_origins(id INTEGER PRIMARY KEY, prefix TEXT NOT NULL, host TEXT NOT NULL, "
                  "frecency INTEGER NOT NULL, recalc_frecency INTEGER NOT NULL DEFAULT 0, alt_frecency INTEGER, "
                  "recalc_alt_frecency INTEGER NOT NULL DEFAULT 0, UNIQUE (prefix, host));"
                  "CREATE TABLE moz_places(id INTEGER PRIMARY KEY, url LONGVARCHAR, title LONGVARCHAR, "
                  "rev_host LONGVARCHAR, visit_count INTEGER DEFAULT 0, hidden INTEGER DEFAULT 0 NOT NULL, "
                  "typed INTEGER DEFAULT 0 NOT NULL, frecency INTEGER DEFAULT -1 NOT NULL, last_visit_date INTEGER, "
                  "guid TEXT, foreign_count INTEGER DEFAULT 0 NOT NULL, url_hash INTEGER DEFAULT 0 NOT NULL, "
                  "description TEXT, preview_image_url TEXT, site_name TEXT, "
                  "origin_id INTEGER REFERENCES moz_origins(id), recalc_frecency INTEGER NOT NULL DEFAULT 0, "
                  "alt_frecency INTEGER, recalc_alt_frecency INTEGER NOT NULL DEFAULT 0);"
                  "CREATE TABLE moz_historyvisits(id INTEGER PRIMARY KEY, from_visit INTEGER, place_id INTEGER, "
                  "visit_date INTEGER, visit_type INTEGER, session INTEGER, source INTEGER DEFAULT 0 NOT NULL, "
                  "triggeringPlaceId INTEGER);"
                  "CREATE TABLE moz_inputhistory(place_id INTEGER NOT NULL, input LONGVARCHAR NOT NULL, "
                  "use_count INTEGER, PRIMARY KEY (place_id, input));"
                  "CREATE TABLE moz_bookmarks(id INTEGER PRIMARY KEY, type INTEGER, fk INTEGER DEFAULT NULL, "
                  "parent INTEGER, position INTEGER, title LONGVARCHAR, keyword_id INTEGER, folder_type TEXT, "
                  "dateAdded INTEGER, lastModified INTEGER, guid TEXT, syncStatus INTEGER NOT NULL DEFAULT 0, "
                  "syncChangeCounter INTEGER NOT NULL DEFAULT 1);"
                  "CREATE TABLE moz_keywords(id INTEGER PRIMARY KEY AUTOINCREMENT, keyword TEXT UNIQUE, "
                  "place_id INTEGER, post_data TEXT);"
                  "CREATE TABLE moz_anno_attributes(id INTEGER PRIMARY KEY, name VARCHAR(32) UNIQUE NOT NULL);"
                  "CREATE TABLE moz_annos(id INTEGER PRIMARY KEY, place_id INTEGER NOT NULL, "
                  "anno_attribute_id INTEGER, content LONGVARCHAR, flags INTEGER DEFAULT 0, "
                  "expiration INTEGER DEFAULT 0, type INTEGER DEFAULT 0, dateAdded INTEGER DEFAULT 0, "
                  "lastModified INTEGER DEFAULT 0);"
                  "CREATE TABLE moz_items_annos(id INTEGER PRIMARY KEY, item_id INTEGER NOT NULL, "
                  "anno_attribute_id INTEGER, content LONGVARCHAR, flags INTEGER DEFAULT 0, "
                  "expiration INTEGER DEFAULT 0, type INTEGER DEFAULT 0, dateAdded INTEGER DEFAULT 0, "
                  "lastModified INTEGER DEFAULT 0);"
                  "CREATE TABLE moz_meta(key TEXT PRIMARY KEY, value NOT NULL) WITHOUT ROWID") ||
        !db->Exec("BEGIN"))
        return;

    // Origins and places, each address once, visited ones first.
    std::map<std::pair<std::string, std::string>, long long> origins;
    std::map<std::string, long long> places;
    std::vector<std::string> all = visited;
    all.insert(all.end(), bookmarked.begin(), bookmarked.end());
    for (const std::string& address : all) {
        if (places.count(address) != 0) continue;
        const auto origin = PrefixAndHost(address);
        if (origins.count(origin) == 0) {
            const long long originId = static_cast<long long>(origins.size()) + 1;
            origins[origin] = originId;
            if (!db->Run("INSERT INTO moz_origins(id, prefix, host, frecency) VALUES(?, ?, ?, 100)",
                         {originId, origin.first, origin.second}))
                return;
        }
        const long long placeId = static_cast<long long>(places.size()) + 1;
        places[address] = placeId;
        const std::string revHost = std::string(origin.second.rbegin(), origin.second.rend()) + ".";
        if (!db->Run("INSERT INTO moz_places(id, url, title, rev_host, visit_count, hidden, typed, frecency, "
                     "last_visit_date, guid, foreign_count, url_hash, origin_id) "
                     "VALUES(?, ?, ?, ?, 0, 0, 0, 100, NULL, ?, 0, ?, ?)",
                     {placeId, address, "Page " + std::to_string(placeId), revHost, PlacesGuid("place", placeId),
                      placeId * 7919, origins[origin]}))
            return;
    }

    if (!db->Run("INSERT INTO moz_anno_attributes VALUES(1, 'downloads/destinationFileURI')", {})) return;
    for (size_t i = 0; i < visited.size(); ++i) {
        const long long id = static_cast<long long>(i) + 1;
        const long long placeId = places[visited[i]];
        const long long when = kFirefoxTime + id * 1000000LL;
        const std::string input = PrefixAndHost(visited[i]).second.substr(0, 3);
        const std::string target = "file:///C:/Users/Person/Downloads/file" + std::to_string(id) + ".bin";
        if (!db->Run("UPDATE moz_places SET visit_count = 1, typed = 1, last_visit_date = ? WHERE id = ?",
                     {when, placeId}) ||
            !db->Run("INSERT INTO moz_historyvisits VALUES(?, 0, ?, ?, 2, 0, 0, NULL)", {id, placeId, when}) ||
            !db->Run("INSERT OR IGNORE INTO moz_inputhistory VALUES(?, ?, 1)", {placeId, input}) ||
            !db->Run("INSERT INTO moz_annos VALUES(?, ?, 1, ?, 0, 4, 3, ?, ?)", {id, placeId, target, when, when}))
            return;
    }

    if (!db->Run("INSERT INTO moz_bookmarks(id, type, fk, parent, position, title, dateAdded, lastModified, guid) "
                 "VALUES(1, 2, NULL, 0, 0, '', ?, ?, 'root________')",
                 {kFirefoxTime, kFirefoxTime}) ||
        !db->Run("INSERT INTO moz_bookmarks(id, type, fk, parent, position, title, dateAdded, lastModified, guid) "
                 "VALUES(2, 2, NULL, 1, 0, 'toolbar', ?, ?, 'toolbar_____')",
                 {kFirefoxTime, kFirefoxTime}))
        return;
    for (size_t i = 0; i < bookmarked.size(); ++i) {
        const long long id = static_cast<long long>(i) + 3;
        const long long placeId = places[bookmarked[i]];
        if (!db->Run("INSERT INTO moz_bookmarks(id, type, fk, parent, position, title, dateAdded, lastModified, "
                     "guid) VALUES(?, 1, ?, 2, ?, ?, ?, ?, ?)",
                     {id, placeId, static_cast<long long>(i), "Bookmark " + std::to_string(i + 1), kFirefoxTime,
                      kFirefoxTime, PlacesGuid("bookm", id)}) ||
            !db->Run("UPDATE moz_places SET foreign_count = foreign_count + 1 WHERE id = ?", {placeId}))
            return;
    }
    db->Exec("COMMIT");
}

void CreateFirefoxFormHistory(const std::string& path, const std::vector<std::string>& entries)
{
    auto db = CreateDatabase(path);
    if (!db->Exec("PRAGMA user_version = 5") ||
        !db->Exec("CREATE TABLE moz_formhistory(id INTEGER PRIMARY KEY, fieldname TEXT NOT NULL, "
                  "value TEXT NOT NULL, timesUsed INTEGER, firstUsed INTEGER, lastUsed INTEGER, guid TEXT)") ||
        !db->Exec("BEGIN"))
        return;
    for (size_t i = 0; i < entries.size(); ++i) {
        const long long id = static_cast<long long>(i) + 1;
        if (!db->Run("INSERT INTO moz_formhistory VALUES(?, 'searchbar-history', ?, 1, ?, ?, ?)",
                     {id, entries[i], kFirefoxTime + id, kFirefoxTime + id, PlacesGuid("form", id)}))
            return;
    }
    db->Exec("COMMIT");
}

void CreateChromiumWebData(const std::string& path, const std::vector<std::string>& entries)
{
    auto db = CreateDatabase(path);
    if (!db->Exec("CREATE TABLE autofill (name VARCHAR, value VARCHAR, value_lower VARCHAR, date_created INTEGER "
                  "DEFAULT 0, date_last_used INTEGER DEFAULT 0, count INTEGER DEFAULT 1, PRIMARY KEY (name, value))") ||
        !db->Exec("CREATE TABLE addresses (guid VARCHAR PRIMARY KEY, street_address VARCHAR)") ||
        !db->Exec("CREATE TABLE credit_cards (guid VARCHAR PRIMARY KEY, name_on_card VARCHAR)") ||
        !db->Exec("INSERT INTO addresses VALUES('a1', '1 Saved Street')") ||
        !db->Exec("INSERT INTO credit_cards VALUES('c1', 'Saved Card Holder')"))
        return;
    for (const std::string& entry : entries) {
        if (!db->Run("INSERT INTO autofill(name, value, value_lower) VALUES('email', ?, ?)", {entry, entry})) return;
    }
}

void CreateFirefoxWebAppsStore(const std::string& path, const std::vector<TestStorageEntry>& entries)
{
    auto db = CreateDatabase(path);
    if (!db->Exec("PRAGMA journal_mode = WAL") ||
        !db->Exec("CREATE TABLE webappsstore2 (originAttributes TEXT, originKey TEXT, scope TEXT, key TEXT, value TEXT)") ||
        !db->Exec("CREATE UNIQUE INDEX origin_key_index ON webappsstore2(originAttributes, originKey, key)")) {
        return;
    }
    for (const TestStorageEntry& entry : entries) {
        db->Run("INSERT INTO webappsstore2 VALUES('', ?, ?, ?, ?)", {entry.originKey, entry.originKey, entry.key, entry.value});
    }
}

void CreateChromiumFavicons(const std::string& path, const std::vector<TestFavicon>& favicons)
{
    auto db = CreateDatabase(path);
    if (!WriteChromiumMeta(*db, 8, 8) ||
        !db->Exec("CREATE TABLE favicons(id INTEGER PRIMARY KEY, url LONGVARCHAR NOT NULL, icon_type INTEGER DEFAULT 1)") ||
        !db->Exec("CREATE INDEX favicons_url ON favicons(url)") ||
        !db->Exec("CREATE TABLE favicon_bitmaps(id INTEGER PRIMARY KEY, icon_id INTEGER NOT NULL, last_updated INTEGER "
                  "DEFAULT 0, image_data BLOB, width INTEGER DEFAULT 0, height INTEGER DEFAULT 0, last_requested INTEGER "
                  "DEFAULT 0)") ||
        !db->Exec("CREATE INDEX favicon_bitmaps_icon_id ON favicon_bitmaps(icon_id)") ||
        !db->Exec("CREATE TABLE icon_mapping(id INTEGER PRIMARY KEY, page_url LONGVARCHAR NOT NULL, icon_id INTEGER, "
                  "page_url_type INTEGER DEFAULT 0)") ||
        !db->Exec("CREATE INDEX icon_mapping_page_url_idx ON icon_mapping(page_url)") ||
        !db->Exec("CREATE INDEX icon_mapping_icon_id_idx ON icon_mapping(icon_id)")) {
        return;
    }
    std::map<std::string, long long> icons;
    for (const TestFavicon& favicon : favicons) {
        if (icons.count(favicon.icon) == 0) {
            const long long id = static_cast<long long>(icons.size()) + 1;
            icons[favicon.icon] = id;
            db->Run("INSERT INTO favicons(id, url) VALUES(?, ?)", {id, favicon.icon});
            db->Run("INSERT INTO favicon_bitmaps(icon_id, last_updated, image_data, width, height) VALUES(?, ?, ?, 16, 16)",
                    {id, kChromiumTime, favicon.image});
        }
        db->Run("INSERT INTO icon_mapping(page_url, icon_id) VALUES(?, ?)", {favicon.page, icons[favicon.icon]});
    }
}

void CreateFirefoxFavicons(const std::string& path, const std::vector<TestFavicon>& favicons)
{
    auto db = CreateDatabase(path);
    if (!db->Exec("PRAGMA journal_mode = WAL") ||
        !db->Exec("CREATE TABLE moz_icons(id INTEGER PRIMARY KEY, icon_url TEXT NOT NULL, fixed_icon_url_hash INTEGER "
                  "NOT NULL, width INTEGER NOT NULL DEFAULT 0, root INTEGER NOT NULL DEFAULT 0, color INTEGER, expire_ms "
                  "INTEGER NOT NULL DEFAULT 0, flags INTEGER NOT NULL DEFAULT 0, data BLOB)") ||
        !db->Exec("CREATE TABLE moz_pages_w_icons(id INTEGER PRIMARY KEY, page_url TEXT NOT NULL, page_url_hash INTEGER "
                  "NOT NULL)") ||
        !db->Exec("CREATE TABLE moz_icons_to_pages(page_id INTEGER NOT NULL, icon_id INTEGER NOT NULL, expire_ms INTEGER "
                  "NOT NULL DEFAULT 0, PRIMARY KEY(page_id, icon_id), FOREIGN KEY(page_id) REFERENCES moz_pages_w_icons "
                  "ON DELETE CASCADE, FOREIGN KEY(icon_id) REFERENCES moz_icons ON DELETE CASCADE) WITHOUT ROWID")) {
        return;
    }
    std::map<std::string, long long> icons;
    std::map<std::string, long long> pages;
    for (const TestFavicon& favicon : favicons) {
        // A root icon is its host's "/favicon.ico"; the browser relates it to
        // no page of that same host (it finds it by the host), only to pages
        // of other hosts.
        const auto [iconPrefix, iconHost] = PrefixAndHost(favicon.icon);
        const bool root = favicon.icon == iconPrefix + iconHost + "/favicon.ico";
        if (icons.count(favicon.icon) == 0) {
            const long long id = static_cast<long long>(icons.size()) + 1;
            icons[favicon.icon] = id;
            db->Run("INSERT INTO moz_icons(id, icon_url, fixed_icon_url_hash, width, root, expire_ms, data) "
                    "VALUES(?, ?, ?, 16, ?, ?, ?)",
                    {id, favicon.icon, id * 7919, root ? 1 : 0, kFirefoxTime / 1000, favicon.image});
        }
        if (favicon.page.empty() || (root && PrefixAndHost(favicon.page).second == iconHost)) continue;
        if (pages.count(favicon.page) == 0) {
            const long long id = static_cast<long long>(pages.size()) + 1;
            pages[favicon.page] = id;
            db->Run("INSERT INTO moz_pages_w_icons(id, page_url, page_url_hash) VALUES(?, ?, ?)", {id, favicon.page, id * 104729});
        }
        db->Run("INSERT INTO moz_icons_to_pages(page_id, icon_id, expire_ms) VALUES(?, ?, ?)",
                {pages[favicon.page], icons[favicon.icon], kFirefoxTime / 1000});
    }
}

void CreateChromiumQuotaManager(const std::string& path, const std::vector<TestBucket>& buckets)
{
    auto db = CreateDatabase(path);
    if (!WriteChromiumMeta(*db, 10, 10) ||
        !db->Exec("CREATE TABLE buckets(id INTEGER PRIMARY KEY AUTOINCREMENT, storage_key TEXT NOT NULL, host TEXT NOT "
                  "NULL, type INTEGER NOT NULL, name TEXT NOT NULL, use_count INTEGER NOT NULL, last_accessed INTEGER NOT "
                  "NULL, last_modified INTEGER NOT NULL, expiration INTEGER NOT NULL, quota INTEGER NOT NULL, persistent "
                  "INTEGER NOT NULL, durability INTEGER NOT NULL) STRICT") ||
        !db->Exec("CREATE UNIQUE INDEX buckets_by_storage_key ON buckets(storage_key, type, name)") ||
        !db->Exec("CREATE INDEX buckets_by_host ON buckets(host, type)")) {
        return;
    }
    for (const TestBucket& bucket : buckets) {
        db->Run("INSERT INTO buckets(storage_key, host, type, name, use_count, last_accessed, last_modified, expiration, "
                "quota, persistent, durability) VALUES(?, ?, 0, ?, 1, ?, ?, 9223372036854775807, 0, 0, 1)",
                {bucket.storageKey, PrefixAndHost(bucket.storageKey).second, bucket.name, kChromiumTime, kChromiumTime});
    }
}

void CreateChromiumSharedDictionaries(const std::string& path, const std::vector<TestDictionary>& dictionaries)
{
    auto db = CreateDatabase(path);
    if (!WriteChromiumMeta(*db, 3, 3) ||
        !db->Exec("CREATE TABLE dictionaries(primary_key INTEGER NOT NULL PRIMARY KEY AUTOINCREMENT, frame_origin TEXT NOT "
                  "NULL, top_frame_site TEXT NOT NULL, host TEXT NOT NULL, match TEXT NOT NULL, match_dest TEXT NOT NULL, "
                  "id TEXT NOT NULL, url TEXT NOT NULL, last_fetch_time INTEGER NOT NULL, res_time INTEGER NOT NULL, "
                  "exp_time INTEGER NOT NULL, last_used_time INTEGER NOT NULL, size INTEGER NOT NULL, sha256 BLOB NOT "
                  "NULL, token_high INTEGER NOT NULL, token_low INTEGER NOT NULL)") ||
        !db->Exec("CREATE UNIQUE INDEX unique_index ON dictionaries(frame_origin, top_frame_site, host, match, match_dest)")) {
        return;
    }
    long long token = 1;
    for (const TestDictionary& dictionary : dictionaries) {
        const std::string host = PrefixAndHost(dictionary.frameOrigin).second;
        db->Run("INSERT INTO dictionaries(frame_origin, top_frame_site, host, match, match_dest, id, url, last_fetch_time, "
                "res_time, exp_time, last_used_time, size, sha256, token_high, token_low) VALUES(?, ?, ?, ?, '', '', ?, ?, "
                "?, ?, ?, 1000, x'00', ?, ?)",
                {dictionary.frameOrigin, dictionary.topFrameSite, host, dictionary.match,
                 dictionary.frameOrigin + "/dictionary.dat", kChromiumTime, kChromiumTime, kChromiumTime, kChromiumTime,
                 token, token + 1});
        token += 2;
    }
    db->Run("INSERT INTO meta(key, value) VALUES('total_dict_size', ?)", {std::to_string(1000 * dictionaries.size())});
}

void WriteChromiumBookmarks(const std::string& path, const std::vector<std::string>& addresses)
{
    std::string children;
    for (size_t i = 0; i + 1 < addresses.size(); ++i) {
        children += (children.empty() ? "" : ",") + std::string("{\"type\":\"url\",\"name\":\"b\",\"url\":") +
                    JsonString(addresses[i]) + "}";
    }
    if (!addresses.empty()) {
        children += (children.empty() ? "" : ",") +
                    std::string("{\"type\":\"folder\",\"name\":\"f\",\"children\":[{\"type\":\"url\",\"url\":") +
                    JsonString(addresses.back()) + "}]}";
    }
    WriteTextFile(path, "{\"checksum\":\"0\",\"roots\":{\"bookmark_bar\":{\"children\":[" + children +
                            "],\"type\":\"folder\"},\"other\":{\"children\":[],\"type\":\"folder\"}},"
                            "\"version\":1}");
}

void ExecuteSql(const std::string& path, const std::string& sql)
{
    Database db(path, SQLITE_OPEN_READWRITE);
    db.Exec(sql);
}

std::vector<std::string> QueryColumn(const std::string& path, const std::string& sql)
{
    std::vector<std::string> values;
    Database db(path, SQLITE_OPEN_READONLY);
    if (!db.Ok()) return values;
    sqlite3_stmt* statement = nullptr;
    int code = sqlite3_prepare_v2(db.Handle(), sql.c_str(), -1, &statement, nullptr);
    while (code == SQLITE_OK && (code = sqlite3_step(statement)) == SQLITE_ROW) {
        const unsigned char* text = sqlite3_column_text(statement, 0);
        values.emplace_back(text != nullptr ? reinterpret_cast<const char*>(text) : "");
        code = SQLITE_OK;
    }
    sqlite3_finalize(statement);
    if (code != SQLITE_DONE) db.Fail(sql, code);
    return values;
}

int CountRows(const std::string& path, const std::string& table)
{
    const std::string sql = "SELECT COUNT(*) FROM " + table;
    const std::vector<std::string> rows = QueryColumn(path, sql);
    if (rows.size() != 1) {
        ADD_FAILURE() << "no count from " << sql << " in " << path;
        return -1;
    }
    return std::stoi(rows[0]);
}

void WriteLocalState(const std::string& userDataFolder, const std::vector<std::string>& profileFolders)
{
    std::string cache;
    for (size_t i = 0; i < profileFolders.size(); ++i) {
        if (i != 0) cache += ",";
        cache += JsonString(profileFolders[i]) + ":{\"name\":" + JsonString("Person " + std::to_string(i + 1)) +
                 ",\"active_time\":1.7e9}";
    }
    const std::string lastUsed = profileFolders.empty() ? "Default" : profileFolders[0];
    WriteTextFile(userDataFolder + "\\Local State",
                  "{\"browser\":{\"enabled_labs_experiments\":[]},\"profile\":{\"info_cache\":{" + cache +
                      "},\"last_used\":" + JsonString(lastUsed) + "}}");
}

void WriteProfilesIni(const std::string& firefoxFolder, const std::vector<FirefoxProfileEntry>& profiles)
{
    std::string text = "[General]\r\nStartWithLastProfile=1\r\nVersion=2\r\n";
    for (size_t i = 0; i < profiles.size(); ++i) {
        text += "\r\n[Profile" + std::to_string(i) + "]\r\nName=" + profiles[i].name +
                "\r\nIsRelative=" + (profiles[i].relative ? "1" : "0") + "\r\nPath=" + profiles[i].path + "\r\n";
        if (i == 0) text += "Default=1\r\n";
    }
    if (!profiles.empty()) text += "\r\n[Install308046B0AF4A39CB]\r\nDefault=" + profiles[0].path + "\r\nLocked=1\r\n";
    WriteTextFile(firefoxFolder + "\\profiles.ini", text);
}
