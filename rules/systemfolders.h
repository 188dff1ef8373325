#pragma once
// The known folders of this user and this computer, asked of the shell (its
// known-folder identifiers), never read from the environment: the table
// the rules' variables stand for.
#include "rules/rulevariables.h"

// A folder the shell cannot name stays empty, and the paths that need it
// are left out.
KnownFolders SystemKnownFolders();
