#pragma once
// Which site a browser's stored entry belongs to, read from the names the
// browsers give their entries: keys of Chromium's Local Storage, folders of
// Chromium's IndexedDB and of Firefox's per-site storage, Firefox's older
// local storage and its service worker registrations. Each answers with
// the site's host in lower case, or empty when the name is not a web
// site's (a store's own keys, files, extensions, anything malformed): what
// cannot be told a site's is never taken for one.
#include <string>

// "https://www.example.com:8443" -> "www.example.com". Only http and https
// origins name a site.
std::string HostOfOrigin(const std::string& origin);

// "META:<origin>", "METAACCESS:<origin>" and "_<origin>\0<script key>" ->
// the origin's host; the store's own keys ("VERSION") -> empty.
std::string HostOfLocalStorageKey(const std::string& key);

// "<scheme>_<host>_<port>.indexeddb.leveldb" or ".indexeddb.blob" -> host.
std::string HostOfIndexedDbFolder(const std::string& name);

// "<scheme>+++<host>[+++<port>][^<attributes>]" -> host.
std::string HostOfFirefoxStorageFolder(const std::string& name);

// Firefox "webappsstore.sqlite" origin keys: the host reversed with a dot
// after it, the scheme and the port, "moc.elpmaxe.:https:443" -> host.
std::string HostOfWebAppsStoreKey(const std::string& key);

// An address as a service worker's scope, "https://example.com:8443/app/"
// -> host; the path, query and fragment say nothing of the site.
std::string HostOfAddress(const std::string& address);

// Chromium's storage keys: the origin with a slash after it, then what
// partitions it ("^0<top-level site>" and the like), "https://example.com/"
// -> host. The data is the origin's, whichever site it was stored under.
std::string HostOfStorageKey(const std::string& key);
