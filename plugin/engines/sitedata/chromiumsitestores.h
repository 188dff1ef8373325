#pragma once
// Which keys of Chromium's LevelDB site stores (Session Storage, the service
// worker database, File System's Origins) belong to which site. Each reads
// the whole store first and answers before anything is changed: a store
// whose records contradict themselves raises CError and stays as it was.
// What cannot be told a site's (the store's own keys, records that name no
// web site) is in no answer and stays.
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

class CLevelDbStore;

// True when the site of that host keeps its data.
using SiteKeeper = std::function<bool(const std::string& host)>;

struct SiteKeys {
    std::map<std::string, std::vector<std::string>> gone;  // by host: the keys that go
    std::set<std::string> kept;                            // the hosts whose keys stay
    // Service workers: the ids of the resources whose scripts go from the
    // script cache, those of gone records that no record left names.
    std::set<std::string> goneResources;
};

// A site's areas ("namespace-<id>-<storage key>") go, with every map that
// only areas of sites that go refer to ("map-<id>-..."); a map a kept site
// or a site of no telling shares stays whole, as do maps no area names.
SiteKeys SessionStorageSiteKeys(CLevelDbStore& store, const SiteKeeper& keeps);

// A site's registrations go with all that is keyed by them: the
// registration, its origin record, its user data, the resource records of
// its version, and the site's entry in the list of origins with workers.
SiteKeys ServiceWorkerSiteKeys(CLevelDbStore& store, const SiteKeeper& keeps);

// The sites of File System's Origins store, each with the folder of File
// System that holds its files. An origin whose folder is not a plain number,
// or is another origin's too, refuses the store.
struct FileSystemSite {
    std::string key;  // "ORIGIN:..."
    std::string host;
    std::string folder;  // a plain name such as "000"
};
std::vector<FileSystemSite> FileSystemSites(CLevelDbStore& store);
