#include "plugin/engines/leveldb/leveldbenv.h"

#include "common/fileguard.h"
#include "plugin/engines/files/treeentry.h"

#include <windows.h>
// After windows.h: LevelDB's headers undo its DeleteFile macro.

#include <memenv/memenv.h>

#include <algorithm>
#include <cstdint>

using leveldb::Status;

namespace {

Status GuardStatus(const std::string& name, DWORD error)
{
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return Status::NotFound(name, "no such file");
    return Status::IOError(name, GuardErrorText(error));
}

class CGuardedSequentialFile : public leveldb::SequentialFile {
public:
    CGuardedSequentialFile(std::string name, UniqueHandle file) : m_name(std::move(name)), m_file(std::move(file)) {}

    Status Read(size_t n, leveldb::Slice* result, char* scratch) override
    {
        DWORD read = 0;
        const DWORD wanted = static_cast<DWORD>(std::min<size_t>(n, 1u << 30));
        if (!::ReadFile(m_file.Get(), scratch, wanted, &read, nullptr) && ::GetLastError() != ERROR_HANDLE_EOF) {
            return GuardStatus(m_name, ::GetLastError());
        }
        *result = leveldb::Slice(scratch, read);
        return Status::OK();
    }

    Status Skip(uint64_t n) override
    {
        LARGE_INTEGER distance;
        distance.QuadPart = static_cast<LONGLONG>(n);
        if (!::SetFilePointerEx(m_file.Get(), distance, nullptr, FILE_CURRENT)) return GuardStatus(m_name, ::GetLastError());
        return Status::OK();
    }

private:
    std::string m_name;
    UniqueHandle m_file;
};

// A table mapped into memory, as LevelDB's own Windows environment reads
// its tables: the mapping is made from the checked handle.
class CMappedTableFile : public leveldb::RandomAccessFile {
public:
    CMappedTableFile(std::string name, const char* base, size_t length)
        : m_name(std::move(name)), m_base(base), m_length(length)
    {
    }
    ~CMappedTableFile() override { ::UnmapViewOfFile(m_base); }

    Status Read(uint64_t offset, size_t n, leveldb::Slice* result, char*) const override
    {
        if (offset > m_length || n > m_length - offset) {  // no sum that could wrap
            *result = leveldb::Slice();
            return Status::IOError(m_name, "a read past the end of the file");
        }
        *result = leveldb::Slice(m_base + offset, n);
        return Status::OK();
    }

private:
    std::string m_name;
    const char* m_base;
    size_t m_length;
};

// The mapped table, or null when the file cannot be mapped (an empty one).
leveldb::RandomAccessFile* MapTable(const std::string& name, HANDLE file)
{
    LARGE_INTEGER size = {};
    if (!::GetFileSizeEx(file, &size) || size.QuadPart <= 0 ||
        static_cast<unsigned long long>(size.QuadPart) > static_cast<unsigned long long>(SIZE_MAX)) {
        return nullptr;
    }
    const UniqueHandle mapping(::CreateFileMappingW(file, nullptr, PAGE_READONLY, 0, 0, nullptr));
    if (!mapping) return nullptr;
    void* base = ::MapViewOfFile(mapping.Get(), FILE_MAP_READ, 0, 0, 0);
    if (base == nullptr) return nullptr;
    return new CMappedTableFile(name, static_cast<const char*>(base), static_cast<size_t>(size.QuadPart));
}

class CGuardedRandomAccessFile : public leveldb::RandomAccessFile {
public:
    CGuardedRandomAccessFile(std::string name, UniqueHandle file) : m_name(std::move(name)), m_file(std::move(file)) {}

    // Each read names its offset, so LevelDB's threads may read at once.
    Status Read(uint64_t offset, size_t n, leveldb::Slice* result, char* scratch) const override
    {
        OVERLAPPED at = {};
        at.Offset = static_cast<DWORD>(offset);
        at.OffsetHigh = static_cast<DWORD>(offset >> 32);
        DWORD read = 0;
        const DWORD wanted = static_cast<DWORD>(std::min<size_t>(n, 1u << 30));
        if (!::ReadFile(m_file.Get(), scratch, wanted, &read, &at) && ::GetLastError() != ERROR_HANDLE_EOF) {
            *result = leveldb::Slice(scratch, 0);
            return GuardStatus(m_name, ::GetLastError());
        }
        *result = leveldb::Slice(scratch, read);
        return Status::OK();
    }

private:
    std::string m_name;
    UniqueHandle m_file;
};

// Appends gather in a buffer, as in LevelDB's own Windows environment:
// a table is written in many small pieces.
class CGuardedWritableFile : public leveldb::WritableFile {
public:
    CGuardedWritableFile(std::string name, UniqueHandle file) : m_name(std::move(name)), m_file(std::move(file))
    {
        m_buffer.reserve(kBufferSize);
    }
    ~CGuardedWritableFile() override { Close(); }

