#include "rules/browserstores.h"

#include "common/sitedataplaces.h"
#include "common/strparse.h"
#include "rules/pertable.h"
#include "rules/wildcardoverlap.h"

#include <algorithm>
#include <iterator>
#include <unordered_map>

namespace {

struct StoreName {
    const char* pattern;  // the name, compared without regard to case
    const char* what;
};

const char kSiteData[] = "a browser's cookies or site data";
const char kPasswords[] = "a browser's saved passwords";
const char kKeys[] = "a browser's keys and settings";
const char kBookmarks[] = "a browser's bookmarks";
const char kSync[] = "a browser's sync data";
const char kExtensions[] = "a browser's extensions and their data";

const char kAutofill[] = "a browser's saved addresses and cards";

// In a Chromium profile folder ("Default", "Profile 1", Opera's "Opera
// Stable"), beside the places where the program cleans sites' data
// (common/sitedataplaces.h), which SiteDataStores adds.
const StoreName kChromiumProfileStores[] = {
    {"databases", kSiteData}, {"Storage", kSiteData}, {"Extension Cookies", kSiteData},
    {"Extension Cookies-journal", kSiteData}, {"Login Data", kPasswords},
    {"Login Data-journal", kPasswords}, {"Login Data For Account", kPasswords},
    {"Login Data For Account-journal", kPasswords}, {"Web Data", kPasswords}, {"Web Data-journal", kPasswords},
    {"Account Web Data", kAutofill}, {"Account Web Data-journal", kAutofill},
    {"Local State", kKeys}, {"Preferences", kKeys}, {"Secure Preferences", kKeys}, {"Bookmarks", kBookmarks},
    {"Bookmarks.bak", kBookmarks}, {"Sync Data", kSync}, {"Extensions", kExtensions},
    {"Local Extension Settings", kExtensions}, {"Sync Extension Settings", kExtensions},
    {"Managed Extension Settings", kExtensions}, {"Extension State", kExtensions}, {"Extension Rules", kExtensions},
    {"Extension Scripts", kExtensions},
};

// In a Gecko profile folder ("xxxxxxxx.default-release"), likewise.
const StoreName kGeckoProfileStores[] = {
    {"storage.sqlite", kSiteData}, {"permissions.sqlite", kSiteData}, {"logins.json", kPasswords},
    {"logins-backup.json", kPasswords}, {"key3.db", kPasswords}, {"key4.db", kPasswords},
    {"signons.sqlite", kPasswords}, {"signons3.txt", kPasswords}, {"autofill-profiles.json", kAutofill},
    {"cert9.db", kKeys}, {"prefs.js", kKeys}, {"user.js", kKeys}, {"places.sqlite", kBookmarks},
    {"places.sqlite-wal", kBookmarks}, {"bookmarkbackups", kBookmarks}, {"weave", kSync}, {"extensions", kExtensions},
    {"extensions.json", kExtensions}, {"extension-settings.json", kExtensions},
    {"extension-preferences.json", kExtensions}, {"browser-extension-data", kExtensions},
    {"storage-sync-v2.sqlite", kExtensions}, {"storage-sync-v2.sqlite-wal", kExtensions},
};

// Names no other program's data goes by, refused wherever a rule names them.
const StoreName kStoresAnywhere[] = {
    {"Cookies", kSiteData}, {"INetCookies", kSiteData}, {"Local Storage", kSiteData}, {"IndexedDB", kSiteData},
    {"cookies.sqlite", kSiteData}, {"webappsstore.sqlite", kSiteData}, {"Login Data", kPasswords},
    {"logins.json", kPasswords}, {"key3.db", kPasswords}, {"key4.db", kPasswords}, {"signons.sqlite", kPasswords},
    {"Local State", kKeys}, {"Secure Preferences", kKeys}, {"prefs.js", kKeys}, {"Bookmarks", kBookmarks},
    {"places.sqlite", kBookmarks}, {"Sync Data", kSync}, {"Extension Cookies", kSiteData},
    {"Account Web Data", kAutofill}, {"serviceworker.txt", kSiteData}, {"favicons.sqlite", kSiteData},
    {"autofill-profiles.json", kAutofill}, {"storage-sync-v2.sqlite", kExtensions},
};

// Where the browsers keep their profiles, for a recursive clean that
// starts above them.
const char* const kLocalAppDataHomes[] = {
    "Google\\Chrome*\\User Data", "Microsoft\\Edge*\\User Data", "BraveSoftware\\Brave-Browser*\\User Data",
    "Vivaldi\\User Data", "Chromium\\User Data", "Yandex\\YandexBrowser\\User Data",
};
const char* const kAppDataHomes[] = {
    "Opera Software", "Mozilla\\Firefox\\Profiles", "Thunderbird\\Profiles", "Waterfox\\Profiles",
    "Mozilla\\SeaMonkey\\Profiles", "librewolf\\Profiles", "Moonchild Productions\\Pale Moon\\Profiles",
};

// A store's name as a string, so that each comparison does not make one.
struct Store {
    std::string pattern;
    const char* what;
};

template <size_t N>
std::vector<Store> Stores(const StoreName (&names)[N])
{
    std::vector<Store> stores;
    for (const StoreName& name : names) stores.push_back({name.pattern, name.what});
    return stores;
}

bool HasStore(const std::vector<Store>& stores, const std::string& name)
{
    return std::any_of(stores.begin(), stores.end(),
                       [&](const Store& store) { return ToLowerAscii(store.pattern) == ToLowerAscii(name); });
}

// Where the program cleans sites' data itself, as what a profile's folder
// holds: each file with the side files SQLite keeps beside it (a database
// left without its journal is damaged), then the first folder of each
// deeper place. Files first, so that a mask of every name is refused for
// the cookies, as the reasons always named them.
std::vector<Store> SiteDataStores(const std::vector<std::string>& places)
{
    std::vector<Store> stores;
    for (const std::string& place : places) {
        if (SplitPathParts(place).size() != 1) continue;
        for (const char* side : {"", "-journal", "-wal", "-shm"}) stores.push_back({place + side, kSiteData});
    }
    for (const std::string& place : places) {
        const PathParts parts = SplitPathParts(place);
        if (parts.size() > 1 && !HasStore(stores, parts[0])) stores.push_back({parts[0], kSiteData});
    }
    return stores;
}

template <size_t N>
std::vector<Store> ProfileStores(const std::vector<std::string>& sitePlaces, const StoreName (&others)[N])
{
    std::vector<Store> stores = SiteDataStores(sitePlaces);
    for (const Store& other : Stores(others))
        if (!HasStore(stores, other.pattern)) stores.push_back(other);
    return stores;
}

const std::vector<Store>& ChromiumProfileStores()
{
    static const std::vector<Store> stores = ProfileStores(ChromiumSiteDataPlaces(), kChromiumProfileStores);
    return stores;
}

const std::vector<Store>& GeckoProfileStores()
{
    static const std::vector<Store> stores = ProfileStores(FirefoxSiteDataPlaces(), kGeckoProfileStores);
    return stores;
}

// The stores refused anywhere, by their name in lower case; the lowest
// index wins, as the table's order gives the reason.
const std::unordered_map<std::string, size_t>& StoresAnywhereByName()
{
    static const std::unordered_map<std::string, size_t> byName = [] {
        std::unordered_map<std::string, size_t> names;
        for (size_t i = 0; i < std::size(kStoresAnywhere); ++i) names.emplace(ToLowerAscii(kStoresAnywhere[i].pattern), i);
        return names;
    }();
    return byName;
}

struct BrowserHome {
    const char* name;  // as the refusal gives it
    PathParts parts;
};

struct ProfileFolder {
    PathParts parts;
    PathParts userData;  // the folder holding the profiles (Chromium's "User Data")
    bool gecko = false;
};

// What of the known folders the browsers' checks compare, split into parts.
struct BrowserFolders {
    std::vector<BrowserHome> homes;
    std::vector<ProfileFolder> profiles;
};

PathParts Under(const std::string& base, std::initializer_list<const char*> parts)
{
    PathParts path = SplitPathParts(base);
    for (const char* part : parts) path.push_back(part);
    return path;
}

ProfileFolder Profile(PathParts parts, bool gecko)
{
    PathParts userData(parts.begin(), parts.end() - 1);
    return {std::move(parts), std::move(userData), gecko};
}

BrowserFolders MakeBrowserFolders(const KnownFolders& folders)
{
    BrowserFolders made;
    // Where the browsers keep their profiles, for a recursive clean that starts above them.
    const std::pair<const std::string*, std::vector<const char*>> homes[] = {
        {&folders.localAppData, {std::begin(kLocalAppDataHomes), std::end(kLocalAppDataHomes)}},
        {&folders.appData, {std::begin(kAppDataHomes), std::end(kAppDataHomes)}},
    };
    for (const auto& base : homes) {
        if (base.first->empty()) continue;
        for (const char* home : base.second) {
            PathParts homePath = SplitPathParts(*base.first);
            for (const std::string& part : SplitPathParts(home)) homePath.push_back(part);
            made.homes.push_back({home, std::move(homePath)});
        }
    }
    // The browsers' profile folders as patterns, wherever a browser of either
    // kind keeps them: "User Data\<profile>" and "Profiles\<profile>".
    for (const std::string* base : {&folders.localAppData, &folders.appData}) {
        if (base->empty()) continue;
        made.profiles.push_back(Profile(Under(*base, {"*", "User Data", "*"}), false));
        made.profiles.push_back(Profile(Under(*base, {"*", "*", "User Data", "*"}), false));
    }
    if (!folders.appData.empty()) {
        made.profiles.push_back(Profile(Under(folders.appData, {"Opera Software", "*"}), false));
        made.profiles.push_back(Profile(Under(folders.appData, {"*", "Profiles", "*"}), true));
        made.profiles.push_back(Profile(Under(folders.appData, {"*", "*", "Profiles", "*"}), true));
    }
    return made;
}

// Made once per table of known folders, not once per path judged: a rules
// file judges thousands of paths with one table.
const BrowserFolders& BrowserFoldersOf(const KnownFolders& folders)
{
    return MadeForTable<BrowserFolders, MakeBrowserFolders>(folders);
}

std::string Refusal(const char* pattern, const char* what)
{
    return std::string("it would reach ") + what + " (" + pattern + ")";
}

std::string Refusal(const Store& store)
{
    return Refusal(store.pattern.c_str(), store.what);
}

std::string RefusalInProfile(const PathParts& folder, bool recurse, const std::vector<std::string>& masks,
                             const PathParts& profile, const std::vector<Store>& stores)
{
    // Above the "User Data" level the profile's wildcards stand for any
    // folder at all (the browsers' homes are checked instead).
    const size_t depth = profile.size();
    if (folder.size() + 1 < depth) return {};
    // The profile's own parts are the same for every store: compared once.
    if (!LeadingPartsOverlap(folder, profile, std::min(folder.size(), depth))) return {};
    for (const Store& store : stores) {
        // The store itself or a folder inside it, or a clean that recurses
        // into it from the "User Data" level down.
        if (folder.size() > depth ? WildcardsOverlap(folder[depth], store.pattern) : recurse) return Refusal(store);
        // A file store among the profile's own files.
        if (folder.size() == depth) {
            for (const std::string& mask : masks) {
                if (WildcardsOverlap(mask, store.pattern)) return Refusal(store);
            }
        }
    }
    return {};
}

// The first of the stores refused anywhere that a part or mask without
// wildcards names, or null.
const StoreName* StoreNamedAnywhere(const PathParts& folder, const std::vector<std::string>& masks)
{
    const auto& byName = StoresAnywhereByName();
    size_t first = std::size(kStoresAnywhere);
    for (const std::vector<std::string>* names : {&folder, &masks}) {
        for (const std::string& name : *names) {
            if (HasWildcardCharacter(name)) continue;
            const auto found = byName.find(ToLowerAscii(name));
            if (found != byName.end()) first = std::min(first, found->second);
        }
    }
    return first < std::size(kStoresAnywhere) ? &kStoresAnywhere[first] : nullptr;
}

}  // namespace

