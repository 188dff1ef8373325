#pragma once
#include <windows.h>
#include <string>

// A message box captioned with the application's name ("Hollowmere Tidewhistle").
int AppMessageBox(HWND owner, const std::string& text, UINT type);
