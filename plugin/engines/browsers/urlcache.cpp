#include "plugin/engines/browsers/urlcache.h"

#include "common/comreference.h"
#include "common/cookiesites.h"
#include "common/handles.h"
#include "common/tracer.h"

#include <wininet.h>
#include <urlhist.h>

#include <algorithm>
#include <memory>
#include <new>

namespace {

// {3C374A40-BAE4-11CF-BF7D-00AA006946EE}, the system's URL history object.
constexpr CLSID kUrlHistoryClass = {0x3C374A40, 0xBAE4, 0x11CF, {0xBF, 0x7D, 0x00, 0xAA, 0x00, 0x69, 0x46, 0xEE}};
// {AFA0DC11-C313-11D0-831A-00C04FD5AE38}, IUrlHistoryStg2.
constexpr IID kUrlHistoryStg2Interface = {0xAFA0DC11, 0xC313, 0x11D0, {0x83, 0x1A, 0x00, 0xC0, 0x4F, 0xD5, 0xAE, 0x38}};

// A URL cache search, ended with FindCloseUrlCache.
using UniqueUrlCacheFind = UniqueResource<NullableHandleTraits<HANDLE, &::FindCloseUrlCache>>;

// The walk's one entry buffer: a heap block whose record size field holds
// the size of the whole block.
class EntryBuffer {
public:
    // Frees the current block first; false when memory runs out.
    bool Allocate(DWORD size)
    {
        m_block.reset();
        m_block.reset(new (std::nothrow) unsigned char[size]);
        if (!m_block) return false;
        m_size = size;
        Entry()->dwStructSize = size;
        return true;
    }

    INTERNET_CACHE_ENTRY_INFOA* Entry() const { return reinterpret_cast<INTERNET_CACHE_ENTRY_INFOA*>(m_block.get()); }
    DWORD Size() const { return m_size; }

private:
    std::unique_ptr<unsigned char[]> m_block;
    DWORD m_size = 0;
};

// The keep list as the walk applies it: exact entry names, and the sites
// kept for every browser, which keep this browser's cookies of them too.
class CKeepRule {
public:
    explicit CKeepRule(const StringList* keepList)
        : m_names(keepList), m_sites(keepList != nullptr ? *keepList : StringList())
    {
    }

