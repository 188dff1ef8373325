#include "plugin/engines/sqlite/sqlitedb.h"

#include "common/error.h"
#include "common/strformat.h"
#include "plugin/engines/sqlite/guardedvfs.h"

#include <sqlite3.h>
#include <new>
#include <windows.h>

namespace {

[[noreturn]] void RaiseSqlite(sqlite3* db, int code)
{
    const char* text = db != nullptr ? sqlite3_errmsg(db) : sqlite3_errstr(code);
    throw CError(StrFormat("%s (SQLite error %d)", text != nullptr ? text : "unknown error", code));
}

// "file:///C:/a%20b/x?immutable=1": the path as a URI that opens the file
// read-only without locks, journals or shared-memory files.
std::string SnapshotUri(const std::string& path)
{
    static const char kHex[] = "0123456789ABCDEF";
    std::string uri = "file:///";
    for (unsigned char c : path) {
        if (c == '\\') {
            uri += '/';
        } else if (c == '%' || c == '?' || c == '#' || c <= ' ') {
            uri += '%';
            uri += kHex[c >> 4];
            uri += kHex[c & 0x0F];
        } else {
            uri += static_cast<char>(c);
        }
    }
    return uri + "?immutable=1";
}

}  // namespace

// Names of tables and columns come from this program's own lists; quoting
// keeps them names whatever they hold.
std::string QuotedSqlName(const std::string& name)
{
    std::string quoted = "\"";
    for (char c : name) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    return quoted + "\"";
}

CSqliteStatement::CSqliteStatement(CSqliteDatabase& db, const std::string& sql) : m_db(db.m_db)
{
    const int code = sqlite3_prepare_v2(m_db, sql.c_str(), static_cast<int>(sql.size()), &m_statement, nullptr);
    if (code != SQLITE_OK) RaiseSqlite(m_db, code);
}

CSqliteStatement::~CSqliteStatement()
{
    sqlite3_finalize(m_statement);
}

