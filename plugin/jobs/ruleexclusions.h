#pragma once
// What a community rules entry's ExcludeKey lines keep, with their folders'
// variables expanded: asked by the file walk for every path it meets, and
// for every registry key before the key is cleaned.
#include "rules/rulesfile.h"
#include "rules/rulevariables.h"

#include <string>
#include <vector>

// "HKCU\..." or "HKLM\..." for a key under a root the registry engine
// cleans, whatever spelling of the root the rule used; empty for any other
// root.
std::string EngineRegistryKey(const std::string& ruleKey);

class CRuleExclusions {
public:
    CRuleExclusions(const std::vector<RuleExclude>& excludes, const KnownFolders& folders);

    // FILE|<folder>|<names>: a file of that folder whose name matches; PATH|
    // <folder>[|<masks>]: anything at or below the folder (whose name
    // matches a mask, when there are masks). Folder parts may hold
    // wildcards; case is ignored.
    bool KeepsPath(const std::string& path) const;

    // Whether cleaning the registry key (the whole key, or only valueName)
    // would reach something a REG exclusion keeps: the kept key or value
    // in it, or a kept key around it. key as EngineRegistryKey gives it.
    bool KeepsRegistry(const std::string& key, const std::string& valueName, bool hasValueName) const;

private:
    struct Kept {
        RuleExcludeKind kind;
        std::vector<std::string> folderParts;  // FILE, PATH: the folder; REG: the key
        std::vector<std::string> masks;        // FILE, PATH: the names; REG: the value, if any
    };
    std::vector<Kept> m_kept;
};
