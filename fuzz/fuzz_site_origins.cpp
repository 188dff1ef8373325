// The names browsers give their stored entries (Local and Session Storage,
// service worker and File System keys, Cache Storage indexes, IndexedDB and
// Firefox storage folders, Firefox's older local storage keys and service
// worker scopes), from which a site's host is read, the service worker
// registration list, and the heads of script cache entry files, from which
// their keys are.
#include "plugin/engines/sitedata/serviceworkerlist.h"
#include "plugin/engines/sitedata/simplecache.h"
#include "plugin/engines/sitedata/siteorigins.h"

#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

// A host is never longer than the name it came from and holds only what a
// host may: lower-case letters, digits, hyphens, underscores and dots, or
// an IPv6 address in brackets (hexadecimal digits, colons and dots).
void RequirePlainHost(const std::string& host, const std::string& name)
{
    if (host.size() > name.size()) std::abort();
    const bool address = !host.empty() && host.front() == '[';
    if (address && host.back() != ']') std::abort();
    for (size_t i = address ? 1 : 0; i < host.size() - (address ? 1 : 0); ++i) {
        const char c = host[i];
        const bool allowed = address ? (c >= 'a' && c <= 'f') || (c >= '0' && c <= '9') || c == ':' || c == '.'
                                     : (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_' || c == '.';
        if (!allowed) std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size)
{
    const std::string name(reinterpret_cast<const char*>(data), size);
    const ServiceWorkerKey worker = ParseServiceWorkerKey(name);
    for (const std::string& host : {HostOfOrigin(name), HostOfLocalStorageKey(name), HostOfIndexedDbFolder(name),
                                    HostOfFirefoxStorageFolder(name), HostOfWebAppsStoreKey(name),
                                    HostOfAddress(name), HostOfStorageKey(name), HostOfSessionStorageArea(name),
                                    HostOfCacheStorageIndex(name),
                                    HostOfFileSystemOriginKey(name), worker.host}) {
        RequirePlainHost(host, name);
    }
    // Ids are numbers of the name itself: nothing else may be taken for one.
    for (const std::string& id : {worker.id, MapIdOfSessionStorageKey(name)}) {
        if (!id.empty() && (!IsStoredNumber(id) || name.find(id) == std::string::npos)) std::abort();
    }
    // A cache entry's key is a part of the file's head, no longer than the limit.
    const std::string cacheKey = KeyOfSimpleCacheEntry(name);
    if (cacheKey.size() > kSimpleCacheKeyLimit || name.find(cacheKey) == std::string::npos) std::abort();
    if (IsSimpleCacheEntryFileName(name) && name.size() != 18) std::abort();
    if (IsFileSystemFolderName(name) && name.find_first_of("./\\:") != std::string::npos) std::abort();
    // A list that reads gives back its text whole when joined again: a
    // rewrite without some registrations never cuts one in two.
    ServiceWorkerList list;
    std::string problem;
    if (ParseServiceWorkerList(name, list, problem)) {
        std::string joined = list.header;
        for (const ServiceWorkerRegistration& registration : list.registrations) {
            RequirePlainHost(registration.host, registration.text);
            if (registration.text.empty()) std::abort();
            joined += registration.text;
        }
        if (joined != name) std::abort();
    } else if (problem.empty()) {
        std::abort();
    }
    return 0;
}
