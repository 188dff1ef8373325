#include "rules/systemareas.h"

#include "common/strparse.h"
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
};

// The system's own folders: its registry hives, drivers, components and
// installers. A rule may clean a log folder beside them, never inside.
const char* const kSystemFolders[] = {
    "System32\\config", "System32\\drivers", "System32\\DriverStore", "System32\\catroot", "System32\\catroot2",
    "SysWOW64\\config", "WinSxS", "Installer", "assembly", "servicing", "Boot",
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

// A folder below the profiles' folder that is neither the user's own
// profile nor the Public one (nor could match only those).
std::string OtherProfileRefusal(const PathParts& folder, bool recurse, const KnownFolders& folders)
{
    PathParts profiles = SplitPathParts(folders.userProfile);
    // A profile right below a drive's root has no profiles' folder to tell others by.
    if (profiles.size() < 3) return {};
    const std::string own = profiles.back();
    profiles.pop_back();
    if (folder.size() <= profiles.size()) {
        // The profiles' folder itself, or a folder above it, cleaned at every depth.
        if (recurse && LeadingPartsOverlap(folder, profiles, folder.size()))
            return "it would reach other users' profiles (" + JoinPathParts(folder) + ")";
        return {};
    }
    if (!LeadingPartsOverlap(folder, profiles, profiles.size())) return {};
    const std::string& name = folder[profiles.size()];
    const PathParts publicParts = SplitPathParts(folders.publicProfile);
    const bool isPublic = !publicParts.empty() && SameName(name, publicParts.back());
    if (!HasWildcardCharacter(name) && (SameName(name, own) || isPublic)) return {};
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
template <size_t N>
std::string ReachedFolder(const KeysFolder (&list)[N], const PathParts& folder, bool recurse, const KnownFolders& folders)
{
    for (const KeysFolder& entry : list) {
        if ((folders.*entry.base).empty()) continue;
        const PathParts target = Joined(folders.*entry.base, entry.below);
        if (CouldReachFolder(folder, recurse, target)) return JoinPathParts(target);
    }
    return {};
}

}  // namespace

std::string SystemAreaRefusal(const PathParts& folder, const RuleFileKey& fileKey, const KnownFolders& folders)
{
    const std::string other = OtherProfileRefusal(folder, fileKey.recurse, folders);
    if (!other.empty()) return other;
    const std::string keys = ReachedFolder(kKeysFolders, folder, fileKey.recurse, folders);
    if (!keys.empty()) return "it would reach the keys that protect saved passwords and certificates (" + keys + ")";
    const std::string store = ReachedFolder(kBrowserFolders, folder, fileKey.recurse, folders);
    if (!store.empty()) return "it would reach a browser's cookies or site data (" + store + ")";
    if (!folders.windows.empty()) {
        for (const char* below : kSystemFolders) {
            const PathParts target = Joined(folders.windows, below);
            if (CouldReachFolder(folder, fileKey.recurse, target))
                return "it would delete the system's own files (" + JoinPathParts(target) + ")";
        }
    }
    for (const HiveFiles& hive : kHiveFiles) {
        if ((folders.*hive.base).empty()) continue;
        const PathParts target = Joined(folders.*hive.base, hive.below);
        if (IsOrHolds(folder, fileKey.recurse, target) && AnyMaskOverlaps(fileKey.masks, hive.names))
            return "it would delete the registry's own files (" + JoinPathParts(target) + "\\" + hive.shown + ")";
    }
    return {};
}
