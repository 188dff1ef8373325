#pragma once
// A browser's SQLite database, as the jobs that clean it open it: never
// created when missing, failures raised as CError with SQLite's own words,
// and never opened while it or a side file of it is a link or has other
// names (every file SQLite touches goes through the guarded file layer).
#include <cstdint>
#include <functional>
#include <list>
#include <map>
#include <string>

// A table or column name as SQL text: in double quotes, inner quotes doubled,
// so it stays a name whatever it holds.
std::string QuotedSqlName(const std::string& name);

struct sqlite3;
struct sqlite3_stmt;
class CSqliteDatabase;

// A statement of a database, made from it. Every step is checked: a
// statement that fails raises CError with SQLite's own words.
class CSqliteStatement {
public:
    CSqliteStatement(CSqliteDatabase& db, const std::string& sql);
    ~CSqliteStatement();
    CSqliteStatement(const CSqliteStatement&) = delete;
    CSqliteStatement& operator=(const CSqliteStatement&) = delete;

    void BindText(int index, const std::string& text);
    void BindInt64(int index, std::int64_t value);
    // True while a row is there to read; false when the statement is done.
    bool Step();
    std::string ColumnText(int column) const;
    std::int64_t ColumnInt64(int column) const;
    void Reset();

private:
    sqlite3* m_db;
    sqlite3_stmt* m_statement = nullptr;
};

class CSqliteDatabase {
public:
    // Snapshot reads the file as it stands, without locking it and without
    // creating anything beside it (what only a write-ahead log holds is not
    // seen); ReadWrite changes it.
    enum class Access { Snapshot, ReadWrite };

    // A browser's database is not trusted: its triggers and views never run,
    // and a statement that works longer than timeLimitMs is interrupted.
    CSqliteDatabase(const std::string& path, Access access, unsigned timeLimitMs);
    ~CSqliteDatabase();
    CSqliteDatabase(const CSqliteDatabase&) = delete;
    CSqliteDatabase& operator=(const CSqliteDatabase&) = delete;

    // Runs statements that return no rows; the rows the last one changed,
    // as SQLite counts them.
    long long Exec(const std::string& sql);

    // Raises unless SQLite's quick check finds the file sound: a damaged
    // database is left exactly as it is.
    void CheckIntact();
    bool HasTable(const std::string& table);
    bool HasColumn(const std::string& table, const std::string& column);
    // Deletes the rows of table that match where (all rows when empty) when
    // the database has the table; the rows deleted. Opened as a snapshot, it
    // deletes nothing and counts the rows it would delete. Either way the
    // count is added to RemovedRows.
    long long RemoveRows(const std::string& table, const std::string& where = std::string());
    // Runs a statement that changes rows; as a snapshot, does nothing.
    void ChangeRows(const std::string& sql);
    bool IsSnapshot() const { return m_snapshot; }
    // Rows removed (or, as a snapshot, that would be) by table.
    const std::map<std::string, long long>& RemovedRows() const { return m_removedRows; }
    bool UsesWriteAheadLog();

    // Makes name(text) a function of this connection's statements, true
    // where test says so. Statements then choose rows by their own values
    // (never by a row number, which a table may shadow with a column of its
    // own). Only statements run here may call it, never the file's schema.
    void DefineTest(const std::string& name, std::function<bool(const std::string&)> test);

private:
    friend class CSqliteStatement;
    friend class CSqliteTransaction;
    static int OnProgress(void* self);
    // Undoes an open transaction; never raises (a failed rollback leaves
    // SQLite's journal, which undoes the change at the next open).
    void RollBack() noexcept;

    std::list<std::function<bool(const std::string&)>> m_tests;  // kept while the connection lives
    sqlite3* m_db = nullptr;
    bool m_snapshot = false;
    unsigned long long m_deadline = 0;  // GetTickCount64 milliseconds
    std::map<std::string, long long> m_removedRows;
};

// An exclusive transaction: committed by Commit, rolled back otherwise, so an
// interrupted clean leaves the database as it was.
class CSqliteTransaction {
public:
    explicit CSqliteTransaction(CSqliteDatabase& db);
    ~CSqliteTransaction();
    CSqliteTransaction(const CSqliteTransaction&) = delete;
    CSqliteTransaction& operator=(const CSqliteTransaction&) = delete;
    void Commit();

private:
    CSqliteDatabase& m_db;
    bool m_open = true;
};
