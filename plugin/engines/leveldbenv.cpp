#include "plugin/engines/leveldbenv.h"

#include <memenv/memenv.h>

#include <algorithm>

using leveldb::Status;

CExistingStoreEnv::CExistingStoreEnv() : EnvWrapper(leveldb::Env::Default()) {}

// LevelDB creates the store's folder before it asks whether a store is
// there; the folder is only ever checked.
Status CExistingStoreEnv::CreateDir(const std::string& folder)
{
    return target()->FileExists(folder) ? Status::OK() : Status::NotFound(folder, "the store's folder is missing");
}

CPreviewEnv::CPreviewEnv()
    : EnvWrapper(leveldb::Env::Default()), m_memory(leveldb::NewMemEnv(leveldb::Env::Default()))
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
    return target()->FileExists(folder) ? Status::OK() : Status::NotFound(folder, "the store's folder is missing");
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
