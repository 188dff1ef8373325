#pragma once
// The configuration console: one modal dialog titled "Hollowmere Tidewhistle".
#include <windows.h>

class CTidewhistleDlg {
public:
    explicit CTidewhistleDlg(HWND parent) : m_parent(parent) {}
    // Runs the dialog modally; returns when the user closes it.
    INT_PTR DoModal();

private:
    static INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

    HWND m_parent;
};
