#pragma once
// Where the modern browsers' profiles keep what sites store: the places
// the program's own items clean site by site under the keep list. The
// families' rows (plugin/engines/browsers/browserfamilies.cpp) are built from
// these names, and community rules may touch none of them
// (rules/browserstores.cpp): one table, so the two cannot drift apart.
// Paths are relative to a profile's data folder.
#include <string>
#include <vector>

namespace ChromiumSiteData {
inline constexpr const char* kCookieDatabases[] = {"Network\\Cookies", "Cookies"};
inline constexpr const char kLocalStorage[] = "Local Storage\\leveldb";
inline constexpr const char* kSiteFolders[] = {"IndexedDB"};
inline constexpr const char* kSiteDataFiles[] = {"Favicons", "WebStorage\\QuotaManager", "Shared Dictionary\\db"};
inline constexpr const char kSessionStorage[] = "Session Storage";
inline constexpr const char kServiceWorkerDatabase[] = "Service Worker\\Database";
inline constexpr const char kCacheStorage[] = "Service Worker\\CacheStorage";
inline constexpr const char kScriptCache[] = "Service Worker\\ScriptCache";
inline constexpr const char kFileSystem[] = "File System";
inline constexpr const char kFileSystemOrigins[] = "File System\\Origins";
}  // namespace ChromiumSiteData

namespace FirefoxSiteData {
inline constexpr const char* kCookieDatabases[] = {"cookies.sqlite"};
// Sites' storage by how long it is kept: ordinary (default), what the site
// was granted to keep (permanent) and the older temporary kind.
inline constexpr const char* kSiteFolders[] = {"storage\\default", "storage\\permanent", "storage\\temporary"};
inline constexpr const char* kSiteDataFiles[] = {"webappsstore.sqlite", "storage\\ls-archive.sqlite",
                                                 "serviceworker.txt", "favicons.sqlite"};
}  // namespace FirefoxSiteData

// Every place of that family above, each as its path relative to the
// profile's data folder, in the order of the table.
std::vector<std::string> ChromiumSiteDataPlaces();
std::vector<std::string> FirefoxSiteDataPlaces();
