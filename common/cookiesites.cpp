#include "common/cookiesites.h"

#include "common/strparse.h"

#include <algorithm>
#include <set>

namespace {

bool IsHostCharacter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_' ||
           c == '.';
}

// True when host equals site or ends with "." followed by site.
bool IsSameOrSubdomain(const std::string& host, const std::string& site)
{
    if (host.size() == site.size()) return host == site;
    if (host.size() < site.size() + 1) return false;
    const size_t dot = host.size() - site.size() - 1;
    return host[dot] == '.' && host.compare(dot + 1, std::string::npos, site) == 0;
}

}  // namespace

std::optional<StringList> ReadKeepList(const std::string& text)
{
    StringList keepList;
    if (!TryDecodeStringList(text, keepList)) return std::nullopt;
    return keepList;
}

std::string NormalizeCookieHost(const std::string& host)
{
    std::string normalized = ToLowerAscii(host);
    if (!normalized.empty() && normalized[0] == '.') normalized.erase(0, 1);
    return normalized;
}

bool IsSiteEntry(const std::string& entry)
{
    const std::string host = NormalizeCookieHost(entry);
    if (host.empty() || host.front() == '.' || host.back() == '.') return false;
    if (host.find("..") != std::string::npos) return false;
    return std::all_of(host.begin(), host.end(), IsHostCharacter);
}

std::string HostOfCookieEntry(const std::string& entryName)
{
    static const char kPrefix[] = "cookie:";
    if (!StartsWithAsciiNoCase(entryName, kPrefix)) return std::string();
    const size_t at = entryName.find('@');
    if (at == std::string::npos) return std::string();
    const size_t slash = entryName.find('/', at + 1);
    return NormalizeCookieHost(entryName.substr(at + 1, slash == std::string::npos ? std::string::npos
                                                                                    : slash - at - 1));
}

CKeptSites::CKeptSites(const StringList& keepList)
{
    for (const std::string& entry : keepList) {
        if (IsSiteEntry(entry)) m_sites.push_back(NormalizeCookieHost(entry));
    }
}

bool CKeptSites::Keeps(const std::string& host) const
{
    const std::string normalized = NormalizeCookieHost(host);
    if (normalized.empty()) return false;
    return std::any_of(m_sites.begin(), m_sites.end(),
                       [&normalized](const std::string& site) { return IsSameOrSubdomain(normalized, site); });
}

StringList SitesOfHosts(const StringList& hosts)
{
    std::set<std::string> normalized;
    for (const std::string& host : hosts) {
        const std::string candidate = NormalizeCookieHost(host);
        if (IsSiteEntry(candidate)) normalized.insert(candidate);
    }
    StringList sites;
    for (const std::string& host : normalized) {
        // A parent domain of the host is what follows one of its dots.
        bool underAnother = false;
        for (size_t dot = host.find('.'); dot != std::string::npos && !underAnother; dot = host.find('.', dot + 1))
            underAnother = normalized.count(host.substr(dot + 1)) != 0;
        if (!underAnother) sites.push_back(host);
    }
    return sites;
}
