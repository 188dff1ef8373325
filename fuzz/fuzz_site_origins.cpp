// The names browsers give their stored entries (Local Storage keys,
// IndexedDB and Firefox storage folders, Firefox's older local storage keys
// and service worker scopes), from which a site's host is read, and the
// service worker registration list.
#include "plugin/engines/serviceworkerlist.h"
#include "plugin/engines/siteorigins.h"

#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

// A host is never longer than the name it came from and holds only what a
// host name may: lower-case letters, digits, hyphens and dots.
void RequirePlainHost(const std::string& host, const std::string& name)
{
    if (host.size() > name.size()) std::abort();
    for (char c : host) {
        const bool allowed = (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.';
        if (!allowed) std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size)
{
    const std::string name(reinterpret_cast<const char*>(data), size);
    for (const std::string& host : {HostOfOrigin(name), HostOfLocalStorageKey(name), HostOfIndexedDbFolder(name),
                                    HostOfFirefoxStorageFolder(name), HostOfWebAppsStoreKey(name),
                                    HostOfAddress(name), HostOfStorageKey(name)}) {
        RequirePlainHost(host, name);
    }
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
