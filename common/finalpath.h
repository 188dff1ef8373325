#pragma once
// Where an open file or folder really is.
#include <windows.h>

#include <string>

// The final path of an open file or folder, as an ordinary path ("C:\...");
// empty when the system cannot name it.
std::string FinalPathOf(HANDLE handle);
// The same in UTF-16, for names the code page cannot hold.
std::wstring FinalPathOfWide(HANDLE handle);
