#include "common/sitedataplaces.h"

#include <iterator>

namespace {

template <typename List>
void Append(std::vector<std::string>& places, const List& list)
{
    places.insert(places.end(), std::begin(list), std::end(list));
}

}  // namespace

std::vector<std::string> ChromiumSiteDataPlaces()
{
    using namespace ChromiumSiteData;
    std::vector<std::string> places;
    Append(places, kCookieDatabases);
    places.push_back(kLocalStorage);
    Append(places, kSiteFolders);
    Append(places, kSiteDataFiles);
    for (const char* place : {kSessionStorage, kServiceWorkerDatabase, kCacheStorage, kScriptCache, kFileSystem,
                              kFileSystemOrigins})
        places.push_back(place);
    return places;
}

std::vector<std::string> FirefoxSiteDataPlaces()
{
    using namespace FirefoxSiteData;
    std::vector<std::string> places;
    Append(places, kCookieDatabases);
    Append(places, kSiteFolders);
    Append(places, kSiteDataFiles);
    return places;
}
