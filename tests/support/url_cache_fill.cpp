#include "url_cache_fill.h"

#include "common/handles.h"
#include "text_file.h"

#include <shlobj.h>
#include <wininet.h>
#include <gtest/gtest.h>

#include <algorithm>

bool UnderWine()
{
    const HMODULE ntdll = ::GetModuleHandleA("ntdll.dll");
    return ntdll != nullptr && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

// Every entry of the cache, read with a plain search of its own that grows
// its buffer as the system asks.
CacheSnapshot ReadCache()
{
    CacheSnapshot entries;
    std::vector<char> buffer(1024);
    HANDLE search = nullptr;
    for (;;) {
        auto* entry = reinterpret_cast<INTERNET_CACHE_ENTRY_INFOA*>(buffer.data());
        DWORD size = static_cast<DWORD>(buffer.size());
        BOOL fetched = FALSE;
        if (search == nullptr) {
            search = ::FindFirstUrlCacheEntryA(nullptr, entry, &size);
            fetched = search != nullptr;
        } else {
            fetched = ::FindNextUrlCacheEntryA(search, entry, &size);
        }
        if (fetched) {
            entries[entry->lpszSourceUrlName] = entry->CacheEntryType;
            continue;
        }
        const DWORD error = ::GetLastError();
        if (error == ERROR_INSUFFICIENT_BUFFER && size > buffer.size()) {
            buffer.resize(size);
            continue;
        }
        EXPECT_EQ(error, static_cast<DWORD>(ERROR_NO_MORE_ITEMS)) << "cache search failed";
        break;
    }
    if (search != nullptr) ::FindCloseUrlCache(search);
    return entries;
}

std::vector<std::string> Names(const CacheSnapshot& entries, bool cookies)
{
    std::vector<std::string> names;
    for (const auto& [name, type] : entries)
        if (((type & COOKIE_CACHE_ENTRY) != 0) == cookies) names.push_back(name);
    return names;
}

std::vector<std::string> Sorted(std::vector<std::string> names)
{
    std::sort(names.begin(), names.end());
    return names;
}

// Empties the whole cache of this prefix.
void WipeCache()
{
    for (const auto& entry : ReadCache()) ::DeleteUrlCacheEntryA(entry.first.c_str());
}

std::string UserName()
{
    char name[256] = {};
    DWORD size = sizeof name;
    EXPECT_TRUE(::GetUserNameA(name, &size));
    return name;
}

// Sets a persistent cookie for http://host + path and returns the name of
// the cookie entry it makes.
std::string AddCookie(const std::string& host, const std::string& path)
{
    const std::string url = "http://" + host + path;
    EXPECT_TRUE(::InternetSetCookieA(url.c_str(), "visit", "1; expires=Thu, 01-Jan-2037 00:00:00 GMT")) << url;
    const std::string name = "Cookie:" + UserName() + "@" + host + path;
    const CacheSnapshot entries = ReadCache();
    const auto found = entries.find(name);
    EXPECT_TRUE(found != entries.end() && (found->second & COOKIE_CACHE_ENTRY)) << "no cookie entry " << name;
    return name;
}

// Caches a one-byte file for url, with header info of the given length.
std::string AddEntry(const std::string& url, size_t headerSize)
{
    char file[MAX_PATH] = {};
    EXPECT_TRUE(::CreateUrlCacheEntryA(url.c_str(), 0, "txt", file, 0)) << url;
    {
        const UniqueHandle handle(::CreateFileA(file, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        EXPECT_TRUE(handle);
        DWORD written = 0;
        ::WriteFile(handle.Get(), "x", 1, &written, nullptr);
    }
    std::string header;
    if (headerSize > 0) {
        header = "HTTP/1.1 200 OK\r\nX-Padding: ";
        header += std::string(headerSize, 'h') + "\r\n\r\n";
    }
    const FILETIME none = {};
    EXPECT_TRUE(::CommitUrlCacheEntryA(url.c_str(), file, none, none, NORMAL_CACHE_ENTRY,
                                       header.empty() ? nullptr : reinterpret_cast<BYTE*>(&header[0]),
                                       static_cast<DWORD>(header.size()), "txt", nullptr))
        << url;
    EXPECT_EQ(ReadCache().count(url), 1u) << "no cache entry " << url;
    return url;
}

std::string CookieIndexPath()
{
    char folder[MAX_PATH] = {};
    if (FAILED(::SHGetFolderPathA(nullptr, CSIDL_COOKIES, nullptr, SHGFP_TYPE_CURRENT, folder))) return std::string();
    return std::string(folder) + "\\index.dat";
}
