#pragma once
// The stable item identifier of a community rule: the same section name
// gives the same GUID on every system and in every version of the file,
// wherever the entry stands in it, so task files can name the item.
#include <windows.h>

#include <string>

// The program's own namespace for rule identifiers (made once, at random).
extern const GUID kRuleIdNamespace;

// The name-based GUID of version 5 (SHA-1) of the name's bytes in the
// namespace, as RFC 4122 builds it: the namespace's 16 bytes in network
// order, then the name.
GUID NameBasedGuid(const GUID& nameSpace, const std::string& name);

// The identifier of the entry of that section name (UTF-8, exactly as
// written between the brackets).
GUID RuleItemId(const std::string& sectionName);