    bool Keeps(const char* name) const
    {
        if (m_names == nullptr) return false;
        if (std::any_of(m_names->begin(), m_names->end(), [name](const std::string& kept) { return kept == name; }))
            return true;
        const std::string host = HostOfCookieEntry(name);
        return !host.empty() && m_sites.Keeps(host);
    }

private:
    const StringList* m_names;
    CKeptSites m_sites;
};

// Seconds since 1970 of the entry's last synchronisation, in 64 bits: a
// time past 2038 is recent, never wrapped into the past; one before 1970
// is old.
long long LastSyncSeconds(const INTERNET_CACHE_ENTRY_INFOA& entry)
{
    return FileTimeToSeconds(entry.LastSyncTime);
}

// Deletes one selected entry (in a preview: only counts it); false when it
// is still there afterwards.
bool DeleteEntry(const INTERNET_CACHE_ENTRY_INFOA& entry, ICleanupReport* report)
{
    const char* name = entry.lpszSourceUrlName;
    const bool cookie = (entry.CacheEntryType & COOKIE_CACHE_ENTRY) != 0;
    const long long size = (static_cast<long long>(entry.dwSizeHigh) << 32) | entry.dwSizeLow;
    if (report != nullptr && report->IsPreview()) {
        report->CountRemoved(cookie ? Removed::Cookie : Removed::CacheEntry, name, size);
        return true;
    }
    // What is erased is traced to the trace file only, never elsewhere.
    TRACE_PRIVATE(10, "deleting cache entry %s", name);
    if (::DeleteUrlCacheEntryA(name)) {
        if (report != nullptr) report->CountRemoved(cookie ? Removed::Cookie : Removed::CacheEntry, name, size);
        return true;
    }
    return ::GetLastError() == ERROR_FILE_NOT_FOUND;
}

void ApplyMode(int mode, time32 cutoff, const CKeepRule& keep, StringList* names, int* notDeleted, ICleanupReport* report,
               const INTERNET_CACHE_ENTRY_INFOA& entry)
{
    const char* name = entry.lpszSourceUrlName;
    if (name == nullptr) return;
    const bool cookie = (entry.CacheEntryType & COOKIE_CACHE_ENTRY) != 0;

    bool deleteIt = false;
    switch (mode) {
    case kUrlCacheDeleteCookies:
        deleteIt = cookie && !keep.Keeps(name);
        break;
    case kUrlCacheDeleteTempEntries:
        deleteIt = !cookie && (cutoff == 0 || LastSyncSeconds(entry) < cutoff);
        break;
    case kUrlCacheListCookies:
        if (cookie && names != nullptr) names->push_back(name);
        break;
    default:
        break;
    }
    if (deleteIt && !DeleteEntry(entry, report)) ++*notDeleted;
}

// The walk itself: keepList is read in mode 1, names is appended to in mode 3.
bool WalkUrlCache(int mode, time32 cutoff, const StringList* keepList, StringList* names, int* notDeleted,
                  ICleanupReport* report = nullptr)
{
    int failures = 0;
    if (notDeleted == nullptr) notDeleted = &failures;
    *notDeleted = 0;
    const CKeepRule keep(keepList);
    EntryBuffer buffer;
    UniqueUrlCacheFind search;
    DWORD bufferSize = kUrlCacheInitialEntryBufferSize;
    DWORD status = ERROR_INSUFFICIENT_BUFFER;

    // Fetches the first or the next entry into the buffer and sets status; a
    // buffer that is too small sets the size of the next allocation.
    const auto fetch = [&]() {
        DWORD size = buffer.Size();
        BOOL fetched = FALSE;
        if (!search) {
            search.Reset(::FindFirstUrlCacheEntryA(nullptr, buffer.Entry(), &size));
            fetched = search.IsValid();
        } else {
            fetched = ::FindNextUrlCacheEntryA(search.Get(), buffer.Entry(), &size);
        }
        if (fetched) {
            status = ERROR_SUCCESS;
            return;
        }
        status = ::GetLastError();
        if (status == ERROR_INSUFFICIENT_BUFFER) {
            if (size <= buffer.Size()) {
                // The entry would never fit: a block of the named size is no
                // larger than the one that was refused.
                TRACE(40, "URL cache entry size not growing - %lu", static_cast<unsigned long>(size));
                status = ERROR_INVALID_DATA;
                return;
            }
            bufferSize = size;
        }
    };

    for (;;) {
        if (status == ERROR_INSUFFICIENT_BUFFER) {
            if (!buffer.Allocate(bufferSize)) {
                TRACE(40, "URL cache entry buffer allocation failed - %lu", static_cast<unsigned long>(bufferSize));
                return false;
            }
            fetch();
        } else if (status == ERROR_SUCCESS) {
            ApplyMode(mode, cutoff, keep, names, notDeleted, report, *buffer.Entry());
            fetch();
        } else if (status == ERROR_NO_MORE_ITEMS) {
            return true;
        } else {
            TRACE(40, "URL cache enumeration failed - %lu", static_cast<unsigned long>(status));
            return false;
        }
    }
    // The buffer is freed and the search closed as the walk's scope ends.
}

HRESULT WalkResult(bool complete)
{
    return complete ? S_OK : E_FAIL;
}

}  // namespace

bool EnumUrlCache(int mode, time32 cutoff, StringList* list, int* notDeleted)
{
    return WalkUrlCache(mode, cutoff, mode == kUrlCacheDeleteCookies ? list : nullptr,
                        mode == kUrlCacheListCookies ? list : nullptr, notDeleted);
}

HRESULT DeleteCookies(int reserved, const StringList* keepList, int* notDeleted, ICleanupReport* report)
{
    if (reserved != 0) return E_INVALIDARG;
    return WalkResult(WalkUrlCache(kUrlCacheDeleteCookies, 0, keepList, nullptr, notDeleted, report));
}

HRESULT DeleteTempCacheEntries(int reserved, time32 cutoff, int* notDeleted, ICleanupReport* report)
{
    if (reserved != 0) return E_INVALIDARG;
    return WalkResult(WalkUrlCache(kUrlCacheDeleteTempEntries, cutoff, nullptr, nullptr, notDeleted, report));
}

HRESULT ListCookies(int reserved, StringList* out)
{
    if (reserved != 0) return E_INVALIDARG;
    return WalkResult(WalkUrlCache(kUrlCacheListCookies, 0, nullptr, out, nullptr));
}

HRESULT ClearUrlHistory(int reserved)
{
    if (reserved != 0) return E_INVALIDARG;
    ComReference<IUrlHistoryStg2> history;
    const HRESULT created = ::CoCreateInstance(kUrlHistoryClass, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER,
                                               kUrlHistoryStg2Interface, history.Receive());
    if (FAILED(created)) {
        TRACE(40, "URL history object creation failed - %ld", static_cast<long>(created));
        return created;
    }
    if (history.Get() == nullptr) return E_NOINTERFACE;
    const HRESULT cleared = history.Get()->ClearHistory();
    if (FAILED(cleared)) TRACE(40, "URL history clearing failed - %ld", static_cast<long>(cleared));
    return cleared;
}
