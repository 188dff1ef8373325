#pragma once
// What cleaning one of the site data stores that the family table lists
// (browserfamilies.h) did, site by site, so that the item counts each gone
// site once per store.
#include "common/codecs.h"

#include <map>
#include <set>
#include <string>
#include <vector>

struct SiteStoreCleanup {
    std::map<std::string, long long> gone;  // by host: the entries deleted (in a preview, that would be)
    std::set<std::string> kept;             // hosts of kept sites with entries in the store
    std::string warning;                    // a problem found after the change was made
    // Folders of the gone sites beside the store (names in the store
    // file's folder), by host, deleted whole by the item once the store's
    // change is made; in a preview, counted. A site whose folder stays is
    // not counted as gone.
    std::map<std::string, StringList> goneFolders;
};

struct BrowserProfile;
struct SiteDataFile;

// Appends the host of every site with data in the profile's files of the
// list (browserfamilies.h), read without changing a file.
void AppendSiteDataFileHosts(const std::vector<SiteDataFile>& files, const BrowserProfile& profile, StringList& hosts);
