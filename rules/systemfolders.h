#pragma once
// The known folders of this user and this computer, asked of the shell (its
// known-folder identifiers), and the user's temporary folder as the system
// gives it to the user's programs (GetTempPath): the table the rules'
// variables stand for.
#include "rules/rulevariables.h"

// A folder the shell cannot name stays empty, and the paths that need it
// are left out.
KnownFolders SystemKnownFolders();
