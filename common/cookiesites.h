#pragma once
// Sites on the cookie keep list. Besides the cache entry names of the
// system browser's cookies ("Cookie:user@host/path", kept by exact name),
// the keep list holds sites: host names such as "example.com". A site keeps
// every cookie whose host is the site itself or a subdomain of it, in every
// browser: "example.com" keeps ".example.com" and "www.example.com", never
// "notexample.com".
#include "common/codecs.h"

#include <optional>
#include <string>

// A cookie host in lower case, without the leading dot of a domain cookie.
std::string NormalizeCookieHost(const std::string& host);

// True when entry names a site: letters, digits, '-', '_' and inner dots,
// an optional leading dot. Entry names of the system browser's cookies
// ("Cookie:...") are not sites.
bool IsSiteEntry(const std::string& entry);

// The host part of a system-browser cookie entry name
// "Cookie:user@host/path", lower case; empty when the name has another form.
std::string HostOfCookieEntry(const std::string& entryName);

// A task's cookie keep list from its stored text, read strictly (absent is
// empty). Nothing when the text is damaged: such a list never counts as
// empty, nor as the part of it that could be read.
std::optional<StringList> ReadKeepList(const std::string& text);

// The site entries of a keep list, ready to match cookie hosts.
class CKeptSites {
public:
    explicit CKeptSites(const StringList& keepList);

    // True when host (any case, leading dot or not) is a kept site or one
    // of its subdomains.
    bool Keeps(const std::string& host) const;

private:
    StringList m_sites;  // normalised
};

// The sites to offer for a set of cookie hosts: every normalised host that
// is not a subdomain of another host of the set, so that a site's own
// cookies and its subdomains' are kept together. Sorted, without repeats.
StringList SitesOfHosts(const StringList& hosts);
