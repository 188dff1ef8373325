// The site data item's stores that are single files of the profile
// (databases and lists), each cleaned whole by its engine.
#include "plugin/jobs/browseritems.h"

#include "plugin/engines/sitestore.h"

void CBrowserSiteDataItem::CleanSiteDataFiles(const BrowserProfile& profile, SiteTally& tally)
{
    for (const SiteDataFile& store : Rules().siteDataFiles) {
        const std::string path = profile.dataFolder + "\\" + store.file;
        if (!IsExistingFile(path)) continue;
        RequireProfileEntry(profile, false, store.file);
        const SiteStoreCleanup done = store.clean(path, IsPreview(), *m_keptSites);
        tally.kept.insert(done.kept.begin(), done.kept.end());
        // Counted once the store's change is made, site by site.
        for (const auto& [host, entries] : done.gone) {
            tally.gone.insert(host);
            CountRemoved(Removed::Row, path + ": site " + host, 0, entries);
        }
        if (!done.warning.empty()) LogWarning(done.warning);
    }
}
