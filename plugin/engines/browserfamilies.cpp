#include "plugin/engines/browserfamilies.h"

#include "plugin/engines/browserdb.h"
#include "plugin/engines/serviceworkers.h"
#include "plugin/engines/sitedatasqlite.h"
#include "plugin/engines/siteorigins.h"

namespace {

const BrowserFamilyRules kChromium = {
    &FindChromiumProfiles,
    {"Network\\Cookies", "Cookies"},
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
    "Local Storage\\leveldb",
    {{"IndexedDB", &HostOfIndexedDbFolder}},
    {{"Favicons", &CleanChromiumFavicons, &ReadChromiumFaviconHosts},
     {"WebStorage\\QuotaManager", &CleanChromiumStorageBuckets, &ReadChromiumStorageBucketHosts},
     {"Shared Dictionary\\db", &CleanChromiumSharedDictionaries, &ReadChromiumSharedDictionaryHosts}},
    {"Current Session", "Current Tabs", "Last Session", "Last Tabs"},
    {"Sessions"},
    true,
};

const BrowserFamilyRules kFirefox = {
    &FindFirefoxProfiles,
    {"cookies.sqlite"},
    "moz_cookies",
    "host",
    // Firefox holds parent.lock, unshared, from start to end.
    {"cookies.sqlite", "places.sqlite", "parent.lock"},
    {{"places.sqlite", &ClearFirefoxHistory, false}, {"formhistory.sqlite", &ClearFirefoxFormHistory, true}},
    {},
    {"cache2"},
    nullptr,
    // Sites' storage by how long it is kept: data the site was granted to
    // keep (permanent), ordinary (default) and the older temporary kind.
    {{"storage\\default", &HostOfFirefoxStorageFolder},
     {"storage\\permanent", &HostOfFirefoxStorageFolder},
     {"storage\\temporary", &HostOfFirefoxStorageFolder}},
    {{"webappsstore.sqlite", &CleanFirefoxWebAppsStore, &ReadFirefoxWebAppsStoreHosts},
     // The newer local storage's archive of the older one, the same table: its sites' values too.
     {"storage\\ls-archive.sqlite", &CleanFirefoxWebAppsStore, &ReadFirefoxWebAppsStoreHosts},
     {"serviceworker.txt", &CleanFirefoxServiceWorkers, &ReadFirefoxServiceWorkerHosts},
     {"favicons.sqlite", &CleanFirefoxFavicons, &ReadFirefoxFaviconHosts}},
    {"sessionstore.jsonlz4", "sessionstore.js"},
    {"sessionstore-backups"},
    false,
};

}  // namespace

const BrowserFamilyRules& RulesOf(BrowserFamily family)
{
    return family == BrowserFamily::Chromium ? kChromium : kFirefox;
}