void CSqliteStatement::BindText(int index, const std::string& text)
{
    const int code = sqlite3_bind_text(m_statement, index, text.c_str(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
    if (code != SQLITE_OK) RaiseSqlite(m_db, code);
}

void CSqliteStatement::BindInt64(int index, std::int64_t value)
{
    const int code = sqlite3_bind_int64(m_statement, index, value);
    if (code != SQLITE_OK) RaiseSqlite(m_db, code);
}

bool CSqliteStatement::Step()
{
    const int code = sqlite3_step(m_statement);
    if (code == SQLITE_ROW) return true;
    if (code == SQLITE_DONE) return false;
    RaiseSqlite(m_db, code);
}

std::string CSqliteStatement::ColumnText(int column) const
{
    // Whole, NUL characters included: a value is never cut short.
    const unsigned char* text = sqlite3_column_text(m_statement, column);
    if (text == nullptr) return std::string();
    return std::string(reinterpret_cast<const char*>(text), static_cast<size_t>(sqlite3_column_bytes(m_statement, column)));
}

std::int64_t CSqliteStatement::ColumnInt64(int column) const
{
    return sqlite3_column_int64(m_statement, column);
}

void CSqliteStatement::Reset()
{
    const int code = sqlite3_reset(m_statement);
    if (code != SQLITE_OK) RaiseSqlite(m_db, code);
}

CSqliteDatabase::CSqliteDatabase(const std::string& path, Access access, unsigned timeLimitMs)
    : m_snapshot(access == Access::Snapshot), m_deadline(::GetTickCount64() + timeLimitMs)
{
    const bool snapshot = m_snapshot;
    const int flags = snapshot ? SQLITE_OPEN_READONLY | SQLITE_OPEN_URI : SQLITE_OPEN_READWRITE;
    const std::string name = snapshot ? SnapshotUri(path) : path;
    // A clear word first; the guarded file layer then holds SQLite itself
    // to the same rule for every file it opens, deletes or looks for.
    const std::string refusal = GuardedDatabaseRefusal(path, !snapshot);
    if (!refusal.empty()) throw CError(refusal);
    const int code = sqlite3_open_v2(name.c_str(), &m_db, flags, GuardedVfsName());
    if (code != SQLITE_OK) {
        const std::string text = m_db != nullptr ? sqlite3_errmsg(m_db) : sqlite3_errstr(code);
        sqlite3_close(m_db);
        m_db = nullptr;
        throw CError(StrFormat("%s (SQLite error %d)", text.c_str(), code));
    }
    // Another program holding the database is an answer at once, not a wait.
    sqlite3_busy_timeout(m_db, 0);
    sqlite3_db_config(m_db, SQLITE_DBCONFIG_ENABLE_TRIGGER, 0, nullptr);
    sqlite3_db_config(m_db, SQLITE_DBCONFIG_ENABLE_VIEW, 0, nullptr);
    sqlite3_db_config(m_db, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
    sqlite3_db_config(m_db, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
    sqlite3_progress_handler(m_db, 10000, &CSqliteDatabase::OnProgress, this);
    if (!snapshot) {
        // A write-ahead log's shared-memory index ("-shm") is opened, made
        // and deleted by SQLite's Windows layer directly, past the guarded
        // file layer. Held exclusively from the start, the database keeps
        // that index in memory: no "-shm" file is ever touched.
        char* error = nullptr;
        const int mode = sqlite3_exec(m_db, "PRAGMA locking_mode=EXCLUSIVE", nullptr, nullptr, &error);
        if (mode != SQLITE_OK) {
            const std::string text = error != nullptr ? error : sqlite3_errstr(mode);
            sqlite3_free(error);
            sqlite3_close(m_db);
            m_db = nullptr;
            throw CError(StrFormat("%s (SQLite error %d)", text.c_str(), mode));
        }
    }
}

int CSqliteDatabase::OnProgress(void* self)
{
    return ::GetTickCount64() > static_cast<CSqliteDatabase*>(self)->m_deadline ? 1 : 0;
}

CSqliteDatabase::~CSqliteDatabase()
{
    sqlite3_close(m_db);
}

long long CSqliteDatabase::Exec(const std::string& sql)
{
    const int code = sqlite3_exec(m_db, sql.c_str(), nullptr, nullptr, nullptr);
    if (code != SQLITE_OK) RaiseSqlite(m_db, code);
    return sqlite3_changes64(m_db);
}

void CSqliteDatabase::RollBack() noexcept
{
    sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
}

void CSqliteDatabase::CheckIntact()
{
    CSqliteStatement check(*this, "PRAGMA quick_check");
    if (!check.Step()) throw CError("the database is damaged (its check gave no answer)");
    const std::string answer = check.ColumnText(0);
    if (answer != "ok") throw CError("the database is damaged (" + answer + ")");
}

bool CSqliteDatabase::HasTable(const std::string& table)
{
    CSqliteStatement query(*this, "SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = ?1");
    query.BindText(1, table);
    return query.Step();
}

bool CSqliteDatabase::HasColumn(const std::string& table, const std::string& column)
{
    CSqliteStatement query(*this, "SELECT 1 FROM pragma_table_info(?1) WHERE name = ?2");
    query.BindText(1, table);
    query.BindText(2, column);
    return query.Step();
}

long long CSqliteDatabase::RemoveRows(const std::string& table, const std::string& where)
{
    if (!HasTable(table)) return 0;
    const std::string condition = where.empty() ? std::string() : " WHERE " + where;
    long long removed = 0;
    if (m_snapshot) {
        CSqliteStatement count(*this, "SELECT COUNT(*) FROM " + QuotedSqlName(table) + condition);
        if (count.Step()) removed = count.ColumnInt64(0);
    } else {
        removed = Exec("DELETE FROM " + QuotedSqlName(table) + condition);
    }
    m_removedRows[table] += removed;
    return removed;
}

void CSqliteDatabase::ChangeRows(const std::string& sql)
{
    if (!m_snapshot) Exec(sql);
}

bool CSqliteDatabase::UsesWriteAheadLog()
{
    CSqliteStatement query(*this, "PRAGMA journal_mode");
    return query.Step() && query.ColumnText(0) == "wal";
}

namespace {

void CallTest(sqlite3_context* context, int, sqlite3_value** values)
{
    // Nothing may pass through SQLite's own frames: a failure is the statement's error.
    try {
        const auto& test = *static_cast<const std::function<bool(const std::string&)>*>(sqlite3_user_data(context));
        const unsigned char* text = sqlite3_value_text(values[0]);
        const std::string value = text != nullptr ? std::string(reinterpret_cast<const char*>(text),
                                                                static_cast<size_t>(sqlite3_value_bytes(values[0])))
                                                  : std::string();
        sqlite3_result_int(context, test(value) ? 1 : 0);
    } catch (const std::bad_alloc&) {
        sqlite3_result_error_nomem(context);
    } catch (...) {
        sqlite3_result_error(context, "the test of a value failed", -1);
    }
}

}  // namespace

void CSqliteDatabase::DefineTest(const std::string& name, std::function<bool(const std::string&)> test)
{
    m_tests.push_back(std::move(test));
    const int code = sqlite3_create_function_v2(m_db, name.c_str(), 1,
                                                SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_DIRECTONLY,
                                                &m_tests.back(), &CallTest, nullptr, nullptr, nullptr);
    if (code != SQLITE_OK) RaiseSqlite(m_db, code);
}

CSqliteTransaction::CSqliteTransaction(CSqliteDatabase& db) : m_db(db)
{
    m_db.Exec("BEGIN EXCLUSIVE");
}

CSqliteTransaction::~CSqliteTransaction()
{
    if (m_open) m_db.RollBack();
}

void CSqliteTransaction::Commit()
{
    m_db.Exec("COMMIT");
    m_open = false;
}
