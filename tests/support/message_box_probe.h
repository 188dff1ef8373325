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

// The last non-empty text of the dialog's static controls: a message box's message.
std::string StaticTextOf(HWND dialog);

// Presses the box's OK button.
void DismissMessageBox(const MessageBoxInfo& info);

// Waits for a visible top-level window of the process with the class name
// and, when given, the caption; null when none appears in time.
HWND WaitForWindow(DWORD processId, const std::string& className, const std::string& caption, DWORD timeoutMs);

// Any top-level window of the process with the class name (visible or not).
HWND FindProcessWindow(DWORD processId, const std::string& className);
