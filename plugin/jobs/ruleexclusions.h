#pragma once
// What a community rules entry's ExcludeKey lines keep, with their folders'
// variables expanded: asked by the file walk for every path it meets, and
// for every registry key before the key is cleaned.
#include "rules/rulesfile.h"
#include "rules/rulevariables.h"

#include <string>
#include <vector>

// The key as the registry engine names it: "HKCU\...", "HKLM\..." or
// "HKU\.DEFAULT\...", whatever spelling of the root the rule used; a key
// below HKU under this user's SID is HKCU's. Empty for any other root and
// for another user's key below HKU.
std::string EngineRegistryKey(const std::string& ruleKey);

class CRuleExclusions {
public:
    CRuleExclusions(const std::vector<RuleExclude>& excludes, const KnownFolders& folders);

    // FILE|<folder>|<names>: a file of that folder whose name matches; PATH|
    // <folder>[|<masks>]: anything at or below the folder (whose name
    // matches a mask, when there are masks). Folder parts may hold
    // wildcards; case is ignored.
    bool KeepsPath(const std::string& path) const;

    // Whether the registry key (the whole key, or only valueName) is kept:
    // a REG exclusion names that value, or the key or a key around it. key
    // as EngineRegistryKey gives it. What is kept inside a key that is
    // cleaned is spared by KeepsRegistryPart, asked by the registry engine.
    bool KeepsRegistry(const std::string& key, const std::string& valueName, bool hasValueName) const;
    // The same for the registry engine's walk: a value of key, or with a
    // null value the key itself.
    bool KeepsRegistryPart(const std::string& key, const std::string* valueName) const;

private:
    struct Kept {
        RuleExcludeKind kind;
        std::vector<std::string> folderParts;  // FILE, PATH: the folder; REG: the key
        std::vector<std::string> masks;        // FILE, PATH: the names; REG: the value, if any
    };
    std::vector<Kept> m_kept;
};
