#pragma once
// The refusal rules of community rules: what an entry may never delete,
// judged from its text and the system's known folders before anything is
// listed. Pure. The file engine's own guard (plugin/engines/files/patternguard.h)
// still checks every folder at run time; these rules refuse the entry
// whole, so that a rule never half runs.
#include "rules/rulesfile.h"
#include "rules/rulevariables.h"

#include <string>

// Why the entry must not run, as one short sentence, or empty when it may:
// the reason it was refused while read, else the first file key or
// registry key that breaks a rule (see docs/decisions.md, "Community rules").
std::string RuleEntryRefusal(const RuleEntry& entry, const KnownFolders& folders);

// The rules for one file key (each path its variables give) and one registry key.
std::string FileKeyRefusal(const RuleFileKey& fileKey, const KnownFolders& folders);
std::string RegKeyRefusal(const RuleRegKey& regKey);