std::string BrowserStoreRefusal(const PathParts& folder, bool recurse, const std::vector<std::string>& masks,
                                const KnownFolders& folders)
{
    if (const StoreName* store = StoreNamedAnywhere(folder, masks)) return Refusal(store->pattern, store->what);
    const BrowserFolders& browsers = BrowserFoldersOf(folders);
    if (recurse) {
        for (const BrowserHome& home : browsers.homes) {
            if (folder.size() < home.parts.size() && LeadingPartsOverlap(folder, home.parts, folder.size())) {
                return std::string("it would reach a browser's profiles (") + home.name + ")";
            }
        }
    }
    for (const ProfileFolder& profile : browsers.profiles) {
        const std::string reason = RefusalInProfile(folder, recurse, masks, profile.parts,
                                                    profile.gecko ? GeckoProfileStores() : ChromiumProfileStores());
        if (!reason.empty()) return reason;
    }
    // Local State lies beside the profiles, in "User Data" itself.
    for (const ProfileFolder& profile : browsers.profiles) {
        if (profile.gecko) continue;
        static const std::string localState = "Local State";
        if (folder.size() == profile.userData.size() &&
            LeadingPartsOverlap(folder, profile.userData, profile.userData.size())) {
            for (const std::string& mask : masks) {
                if (WildcardsOverlap(mask, localState)) return Refusal(localState.c_str(), kKeys);
            }
        }
    }
    return {};
}
