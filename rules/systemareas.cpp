#include "rules/systemareas.h"

#include "common/strparse.h"
#include "rules/pertable.h"
#include "rules/wildcardoverlap.h"

#include <vector>

namespace {

// Folders whose loss cannot be undone by the user: the keys that decrypt
// saved passwords and cookies (DPAPI), stored credentials and certificates.
struct KeysFolder {
    std::string KnownFolders::*base;
    const char* below;
};
const KeysFolder kKeysFolders[] = {
    {&KnownFolders::appData, "Microsoft\\Protect"},
    {&KnownFolders::appData, "Microsoft\\Credentials"},
    {&KnownFolders::localAppData, "Microsoft\\Credentials"},
    {&KnownFolders::appData, "Microsoft\\Crypto"},
    {&KnownFolders::appData, "Microsoft\\SystemCertificates"},
    {&KnownFolders::appData, "Microsoft\\Vault"},
    {&KnownFolders::localAppData, "Microsoft\\Vault"},
    {&KnownFolders::programData, "Microsoft\\Crypto"},
    {&KnownFolders::programData, "Microsoft\\Vault"},
    // The computer's own master keys, and the service accounts'.
    {&KnownFolders::windows, "System32\\Microsoft\\Protect"},
    {&KnownFolders::windows, "ServiceProfiles\\*\\AppData\\Roaming\\Microsoft\\Protect"},
};

// The system's own folders: its registry hives, drivers, components and
// installers. A rule may clean a log folder beside them, never inside.
const char* const kSystemFolders[] = {
    "System32\\config", "System32\\drivers", "System32\\DriverStore", "System32\\catroot", "System32\\catroot2",
    "SysWOW64\\config", "WinSxS", "Installer", "assembly", "servicing", "Boot",
    // Fonts, scheduled tasks, policies, the management and code integrity
    // stores, the security database, the system's own applications.
    "Fonts", "System32\\Tasks", "SysWOW64\\Tasks", "System32\\GroupPolicy", "System32\\GroupPolicyUsers",
    "System32\\wbem\\Repository", "System32\\CodeIntegrity", "System32\\Recovery", "SysWOW64\\drivers",
    "PolicyDefinitions", "SystemApps", "SystemResources", "security\\Database", "System32\\spp",
};

// Stores of the system's browser that its own items clean with the keep
// list: no rule may reach them, from inside or from above.
const KeysFolder kBrowserFolders[] = {
    {&KnownFolders::localAppData, "Microsoft\\Windows\\INetCookies"},
    {&KnownFolders::appData, "Microsoft\\Windows\\Cookies"},
    {&KnownFolders::localAppData, "Microsoft\\Windows\\WebCache"},
};

// The registry's files of the user's profile and of the classes hive, by
// the names the system gives them.
struct HiveFiles {
    std::string KnownFolders::*base;
    const char* below;  // the folder below base, empty for base itself
    const char* shown;
    std::vector<const char*> names;
};
const HiveFiles kHiveFiles[] = {
    {&KnownFolders::userProfile, "", "NTUSER.DAT",
     {"ntuser.dat", "ntuser.dat.log1", "ntuser.dat.log2", "ntuser.dat{*.blf", "ntuser.dat{*.regtrans-ms", "ntuser.ini", "ntuser.pol"}},
    {&KnownFolders::localAppData, "Microsoft\\Windows", "UsrClass.dat",
     {"usrclass.dat", "usrclass.dat.log1", "usrclass.dat.log2", "usrclass.dat{*.blf", "usrclass.dat{*.regtrans-ms"}},
};

PathParts Joined(const std::string& base, const char* below)
{
    PathParts parts = SplitPathParts(base);
    for (const std::string& part : SplitPathParts(below)) parts.push_back(part);
    return parts;
}

// The folder pattern could be the target, or with recurse could hold it.
bool IsOrHolds(const PathParts& folder, bool recurse, const PathParts& target)
{
    if (folder.size() == target.size()) return LeadingPartsOverlap(folder, target, target.size());
    return recurse && folder.size() < target.size() && LeadingPartsOverlap(folder, target, folder.size());
}

bool SameName(const std::string& a, const std::string& b) { return ToLowerAscii(a) == ToLowerAscii(b); }

// A folder to be kept whole, as parts and as the reasons name it.
struct Target {
    PathParts parts;
    std::string text;
};

struct HiveTarget {
    Target folder;
    const HiveFiles* files;
};

// The places these rules compare, made once per table of known folders:
// a rules file judges thousands of paths with one table.
struct AreaTargets {
    PathParts profiles;       // the profiles' folder; empty when it cannot be told
    std::string ownProfile;   // the user's profile's name in it
    std::string publicName;   // the Public profile's name, or empty
    std::vector<Target> keys, browser, system;
    std::vector<HiveTarget> hives;
};

Target MakeTarget(const std::string& base, const char* below)
{
    const PathParts parts = Joined(base, below);
    return {parts, JoinPathParts(parts)};
}

template <size_t N>
std::vector<Target> Targets(const KeysFolder (&list)[N], const KnownFolders& folders)
{
    std::vector<Target> made;
    for (const KeysFolder& entry : list)
        if (!(folders.*entry.base).empty()) made.push_back(MakeTarget(folders.*entry.base, entry.below));
    return made;
}

AreaTargets MakeAreaTargets(const KnownFolders& folders)
{
    AreaTargets made;
    PathParts profile = SplitPathParts(folders.userProfile);
    // A profile right below a drive's root has no profiles' folder to tell others by.
    if (profile.size() >= 3) {
        made.ownProfile = profile.back();
        profile.pop_back();
        made.profiles = profile;
        const PathParts publicParts = SplitPathParts(folders.publicProfile);
        if (!publicParts.empty()) made.publicName = publicParts.back();
    }
    made.keys = Targets(kKeysFolders, folders);
    made.browser = Targets(kBrowserFolders, folders);
    if (!folders.windows.empty())
        for (const char* below : kSystemFolders) made.system.push_back(MakeTarget(folders.windows, below));
    for (const HiveFiles& hive : kHiveFiles)
        if (!(folders.*hive.base).empty()) made.hives.push_back({MakeTarget(folders.*hive.base, hive.below), &hive});
    return made;
}

const AreaTargets& AreaTargetsOf(const KnownFolders& folders)
{
    return MadeForTable<AreaTargets, MakeAreaTargets>(folders);
}

// A folder below the profiles' folder that is neither the user's own
// profile nor the Public one (nor could match only those).
std::string OtherProfileRefusal(const PathParts& folder, bool recurse, const AreaTargets& targets)
{
    const PathParts& profiles = targets.profiles;
    if (profiles.empty()) return {};
    if (folder.size() <= profiles.size()) {
        // The profiles' folder itself, or a folder above it, cleaned at every depth.
        if (recurse && LeadingPartsOverlap(folder, profiles, folder.size()))
            return "it would reach other users' profiles (" + JoinPathParts(folder) + ")";
        return {};
    }
    if (!LeadingPartsOverlap(folder, profiles, profiles.size())) return {};
    const std::string& name = folder[profiles.size()];
    const bool isPublic = !targets.publicName.empty() && SameName(name, targets.publicName);
    if (!HasWildcardCharacter(name) && (SameName(name, targets.ownProfile) || isPublic)) return {};
    return "it would reach another user's profile (" + JoinPathParts(folder) + ")";
}

bool AnyMaskOverlaps(const std::vector<std::string>& masks, const std::vector<const char*>& names)
{
    for (const std::string& mask : masks)
        for (const char* name : names)
            if (WildcardsOverlap(mask, name)) return true;
    return false;
}

// The first of the folders the key could reach, as text; empty for none.
std::string ReachedFolder(const std::vector<Target>& targets, const PathParts& folder, bool recurse)
{
    for (const Target& target : targets)
        if (CouldReachFolder(folder, recurse, target.parts)) return target.text;
    return {};
}

}  // namespace