    Status Append(const leveldb::Slice& data) override
    {
        if (m_buffer.size() + data.size() <= kBufferSize) {
            m_buffer.append(data.data(), data.size());
            return Status::OK();
        }
        Status status = WriteBuffer();
        if (!status.ok()) return status;
        if (data.size() <= kBufferSize) {
            m_buffer.append(data.data(), data.size());
            return Status::OK();
        }
        return WriteOut(data.data(), data.size());
    }

    Status Close() override
    {
        if (!m_file) return Status::OK();
        const Status status = WriteBuffer();
        m_file.Reset();
        return status;
    }

    Status Flush() override { return WriteBuffer(); }

    Status Sync() override
    {
        Status status = WriteBuffer();
        if (status.ok() && !::FlushFileBuffers(m_file.Get())) status = GuardStatus(m_name, ::GetLastError());
        return status;
    }

private:
    static constexpr size_t kBufferSize = 65536;

    Status WriteBuffer()
    {
        const Status status = WriteOut(m_buffer.data(), m_buffer.size());
        m_buffer.clear();
        return status;
    }

    Status WriteOut(const char* at, size_t left)
    {
        while (left > 0) {
            DWORD written = 0;
            const DWORD chunk = static_cast<DWORD>(std::min<size_t>(left, 1u << 30));
            if (!::WriteFile(m_file.Get(), at, chunk, &written, nullptr)) return GuardStatus(m_name, ::GetLastError());
            at += written;
            left -= written;
        }
        return Status::OK();
    }

    std::string m_name;
    UniqueHandle m_file;
    std::string m_buffer;
};

class CGuardedLock : public leveldb::FileLock {
public:
    explicit CGuardedLock(UniqueHandle file) : m_file(std::move(file)) {}
    ~CGuardedLock() override { ::UnlockFile(m_file.Get(), 0, 0, MAXDWORD, MAXDWORD); }

private:
    UniqueHandle m_file;
};

const DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

}  // namespace

CGuardedStoreEnv::CGuardedStoreEnv(const std::string& folder, const CFileGuard& guard)
    : EnvWrapper(leveldb::Env::Default()), m_folder(folder), m_guard(guard)
{
}

bool CGuardedStoreEnv::NameInStore(const std::string& path, std::wstring* name) const
{
    if (path.size() <= m_folder.size() + 1 || path.compare(0, m_folder.size(), m_folder) != 0) return false;
    const char separator = path[m_folder.size()];
    if (separator != '/' && separator != '\\') return false;
    const std::string rest = path.substr(m_folder.size() + 1);
    if (rest.find_first_of("/\\") != std::string::npos) return false;
    *name = WideName(rest);
    return !name->empty();
}

Status CGuardedStoreEnv::NewSequentialFile(const std::string& path, leveldb::SequentialFile** file)
{
    *file = nullptr;
    std::wstring name;
    if (!NameInStore(path, &name)) return Status::NotSupported(path, "not a file of the store");
    UniqueHandle opened;
    const DWORD error = m_guard.Open(name, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                     GuardedOpening::Existing, &opened);
    if (error != ERROR_SUCCESS) return GuardStatus(path, error);
    *file = new CGuardedSequentialFile(path, std::move(opened));
    return Status::OK();
}

Status CGuardedStoreEnv::NewRandomAccessFile(const std::string& path, leveldb::RandomAccessFile** file)
{
    *file = nullptr;
    std::wstring name;
    if (!NameInStore(path, &name)) return Status::NotSupported(path, "not a file of the store");
    UniqueHandle opened;
    const DWORD error = m_guard.Open(name, GENERIC_READ, kShareAll, GuardedOpening::Existing, &opened);
    if (error != ERROR_SUCCESS) return GuardStatus(path, error);
    *file = MapTable(path, opened.Get());
    if (*file == nullptr) *file = new CGuardedRandomAccessFile(path, std::move(opened));
    return Status::OK();
}

