#include "plugin/jobs/ruleexclusions.h"

#include "common/usersid.h"
#include "plugin/engines/files/treeentry.h"
#include "plugin/engines/files/wildcard.h"
#include "rules/rulepath.h"

#include <windows.h>

#include <algorithm>

namespace {

bool PartMatches(const std::string& pattern, const std::string& part)
{
    return MatchesWildcard(WideName(pattern), WideName(part));
}

bool AnyMatches(const std::vector<std::string>& masks, const std::string& name)
{
    for (const std::string& mask : masks)
        if (PartMatches(mask, name)) return true;
    return false;
}

// The path's first parts are the folder's, part by part (wildcards in the folder).
bool StartsWith(const std::vector<std::string>& path, const std::vector<std::string>& folder)
{
    if (path.size() < folder.size()) return false;
    for (size_t i = 0; i < folder.size(); ++i)
        if (!PartMatches(folder[i], path[i])) return false;
    return true;
}

bool SameText(const std::string& a, const std::string& b) { return ::lstrcmpiA(a.c_str(), b.c_str()) == 0; }

}  // namespace

std::string EngineRegistryKey(const std::string& ruleKey)
{
    const size_t slash = ruleKey.find('\\');
    const std::string root = ruleKey.substr(0, slash);
    const std::string rest = slash == std::string::npos ? std::string() : ruleKey.substr(slash);
    if (SameText(root, "HKCU") || SameText(root, "HKEY_CURRENT_USER")) return "HKCU" + rest;
    if (SameText(root, "HKLM") || SameText(root, "HKEY_LOCAL_MACHINE")) return "HKLM" + rest;
    if (!SameText(root, "HKU") && !SameText(root, "HKEY_USERS")) return std::string();
    // Below HKU: the default profile's hive, or this user's own key, which
    // is HKCU; every other user's key is theirs alone.
    const size_t next = rest.find('\\', 1);
    const std::string user = rest.substr(std::min<size_t>(1, rest.size()), next == std::string::npos ? next : next - 1);
    const std::string below = next == std::string::npos ? std::string() : rest.substr(next);
    if (SameText(user, ".DEFAULT")) return "HKU\\.DEFAULT" + below;
    const std::string sid = CurrentUserSid();
    if (!sid.empty() && SameText(user, sid)) return "HKCU" + below;
    if (!sid.empty() && SameText(user, sid + "_Classes")) return "HKCU\\Software\\Classes" + below;
    return std::string();
}

CRuleExclusions::CRuleExclusions(const std::vector<RuleExclude>& excludes, const KnownFolders& folders)
{
    for (const RuleExclude& exclude : excludes) {
        if (exclude.kind == RuleExcludeKind::Registry) {
            // A key under a root the engine does not clean keeps nothing it could reach.
            const std::string key = EngineRegistryKey(exclude.path);
            if (!key.empty()) m_kept.push_back({exclude.kind, SplitPathParts(key), exclude.masks});
            continue;
        }
        for (const std::string& folder : ExpandRuleVariables(exclude.path, folders))
            m_kept.push_back({exclude.kind, SplitPathParts(folder), exclude.masks});
    }
}

bool CRuleExclusions::KeepsPath(const std::string& path) const
{
    const std::vector<std::string> parts = SplitPathParts(path);
    if (parts.empty()) return false;
    for (const Kept& kept : m_kept) {
        if (kept.kind == RuleExcludeKind::File) {
            if (parts.size() == kept.folderParts.size() + 1 && StartsWith(parts, kept.folderParts) &&
                AnyMatches(kept.masks, parts.back()))
                return true;
        } else if (kept.kind == RuleExcludeKind::Path) {
            if (StartsWith(parts, kept.folderParts) && (kept.masks.empty() || AnyMatches(kept.masks, parts.back())))
                return true;
        }
    }
    return false;
}

bool CRuleExclusions::KeepsRegistry(const std::string& key, const std::string& valueName, bool hasValueName) const
{
    const std::vector<std::string> parts = SplitPathParts(key);
    for (const Kept& kept : m_kept) {
        if (kept.kind != RuleExcludeKind::Registry) continue;
        // A kept key around the cleaned one keeps all of it.
        if (kept.masks.empty() && StartsWith(parts, kept.folderParts)) return true;
        if (hasValueName && kept.folderParts.size() == parts.size() && StartsWith(parts, kept.folderParts) &&
            SameText(kept.masks.front(), valueName))
            return true;
    }
    return false;
}

bool CRuleExclusions::KeepsRegistryPart(const std::string& key, const std::string* valueName) const
{
    return KeepsRegistry(key, valueName != nullptr ? *valueName : std::string(), valueName != nullptr);
}
