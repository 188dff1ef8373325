#include "plugin/engines/browserfamilies.h"

#include "plugin/engines/browserdb.h"
#include "plugin/engines/siteorigins.h"

namespace {

const BrowserFamilyRules kChromium = {
    &FindChromiumProfiles,
    {"Network\\Cookies", "Cookies"},
    "cookies",
    "host_key",
    {"Network\\Cookies", "Cookies", "History"},
    {{"History", &ClearChromiumHistory, false},
     {"Top Sites", &ClearChromiumTopSites, false},
     {"Shortcuts", &ClearChromiumShortcuts, false}},
    // A table of hashes of the addresses visited.
    {"Visited Links"},
    {"Cache", "Code Cache", "GPUCache"},
    "Local Storage\\leveldb",
    {{"IndexedDB", &HostOfIndexedDbFolder}},
    true,
};

const BrowserFamilyRules kFirefox = {
    &FindFirefoxProfiles,
    {"cookies.sqlite"},
    "moz_cookies",
    "host",
    {"cookies.sqlite", "places.sqlite"},
    {{"places.sqlite", &ClearFirefoxHistory, false}, {"formhistory.sqlite", &ClearFirefoxFormHistory, true}},
    {},
    {"cache2"},
    nullptr,
    {{"storage\\default", &HostOfFirefoxStorageFolder}},
    false,
};

}  // namespace

const BrowserFamilyRules& RulesOf(BrowserFamily family)
{
    return family == BrowserFamily::Chromium ? kChromium : kFirefox;
}
