#pragma once
// What the browser jobs change inside the browsers' SQLite databases. Each
// database is changed inside one exclusive transaction: an interrupted run
// leaves it as it was or fully cleaned. SQLite is built with secure
// deletion: deleted rows are overwritten inside the database file.
#include "common/codecs.h"
#include "plugin/engines/sqlite/sqlitedb.h"

#include <functional>
#include <map>
#include <string>

class CKeptSites;

// What cleaning one database did: the rows removed (or that would be) by
// table, and a warning for a problem after the change was committed.
struct DatabaseCleanup {
    std::map<std::string, long long> removedRows;
    std::string warning;
};

// Opens the database for writing, checks that it is intact, runs clean in a
// transaction and commits. Raises "<file> was left as it was: <reason>." on
// any failure up to the commit; a write-ahead log that cannot be folded back
// and emptied afterwards is the result's warning. In a preview the same clean
// runs on a snapshot of the file and changes nothing; a database with changes
// still in its log or journal (its browser did not close cleanly) cannot be
// previewed faithfully and raises instead.
DatabaseCleanup CleanDatabase(const std::string& path, bool preview, const std::function<void(CSqliteDatabase&)>& clean);

// The size of a file (a database's log or journal); 0 when it is missing.
long long FileSize(const std::string& path);

// What DeleteUnkeptCookies chose and did.
struct CookieDeletion {
    StringList hosts;       // the host of every cookie that goes (or would go), in table order
    long long removed = 0;  // the rows SQLite says it deleted; on a snapshot, those it would
    long long kept = 0;
};

// Deletes the rows of table whose host column is not a kept site (on a
// snapshot: deletes nothing). The rows are chosen by their host alone, in
// the statement that deletes them.
CookieDeletion DeleteUnkeptCookies(CSqliteDatabase& db, const std::string& table, const std::string& hostColumn,
                                   const CKeptSites& keptSites);

// What tells one database file from another, whatever name reaches it
// (another spelling, a link, a hard link): its volume and file number; the
// path itself when the system cannot tell.
std::string DatabaseIdentity(const std::string& path);

// The distinct hosts of a cookie table, read as the file stands, without
// locking it or creating anything beside it.
StringList ReadCookieHosts(const std::string& path, const std::string& table, const std::string& hostColumn);

// Chromium "History": visits, addresses (typed ones included), search terms,
// downloads and what is derived from them; its "meta" table stays.
void ClearChromiumHistory(CSqliteDatabase& db);
// Chromium "Top Sites" and "Shortcuts".
void ClearChromiumTopSites(CSqliteDatabase& db);
void ClearChromiumShortcuts(CSqliteDatabase& db);
// Chromium "Web Data": the entries typed into forms (its "autofill" table),
// never the addresses, cards, passwords or search engines kept beside them.
void ClearChromiumFormEntries(CSqliteDatabase& db);

// Firefox "places.sqlite": visits, typed input, page annotations (the
// downloads list) and every address no bookmark or keyword needs; the
// addresses bookmarks need stay, their visit counts and dates cleared.
void ClearFirefoxHistory(CSqliteDatabase& db);
// Firefox "formhistory.sqlite": search-bar and form entries.
void ClearFirefoxFormHistory(CSqliteDatabase& db);
