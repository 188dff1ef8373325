#include "plugin/engines/sitedata/chromiumsitestores.h"

#include "common/error.h"
#include "common/strformat.h"
#include "plugin/engines/leveldb/leveldbstore.h"
#include "plugin/engines/sitedata/protowire.h"
#include "plugin/engines/sitedata/siteorigins.h"

#include <cstdint>
#include <optional>

namespace {

void Append(std::vector<std::string>& to, const std::vector<std::string>& keys)
{
    to.insert(to.end(), keys.begin(), keys.end());
}

// A stored number as the store's reader takes it: "007" names map 7.
std::string WithoutLeadingZeros(const std::string& number)
{
    const size_t first = number.find_first_not_of('0');
    return first == std::string::npos ? "0" : number.substr(first);
}

// What the service worker database holds of one registration.
struct Registration {
    std::vector<std::string> keys;    // its REG and REGID_TO_ORIGIN keys
    std::set<std::string> hosts;      // the sites its records name
    bool namesOtherThanSite = false;  // a record names an origin that is no web site's
    std::set<std::string> versions;   // of its REG record
};

// The registration's site, when its records name exactly one; else empty.
std::string OwnerOf(const Registration& registration)
{
    if (registration.namesOtherThanSite || registration.hosts.size() != 1) return std::string();
    return *registration.hosts.begin();
}

}  // namespace

SiteKeys SessionStorageSiteKeys(CLevelDbStore& store, const SiteKeeper& keeps)
{
    struct Area {
        std::string key;
        std::string host;  // empty: an origin that is no web site's
        std::string map;
    };
    std::vector<Area> areas;
    std::map<std::string, std::vector<std::string>> mapKeys;  // by map id
    const size_t areaPrefixLength = std::string("namespace-").size() + 36 + 1;
    store.ForEachEntry([&](const std::string& key, const std::string& value) {
        const std::string map = MapIdOfSessionStorageKey(key);
        if (!map.empty()) {
            mapKeys[WithoutLeadingZeros(map)].push_back(key);
            return;
        }
        // Older stores keep empty "namespace-" and "namespace-<id>-" keys as markers.
        if (key.compare(0, 10, "namespace-") != 0 || key.size() <= areaPrefixLength) return;
        if (!IsStoredNumber(value)) {
            throw CError(StrFormat("The Session Storage store %s is damaged: an area names no map (%s); it was not changed",
                                   store.Name().c_str(), value.substr(0, 40).c_str()));
        }
        areas.push_back({key, HostOfSessionStorageArea(key), WithoutLeadingZeros(value)});
    });

    SiteKeys keys;
    std::map<std::string, std::set<std::string>> mapUsers;  // by map id: the hosts of its areas
    std::set<std::string> sparedMaps;                        // shared with a kept site or one of no telling
    for (const Area& area : areas) {
        if (area.host.empty()) {
            sparedMaps.insert(area.map);
        } else if (keeps(area.host)) {
            keys.kept.insert(area.host);
            sparedMaps.insert(area.map);
        } else {
            keys.gone[area.host].push_back(area.key);
            mapUsers[area.map].insert(area.host);
        }
    }
    for (const auto& [map, hosts] : mapUsers) {
        // A map of several gone sites is counted as the first one's.
        if (sparedMaps.count(map) == 0) Append(keys.gone[*hosts.begin()], mapKeys[map]);
    }
    return keys;
}

