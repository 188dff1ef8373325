// The site data item's stores that are single files of the profile
// (databases and lists), each cleaned whole by its engine, and the folders
// a store names as its gone sites'.
#include "plugin/jobs/browseritems.h"

#include "common/error.h"
#include "plugin/engines/filecleanup.h"
#include "plugin/engines/sitestore.h"

#include <exception>
#include <set>

void CBrowserSiteDataItem::CleanSiteDataFiles(const BrowserProfile& profile, SiteTally& tally)
{
    // Each store is cleaned whole or left as it was: one that fails does
    // not keep the others from being cleaned, and the profile fails after.
    std::string failures;
    for (const SiteDataFile& store : Rules().siteDataFiles) {
        try {
            CleanSiteDataFile(profile, store, tally);
        } catch (const std::exception& failure) {
            failures += (failures.empty() ? "" : " ") + std::string(failure.what());
        }
    }
    if (!failures.empty()) throw CError(failures);
}

void CBrowserSiteDataItem::CleanSiteDataFile(const BrowserProfile& profile, const SiteDataFile& store, SiteTally& tally)
{
    const std::string path = profile.dataFolder + "\\" + store.file;
    if (!IsExistingFile(path)) return;
    RequireProfileEntry(profile, false, store.file);
    const SiteStoreCleanup done = store.clean(path, IsPreview(), *m_keptSites);
    tally.kept.insert(done.kept.begin(), done.kept.end());
    // Counted once the store's change is made, site by site.
    for (const auto& [host, entries] : done.gone) CountRemoved(Removed::Row, path + ": site " + host, 0, entries);
    if (!done.warning.empty()) LogWarning(done.warning);
    // The store no longer names these folders: each goes whole, its name
    // included. A site whose folder could not be removed (a file in use,
    // told by the engine's own warning) is not reported as gone.
    const std::string file = store.file;
    const std::string parent = file.substr(0, file.find_last_of('\\') + 1);
    std::set<std::string> stayed;
    for (const auto& [host, names] : done.goneFolders) {
        for (const std::string& name : names) {
            const std::string relative = parent + name;
            const std::string folder = profile.dataFolder + "\\" + relative;
            if (!IsExistingFolder(folder)) continue;
            RequireProfileEntry(profile, false, relative);
            // The file engine reads "%" as the start of a variable.
            if (folder.find('%') != std::string::npos) throw CError(folder + " holds a % sign; it was not touched");
            DeleteFiles(folder, true, 0, *this);
            if (!IsPreview() && IsExistingFolder(folder)) stayed.insert(host);
        }
    }
    for (const auto& site : done.gone) {
        if (stayed.count(site.first) == 0) tally.gone.insert(site.first);
    }
}
