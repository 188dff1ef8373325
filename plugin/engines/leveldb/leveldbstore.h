#pragma once
// A browser's LevelDB store (local and session storage, IndexedDB, service
// workers), as the jobs that clean it open it: never created when missing,
// every block checked as it is read, refused while another program holds it
// and while any of its files is a link or has other names (every file is
// reached through the file guard of its folder),
// failures raised as CError with LevelDB's own words.
#include <functional>
#include <memory>
#include <string>
#include <vector>

class CFileGuard;

namespace leveldb {
class DB;
class Env;
class Logger;
}  // namespace leveldb

class CLevelDbStore {
public:
    // Erase takes the store's LOCK file (the browser holds it while it runs)
    // and changes the store; Preview reads the files as they stand and
    // writes nothing anywhere on disk.
    enum class Access { Preview, Erase };

    // folder is the store's folder (UTF-8), the one holding CURRENT.
    CLevelDbStore(const std::string& folder, Access access);
    ~CLevelDbStore();
    CLevelDbStore(const CLevelDbStore&) = delete;
    CLevelDbStore& operator=(const CLevelDbStore&) = delete;

    bool IsPreview() const { return m_access == Access::Preview; }
    // The folder as the caller gave it, for messages.
    const std::string& Name() const { return m_name; }

    // Each key with its value, in key order, as one consistent view.
    void ForEachEntry(const std::function<void(const std::string& key, const std::string& value)>& visit);

    // Deletes those of keys that the store holds, all in one synced write so
    // that a failure leaves the store as it was, then rewrites the whole
    // store so that no log, table or manifest file still holds their bytes.
    // As a preview, deletes nothing. Either way, the number of keys found.
    long long EraseKeys(const std::vector<std::string>& keys);
    // The same for the keys that gone picks, in one pass over the store:
    // for stores whose keys tell alone whose they are.
    long long EraseWhere(const std::function<bool(const std::string& key)>& gone);

private:
    void Open();
    // The open store; raises once a failed reopening has left it closed.
    leveldb::DB& Db();
    // Compacts every level, drops the compaction pointers and opens the
    // store anew: the new manifest lists only the tables that are left, and
    // the old one is removed.
    void RewriteWithoutDeleted();

    std::string m_name;    // as the caller gave it, for messages
    std::string m_folder;  // as LevelDB's Windows environment takes it
    Access m_access;
    std::unique_ptr<CFileGuard> m_guard;        // the store's folder: every file LevelDB reaches
    std::unique_ptr<leveldb::Env> m_storeEnv;   // the real files, through the guard
    std::unique_ptr<leveldb::Env> m_previewEnv; // a preview's writes, in memory
    leveldb::Env* m_env = nullptr;              // the one the store is opened in
    std::unique_ptr<leveldb::Logger> m_logger;
    std::unique_ptr<leveldb::DB> m_db;
};
