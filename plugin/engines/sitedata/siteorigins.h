#pragma once
// Which site a browser's stored entry belongs to, read from the names the
// browsers give their entries: keys of Chromium's Local Storage, Session
// Storage, service worker and File System stores, folders of Chromium's
// IndexedDB and of Firefox's per-site storage, Firefox's older local
// storage and its service worker registrations. Each answers with
// the site's host in lower case, or empty when the name is not a web
// site's (a store's own keys, files, extensions, anything malformed): what
// cannot be told a site's is never taken for one.
#include <string>

// "https://www.example.com:8443" -> "www.example.com". Only http and https
// origins name a site. A host may hold underscores or end in a dot (read
// without it: "example.com." is example.com); an IPv6 address keeps its
// brackets, "http://[::1]:8080" -> "[::1]".
std::string HostOfOrigin(const std::string& origin);

// What local files stored ("file://", "file:///C:/x") is no site's and no
// keep list can name it: it is reported as not cleaned rather than left
// without a word. True for such an origin, a Local Storage key of one, or
// a site folder of one (Chromium "file__0.indexeddb.leveldb", Firefox
// "file++++C++Users+x").
bool IsLocalFilesOrigin(const std::string& origin);
bool IsLocalFilesLocalStorageKey(const std::string& key);
bool IsLocalFilesFolder(const std::string& name);

// "META:<origin>", "METAACCESS:<origin>" and "_<origin>\0<script key>" ->
// the origin's host; the store's own keys ("VERSION") -> empty. What a site
// stored embedded in another is keyed by its storage key instead (see
// HostOfStorageKey), still the embedded origin's.
std::string HostOfLocalStorageKey(const std::string& key);

// "<scheme>_<host>_<port>.indexeddb.leveldb" or ".indexeddb.blob" -> host.
std::string HostOfIndexedDbFolder(const std::string& name);

// "<scheme>+++<host>[+<port>][^<attributes>]" -> host: the origin with
// each ":" and "/" written "+" ("http+++[++1]+8080" -> "[::1]").
std::string HostOfFirefoxStorageFolder(const std::string& name);

// Firefox "webappsstore.sqlite" origin keys: the host reversed with a dot
// after it, the scheme and the port, "moc.elpmaxe.:https:443" -> host.
std::string HostOfWebAppsStoreKey(const std::string& key);

// An address as a service worker's scope, "https://example.com:8443/app/"
// -> host; the path, query and fragment say nothing of the site.
std::string HostOfAddress(const std::string& address);

// A serialized storage key, as the newer Chromium stores name a site:
// "https://www.example.com/" -> "www.example.com". Data a site wrote while
// embedded in another carries attributes after a "^" (the top-level site, a
// nonce); it is still the embedded origin's, whose host is answered.
std::string HostOfStorageKey(const std::string& key);

// True for a number as those stores write one: decimal digits, no sign.
bool IsStoredNumber(const std::string& text);

// Session Storage: "namespace-<36-character id>-<storage key>" -> host.
std::string HostOfSessionStorageArea(const std::string& key);

// Session Storage: "map-<map id>-<key>" -> the map id; empty for any other key.
std::string MapIdOfSessionStorageKey(const std::string& key);

// A key of the service worker database, by the record it belongs to.
struct ServiceWorkerKey {
    enum class Kind {
        Store,               // the store's own bookkeeping, or of no telling owner
        Registration,        // "REG:<storage key>\0<registration id>"
        RegistrationOrigin,  // "REGID_TO_ORIGIN:<registration id>"
        UserData,            // "REG_USER_DATA:<registration id>\0<name>"
        HasUserData,         // "REG_HAS_USER_DATA:<name>\0<registration id>"
        Resource,            // "RES:<version id>\0<resource id>"
        UniqueOrigin,        // "INITDATA_UNIQUE_ORIGIN:<storage key>"
    };
    Kind kind = Kind::Store;
    std::string host;  // Registration, UniqueOrigin: the site's host, or empty
    std::string id;        // the registration id; of a Resource, its version id
    std::string resource;  // of a Resource: its id, the key of its script cache entry
};
ServiceWorkerKey ParseServiceWorkerKey(const std::string& key);

// A Cache Storage folder's index.txt (a CacheStorageIndex message) -> the
// host of the origin it names; empty when it names none or is damaged.
std::string HostOfCacheStorageIndex(const std::string& index);

// File System's Origins store: "ORIGIN:<scheme>_<host>_<port>" (or an
// origin written as such) -> host.
std::string HostOfFileSystemOriginKey(const std::string& key);

// A folder name the Origins store may give (such as "000"): digits only,
// so that it names a site's folder of File System and nothing else.
bool IsFileSystemFolderName(const std::string& name);
