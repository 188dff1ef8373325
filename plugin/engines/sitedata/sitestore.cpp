#include "plugin/engines/sitedata/sitestore.h"

#include "plugin/engines/browsers/browserfamilies.h"

void AppendSiteDataFileHosts(const std::vector<SiteDataFile>& files, const BrowserProfile& profile, StringList& hosts)
{
    for (const SiteDataFile& store : files) {
        const std::string path = profile.dataFolder + "\\" + store.file;
        if (!IsExistingFile(path)) continue;
        RequireProfileEntry(profile, false, store.file);
        const StringList found = store.hosts(path);
        hosts.insert(hosts.end(), found.begin(), found.end());
    }
}
