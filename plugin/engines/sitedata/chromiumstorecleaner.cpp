#include "plugin/engines/sitedata/chromiumstorecleaner.h"

#include "common/error.h"
#include "common/fileenum.h"
#include "common/handles.h"
#include "common/sitedataplaces.h"
#include "common/strformat.h"
#include "plugin/engines/files/filecleanup.h"
#include "plugin/engines/leveldb/leveldbstore.h"
#include "plugin/engines/sitedata/chromiumsitestores.h"
#include "plugin/engines/sitedata/simplecache.h"
#include "plugin/engines/sitedata/siteorigins.h"
#include "plugin/engines/sitedata/sitestore.h"

#include <windows.h>

#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace {

// The stores' places, from the table the community rules' refusals read too.
using namespace ChromiumSiteData;

// A Cache Storage index lists a site's caches by name: a few kilobytes.
const size_t kMaxCacheStorageIndexSize = 1 << 20;

// The LevelDB store at relative in profile, or null when the profile has none.
std::unique_ptr<CLevelDbStore> OpenStore(const BrowserProfile& profile, const char* relative, bool preview)
{
    const std::string folder = profile.dataFolder + "\\" + relative;
    if (!IsExistingFile(folder + "\\CURRENT")) return nullptr;
    RequireProfileEntry(profile, false, relative);
    return std::make_unique<CLevelDbStore>(folder, preview ? CLevelDbStore::Access::Preview : CLevelDbStore::Access::Erase);
}

// The first bytes of a file, up to limit; false when it is missing. Raises
// when it exists but cannot be read.
bool ReadFileHead(const std::string& path, size_t limit, std::string& head)
{
    UniqueHandle file(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        const DWORD error = ::GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return false;
        throw CError(StrFormat("%s could not be read (error %d)", path.c_str(), static_cast<int>(error)));
    }
    // No larger than the file (and one byte past it, to see it grew): a
    // buffer of the whole limit for each small index costs more than the read.
    LARGE_INTEGER size = {};
    if (!::GetFileSizeEx(file.Get(), &size)) {
        throw CError(StrFormat("%s could not be read (error %d)", path.c_str(), static_cast<int>(::GetLastError())));
    }
    if (static_cast<unsigned long long>(size.QuadPart) < limit) limit = static_cast<size_t>(size.QuadPart) + 1;
    head.assign(limit, '\0');
    DWORD read = 0;
    if (limit > 0 && !::ReadFile(file.Get(), &head[0], static_cast<DWORD>(limit), &read, nullptr)) {
        throw CError(StrFormat("%s could not be read (error %d)", path.c_str(), static_cast<int>(::GetLastError())));
    }
    head.resize(read);
    return true;
}

// The host of the origin a Cache Storage folder's index names; empty when
// it has no index or one that names no web site.
std::string HostOfCacheStorageFolder(const std::string& folder)
{
    std::string index;
    // One byte past the limit tells a file too large to be an index.
    if (!ReadFileHead(folder + "\\index.txt", kMaxCacheStorageIndexSize + 1, index)) return std::string();
    return index.size() > kMaxCacheStorageIndexSize ? std::string() : HostOfCacheStorageIndex(index);
}

std::vector<SiteFolder> ListCacheStorageFolders(const std::string& parent)
{
    return ListSiteFolders(parent, [&parent](const std::string& name) {
        return HostOfCacheStorageFolder(parent + "\\" + name);
    });
}

// Cleans one profile's stores: what it keeps, what goes, and how each gone
// site is counted.
class CChromiumStoreCleaner {
public:
    CChromiumStoreCleaner(const BrowserProfile& profile, const CKeptSites& keptSites, ICleanupReport& report,
                          std::set<std::string>& gone, std::set<std::string>& kept)
        : m_profile(profile), m_keptSites(keptSites), m_report(report), m_gone(gone), m_kept(kept)
    {
    }

    void CleanSessionStorage()
    {
        const std::unique_ptr<CLevelDbStore> store = OpenStore(m_profile, kSessionStorage, m_report.IsPreview());
        if (store) EraseSiteKeys(*store, SessionStorageSiteKeys(*store, Keeper()));
    }

    // The database first: it is held while the browser runs, and then the
    // workers' caches are not touched either.
    void CleanServiceWorkers()
    {
        const std::unique_ptr<CLevelDbStore> store = OpenStore(m_profile, kServiceWorkerDatabase, m_report.IsPreview());
        if (store) {
            const SiteKeys keys = ServiceWorkerSiteKeys(*store, Keeper());
            EraseSiteKeys(*store, keys);
            CleanScriptCache(keys);
        }
        const std::string parent = m_profile.dataFolder + "\\" + kCacheStorage;
        if (!IsExistingFolder(parent)) return;
        RequireProfileEntry(m_profile, false, kCacheStorage);
        std::map<std::string, std::string> gone;  // folder name -> host
        for (const SiteFolder& site : ListCacheStorageFolders(parent)) {
            if (!site.host.empty() && !Keeps(site.host)) gone[site.name] = site.host;
        }
        for (const std::string& name : DeleteSiteFolders(kCacheStorage, gone)) m_gone.insert(gone[name]);
    }