Status CGuardedStoreEnv::OpenForWriting(const std::string& path, bool append, leveldb::WritableFile** file)
{
    *file = nullptr;
    std::wstring name;
    if (!NameInStore(path, &name)) return Status::NotSupported(path, "not a file of the store");
    UniqueHandle opened;
    const DWORD error = m_guard.Open(name, GENERIC_WRITE | FILE_READ_ATTRIBUTES, FILE_SHARE_READ,
                                     append ? GuardedOpening::ExistingOrNew : GuardedOpening::NewOrEmptied, &opened);
    if (error != ERROR_SUCCESS) return GuardStatus(path, error);
    if (append && !::SetFilePointerEx(opened.Get(), LARGE_INTEGER{}, nullptr, FILE_END)) {
        return GuardStatus(path, ::GetLastError());
    }
    *file = new CGuardedWritableFile(path, std::move(opened));
    return Status::OK();
}

Status CGuardedStoreEnv::NewWritableFile(const std::string& path, leveldb::WritableFile** file)
{
    return OpenForWriting(path, false, file);
}

Status CGuardedStoreEnv::NewAppendableFile(const std::string& path, leveldb::WritableFile** file)
{
    return OpenForWriting(path, true, file);
}

// Whether something is at the name; whether it may be used, its opening tells.
bool CGuardedStoreEnv::FileExists(const std::string& path)
{
    if (path == m_folder) return m_guard.FolderError() == ERROR_SUCCESS;
    std::wstring name;
    if (!NameInStore(path, &name)) return false;
    return m_guard.Check(name) != ERROR_FILE_NOT_FOUND;
}

Status CGuardedStoreEnv::GetChildren(const std::string& folder, std::vector<std::string>* names)
{
    names->clear();
    if (folder != m_folder) return Status::NotSupported(folder, "not the store's folder");
    std::vector<std::wstring> listed;
    const DWORD error = m_guard.List(&listed);
    if (error != ERROR_SUCCESS) return GuardStatus(folder, error);
    for (const std::wstring& name : listed) names->push_back(CodePageName(name));
    return Status::OK();
}

Status CGuardedStoreEnv::RemoveFile(const std::string& path)
{
    std::wstring name;
    if (!NameInStore(path, &name)) return Status::NotSupported(path, "not a file of the store");
    const DWORD error = m_guard.Remove(name);
    return error == ERROR_SUCCESS ? Status::OK() : GuardStatus(path, error);
}

// LevelDB creates the store's folder before it asks whether a store is
// there; the folder is only ever checked.
Status CGuardedStoreEnv::CreateDir(const std::string& folder)
{
    if (folder == m_folder && m_guard.FolderError() == ERROR_SUCCESS) return Status::OK();
    return Status::NotFound(folder, "the store's folder is missing");
}

Status CGuardedStoreEnv::RemoveDir(const std::string& folder)
{
    return Status::NotSupported(folder, "a store's folder is never removed");
}

Status CGuardedStoreEnv::GetFileSize(const std::string& path, uint64_t* size)
{
    *size = 0;
    std::wstring name;
    if (!NameInStore(path, &name)) return Status::NotSupported(path, "not a file of the store");
    UniqueHandle opened;
    const DWORD error = m_guard.Open(name, FILE_READ_ATTRIBUTES | SYNCHRONIZE, kShareAll, GuardedOpening::Existing, &opened);
    if (error != ERROR_SUCCESS) return GuardStatus(path, error);
    LARGE_INTEGER length = {};
    if (!::GetFileSizeEx(opened.Get(), &length)) return GuardStatus(path, ::GetLastError());
    *size = static_cast<uint64_t>(length.QuadPart);
    return Status::OK();
}

Status CGuardedStoreEnv::RenameFile(const std::string& from, const std::string& to)
{
    std::wstring fromName;
    std::wstring toName;
    if (!NameInStore(from, &fromName) || !NameInStore(to, &toName)) {
        return Status::NotSupported(from, "not a file of the store");
    }
    const DWORD error = m_guard.Rename(fromName, toName);
    return error == ERROR_SUCCESS ? Status::OK() : GuardStatus(from, error);
}

// As LevelDB's own Windows environment locks: the whole file, which a
// browser that runs holds.
Status CGuardedStoreEnv::LockFile(const std::string& path, leveldb::FileLock** lock)
{
    *lock = nullptr;
    std::wstring name;
    if (!NameInStore(path, &name)) return Status::NotSupported(path, "not a file of the store");
    UniqueHandle opened;
    const DWORD error = m_guard.Open(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, GuardedOpening::ExistingOrNew, &opened);
    if (error != ERROR_SUCCESS) return GuardStatus(path, error);
    if (!::LockFile(opened.Get(), 0, 0, MAXDWORD, MAXDWORD)) {
        return Status::IOError(path, "the lock is held by another program");
    }
    *lock = new CGuardedLock(std::move(opened));
    return Status::OK();
}

