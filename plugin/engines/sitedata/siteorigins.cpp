#include "plugin/engines/sitedata/siteorigins.h"

#include "common/strparse.h"
#include "plugin/engines/sitedata/protowire.h"

#include <algorithm>
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

// A host name as the browsers write it: labels of letters, digits,
// hyphens and underscores, separated by single dots, maybe ended by one
// dot (the name written whole, the same site as without it). Lower case,
// without that dot; empty when it is not one.
std::string PlainHost(std::string host)
{
    if (!host.empty() && host.back() == '.') host.pop_back();
    if (host.empty() || host.size() > 253 || host.front() == '.' || host.back() == '.') return std::string();
    std::string lower;
    char previous = '.';
    for (char c : host) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (c == '.' && previous == '.') return std::string();
        if (c != '.' && c != '-' && c != '_' && !std::isalnum(u)) return std::string();
        lower += ToLowerAscii(c);
        previous = c;
    }
    return lower;
}

// An IPv6 address in brackets, "[::1]", in lower case; empty when it is not one.
std::string BracketedAddress(const std::string& host)
{
    if (host.size() < 4 || host.size() > 47 || host.front() != '[' || host.back() != ']') return std::string();
    const std::string inner = host.substr(1, host.size() - 2);
    if (inner.find(':') == std::string::npos || inner.find_first_not_of("0123456789abcdefABCDEF:.") != std::string::npos) {
        return std::string();
    }
    std::string lower;
    for (char c : host) lower += ToLowerAscii(c);
    return lower;
}

// A site's host as an origin gives it: a name or a bracketed address.
std::string SiteHost(const std::string& host)
{
    return !host.empty() && host.front() == '[' ? BracketedAddress(host) : PlainHost(host);
}

// Splits "<host>[<separator><port>]" where an address in brackets may hold
// the separator itself; false when what follows the host is not a port.
bool SplitHostAndPort(const std::string& text, const std::string& separator, std::string& host)
{
    size_t end = 0;
    if (!text.empty() && text.front() == '[') {
        end = text.find(']');
        end = end == std::string::npos ? text.size() : end + 1;
    } else {
        end = std::min(text.find(separator), text.size());
    }
    host = text.substr(0, end);
    if (end == text.size()) return true;
    return text.compare(end, separator.size(), separator) == 0 && IsPort(text.substr(end + separator.size()));
}

}  // namespace

std::string HostOfOrigin(const std::string& origin)
{
    const size_t separator = origin.find("://");
    if (separator == std::string::npos || !IsWebScheme(origin.substr(0, separator))) return std::string();
    std::string host;
    if (!SplitHostAndPort(origin.substr(separator + 3), ":", host)) return std::string();
    return SiteHost(host);
}

bool IsLocalFilesOrigin(const std::string& origin)
{
    return StartsWith(origin, "file://");
}

namespace {

// The storage key a Local Storage key names: "META:<key>", "METAACCESS:<key>", "_<key>\0<script key>".
bool StorageKeyOfLocalStorageKey(const std::string& key, std::string& storageKey)
{
    for (const char* prefix : {"META:", "METAACCESS:"}) {
        if (StartsWith(key, prefix)) {
            storageKey = key.substr(std::string(prefix).size());
            return true;
        }
    }
    const size_t end = key.find('\0');
    if (!StartsWith(key, "_") || end == std::string::npos) return false;
    storageKey = key.substr(1, end - 1);
    return true;
}

}  // namespace

bool IsLocalFilesLocalStorageKey(const std::string& key)
{
    std::string storageKey;
    return StorageKeyOfLocalStorageKey(key, storageKey) && IsLocalFilesOrigin(storageKey);
}

std::string HostOfLocalStorageKey(const std::string& key)
{
    // The origin of a site's own data, or the storage key ("https://a.example/^0https://b.example")
    // of what it wrote while embedded in another: either way the first origin's.
    std::string storageKey;
    return StorageKeyOfLocalStorageKey(key, storageKey) ? HostOfStorageKey(storageKey) : std::string();
}

namespace {

// "<scheme>_<host>_<port>", the name Chromium's older stores give an origin.
std::string HostOfOriginIdentifier(const std::string& identifier)
{
    const size_t first = identifier.find('_');
    const size_t last = identifier.rfind('_');
    if (first == std::string::npos || first == last) return std::string();
    if (!IsWebScheme(identifier.substr(0, first)) || !IsPort(identifier.substr(last + 1))) return std::string();
    std::string host = identifier.substr(first + 1, last - first - 1);
    // An IPv6 address is written with "_" for each ":".
    if (!host.empty() && host.front() == '[') std::replace(host.begin(), host.end(), '_', ':');
    return SiteHost(host);
}

// The text after prefix, up to the first NUL, and what follows that NUL.
bool SplitAtNul(const std::string& key, const std::string& prefix, std::string& first, std::string& second)
{
    if (!StartsWith(key, prefix)) return false;
    const size_t nul = key.find('\0', prefix.size());
    if (nul == std::string::npos) return false;
    first = key.substr(prefix.size(), nul - prefix.size());
    second = key.substr(nul + 1);
    return true;
}

}  // namespace