    // A site's files go first, its record once they are gone: a folder that
    // could not be removed keeps its record, and the next run finds it again.
    void CleanFileSystem()
    {
        const std::unique_ptr<CLevelDbStore> store = OpenStore(m_profile, kFileSystemOrigins, m_report.IsPreview());
        if (!store) return;
        std::vector<FileSystemSite> gone;
        std::map<std::string, std::string> folders;  // folder name -> host
        for (const FileSystemSite& site : FileSystemSites(*store)) {
            if (Keeps(site.host)) continue;
            gone.push_back(site);
            folders[site.folder] = site.host;
        }
        const std::set<std::string> removed = DeleteSiteFolders(kFileSystem, folders);
        SiteKeys keys;
        for (const FileSystemSite& site : gone) {
            const bool filesGone = removed.count(site.folder) != 0 ||
                                   !IsExistingFolder(m_profile.dataFolder + "\\" + kFileSystem + "\\" + site.folder);
            if (filesGone) keys.gone[site.host].push_back(site.key);
        }
        EraseSiteKeys(*store, keys);
    }

private:
    // The scripts of the registrations that went: the cache entries keyed by
    // the ids of their resource records. The cache's index still lists them;
    // the browser takes an entry whose files are gone for one never stored.
    void CleanScriptCache(const SiteKeys& keys)
    {
        const std::set<std::string>& goneResources = keys.goneResources;
        const std::string parent = m_profile.dataFolder + "\\" + kScriptCache;
        if (goneResources.empty() || !IsExistingFolder(parent)) return;
        RequireProfileEntry(m_profile, false, kScriptCache);
        // The file engine reads "%" as the start of a variable.
        if (parent.find('%') != std::string::npos) throw CError(parent + " holds a % sign; it was not touched");
        std::set<std::string> gone;
        CFileEnumerator search(parent + "\\*");
        WIN32_FIND_DATAA found = {};
        while (search.Next(found)) {
            if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 || !IsSimpleCacheEntryFileName(found.cFileName)) {
                continue;
            }
            std::string head;
            const std::string path = parent + "\\" + found.cFileName;
            if (ReadFileHead(path, kSimpleCacheHeadSize, head) && goneResources.count(KeyOfSimpleCacheEntry(head)) != 0) {
                gone.insert(found.cFileName);
            }
        }
        if (search.Error() != 0 && search.Error() != ERROR_NO_MORE_FILES) {
            throw CError(StrFormat("%s could not be listed (error %d)", parent.c_str(), static_cast<int>(search.Error())));
        }
        DeleteNamedEntries(parent, gone, m_report);
    }

    SiteKeeper Keeper()
    {
        return [this](const std::string& host) { return m_keptSites.Keeps(host); };
    }

    bool Keeps(const std::string& host)
    {
        if (!m_keptSites.Keeps(host)) return false;
        m_kept.insert(host);
        return true;
    }

    void EraseSiteKeys(CLevelDbStore& store, const SiteKeys& keys)
    {
        m_kept.insert(keys.kept.begin(), keys.kept.end());
        std::vector<std::string> all;
        for (const auto& site : keys.gone) all.insert(all.end(), site.second.begin(), site.second.end());
        if (all.empty()) return;
        store.EraseKeys(all);
        // Counted once the store's change is written, site by site.
        for (const auto& [host, siteKeys] : keys.gone) {
            m_gone.insert(host);
            m_report.CountRemoved(Removed::Row, store.Name() + ": site " + host, 0,
                                  static_cast<long long>(siteKeys.size()));
        }
    }

    // Deletes the named folders of parent (in the profile) whole, their
    // names included, in one walk of the file engine; those gone (or, in a
    // preview, that would go). A folder the engine could not remove is told
    // by its own warning.
    std::set<std::string> DeleteSiteFolders(const char* parent, const std::map<std::string, std::string>& folders)
    {
        std::set<std::string> names;
        for (const auto& folder : folders) names.insert(folder.first);
        if (names.empty()) return names;
        RequireProfileEntry(m_profile, false, parent);
        const std::string path = m_profile.dataFolder + "\\" + parent;
        DeleteNamedEntries(path, names, m_report);
        std::set<std::string> gone;
        for (const std::string& name : names) {
            if (m_report.IsPreview() || !IsExistingFolder(path + "\\" + name)) gone.insert(name);
        }
        return gone;
    }

    const BrowserProfile& m_profile;
    const CKeptSites& m_keptSites;
    ICleanupReport& m_report;
    std::set<std::string>& m_gone;
    std::set<std::string>& m_kept;
};

}  // namespace

void AddChromiumStoreHosts(const BrowserProfile& profile, StringList& hosts)
{
    const std::pair<const char*, SiteKeys (*)(CLevelDbStore&, const SiteKeeper&)> keyedStores[] = {
        {kSessionStorage, &SessionStorageSiteKeys}, {kServiceWorkerDatabase, &ServiceWorkerSiteKeys}};
    for (const auto& [relative, siteKeys] : keyedStores) {
        if (const std::unique_ptr<CLevelDbStore> store = OpenStore(profile, relative, true)) {
            // With every site kept, the kept hosts are those of every site with data.
            const SiteKeys keys = siteKeys(*store, [](const std::string&) { return true; });
            hosts.insert(hosts.end(), keys.kept.begin(), keys.kept.end());
        }
    }
    const std::string parent = profile.dataFolder + "\\" + kCacheStorage;
    if (IsExistingFolder(parent)) {
        RequireProfileEntry(profile, false, kCacheStorage);
        for (const SiteFolder& site : ListCacheStorageFolders(parent)) {
            if (!site.host.empty()) hosts.push_back(site.host);
        }
    }
    if (const std::unique_ptr<CLevelDbStore> store = OpenStore(profile, kFileSystemOrigins, true)) {
        for (const FileSystemSite& site : FileSystemSites(*store)) hosts.push_back(site.host);
    }
}

void CleanChromiumStores(const BrowserProfile& profile, const CKeptSites& keptSites, ICleanupReport& report,
                         std::set<std::string>& gone, std::set<std::string>& kept)
{
    CChromiumStoreCleaner cleaner(profile, keptSites, report, gone, kept);
    cleaner.CleanSessionStorage();
    cleaner.CleanServiceWorkers();
    cleaner.CleanFileSystem();
}
