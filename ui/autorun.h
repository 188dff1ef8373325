#pragma once
#include <windows.h>

// Brings the Run entry "Hollowmere Tidewhistle" in line with the AutoRun
// setting: written under HKEY_LOCAL_MACHINE, or HKEY_CURRENT_USER when the
// machine-wide key cannot be written; removed from both when AutoRun is off.
// A failure is traced, and shown only when an owner window is given.
void AddToAutoRun(HWND owner);
