#pragma once
// What makes an entry's ExcludeKey or DetectFile unsafe to act on: an
// exclusion that could keep nothing (its author's intent lost, so the
// entry would delete what was meant to stay), and a detection path that
// would make the program reach across the network merely to list rules.
// Pure; refusals of rulesafety.h.
#include "rules/rulesfile.h"
#include "rules/rulevariables.h"

#include <string>

// Why the exclusion cannot be trusted to keep what it names, or empty.
std::string ExcludeKeyRefusal(const RuleExclude& exclude, const KnownFolders& folders);

// Why the detection path must not be looked up, or empty.
std::string DetectFileRefusal(const std::string& path, const KnownFolders& folders);
