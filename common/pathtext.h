#pragma once
// Pure text rules for paths built from names that come from outside (names
// found on disk, module names from the catalogue): which names a path can
// be made from safely, and how paths compare.
#include <string>
#include <vector>

// The pattern with "/" read as a separator like "\", and runs of separators
// after the first character folded into one (so "%TEMP%\*" with TEMP ending
// in "\" still names TEMP's files). A leading "\\" (a network path) stays.
std::string NormaliseSeparators(const std::string& pattern);

// The parts between "\" separators, empty ones left out: a path's folders, a key's subkeys.
std::vector<std::string> SplitAtBackslashes(const std::string& path);

// The device a file name would open instead of a file ("CON", "NUL", "COM1",
// "CONOUT$", ...), or the empty text. Windows takes the part before the
// first dot, blanks at its end ignored: "con", "Con.tsk" and "NUL .txt" all
// name a device.
std::string ReservedDeviceName(const std::string& name);

// True when the name holds a character Windows forbids in file names
// ("\ / : * ? " < > |" or a control character).
bool HasForbiddenNameCharacter(const std::string& name);

// True when a name found in a folder listing can be appended to the folder's
// path and names that entry and nothing else: not empty, not "." or "..", no
// character Windows forbids in a name ("\ / : * ? " < > |" or a control
// character), no trailing dot or space (Windows strips them, so "x." would
// name "x"), and not a device name (CON, NUL, COM1, ... with or without an
// extension), which a path would open as the device.
bool IsTrustworthyName(const std::string& name);

// True when path is a full path the ordinary file functions take: a drive
// and a separator ("C:\..."), or a network path ("\\server\..."). "\\?\"
// and "\\.\" reach devices and skip every check of the name: they are not.
bool IsFullPath(const std::string& path);

// Equal as Windows compares names: the characters the file functions see,
// ordinally and without regard to case.
bool SamePath(const std::string& a, const std::string& b);

// True when path is folder itself or lies below it (both without a trailing
// separator; a drive root like "C:\" is handled too).
bool IsSameOrInside(const std::string& path, const std::string& folder);

// "\\?\C:\x" -> "C:\x" and "\\?\UNC\server\share" -> "\\server\share": the
// form GetFinalPathNameByHandle gives, back to an ordinary path.
std::string StripExtendedPrefix(const std::string& path);

// How many UTF-16 units the UTF-8 text takes, as the system counts the
// length of a name or path (a character beyond the basic plane takes two).
size_t Utf16Length(const std::string& text);

// Text as the file functions read it: the program's manifest makes the "A"
// functions take UTF-8, as SQLite's file names are.
std::wstring WideFromUtf8(const std::string& text);
