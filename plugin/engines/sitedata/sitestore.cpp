#include "plugin/engines/sitedata/sitestore.h"

#include "common/error.h"
#include "common/fileenum.h"
#include "common/strformat.h"
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

std::vector<SiteFolder> ListSiteFolders(const std::string& parent,
                                        const std::function<std::string(const std::string& name)>& hostOf)
{
    std::vector<SiteFolder> folders;
    CFileEnumerator search(parent + "\\*");
    WIN32_FIND_DATAA found = {};
    while (search.Next(found)) {
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) folders.push_back({found.cFileName, hostOf(found.cFileName)});
    }
    if (search.Error() != 0 && search.Error() != ERROR_NO_MORE_FILES) {
        throw CError(StrFormat("%s could not be listed (error %d)", parent.c_str(), static_cast<int>(search.Error())));
    }
    return folders;
}