std::string SystemAreaRefusal(const PathParts& folder, const RuleFileKey& fileKey, const KnownFolders& folders)
{
    const AreaTargets& targets = AreaTargetsOf(folders);
    const std::string other = OtherProfileRefusal(folder, fileKey.recurse, targets);
    if (!other.empty()) return other;
    // The system's own folders first: a clean of System32 reaches its
    // config before the computer's keys below Microsoft\Protect.
    const std::string system = ReachedFolder(targets.system, folder, fileKey.recurse);
    if (!system.empty()) return "it would delete the system's own files (" + system + ")";
    const std::string keys = ReachedFolder(targets.keys, folder, fileKey.recurse);
    if (!keys.empty()) return "it would reach the keys that protect saved passwords and certificates (" + keys + ")";
    const std::string store = ReachedFolder(targets.browser, folder, fileKey.recurse);
    if (!store.empty()) return "it would reach a browser's cookies or site data (" + store + ")";
    for (const HiveTarget& hive : targets.hives) {
        if (IsOrHolds(folder, fileKey.recurse, hive.folder.parts) && AnyMaskOverlaps(fileKey.masks, hive.files->names))
            return "it would delete the registry's own files (" + hive.folder.text + "\\" + hive.files->shown + ")";
    }
    return {};
}