Status CGuardedStoreEnv::UnlockFile(leveldb::FileLock* lock)
{
    delete lock;
    return Status::OK();
}

Status CGuardedStoreEnv::NewLogger(const std::string& name, leveldb::Logger** logger)
{
    *logger = new CDiscardingLogger;
    return Status::OK();
}

CPreviewEnv::CPreviewEnv(leveldb::Env* real)
    : EnvWrapper(real), m_memory(leveldb::NewMemEnv(leveldb::Env::Default()))
{
}

CPreviewEnv::~CPreviewEnv() = default;

bool CPreviewEnv::IsHidden(const std::string& name)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_hidden.count(name) != 0;
}

void CPreviewEnv::Hide(const std::string& name)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_hidden.insert(name);
}

Status CPreviewEnv::NewSequentialFile(const std::string& name, leveldb::SequentialFile** file)
{
    if (m_memory->FileExists(name)) return m_memory->NewSequentialFile(name, file);
    if (IsHidden(name)) return Status::NotFound(name, "removed by the preview");
    return target()->NewSequentialFile(name, file);
}

Status CPreviewEnv::NewRandomAccessFile(const std::string& name, leveldb::RandomAccessFile** file)
{
    if (m_memory->FileExists(name)) return m_memory->NewRandomAccessFile(name, file);
    if (IsHidden(name)) return Status::NotFound(name, "removed by the preview");
    return target()->NewRandomAccessFile(name, file);
}

Status CPreviewEnv::NewWritableFile(const std::string& name, leveldb::WritableFile** file)
{
    Hide(name);
    return m_memory->NewWritableFile(name, file);
}

// Only a store opened to reuse its log appends; this one never is.
Status CPreviewEnv::NewAppendableFile(const std::string& name, leveldb::WritableFile** file)
{
    *file = nullptr;
    return Status::NotSupported(name, "a preview appends to no file");
}

bool CPreviewEnv::FileExists(const std::string& name)
{
    if (m_memory->FileExists(name)) return true;
    return !IsHidden(name) && target()->FileExists(name);
}

Status CPreviewEnv::GetChildren(const std::string& folder, std::vector<std::string>* names)
{
    std::vector<std::string> real;
    const Status listed = target()->GetChildren(folder, &real);
    if (!listed.ok()) return listed;
    std::vector<std::string> inMemory;
    m_memory->GetChildren(folder, &inMemory);
    names->clear();
    for (const std::string& name : real) {
        if (!IsHidden(folder + "/" + name)) names->push_back(name);
    }
    for (const std::string& name : inMemory) {
        if (std::find(names->begin(), names->end(), name) == names->end()) names->push_back(name);
    }
    return Status::OK();
}

Status CPreviewEnv::RemoveFile(const std::string& name)
{
    const bool wasInMemory = m_memory->FileExists(name);
    if (wasInMemory) m_memory->RemoveFile(name);
    const bool wasReal = !IsHidden(name) && target()->FileExists(name);
    if (wasReal) Hide(name);
    return wasInMemory || wasReal ? Status::OK() : Status::NotFound(name, "no such file");
}

Status CPreviewEnv::CreateDir(const std::string& folder)
{
    return target()->CreateDir(folder);
}

Status CPreviewEnv::RemoveDir(const std::string& folder)
{
    return Status::NotSupported(folder, "a preview removes no folder");
}

Status CPreviewEnv::GetFileSize(const std::string& name, uint64_t* size)
{
    if (m_memory->FileExists(name)) return m_memory->GetFileSize(name, size);
    if (IsHidden(name)) return Status::NotFound(name, "removed by the preview");
    return target()->GetFileSize(name, size);
}

// LevelDB renames only what it has just written (a new CURRENT), which
// lives in memory.
Status CPreviewEnv::RenameFile(const std::string& from, const std::string& to)
{
    if (!m_memory->FileExists(from)) return Status::NotSupported(from, "a preview renames no file of the store");
    Hide(to);
    return m_memory->RenameFile(from, to);
}

Status CPreviewEnv::LockFile(const std::string& name, leveldb::FileLock** lock)
{
    return m_memory->LockFile(name, lock);
}

Status CPreviewEnv::UnlockFile(leveldb::FileLock* lock)
{
    return m_memory->UnlockFile(lock);
}

Status CPreviewEnv::NewLogger(const std::string& name, leveldb::Logger** logger)
{
    *logger = new CDiscardingLogger;
    return Status::OK();
}

void CDiscardingLogger::Logv(const char* format, std::va_list arguments) {}
