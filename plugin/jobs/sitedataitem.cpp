#include "plugin/jobs/browseritems.h"

#include "common/error.h"
#include "jobapi/extkeys.h"
#include "common/fileenum.h"
#include "common/strformat.h"
#include "plugin/engines/filecleanup.h"
#include "plugin/engines/keeplist.h"
#include "plugin/engines/leveldbstore.h"
#include "plugin/engines/siteorigins.h"
#include "plugin/engines/sitestore.h"
#include "plugin/jobs/sitedatachromium.h"

#include <map>
#include <vector>

namespace {

struct SiteFolder {
    std::string name;
    std::string host;
};

// The folders in parent: those that are a site's, with the site's host,
// and those that hold what local files stored.
struct ParentListing {
    std::vector<SiteFolder> sites;
    StringList localFiles;
};

ParentListing ListSiteFolders(const std::string& parent, const SiteFolders& folders)
{
    ParentListing listing;
    CFileEnumerator search(parent + "\\*");
    WIN32_FIND_DATAA found = {};
    while (search.Next(found)) {
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) continue;
        const std::string host = folders.hostOf(found.cFileName);
        if (!host.empty()) listing.sites.push_back({found.cFileName, host});
        if (host.empty() && IsLocalFilesFolder(found.cFileName)) listing.localFiles.push_back(found.cFileName);
    }
    if (search.Error() != 0 && search.Error() != ERROR_NO_MORE_FILES) {
        throw CError(StrFormat("%s could not be listed (error %d)", parent.c_str(), static_cast<int>(search.Error())));
    }
    return listing;
}

}  // namespace

StringList ListSiteDataHosts(BrowserFamily family, const BrowserSettings& settings)
{
    const BrowserFamilyRules& rules = RulesOf(family);
    StringList hosts;
    for (const BrowserProfile& profile : rules.findProfiles(settings).profiles) {
        if (rules.localStorage != nullptr) {
            const std::string store = profile.dataFolder + "\\" + rules.localStorage;
            if (IsExistingFile(store + "\\CURRENT")) {
                RequireProfileEntry(profile, false, rules.localStorage);
                CLevelDbStore(store, CLevelDbStore::Access::Preview)
                    .ForEachEntry([&hosts](const std::string& key, const std::string&) {
                        const std::string host = HostOfLocalStorageKey(key);
                        if (!host.empty()) hosts.push_back(host);
                    });
            }
        }
        for (const SiteFolders& folders : rules.siteFolders) {
            const std::string parent = profile.dataFolder + "\\" + folders.folder;
            if (!IsExistingFolder(parent)) continue;
            RequireProfileEntry(profile, false, folders.folder);
            for (const SiteFolder& site : ListSiteFolders(parent, folders).sites) hosts.push_back(site.host);
        }
        AppendSiteDataFileHosts(rules.siteDataFiles, profile, hosts);
        if (rules.chromiumStores) AddChromiumStoreHosts(profile, hosts);
    }
    return hosts;
}

void CBrowserSiteDataItem::Prepare()
{
    m_keptSites = std::make_unique<CKeptSites>(ReadCookieKeepList(GetTaskExtendedData(kCookieKeepListKey)));
}

std::string CBrowserSiteDataItem::CleanProfile(const BrowserProfile& profile)
{
    SiteTally tally;
    if (Rules().localStorage != nullptr) CleanLocalStorage(profile, tally);
    for (const SiteFolders& folders : Rules().siteFolders) CleanSiteFolders(profile, folders, tally);
    CleanSiteDataFiles(profile, tally);
    if (Rules().chromiumStores) CleanChromiumStores(profile, tally);
    if (tally.gone.empty() && tally.kept.empty()) return "no site data found.";
    return StrFormat(IsPreview() ? "site data of %d sites would be deleted, of %d kept."
                                 : "site data of %d sites deleted, of %d kept.",
                     static_cast<int>(tally.gone.size()), static_cast<int>(tally.kept.size()));
}

void CBrowserSiteDataItem::CleanLocalStorage(const BrowserProfile& profile, SiteTally& tally)
{
    const std::string relative = Rules().localStorage;
    const std::string folder = profile.dataFolder + "\\" + relative;
    if (!IsExistingFile(folder + "\\CURRENT")) return;
    RequireProfileEntry(profile, false, relative);
    CLevelDbStore store(folder, IsPreview() ? CLevelDbStore::Access::Preview : CLevelDbStore::Access::Erase);
    // The keys of each site that is not kept go; the store's own keys stay.
    // A site's keys lie together in key order: its host is judged once.
    std::map<std::string, long long> goneKeys;
    long long localFilesKeys = 0;
    std::string lastHost;
    bool lastKept = false;
    store.EraseWhere([&](const std::string& key) {
        const std::string host = HostOfLocalStorageKey(key);
        if (host.empty()) {
            localFilesKeys += IsLocalFilesLocalStorageKey(key) ? 1 : 0;
            return false;
        }
        if (host != lastHost) {
            lastHost = host;
            lastKept = m_keptSites->Keeps(host);
            if (lastKept) tally.kept.insert(host);
        }
        if (lastKept) return false;
        ++goneKeys[host];
        return true;
    });
    // Counted once the store's change is written, site by site.
    for (const auto& [host, count] : goneKeys) {
        tally.gone.insert(host);
        CountRemoved(Removed::Row, folder + ": site " + host, 0, count);
    }
    if (localFilesKeys > 0) {
        CountNotRemoved(NotRemoved::Skipped, localFilesKeys);
        LogWarningOf("stores holding what local files stored",
                     folder + ": " + std::to_string(localFilesKeys) +
                         " entries that local files (file://) stored were not cleaned: they are no site's, so no keep "
                         "list can name them.");
    }
}

void CBrowserSiteDataItem::CleanSiteFolders(const BrowserProfile& profile, const SiteFolders& folders,
                                            SiteTally& tally)
{
    const std::string parent = profile.dataFolder + "\\" + folders.folder;
    if (!IsExistingFolder(parent)) return;
    RequireProfileEntry(profile, false, folders.folder);
    const ParentListing listing = ListSiteFolders(parent, folders);
    for (const std::string& name : listing.localFiles) {
        CountNotRemoved(NotRemoved::Skipped);
        LogWarningOf("folders holding what local files stored",
                     StrFormat("%s\\%s was not cleaned: local files (file://) stored it; they are no site's, so no "
                               "keep list can name them.",
                               parent.c_str(), name.c_str()));
    }
    std::vector<SiteFolder> gone;
    for (const SiteFolder& site : listing.sites) {
        if (m_keptSites->Keeps(site.host)) {
            tally.kept.insert(site.host);
        } else {
            gone.push_back(site);
        }
    }
    // One walk of the folder for all the gone sites: a walk per site would
    // list the whole folder for each. Each site's folder goes with what it
    // holds, its name included; a link in their place is never entered.
    std::set<std::string> names;
    for (const SiteFolder& site : gone) names.insert(site.name);
    DeleteNamedEntries(parent, names, *this);
    for (const SiteFolder& site : gone) {
        // A folder the engine could not remove (a file in use) is told by
        // the engine's own warning, and its site is not reported as gone.
        if (IsPreview() || !IsExistingFolder(parent + "\\" + site.name)) tally.gone.insert(site.host);
    }
}
