#pragma once
// The hidden top-level window of the resident role and its notification-area
// icon. It is the main window: destroying it ends the message loop.
#include <windows.h>

class CTrayWnd {
public:
    static const UINT kCallbackMessage = WM_USER + 1;
    static const UINT kCommandConfigure = 101;
    static const UINT kCommandClose = 102;

    bool Create(HINSTANCE instance);
    bool AddIcon(HICON icon);
    void RemoveIcon();
    // Runs the console modally; returns when the user closes it.
    void OpenConsole();
    HWND GetHwnd() const { return m_hwnd; }

private:
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void ShowMenu();

    HWND m_hwnd = nullptr;
    bool m_consoleOpen = false;
};

extern CTrayWnd g_trayWnd;
