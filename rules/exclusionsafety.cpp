#include "rules/exclusionsafety.h"

#include "common/strparse.h"
#include "rules/enginereadings.h"
#include "rules/rulepath.h"

namespace {

// The roots whose keys the rules entry job cleans (HKU: the default
// profile and the user's own), so whose keys an exclusion can keep.
const char* const kCleanedRoots[] = {"hkcu", "hkey_current_user", "hklm", "hkey_local_machine", "hku", "hkey_users"};

std::string RegistryExcludeRefusal(const RuleExclude& exclude)
{
    const PathParts parts = SplitPathParts(exclude.path);
    const std::string root = parts.empty() ? std::string() : ToLowerAscii(parts.front());
    bool cleaned = false;
    for (const char* known : kCleanedRoots) cleaned = cleaned || root == known;
    if (!cleaned) return "it names a key under a root the rules do not clean, so it would keep nothing (" + exclude.path + ")";
    if (exclude.path.find('/') != std::string::npos)
        return "it holds \"/\", which the registry reads as part of a key's name, so it would keep nothing (" +
               exclude.path + ")";
    std::string text = exclude.path;
    for (const std::string& value : exclude.masks) text += "|" + value;
    if (!FoldsToAscii(text).empty())
        return "it holds " + FoldsToAscii(text) + ", which Windows reads as an ASCII letter, so it would keep nothing (" +
               exclude.path + ")";
    for (const std::string& part : parts) {
        if (part == "." || part == "..") return "it climbs with \"" + part + "\", so it would keep nothing (" + exclude.path + ")";
    }
    return {};
}

}  // namespace

std::string ExcludeKeyRefusal(const RuleExclude& exclude, const KnownFolders& folders)
{
    if (exclude.kind == RuleExcludeKind::Registry) return RegistryExcludeRefusal(exclude);
    const std::vector<std::string> paths = ExpandRuleVariables(exclude.path, folders);
    if (paths.empty()) return "it names a folder this system does not have, so it would keep nothing (" + exclude.path + ")";
    for (const std::string& path : paths) {
        if (IsNetworkPath(path) || !IsFullLocalPath(path))
            return "it names no full local path, so it would keep nothing (" + path + ")";
        const PathParts parts = SplitPathParts(path);
        for (size_t i = 1; i < parts.size(); ++i) {
            if (parts[i] == "." || parts[i] == "..")
                return "it climbs with \"" + parts[i] + "\", so it would keep nothing (" + path + ")";
            if (IsAliasPart(parts[i]))
                return "it names a folder by a form Windows reads as another name, so it would keep nothing (" +
                       parts[i] + ")";
        }
    }
    return {};
}

std::string DetectFileRefusal(const std::string& path, const KnownFolders& folders)
{
    for (const std::string& expanded : ExpandRuleVariables(path, folders)) {
        if (IsNetworkPath(expanded)) return "it names a network path (" + expanded + ")";
        if (!IsFullLocalPath(expanded)) return "it names a path that is not a full path (" + expanded + ")";
    }
    return {};
}
