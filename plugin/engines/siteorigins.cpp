#include "plugin/engines/siteorigins.h"

#include "common/strparse.h"

#include <cctype>

namespace {

bool StartsWith(const std::string& text, const std::string& start)
{
    return text.compare(0, start.size(), start) == 0;
}

bool EndsWith(const std::string& text, const std::string& end)
{
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

bool IsWebScheme(const std::string& scheme)
{
    return scheme == "http" || scheme == "https";
}

bool IsPort(const std::string& text)
{
    if (text.empty() || text.size() > 5) return false;
    for (char c : text) {
        if (!std::isdigit(static_cast<unsigned char>(c))) return false;
    }
    return true;
}

// A host name as the browsers write it: labels of letters, digits and
// hyphens, separated by single dots. Lower case; empty when it is not one.
std::string PlainHost(const std::string& host)
{
    if (host.empty() || host.size() > 253 || host.front() == '.' || host.back() == '.') return std::string();
    std::string lower;
    char previous = '.';
    for (char c : host) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (c == '.' && previous == '.') return std::string();
        if (c != '.' && c != '-' && !std::isalnum(u)) return std::string();
        lower += ToLowerAscii(c);
        previous = c;
    }
    return lower;
}

}  // namespace

std::string HostOfOrigin(const std::string& origin)
{
    const size_t separator = origin.find("://");
    if (separator == std::string::npos || !IsWebScheme(origin.substr(0, separator))) return std::string();
    std::string rest = origin.substr(separator + 3);
    const size_t colon = rest.find(':');
    if (colon != std::string::npos) {
        if (!IsPort(rest.substr(colon + 1))) return std::string();
        rest.erase(colon);
    }
    return PlainHost(rest);
}

std::string HostOfLocalStorageKey(const std::string& key)
{
    for (const char* prefix : {"META:", "METAACCESS:"}) {
        if (StartsWith(key, prefix)) return HostOfOrigin(key.substr(std::string(prefix).size()));
    }
    if (!StartsWith(key, "_")) return std::string();
    const size_t end = key.find('\0');
    if (end == std::string::npos) return std::string();
    return HostOfOrigin(key.substr(1, end - 1));
}

std::string HostOfIndexedDbFolder(const std::string& name)
{
    std::string identifier;
    for (const char* suffix : {".indexeddb.leveldb", ".indexeddb.blob"}) {
        if (EndsWith(name, suffix)) identifier = name.substr(0, name.size() - std::string(suffix).size());
    }
    const size_t first = identifier.find('_');
    const size_t last = identifier.rfind('_');
    if (first == std::string::npos || first == last) return std::string();
    if (!IsWebScheme(identifier.substr(0, first)) || !IsPort(identifier.substr(last + 1))) return std::string();
    return PlainHost(identifier.substr(first + 1, last - first - 1));
}

std::string HostOfFirefoxStorageFolder(const std::string& name)
{
    const std::string origin = name.substr(0, name.find('^'));  // origin attributes follow a caret
    const size_t separator = origin.find("+++");
    if (separator == std::string::npos || !IsWebScheme(origin.substr(0, separator))) return std::string();
    std::string host = origin.substr(separator + 3);
    const size_t port = host.find("+++");
    if (port != std::string::npos) {
        if (!IsPort(host.substr(port + 3))) return std::string();
        host.erase(port);
    }
    return PlainHost(host);
}

std::string HostOfWebAppsStoreKey(const std::string& key)
{
    const size_t schemeStart = key.find(':');
    if (schemeStart == std::string::npos) return std::string();
    const std::string reversed = key.substr(0, schemeStart);
    const std::string rest = key.substr(schemeStart + 1);
    const size_t portStart = rest.find(':');
    if (!IsWebScheme(rest.substr(0, portStart))) return std::string();
    if (portStart != std::string::npos && !IsPort(rest.substr(portStart + 1))) return std::string();
    // Firefox ends the reversed host with a dot; without it the key is not one of its own.
    if (reversed.size() < 2 || reversed.back() != '.') return std::string();
    return PlainHost(std::string(reversed.rbegin() + 1, reversed.rend()));
}

std::string HostOfAddress(const std::string& address)
{
    const size_t separator = address.find("://");
    if (separator == std::string::npos) return std::string();
    const size_t end = address.find_first_of("/?#", separator + 3);
    return HostOfOrigin(address.substr(0, end));
}

std::string HostOfStorageKey(const std::string& key)
{
    const std::string origin = key.substr(0, key.find('^'));
    if (origin.empty() || origin.back() != '/') return std::string();
    return HostOfOrigin(origin.substr(0, origin.size() - 1));
}
