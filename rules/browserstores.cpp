#include "rules/browserstores.h"

#include "rules/wildcardoverlap.h"

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

// In a Chromium profile folder ("Default", "Profile 1", Opera's "Opera Stable").
const StoreName kChromiumProfileStores[] = {
    {"Cookies", kSiteData}, {"Cookies-journal", kSiteData}, {"Network", kSiteData}, {"Local Storage", kSiteData},
    {"Session Storage", kSiteData}, {"IndexedDB", kSiteData}, {"databases", kSiteData}, {"File System", kSiteData},
    {"Service Worker", kSiteData}, {"Storage", kSiteData}, {"Login Data", kPasswords},
    {"Login Data-journal", kPasswords}, {"Login Data For Account", kPasswords},
    {"Login Data For Account-journal", kPasswords}, {"Web Data", kPasswords}, {"Web Data-journal", kPasswords},
    {"Local State", kKeys}, {"Preferences", kKeys}, {"Secure Preferences", kKeys}, {"Bookmarks", kBookmarks},
    {"Bookmarks.bak", kBookmarks}, {"Sync Data", kSync}, {"Extensions", kExtensions},
    {"Local Extension Settings", kExtensions}, {"Sync Extension Settings", kExtensions},
    {"Managed Extension Settings", kExtensions}, {"Extension State", kExtensions}, {"Extension Rules", kExtensions},
    {"Extension Scripts", kExtensions},
};

// In a Gecko profile folder ("xxxxxxxx.default-release").
const StoreName kGeckoProfileStores[] = {
    {"cookies.sqlite", kSiteData}, {"cookies.sqlite-wal", kSiteData}, {"cookies.sqlite-shm", kSiteData},
    {"webappsstore.sqlite", kSiteData}, {"webappsstore.sqlite-wal", kSiteData}, {"storage", kSiteData},
    {"storage.sqlite", kSiteData}, {"permissions.sqlite", kSiteData}, {"logins.json", kPasswords},
    {"logins-backup.json", kPasswords}, {"key3.db", kPasswords}, {"key4.db", kPasswords},
    {"signons.sqlite", kPasswords}, {"signons3.txt", kPasswords}, {"cert9.db", kKeys}, {"prefs.js", kKeys},
    {"user.js", kKeys}, {"places.sqlite", kBookmarks}, {"places.sqlite-wal", kBookmarks},
    {"bookmarkbackups", kBookmarks}, {"weave", kSync}, {"extensions", kExtensions},
    {"extensions.json", kExtensions}, {"extension-settings.json", kExtensions},
    {"extension-preferences.json", kExtensions}, {"browser-extension-data", kExtensions},
};

