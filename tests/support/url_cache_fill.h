#pragma once
// The Wine prefix's URL cache for tests: filled through WinINet (cookies set
// with an expiry date become cookie entries, created and committed files
// become ordinary entries) and read back with a plain search of its own.
#include <windows.h>

#include <map>
#include <string>
#include <vector>

using CacheSnapshot = std::map<std::string, DWORD>;  // entry name -> entry type

bool UnderWine();

// Every entry of the cache.
CacheSnapshot ReadCache();
// The names of the cookie entries, or of the other entries, in name order.
std::vector<std::string> Names(const CacheSnapshot& entries, bool cookies);
std::vector<std::string> Sorted(std::vector<std::string> names);
// The cookie part's index file, as Wine keeps it: held open without sharing
// before a process first uses the cache, it makes every walk of that process fail.
std::string CookieIndexPath();
// Empties the whole cache of this prefix.
void WipeCache();
std::string UserName();
// Sets a persistent cookie for http://host + path; the name of its entry.
std::string AddCookie(const std::string& host, const std::string& path = "/");
// Caches a one-byte file for url, with header info of the given length.
std::string AddEntry(const std::string& url, size_t headerSize = 0);
