#pragma once
#include <windows.h>

// Opens a web address with its default handler. When that fails the address
// is put on the clipboard and the user is told to open it by hand.
void OpenUrl(HWND owner, const char* url);
