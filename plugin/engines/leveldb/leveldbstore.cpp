#include "plugin/engines/leveldb/leveldbstore.h"

#include "common/error.h"
#include "common/fileguard.h"
#include "common/strformat.h"
#include "plugin/engines/files/treeentry.h"
#include "plugin/engines/leveldb/leveldbenv.h"
#include "plugin/engines/leveldb/leveldbmanifest.h"

#include <windows.h>
// After windows.h: LevelDB's headers undo its DeleteFile macro.
#include <leveldb/db.h>
#include <leveldb/write_batch.h>

#include <set>

namespace {

std::wstring Widened(const std::string& utf8)
{
    const int length = ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    if (length <= 0) throw CError(StrFormat("The folder name %s is not UTF-8 text", utf8.c_str()));
    std::wstring wide(static_cast<size_t>(length), L'\0');
    ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), static_cast<int>(utf8.size()), &wide[0], length);
    return wide;
}

// The path in the ANSI code page, or empty when a character has no place
// in it (no best-fit stand-in, which would name another folder).
std::string InAnsiCodePage(const std::wstring& wide)
{
    BOOL lost = FALSE;
    const int length = ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), static_cast<int>(wide.size()),
                                             nullptr, 0, nullptr, &lost);
    if (length <= 0 || lost) return std::string();
    std::string ansi(static_cast<size_t>(length), '\0');
    ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), static_cast<int>(wide.size()), &ansi[0], length,
                          nullptr, &lost);
    return lost ? std::string() : ansi;
}

// LevelDB's Windows environment names files through the ANSI functions. A
// folder whose name the code page cannot hold is reached by its short name.
std::string FolderForLevelDb(const std::string& folder)
{
    std::wstring wide = Widened(folder);
    while (wide.size() > 3 && (wide.back() == L'\\' || wide.back() == L'/')) wide.pop_back();
    const DWORD attributes = ::GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0 ||
        ::GetFileAttributesW((wide + L"\\CURRENT").c_str()) == INVALID_FILE_ATTRIBUTES) {
        throw CError(StrFormat("There is no LevelDB store in %s (no CURRENT file)", folder.c_str()));
    }
    std::string ansi = InAnsiCodePage(wide);
    if (!ansi.empty()) return ansi;
    const DWORD needed = ::GetShortPathNameW(wide.c_str(), nullptr, 0);
    if (needed != 0) {
        std::wstring shortName(needed, L'\0');
        const DWORD written = ::GetShortPathNameW(wide.c_str(), &shortName[0], needed);
        if (written != 0 && written < needed) {
            shortName.resize(written);
            ansi = InAnsiCodePage(shortName);
            if (!ansi.empty()) return ansi;
        }
    }
    throw CError(StrFormat("The LevelDB store %s has a name that the system code page cannot hold", folder.c_str()));
}

// LevelDB's status text without the line end the system's messages carry.
std::string StatusText(const leveldb::Status& status)
{
    std::string text = status.ToString();
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) text.pop_back();
    return text;
}

void RaiseUnlessOk(const leveldb::Status& status, const char* what, const std::string& folder)
{
    if (!status.ok()) {
        throw CError(StrFormat("The LevelDB store %s could not be %s: %s", folder.c_str(), what, StatusText(status).c_str()));
    }
}

leveldb::ReadOptions CheckedReads()
{
    leveldb::ReadOptions options;
    options.verify_checksums = true;
    options.fill_cache = false;
    return options;
}

}  // namespace

CLevelDbStore::CLevelDbStore(const std::string& folder, Access access)
    : m_name(folder), m_folder(FolderForLevelDb(folder)), m_access(access), m_logger(new CDiscardingLogger)
{
    m_guard.reset(new CFileGuard(WideName(m_folder)));
    if (m_guard->FolderError() != ERROR_SUCCESS) {
        throw CError(StrFormat("The LevelDB store %s could not be opened: %s", m_name.c_str(),
                               GuardErrorText(m_guard->FolderError()).c_str()));
    }
    // LevelDB deletes the files it takes as obsolete and writes new ones
    // as soon as it opens a store: a store with one file that is not its
    // own is left exactly as it is.
    std::wstring refused;
    const DWORD refusal = m_guard->CheckEveryEntry(&refused);
    if (refusal != ERROR_SUCCESS) {
        throw CError(StrFormat("The LevelDB store %s is left alone: its file %s cannot be used (%s)", m_name.c_str(),
                               CodePageName(refused).c_str(), GuardErrorText(refusal).c_str()));
    }
    m_storeEnv.reset(new CGuardedStoreEnv(m_folder, *m_guard));
    if (access == Access::Preview) m_previewEnv.reset(new CPreviewEnv(m_storeEnv.get()));
    m_env = access == Access::Preview ? m_previewEnv.get() : m_storeEnv.get();
    Open();
}

