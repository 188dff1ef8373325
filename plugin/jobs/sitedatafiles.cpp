// The site data item's stores that are single files of the profile
// (databases and lists), each cleaned whole by its engine, and the folders
// a store names as its gone sites'.
#include "plugin/jobs/browseritems.h"

#include "common/error.h"
#include "plugin/engines/files/filecleanup.h"
#include "plugin/engines/sitedata/sitestore.h"

#include <exception>

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
    // A store that names folders of its gone sites beside it has each removed
    // whole, its name included, before its own change is made.
    const std::string file = store.file;
    const std::string parent = file.substr(0, file.find_last_of('\\') + 1);
    const SiteFolderRemover removeFolder = [&](const std::string& name) {
        const std::string relative = parent + name;
        const std::string folder = profile.dataFolder + "\\" + relative;
        if (!IsExistingFolder(folder)) return true;
        RequireProfileEntry(profile, false, relative);
        // The file engine reads "%" as the start of a variable.
        if (folder.find('%') != std::string::npos) throw CError(folder + " holds a % sign; it was not touched");
        // A folder that stays (a file in use) is told by the engine's own warning.
        DeleteFiles(folder, true, 0, *this);
        return IsPreview() || !IsExistingFolder(folder);
    };
    const SiteStoreCleanup done = store.clean(path, IsPreview(), *m_keptSites, removeFolder);
    tally.kept.insert(done.kept.begin(), done.kept.end());
    // Counted once the store's change is made, site by site.
    for (const auto& [host, entries] : done.gone) CountRemoved(Removed::Row, path + ": site " + host, 0, entries);
    if (!done.warning.empty()) LogWarning(done.warning);
    // A site whose folder could not be removed is not reported as gone.
    for (const auto& site : done.gone) {
        if (done.partlyKept.count(site.first) == 0) tally.gone.insert(site.first);
    }
}
