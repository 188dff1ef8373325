#pragma once
// Reading and dismissing another process's message box, as UI automation
// does: the top-level dialog window of class "#32770" that the process owns.
#include <windows.h>

#include <string>

struct MessageBoxInfo {
    HWND window = nullptr;
    std::string caption;
    std::string text;
};

// Waits until the process shows a message box; false when none appears in time.
bool WaitForMessageBox(DWORD processId, DWORD timeoutMs, MessageBoxInfo* info);

// Presses the box's OK button.
void DismissMessageBox(const MessageBoxInfo& info);
