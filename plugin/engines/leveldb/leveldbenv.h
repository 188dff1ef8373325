#pragma once
// The two environments a browser's LevelDB store is opened in. LevelDB's own
// Windows environment would create a missing store's folder and would write
// while only reading (a new log, a new manifest, the records of recovery):
// these keep the erase to an existing store and the preview to reading.
#include <leveldb/env.h>

#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

class CFileGuard;

// The store's real files, each reached through the file guard of the
// store's folder: a file that is a link, has other names or lies outside
// the folder is never read, written, renamed or deleted, and LevelDB is
// told it cannot be. No folder is ever created: a store that is not there
// stays not there, and no name outside the store's folder is reached.
class CGuardedStoreEnv : public leveldb::EnvWrapper {
public:
    // folder as LevelDB names it (the ANSI code page); guard over the same folder.
    CGuardedStoreEnv(const std::string& folder, const CFileGuard& guard);

    leveldb::Status NewSequentialFile(const std::string& name, leveldb::SequentialFile** file) override;
    leveldb::Status NewRandomAccessFile(const std::string& name, leveldb::RandomAccessFile** file) override;
    leveldb::Status NewWritableFile(const std::string& name, leveldb::WritableFile** file) override;
    leveldb::Status NewAppendableFile(const std::string& name, leveldb::WritableFile** file) override;
    bool FileExists(const std::string& name) override;
    leveldb::Status GetChildren(const std::string& folder, std::vector<std::string>* names) override;
    leveldb::Status RemoveFile(const std::string& name) override;
    leveldb::Status CreateDir(const std::string& folder) override;
    leveldb::Status RemoveDir(const std::string& folder) override;
    leveldb::Status GetFileSize(const std::string& name, uint64_t* size) override;
    leveldb::Status RenameFile(const std::string& from, const std::string& to) override;
    leveldb::Status LockFile(const std::string& name, leveldb::FileLock** lock) override;
    leveldb::Status UnlockFile(leveldb::FileLock* lock) override;
    leveldb::Status NewLogger(const std::string& name, leveldb::Logger** logger) override;

private:
    // The name of a file of the store's folder, or false for any other path.
    bool NameInStore(const std::string& path, std::wstring* name) const;
    leveldb::Status OpenForWriting(const std::string& path, bool append, leveldb::WritableFile** file);

    std::string m_folder;
    const CFileGuard& m_guard;
};

// Reads the store's real files and writes none: whatever LevelDB writes
// (logs, tables, manifests, CURRENT, its lock) lives in memory, and a real
// file it removes or replaces is only hidden. The real files are read
// through real, which guards them. No lock is taken on the real
// store, so a preview reads the files as they stand even while the browser
// runs.
class CPreviewEnv : public leveldb::EnvWrapper {
public:
    // real reads the store's files (the guarded environment).
    explicit CPreviewEnv(leveldb::Env* real);
    ~CPreviewEnv() override;

    leveldb::Status NewSequentialFile(const std::string& name, leveldb::SequentialFile** file) override;
    leveldb::Status NewRandomAccessFile(const std::string& name, leveldb::RandomAccessFile** file) override;
    leveldb::Status NewWritableFile(const std::string& name, leveldb::WritableFile** file) override;
    leveldb::Status NewAppendableFile(const std::string& name, leveldb::WritableFile** file) override;
    bool FileExists(const std::string& name) override;
    leveldb::Status GetChildren(const std::string& folder, std::vector<std::string>* names) override;
    leveldb::Status RemoveFile(const std::string& name) override;
    leveldb::Status CreateDir(const std::string& folder) override;
    leveldb::Status RemoveDir(const std::string& folder) override;
    leveldb::Status GetFileSize(const std::string& name, uint64_t* size) override;
    leveldb::Status RenameFile(const std::string& from, const std::string& to) override;
    leveldb::Status LockFile(const std::string& name, leveldb::FileLock** lock) override;
    leveldb::Status UnlockFile(leveldb::FileLock* lock) override;
    leveldb::Status NewLogger(const std::string& name, leveldb::Logger** logger) override;

private:
    bool IsHidden(const std::string& name);
    void Hide(const std::string& name);

    std::unique_ptr<leveldb::Env> m_memory;
    std::mutex m_mutex;  // LevelDB calls from its background thread too
    std::set<std::string> m_hidden;
};

// LevelDB's own record of what it did: discarded. Its manual compactions
// write keys into it, and the browser's LOG file is left as it is.
class CDiscardingLogger : public leveldb::Logger {
public:
    void Logv(const char* format, std::va_list arguments) override;
};
