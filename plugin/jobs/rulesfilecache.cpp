#include "plugin/jobs/rulesfilecache.h"

#include "common/error.h"
#include "common/handles.h"

#include <windows.h>

#include <map>
#include <mutex>

namespace {

CError Invalid(const std::string& reason) { return CError("Job configuration is invalid (" + reason + ")"); }

// A file replaced by another (a copy moved over it) has another index even
// when its size and time are the same.
struct CachedFile {
    ULONGLONG size = 0;
    FILETIME written = {};
    ULONGLONG index = 0;
    std::shared_ptr<const RulesFile> parsed;
};

std::mutex g_cacheLock;
std::map<std::string, CachedFile> g_cache;  // by path as the job names it

ULONGLONG FileIndex(const BY_HANDLE_FILE_INFORMATION& information)
{
    return (static_cast<ULONGLONG>(information.nFileIndexHigh) << 32) | information.nFileIndexLow;
}

bool SameVersion(const CachedFile& cached, ULONGLONG size, const BY_HANDLE_FILE_INFORMATION& information)
{
    return cached.parsed && cached.size == size && cached.index == FileIndex(information) &&
           ::CompareFileTime(&cached.written, &information.ftLastWriteTime) == 0;
}

}  // namespace

std::shared_ptr<const RulesFile> ParsedRulesFile(const std::string& path, const std::string& name)
{
    UniqueHandle file(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) throw Invalid("cannot open " + name + ", error " + std::to_string(::GetLastError()));
    BY_HANDLE_FILE_INFORMATION information = {};
    if (!::GetFileInformationByHandle(file.Get(), &information)) throw Invalid("cannot read " + name);
    const ULONGLONG size = (static_cast<ULONGLONG>(information.nFileSizeHigh) << 32) | information.nFileSizeLow;
    if (size > kLargestRulesFile) throw Invalid(name + " is larger than 16 MB");

    const std::lock_guard<std::mutex> lock(g_cacheLock);
    CachedFile& cached = g_cache[path];
    if (SameVersion(cached, size, information)) return cached.parsed;

    std::string bytes(static_cast<size_t>(size), '\0');
    DWORD read = 0;
    if (!bytes.empty() && (!::ReadFile(file.Get(), &bytes[0], static_cast<DWORD>(bytes.size()), &read, nullptr) ||
                           read != bytes.size()))
        throw Invalid("cannot read " + name);
    cached.size = size;
    cached.written = information.ftLastWriteTime;
    cached.index = FileIndex(information);
    cached.parsed = std::make_shared<const RulesFile>(ParseRulesText(bytes, name));
    return cached.parsed;
}