CLevelDbStore::~CLevelDbStore() = default;

leveldb::DB& CLevelDbStore::Db()
{
    if (!m_db) throw CError(StrFormat("The LevelDB store %s is closed after a failure", m_name.c_str()));
    return *m_db;
}

void CLevelDbStore::Open()
{
    leveldb::Options options;
    options.create_if_missing = false;
    options.paranoid_checks = true;
    options.env = m_env;
    options.info_log = m_logger.get();
    leveldb::DB* db = nullptr;
    const leveldb::Status status = leveldb::DB::Open(options, m_folder, &db);
    m_db.reset(db);
    // A browser that runs holds its store's LOCK file; LevelDB's text for
    // that names only the file and the system's error.
    const std::string text = StatusText(status);
    if (status.IsIOError() && text.find(m_folder + "/LOCK") != std::string::npos) {
        throw CError(StrFormat("The LevelDB store %s is in use by another program (%s)", m_name.c_str(), text.c_str()));
    }
    RaiseUnlessOk(status, "opened", m_name);
}

void CLevelDbStore::ForEachEntry(const std::function<void(const std::string& key, const std::string& value)>& visit)
{
    std::unique_ptr<leveldb::Iterator> entry(Db().NewIterator(CheckedReads()));
    for (entry->SeekToFirst(); entry->Valid(); entry->Next()) {
        visit(entry->key().ToString(), entry->value().ToString());
    }
    RaiseUnlessOk(entry->status(), "read", m_name);
}

long long CLevelDbStore::EraseKeys(const std::vector<std::string>& keys)
{
    const std::set<std::string> wanted(keys.begin(), keys.end());
    return EraseWhere([&wanted](const std::string& key) { return wanted.count(key) != 0; });
}

long long CLevelDbStore::EraseWhere(const std::function<bool(const std::string& key)>& gone)
{
    // Only keys the store holds are deleted (a deletion of a key it lacks
    // would write that key into a table of its own), found in one pass: a
    // lookup per key would read a block from disk for each.
    leveldb::WriteBatch batch;
    long long found = 0;
    std::unique_ptr<leveldb::Iterator> entry(Db().NewIterator(CheckedReads()));
    for (entry->SeekToFirst(); entry->Valid(); entry->Next()) {
        if (!gone(entry->key().ToString())) continue;
        batch.Delete(entry->key());
        ++found;
    }
    RaiseUnlessOk(entry->status(), "read", m_name);
    entry.reset();
    if (IsPreview() || found == 0) return found;

    leveldb::WriteOptions synced;
    synced.sync = true;
    RaiseUnlessOk(Db().Write(synced, &batch), "changed", m_name);
    RewriteWithoutDeleted();
    return found;
}

void CLevelDbStore::RewriteWithoutDeleted()
{
    // The deletions leave the old values in tables and logs, and the keys in
    // the manifest's table bounds, until every level is merged; the
    // compactions leave their last keys in the manifest's compaction
    // pointers.
    Db().CompactRange(nullptr, nullptr);
    // CompactRange returns nothing; a failed compaction answers the next write.
    leveldb::WriteOptions synced;
    synced.sync = true;
    leveldb::WriteBatch nothing;
    RaiseUnlessOk(Db().Write(synced, &nothing), "compacted", m_name);
    m_db.reset();
    // Opened again even when the rewrite failed: the store is whole either way.
    const leveldb::Status rewritten = DropCompactionPointers(m_env, m_folder);
    Open();
    RaiseUnlessOk(rewritten, "rewritten", m_name);
}
