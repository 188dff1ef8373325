#pragma once
// Firefox "serviceworker.txt": the profile's service worker registrations,
// a version line and then, per registration, a fixed run of lines (origin
// attributes, scope, script, cache name, flags, times; the run depends on
// the version) closed by a "#" line. The text is read whole or not at all:
// an unknown version or a registration of the wrong shape makes it no list.
#include <string>
#include <vector>

struct ServiceWorkerRegistration {
    std::string host;  // of its scope; empty when the scope is not a site's
    std::string text;  // its lines as they stand in the file, the "#" line included
};

struct ServiceWorkerList {
    std::string header;  // the version line as it stands
    std::vector<ServiceWorkerRegistration> registrations;
};

// False, with problem saying what is wrong, when text is not such a list;
// otherwise the header and the registrations' texts, joined, give back
// text byte for byte.
bool ParseServiceWorkerList(const std::string& text, ServiceWorkerList& list, std::string& problem);