// Names no other program's data goes by, refused wherever a rule names them.
const StoreName kStoresAnywhere[] = {
    {"Cookies", kSiteData}, {"INetCookies", kSiteData}, {"Local Storage", kSiteData}, {"IndexedDB", kSiteData},
    {"cookies.sqlite", kSiteData}, {"webappsstore.sqlite", kSiteData}, {"Login Data", kPasswords},
    {"logins.json", kPasswords}, {"key3.db", kPasswords}, {"key4.db", kPasswords}, {"signons.sqlite", kPasswords},
    {"Local State", kKeys}, {"Secure Preferences", kKeys}, {"prefs.js", kKeys}, {"Bookmarks", kBookmarks},
    {"places.sqlite", kBookmarks}, {"Sync Data", kSync},
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

struct ProfileFolder {
    PathParts parts;
    bool gecko = false;
};

PathParts Under(const std::string& base, std::initializer_list<const char*> parts)
{
    PathParts path = SplitPathParts(base);
    for (const char* part : parts) path.push_back(part);
    return path;
}

// The browsers' profile folders as patterns, wherever a browser of either
// kind keeps them: "User Data\<profile>" and "Profiles\<profile>".
std::vector<ProfileFolder> ProfileFolders(const KnownFolders& folders)
{
    std::vector<ProfileFolder> profiles;
    for (const std::string* base : {&folders.localAppData, &folders.appData}) {
        if (base->empty()) continue;
        profiles.push_back({Under(*base, {"*", "User Data", "*"}), false});
        profiles.push_back({Under(*base, {"*", "*", "User Data", "*"}), false});
    }
    if (!folders.appData.empty()) {
        profiles.push_back({Under(folders.appData, {"Opera Software", "*"}), false});
        profiles.push_back({Under(folders.appData, {"*", "Profiles", "*"}), true});
        profiles.push_back({Under(folders.appData, {"*", "*", "Profiles", "*"}), true});
    }
    return profiles;
}

std::string Refusal(const StoreName& store)
{
    return std::string("it would reach ") + store.what + " (" + store.pattern + ")";
}

template <size_t N>
std::string RefusalInProfile(const PathParts& folder, bool recurse, const std::vector<std::string>& masks,
                             const PathParts& profile, const StoreName (&stores)[N])
{
    PathParts storePath = profile;
    storePath.emplace_back();
    for (const StoreName& store : stores) {
        storePath.back() = store.pattern;
        // The store itself or a folder inside it, or a clean that recurses
        // into it from the "User Data" level down: above that level the
        // pattern's wildcards stand for any folder at all (the browsers'
        // homes below are checked instead).
        if (folder.size() + 1 >= profile.size() && CouldReachFolder(folder, recurse, storePath)) return Refusal(store);
        // A file store among the profile's own files.
        if (folder.size() == profile.size() && LeadingPartsOverlap(folder, profile, profile.size())) {
            for (const std::string& mask : masks) {
                if (WildcardsOverlap(mask, store.pattern)) return Refusal(store);
            }
        }
    }
    return {};
}

}  // namespace

std::string BrowserStoreRefusal(const PathParts& folder, bool recurse, const std::vector<std::string>& masks,
                                const KnownFolders& folders)
{
    for (const StoreName& store : kStoresAnywhere) {
        for (const std::string& part : folder) {
            if (!HasWildcardCharacter(part) && WildcardsOverlap(part, store.pattern)) return Refusal(store);
        }
        for (const std::string& mask : masks) {
            if (!HasWildcardCharacter(mask) && WildcardsOverlap(mask, store.pattern)) return Refusal(store);
        }
    }
    if (recurse) {
        const std::pair<const std::string*, std::vector<const char*>> homes[] = {
            {&folders.localAppData, {std::begin(kLocalAppDataHomes), std::end(kLocalAppDataHomes)}},
            {&folders.appData, {std::begin(kAppDataHomes), std::end(kAppDataHomes)}},
        };
        for (const auto& base : homes) {
            if (base.first->empty()) continue;
            for (const char* home : base.second) {
                PathParts homePath = SplitPathParts(*base.first);
                for (const std::string& part : SplitPathParts(home)) homePath.push_back(part);
                if (folder.size() < homePath.size() && LeadingPartsOverlap(folder, homePath, folder.size())) {
                    return std::string("it would reach a browser's profiles (") + home + ")";
                }
            }
        }
    }
    for (const ProfileFolder& profile : ProfileFolders(folders)) {
        const std::string reason = profile.gecko ? RefusalInProfile(folder, recurse, masks, profile.parts, kGeckoProfileStores)
                                                 : RefusalInProfile(folder, recurse, masks, profile.parts, kChromiumProfileStores);
        if (!reason.empty()) return reason;
    }
    // Local State lies beside the profiles, in "User Data" itself.
    for (const ProfileFolder& profile : ProfileFolders(folders)) {
        if (profile.gecko) continue;
        PathParts userData(profile.parts.begin(), profile.parts.end() - 1);
        const StoreName localState = {"Local State", kKeys};
        if (folder.size() == userData.size() && LeadingPartsOverlap(folder, userData, userData.size())) {
            for (const std::string& mask : masks) {
                if (WildcardsOverlap(mask, localState.pattern)) return Refusal(localState);
            }
        }
    }
    return {};
}
