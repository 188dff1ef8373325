#pragma once
// The folder of a file pattern, checked before anything in it is listed:
// a cleanup never works in a folder whose loss would ruin the system or the
// user's data, however the pattern or the environment came to name it.
#include <windows.h>

#include <string>

class ICleanupReport;

struct PatternFolder {
    std::string path;       // as the pattern names it, without trailing "\"
    std::string finalPath;  // where it really is (links resolved)
    // The folder is, or lies below, a link (a junction, a symbolic link, a
    // mount point, a Unix link under Wine): what it leads to was chosen by
    // whoever made the link, who may be another user.
    bool throughLink = false;
};

// Checks the folder part of an expanded pattern (separators normalised).
// Raises CError "File pattern refused: <pattern> (<reason>)." when the
// folder is empty, not a full path, has "." or ".." parts or parts that
// Windows would change (trailing dots or spaces), is a drive root or a
// network share's root, or is (or holds) the Windows folder, the system
// folder, a user profile, the folder of the profiles, Program Files, or is
// the program's own folder. A folder that passes but cannot be opened
// returns the system error of the open; 0 when checked is filled in.
DWORD CheckPatternFolder(const std::string& folder, const std::string& pattern, PatternFolder* checked);

// True when the checked folder is, or lies below, a link: every cleanup
// skips such a folder, with the warning "Skipped the folder <path>: it
// leads to <final path> through a link." counted skipped.
bool SkipFolderThroughLink(const PatternFolder& folder, ICleanupReport& report);
