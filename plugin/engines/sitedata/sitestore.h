#pragma once
// What cleaning one of the site data stores that the family table lists
// (browserfamilies.h) did, site by site, so that the item counts each gone
// site once per store.
#include "common/codecs.h"

#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

struct SiteStoreCleanup {
    std::map<std::string, long long> gone;  // by host: the entries deleted (in a preview, that would be)
    std::set<std::string> kept;             // hosts of kept sites with entries in the store
    std::string warning;                    // a problem found after the change was made
    // Hosts of sites that are not kept but whose data partly stays (a
    // folder of theirs could not be removed): not counted as gone.
    std::set<std::string> partlyKept;
};

// Removes a folder beside the store (a plain name in the store file's
// folder) whole, as a store that names such folders asks while its change
// is not yet made: true when the folder is gone, or never was (in a
// preview, counted and taken as gone), false when it stays.
using SiteFolderRemover = std::function<bool(const std::string& name)>;

struct BrowserProfile;
struct SiteDataFile;

// A folder that holds one site's data, by its name in its parent folder.
struct SiteFolder {
    std::string name;
    std::string host;  // empty: the folder is no site's
};

// Every folder in parent, with the host hostOf finds for its name. Raises
// when parent cannot be listed whole.
std::vector<SiteFolder> ListSiteFolders(const std::string& parent,
                                        const std::function<std::string(const std::string& name)>& hostOf);

// Appends the host of every site with data in the profile's files of the
// list (browserfamilies.h), read without changing a file.
void AppendSiteDataFileHosts(const std::vector<SiteDataFile>& files, const BrowserProfile& profile, StringList& hosts);