std::string HostOfIndexedDbFolder(const std::string& name)
{
    std::string identifier;
    for (const char* suffix : {".indexeddb.leveldb", ".indexeddb.blob"}) {
        if (EndsWith(name, suffix)) identifier = name.substr(0, name.size() - std::string(suffix).size());
    }
    return HostOfOriginIdentifier(identifier);
}

std::string HostOfFirefoxStorageFolder(const std::string& name)
{
    // The origin with every ":" and "/" written "+", then origin attributes after a caret.
    const std::string origin = name.substr(0, name.find('^'));
    const size_t separator = origin.find("+++");
    if (separator == std::string::npos || !IsWebScheme(origin.substr(0, separator))) return std::string();
    const std::string rest = origin.substr(separator + 3);
    std::string host;
    // The port follows one "+"; names with three before it are read too.
    if (!SplitHostAndPort(rest, "+", host) && !SplitHostAndPort(rest, "+++", host)) return std::string();
    if (!host.empty() && host.front() == '[') std::replace(host.begin(), host.end(), '+', ':');
    return SiteHost(host);
}

bool IsLocalFilesFolder(const std::string& name)
{
    // Chromium's "file__0" identifier (IndexedDB), Firefox's "file+++..." origin folders.
    return StartsWith(name, "file__0.") || StartsWith(name, "file+++");
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
    std::string origin = key.substr(0, key.find('^'));
    // Written as a URL, the origin ends in the path "/".
    if (!origin.empty() && origin.back() == '/') origin.pop_back();
    return HostOfOrigin(origin);
}

bool IsStoredNumber(const std::string& text)
{
    // Ids are 64-bit numbers: 18 digits always fit one.
    if (text.empty() || text.size() > 18) return false;
    for (char c : text) {
        if (!std::isdigit(static_cast<unsigned char>(c))) return false;
    }
    return true;
}

std::string HostOfSessionStorageArea(const std::string& key)
{
    const std::string prefix = "namespace-";
    const size_t idLength = 36;
    const size_t keyStart = prefix.size() + idLength + 1;
    if (!StartsWith(key, prefix) || key.size() <= keyStart || key[keyStart - 1] != '-') return std::string();
    return HostOfStorageKey(key.substr(keyStart));
}

std::string MapIdOfSessionStorageKey(const std::string& key)
{
    const std::string prefix = "map-";
    if (!StartsWith(key, prefix)) return std::string();
    const size_t end = key.find('-', prefix.size());
    if (end == std::string::npos) return std::string();
    const std::string id = key.substr(prefix.size(), end - prefix.size());
    return IsStoredNumber(id) ? id : std::string();
}

ServiceWorkerKey ParseServiceWorkerKey(const std::string& key)
{
    using Kind = ServiceWorkerKey::Kind;
    ServiceWorkerKey parsed;
    std::string first;
    std::string second;
    const auto numbered = [&parsed](Kind kind, const std::string& id, const std::string& host = std::string()) {
        if (!IsStoredNumber(id)) return;
        parsed.kind = kind;
        parsed.id = id;
        parsed.host = host;
    };
    if (SplitAtNul(key, "REG:", first, second)) {
        numbered(Kind::Registration, second, HostOfStorageKey(first));
    } else if (StartsWith(key, "REGID_TO_ORIGIN:")) {
        numbered(Kind::RegistrationOrigin, key.substr(std::string("REGID_TO_ORIGIN:").size()));
    } else if (SplitAtNul(key, "REG_USER_DATA:", first, second)) {
        numbered(Kind::UserData, first);
    } else if (SplitAtNul(key, "REG_HAS_USER_DATA:", first, second)) {
        // The name may hold a NUL of its own: the id follows the last one.
        const size_t nul = key.rfind('\0');
        numbered(Kind::HasUserData, key.substr(nul + 1));
    } else if (SplitAtNul(key, "RES:", first, second)) {
        if (IsStoredNumber(second)) numbered(Kind::Resource, first);
        if (parsed.kind == Kind::Resource) parsed.resource = second;
    } else if (StartsWith(key, "INITDATA_UNIQUE_ORIGIN:")) {
        parsed.kind = Kind::UniqueOrigin;
        parsed.host = HostOfStorageKey(key.substr(std::string("INITDATA_UNIQUE_ORIGIN:").size()));
    }
    return parsed;
}

std::string HostOfCacheStorageIndex(const std::string& index)
{
    // CacheStorageIndex: the caches are field 1, the origin field 2.
    const std::optional<std::string> origin = ProtoBytesField(index, 2);
    return origin ? HostOfStorageKey(*origin) : std::string();
}

std::string HostOfFileSystemOriginKey(const std::string& key)
{
    const std::string prefix = "ORIGIN:";
    if (!StartsWith(key, prefix)) return std::string();
    const std::string origin = key.substr(prefix.size());
    return origin.find("://") != std::string::npos ? HostOfStorageKey(origin) : HostOfOriginIdentifier(origin);
}

bool IsFileSystemFolderName(const std::string& name)
{
    // Numbers only: "Origins", the store's own folder, is a plain name too.
    return IsStoredNumber(name);
}
