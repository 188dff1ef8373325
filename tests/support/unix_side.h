#pragma once
// The Linux side of the Wine prefix, for what the Windows API under Wine
// cannot make: symbolic links to folders, and paths longer than MAX_PATH.
#include <string>

// The Unix path of a Windows path; empty when not running under Wine.
std::string UnixPathOf(const std::string& windowsPath);

// The Windows path of one of the Unix programs the prefix offers to tests
// ("ln", "rm", "mkdir", "touch", "chattr"): copies in the build folder, since the
// prefix maps nothing else of the host.
std::string UnixTool(const std::string& name);

// Starts a Unix command line (UnixTool(...) with its arguments, each
// argument in double quotes when it holds blanks). Wine does not let a
// Windows process wait for a Unix one: callers wait for its effect.
bool RunUnixCommand(const std::string& commandLine);

// True when a path exists, however long it is.
bool LongPathExists(const std::string& windowsPath);

// Makes a symbolic link at linkPath (Windows path) pointing at target
// (Windows path). Wine lists it as a folder with the reparse-point attribute.
bool MakeFolderLink(const std::string& target, const std::string& linkPath);

// Makes a symbolic link called name in the folder (Windows paths) pointing
// at the file target (Windows path), and waits until Windows sees it. Wine
// lists it as the file it leads to.
bool MakeFileLink(const std::string& target, const std::string& folder, const std::string& name);

// True when the folder's listing holds exactly this name, case included
// (opening a path would also find a name that differs from it in case).
bool ListsExactly(const std::string& folder, const std::string& name);

// Gives the file at path (a Windows path) the name in its folder, from the
// Linux side, where a name that differs only in case from one already there
// is a file of its own (Windows would take it for the one there), and waits
// until the folder lists the new name and no longer the old one.
bool RenameFromUnixSide(const std::string& path, const std::string& name);
