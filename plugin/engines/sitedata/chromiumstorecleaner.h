#pragma once
// A Chromium profile's Session Storage, service workers (their database and
// Cache Storage) and File System, cleaned site by site.
#include "common/cookiesites.h"
#include "plugin/engines/browsers/browserprofiles.h"
#include "plugin/engines/cleanupreport.h"

#include <set>
#include <string>

// Adds the hosts of the sites with data in those stores, read without
// changing a file.
void AddChromiumStoreHosts(const BrowserProfile& profile, StringList& hosts);

// Deletes the data of the sites keptSites does not keep; adds each site
// whose data went (in a preview, would go) to gone, each kept one to kept.
void CleanChromiumStores(const BrowserProfile& profile, const CKeptSites& keptSites, ICleanupReport& report,
                         std::set<std::string>& gone, std::set<std::string>& kept);
