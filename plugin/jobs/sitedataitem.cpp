#include "plugin/jobs/browseritems.h"

#include "common/error.h"
#include "common/strformat.h"
#include "plugin/engines/files/filecleanup.h"
#include "plugin/engines/leveldb/leveldbstore.h"
#include "plugin/engines/sitedata/chromiumstorecleaner.h"
#include "plugin/engines/sitedata/siteorigins.h"
#include "plugin/engines/sitedata/sitestore.h"

#include <map>
#include <vector>

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
            for (const SiteFolder& site : ListSiteFolders(parent, folders.hostOf)) {
                if (!site.host.empty()) hosts.push_back(site.host);
            }
        }
        AppendSiteDataFileHosts(rules.siteDataFiles, profile, hosts);
        if (rules.chromiumStores) AddChromiumStoreHosts(profile, hosts);
    }
    return hosts;
}

void CBrowserSiteDataItem::Prepare()
{
    m_keptSites = std::make_unique<CKeptSites>(TaskCookieKeepList());
}

std::string CBrowserSiteDataItem::CleanProfile(const BrowserProfile& profile)
{
    SiteTally tally;
    if (Rules().localStorage != nullptr) CleanLocalStorage(profile, tally);
    for (const SiteFolders& folders : Rules().siteFolders) CleanSiteFolders(profile, folders, tally);
    CleanSiteDataFiles(profile, tally);
    if (Rules().chromiumStores) CleanChromiumStores(profile, *m_keptSites, *this, tally.gone, tally.kept);
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
    std::vector<SiteFolder> gone;
    for (const SiteFolder& site : ListSiteFolders(parent, folders.hostOf)) {
        if (site.host.empty()) {
            if (!IsLocalFilesFolder(site.name)) continue;
            CountNotRemoved(NotRemoved::Skipped);
            LogWarningOf("folders holding what local files stored",
                         StrFormat("%s\\%s was not cleaned: local files (file://) stored it; they are no site's, so "
                                   "no keep list can name them.",
                                   parent.c_str(), site.name.c_str()));
        } else if (m_keptSites->Keeps(site.host)) {
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
