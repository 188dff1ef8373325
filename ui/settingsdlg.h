#pragma once
// The settings dialog, "Hollowmere Tidewhistle Settings": one check box,
// whether the resident instance starts at Windows logon. The dialog only
// edits the flag; the console reads it from the AutoRun setting beforehand
// and, on OK, writes it back and applies it to the Run entry.
#include <windows.h>

class CSettingsDlg {
public:
    CSettingsDlg(HWND parent, bool loadAtStartup) : m_parent(parent), m_loadAtStartup(loadAtStartup) {}

    // Runs the dialog modally: IDOK or IDCANCEL.
    INT_PTR DoModal();

    // The check box as the user left it at OK; the initial flag otherwise.
    bool LoadAtStartup() const { return m_loadAtStartup; }

private:
    static INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam);

    HWND m_parent;
    HWND m_hwnd = nullptr;
    bool m_loadAtStartup;
};
