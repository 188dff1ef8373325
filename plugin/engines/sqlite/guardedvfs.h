#pragma once
// SQLite's file layer for every database the program opens: the system's
// own Windows layer, with each file SQLite opens, deletes or asks about
// passed through the file guard of its folder first. A database, its
// rollback journal, its write-ahead log and its shared-memory file are used
// only when each is a plain file of the database's folder with one name:
// SQLite never writes, truncates or deletes through a link.
#include <string>

// The name of the guarded layer, registered on first use, for sqlite3_open_v2.
const char* GuardedVfsName();

// Checks the database at path (a full path, UTF-8 as SQLite takes it) and
// each of its side files that is there. Empty when all may be used;
// otherwise why not, naming the file by its name ("History-wal is a link
// or lies outside its folder"). forWriting: the database is to be changed,
// so a side file's name is also tried for a link that leads nowhere (SQLite
// would make its target).
std::string GuardedDatabaseRefusal(const std::string& path, bool forWriting);
