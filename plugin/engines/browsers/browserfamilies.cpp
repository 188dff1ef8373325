#include "plugin/engines/browsers/browserfamilies.h"

#include "common/sitedataplaces.h"
#include "plugin/engines/browsers/browserdb.h"
#include "plugin/engines/sitedata/serviceworkers.h"
#include "plugin/engines/sitedata/sitedatasqlite.h"
#include "plugin/engines/sitedata/siteorigins.h"

#include <iterator>

namespace {

// The site data places come from one table (common/sitedataplaces.h), which
// the community rules' refusals read too: each name below is taken from it
// by position, and a place added there without its cleaner here, or here
// without it there, fails to build.
namespace chromium = ChromiumSiteData;
namespace firefox = FirefoxSiteData;
static_assert(std::size(chromium::kSiteFolders) == 1 && std::size(chromium::kSiteDataFiles) == 3);
static_assert(std::size(firefox::kSiteFolders) == 3 && std::size(firefox::kSiteDataFiles) == 4);

const BrowserFamilyRules kChromium = {
    &FindChromiumProfiles,
    {std::begin(chromium::kCookieDatabases), std::end(chromium::kCookieDatabases)},
    "cookies",
    "host_key",
    {"Network\\Cookies", "Cookies", "History", "Local Storage\\leveldb\\LOCK"},
    {{"History", &ClearChromiumHistory, false},
     {"Top Sites", &ClearChromiumTopSites, false},
     {"Shortcuts", &ClearChromiumShortcuts, false},
     {"Web Data", &ClearChromiumFormEntries, true}},
    // A table of hashes of the addresses visited.
    {"Visited Links"},
    {"Cache", "Code Cache", "GPUCache"},
    chromium::kLocalStorage,
    {{chromium::kSiteFolders[0], &HostOfIndexedDbFolder}},
    {{chromium::kSiteDataFiles[0], &CleanChromiumFavicons, &ReadChromiumFaviconHosts},
     {chromium::kSiteDataFiles[1], &CleanChromiumStorageBuckets, &ReadChromiumStorageBucketHosts},
     {chromium::kSiteDataFiles[2], &CleanChromiumSharedDictionaries, &ReadChromiumSharedDictionaryHosts}},
    {"Current Session", "Current Tabs", "Last Session", "Last Tabs"},
    {"Sessions"},
    true,
};

const BrowserFamilyRules kFirefox = {
    &FindFirefoxProfiles,
    {std::begin(firefox::kCookieDatabases), std::end(firefox::kCookieDatabases)},
    "moz_cookies",
    "host",
    // Firefox holds parent.lock, unshared, from start to end.
    {"cookies.sqlite", "places.sqlite", "parent.lock"},
    {{"places.sqlite", &ClearFirefoxHistory, false}, {"formhistory.sqlite", &ClearFirefoxFormHistory, true}},
    {},
    {"cache2"},
    nullptr,
    {{firefox::kSiteFolders[0], &HostOfFirefoxStorageFolder},
     {firefox::kSiteFolders[1], &HostOfFirefoxStorageFolder},
     {firefox::kSiteFolders[2], &HostOfFirefoxStorageFolder}},
    {{firefox::kSiteDataFiles[0], &CleanFirefoxWebAppsStore, &ReadFirefoxWebAppsStoreHosts},
     // The newer local storage's archive of the older one, the same table: its sites' values too.
     {firefox::kSiteDataFiles[1], &CleanFirefoxWebAppsStore, &ReadFirefoxWebAppsStoreHosts},
     {firefox::kSiteDataFiles[2], &CleanFirefoxServiceWorkers, &ReadFirefoxServiceWorkerHosts},
     {firefox::kSiteDataFiles[3], &CleanFirefoxFavicons, &ReadFirefoxFaviconHosts}},
    {"sessionstore.jsonlz4", "sessionstore.js"},
    {"sessionstore-backups"},
    false,
};

}  // namespace

const BrowserFamilyRules& RulesOf(BrowserFamily family)
{
    return family == BrowserFamily::Chromium ? kChromium : kFirefox;
}
