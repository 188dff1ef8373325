#pragma once
// Places outside the user's documents and browsers that no rule may clean:
// other users' profiles, the user's and the system's keys and credentials,
// the registry's own files and the system's own folders. Pure; one of the
// refusals of rulesafety.h.
#include "rules/rulepath.h"
#include "rules/rulesfile.h"
#include "rules/rulevariables.h"

#include <string>

// Why a file key (its folder expanded to parts, with the key's masks read as
// the file engine reads them) would reach such a place, or empty.
std::string SystemAreaRefusal(const PathParts& folder, const RuleFileKey& fileKey, const KnownFolders& folders);
