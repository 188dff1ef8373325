#pragma once
// What the browser jobs change inside the browsers' SQLite databases. Each
// database is changed inside one exclusive transaction: an interrupted run
// leaves it as it was or fully cleaned. Deleted content is overwritten.
#include "common/codecs.h"
#include "plugin/sqlitedb.h"

#include <functional>
#include <string>

class CKeptSites;

// Opens the database for writing, checks that it is intact, runs clean in a
// transaction, commits and folds a write-ahead log back into the file.
// Raises "<file> was left as it was: <reason>." on any failure.
void CleanDatabase(const std::string& path, const std::function<void(CSqliteDatabase&)>& clean);

// Deletes the rows of table whose host column is not a kept site; the rows
// deleted, and in kept those left.
int DeleteUnkeptCookies(CSqliteDatabase& db, const std::string& table, const std::string& hostColumn,
                        const CKeptSites& keptSites, int* kept);

// The distinct hosts of a cookie table, read without changing the file.
StringList ReadCookieHosts(const std::string& path, const std::string& table, const std::string& hostColumn);

// Chromium "History": visits, addresses (typed ones included), search terms,
// downloads and what is derived from them; its "meta" table stays.
void ClearChromiumHistory(CSqliteDatabase& db);
// Chromium "Top Sites" and "Shortcuts".
void ClearChromiumTopSites(CSqliteDatabase& db);
void ClearChromiumShortcuts(CSqliteDatabase& db);

// Firefox "places.sqlite": visits, typed input, page annotations (the
// downloads list) and every address no bookmark or keyword needs; the
// addresses bookmarks need stay, their visit counts and dates cleared.
void ClearFirefoxHistory(CSqliteDatabase& db);
// Firefox "formhistory.sqlite": search-bar and form entries.
void ClearFirefoxFormHistory(CSqliteDatabase& db);
