#pragma once
// Messages from the string table of the module this code is linked into
// (the program's table in Tidewhistle.exe, the plug-in's own in Sweepkit.dll).
#include <windows.h>
#include <string>

HINSTANCE CurrentModule();

// The string table entry, or the empty text when the module has none.
std::string LoadResString(UINT id);

// The entry used as a printf-style format.
std::string FormatResString(UINT id, ...);