SiteKeys ServiceWorkerSiteKeys(CLevelDbStore& store, const SiteKeeper& keeps)
{
    using Kind = ServiceWorkerKey::Kind;
    std::map<std::string, Registration> registrations;                // by registration id, as a number
    std::map<std::string, std::vector<std::string>> userDataKeys;     // by registration id
    std::map<std::string, std::vector<std::string>> resourceKeys;     // by version id
    std::map<std::string, std::vector<std::string>> uniqueOriginKeys;  // by host
    store.ForEachEntry([&](const std::string& key, const std::string& value) {
        const ServiceWorkerKey parsed = ParseServiceWorkerKey(key);
        switch (parsed.kind) {
        case Kind::Registration: {
            // "05" and "5" are one registration to the browser, which reads ids as numbers.
            Registration& registration = registrations[WithoutLeadingZeros(parsed.id)];
            registration.keys.push_back(key);
            if (parsed.host.empty()) {
                registration.namesOtherThanSite = true;
            } else {
                registration.hosts.insert(parsed.host);
            }
            // ServiceWorkerRegistrationData: the registration id is field 1, its version field 4.
            const std::optional<std::uint64_t> id = ProtoVarintField(value, 1);
            const std::optional<std::uint64_t> version = ProtoVarintField(value, 4);
            if (!id || !version || std::to_string(*id) != WithoutLeadingZeros(parsed.id)) {
                throw CError(StrFormat("The service worker store %s is damaged: registration %s cannot be read; "
                                       "it was not changed",
                                       store.Name().c_str(), parsed.id.c_str()));
            }
            registration.versions.insert(std::to_string(*version));
            break;
        }
        case Kind::RegistrationOrigin: {
            Registration& registration = registrations[WithoutLeadingZeros(parsed.id)];
            registration.keys.push_back(key);
            const std::string host = HostOfStorageKey(value);
            if (host.empty()) {
                registration.namesOtherThanSite = true;
            } else {
                registration.hosts.insert(host);
            }
            break;
        }
        case Kind::UserData:
        case Kind::HasUserData:
            userDataKeys[WithoutLeadingZeros(parsed.id)].push_back(key);
            break;
        case Kind::Resource:
            resourceKeys[WithoutLeadingZeros(parsed.id)].push_back(key);
            break;
        case Kind::UniqueOrigin:
            if (!parsed.host.empty()) uniqueOriginKeys[parsed.host].push_back(key);
            break;
        case Kind::Store:
            break;
        }
    });

    SiteKeys keys;
    std::set<std::string> staying;          // hosts with a registration that stays
    std::set<std::string> stayingVersions;  // versions of registrations that stay
    std::vector<std::pair<std::string, std::string>> gone;  // registration id, host
    for (const auto& [id, registration] : registrations) {
        const std::string owner = OwnerOf(registration);
        if (!owner.empty() && !keeps(owner)) {
            gone.emplace_back(id, owner);
            continue;
        }
        // Kept, or of no telling: it stays with all it names.
        for (const std::string& host : registration.hosts) {
            if (keeps(host)) keys.kept.insert(host);
            staying.insert(host);
        }
        stayingVersions.insert(registration.versions.begin(), registration.versions.end());
    }
    for (const auto& [id, host] : gone) {
        const Registration& registration = registrations[id];
        std::vector<std::string>& siteKeys = keys.gone[host];
        Append(siteKeys, registration.keys);
        Append(siteKeys, userDataKeys[id]);
        for (const std::string& version : registration.versions) {
            if (stayingVersions.count(version) == 0) Append(siteKeys, resourceKeys[version]);
        }
    }
    // A script is one resource's: while any record left names its id (in
    // whatever spelling), the cache entry is that record's too and stays.
    std::set<std::string> goneKeys;
    for (const auto& site : keys.gone) goneKeys.insert(site.second.begin(), site.second.end());
    std::set<std::string> stayingResources;
    for (const auto& [version, records] : resourceKeys) {
        for (const std::string& key : records) {
            if (goneKeys.count(key) == 0) stayingResources.insert(WithoutLeadingZeros(ParseServiceWorkerKey(key).resource));
        }
    }
    for (const std::string& key : goneKeys) {
        const std::string resource = ParseServiceWorkerKey(key).resource;
        if (!resource.empty() && stayingResources.count(WithoutLeadingZeros(resource)) == 0) {
            keys.goneResources.insert(resource);
        }
    }
    for (const auto& [host, originKeys] : uniqueOriginKeys) {
        if (keeps(host)) {
            keys.kept.insert(host);
        } else if (staying.count(host) == 0) {
            // The list of origins with workers: a site none of whose registrations stay leaves it.
            Append(keys.gone[host], originKeys);
        }
    }
    return keys;
}

std::vector<FileSystemSite> FileSystemSites(CLevelDbStore& store)
{
    std::vector<FileSystemSite> sites;
    std::set<std::string> folders;
    store.ForEachEntry([&](const std::string& key, const std::string& value) {
        if (key.compare(0, 7, "ORIGIN:") != 0) return;  // "LAST_PATH"
        // A folder is one origin's: one that two records name could be a kept site's too.
        if (!IsFileSystemFolderName(value) || !folders.insert(value).second) {
            throw CError(StrFormat("The File System store %s is damaged: %s names a folder that is not its own "
                                   "plain number; it was not changed",
                                   store.Name().c_str(), key.substr(0, 80).c_str()));
        }
        const std::string host = HostOfFileSystemOriginKey(key);
        if (!host.empty()) sites.push_back({key, host, value});
    });
    return sites;
}
