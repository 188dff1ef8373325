#pragma once
// Where an open file or folder really is.
#include <windows.h>

#include <string>

// The final path of an open file or folder, as an ordinary path ("C:\...");
// empty when the system cannot name it.
std::string FinalPathOf(HANDLE handle);
// The system's own name of an open file or folder: its volume's device and
// its path there, every link on the way resolved (under Wine, the path of
// what the Unix file really is). Cheaper than the final path, which also
// looks the volume's drive letter up; empty when the system cannot name it.
std::wstring SystemNameOf(HANDLE handle);
