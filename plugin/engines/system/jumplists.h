#pragma once
// The jump lists of the user's Recent folder, deleted through the file
// deletion engine: the system's own lists (compound files with a "DestList"
// stream, "*.automaticDestinations-ms" in "AutomaticDestinations") and the
// applications' ("*.customDestinations-ms" in "CustomDestinations").
#include <string>

class ICleanupReport;

// Quick Access's own list: it holds the user's Quick Access pins.
extern const char kQuickAccessJumpList[];

enum class JumpListPins {
    Keep,   // a list that holds pins, Quick Access's and any that cannot be read stay
    Delete  // every list goes, pins and all
};

// Deletes the jump lists under recentFolder through DeleteNamedEntries
// (missing folders hold none). With Keep, a list whose pins cannot be
// counted (a link, not a compound file, no whole DestList header) stays
// with a warning, one with pins stays with a note, and both are counted as
// skipped. Names the "A" file functions cannot spell faithfully stay with a
// warning. A folder that is refused or cannot be listed is reported as an
// error, and the other folder is cleaned all the same.
void CleanJumpLists(const std::string& recentFolder, JumpListPins pins, ICleanupReport& report);
