// Walk speed of the URL cache enumeration: EnumUrlCache listing cookies
// against a bare FindFirstUrlCacheEntry/FindNextUrlCacheEntry loop over the
// same cache. Fills the cache of the current user (run it in a scratch Wine
// prefix) with its own entries first and removes them afterwards.
//
//   urlcache_benchmark [ordinary entries] [cookies] [rounds]
#include "plugin/engines/browsers/urlcache.h"

#include <windows.h>
#include <wininet.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

const char kUrlPrefix[] = "http://bench.tidewhistle.example/entry/";

double Now()
{
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        ::QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER counter;
    ::QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

std::string UserName()
{
    char name[256] = {};
    DWORD size = sizeof name;
    ::GetUserNameA(name, &size);
    return name;
}

// One ordinary entry; every hundredth carries header info larger than the
// walk's first buffer.
bool AddEntry(int n)
{
    char url[128];
    std::snprintf(url, sizeof url, "%s%06d.html", kUrlPrefix, n);
    char file[MAX_PATH] = {};
    if (!::CreateUrlCacheEntryA(url, 0, "html", file, 0)) return false;
    HANDLE handle = ::CreateFileA(file, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    ::WriteFile(handle, "x", 1, &written, nullptr);
    ::CloseHandle(handle);
    std::string header;
    if (n % 100 == 0) header = "HTTP/1.1 200 OK\r\nX-Padding: " + std::string(6000, 'h') + "\r\n\r\n";
    const FILETIME none = {};
    return ::CommitUrlCacheEntryA(url, file, none, none, NORMAL_CACHE_ENTRY,
                                  header.empty() ? nullptr : reinterpret_cast<BYTE*>(&header[0]),
                                  static_cast<DWORD>(header.size()), "html", nullptr) != FALSE;
}

std::string CookieHost(int n)
{
    char host[64];
    std::snprintf(host, sizeof host, "c%05d.bench.tidewhistle.example", n);
    return host;
}

bool AddCookie(int n)
{
    const std::string url = "http://" + CookieHost(n) + "/";
    return ::InternetSetCookieA(url.c_str(), "visit", "1; expires=Thu, 01-Jan-2037 00:00:00 GMT") != FALSE;
}

// The bare walk: one buffer, grown when an entry does not fit. Returns the
// number of entries, or -1 when the walk stopped on an error.
long BareWalk()
{
    std::vector<char> buffer(4096);
    HANDLE search = nullptr;
    long count = 0;
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
            ++count;
            continue;
        }
        const DWORD error = ::GetLastError();
        if (error == ERROR_INSUFFICIENT_BUFFER && size > buffer.size()) {
            buffer.resize(size);
            continue;
        }
        if (error != ERROR_NO_MORE_ITEMS) count = -1;
        break;
    }
    if (search != nullptr) ::FindCloseUrlCache(search);
    return count;
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv)
{
    const int entryCount = argc > 1 ? std::atoi(argv[1]) : 10000;
    const int cookieCount = argc > 2 ? std::atoi(argv[2]) : 1000;
    const int rounds = argc > 3 ? std::max(1, std::atoi(argv[3])) : 5;

    std::printf("Cache holds %ld entries before the benchmark\n", BareWalk());
    std::printf("Filling the URL cache: %d ordinary entries, %d cookies\n", entryCount, cookieCount);
    const double fillStart = Now();
    int failed = 0;
    for (int n = 0; n < entryCount; ++n)
        if (!AddEntry(n)) ++failed;
    for (int n = 0; n < cookieCount; ++n)
        if (!AddCookie(n)) ++failed;
    std::printf("  filled in %.1f s (%d additions failed)\n", Now() - fillStart, failed);

    const long total = BareWalk();
    StringList cookies;
    EnumUrlCache(kUrlCacheListCookies, 0, &cookies);
    std::printf("Cache now holds %ld entries, %zu of them cookies\n", total, cookies.size());

    std::vector<double> bareTimes;
    std::vector<double> enumTimes;
    for (int round = 0; round < rounds; ++round) {
        double start = Now();
        const long walked = BareWalk();
        bareTimes.push_back(Now() - start);
        if (walked != total) std::printf("  bare walk %d saw %ld entries\n", round, walked);

        StringList listed;
        start = Now();
        const bool complete = EnumUrlCache(kUrlCacheListCookies, 0, &listed);
        enumTimes.push_back(Now() - start);
        if (!complete) std::printf("  EnumUrlCache walk %d failed\n", round);
    }

    const double bare = Median(bareTimes);
    const double walk = Median(enumTimes);
    std::printf("Median of %d rounds over %ld entries:\n", rounds, total);
    std::printf("  bare FindFirst/FindNextUrlCacheEntry loop: %.4f s, %.0f entries/s\n", bare, total / bare);
    std::printf("  EnumUrlCache, mode 3 (list cookies):       %.4f s, %.0f entries/s\n", walk, total / walk);
    std::printf("  ratio EnumUrlCache / bare (time):          %.3f\n", walk / bare);

    std::printf("Removing the benchmark's entries\n");
    for (int n = 0; n < entryCount; ++n) {
        char url[128];
        std::snprintf(url, sizeof url, "%s%06d.html", kUrlPrefix, n);
        ::DeleteUrlCacheEntryA(url);
    }
    const std::string user = UserName();
    for (int n = 0; n < cookieCount; ++n) ::DeleteUrlCacheEntryA(("Cookie:" + user + "@" + CookieHost(n) + "/").c_str());
    std::printf("Cache holds %ld entries again\n", BareWalk());
    return 0;
}
