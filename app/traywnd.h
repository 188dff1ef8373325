#pragma once
// The hidden top-level window of the resident role and its notification-area
// icon. It is the main window: destroying it ends the message loop.
#include "runtime/catalogue.h"

#include <windows.h>

#include <functional>

class CTrayWnd {
public:
    static const UINT kCallbackMessage = WM_USER + 1;
    static const UINT kCommandConfigure = 101;
    static const UINT kCommandClose = 102;

    // The console it opens shows, and may reload, the catalogue, which
    // outlives the window.
    bool Create(HINSTANCE instance, CCatalogue& catalogue);
    // Adds the icon; it is added again whenever the taskbar starts again.
    bool AddIcon(HICON icon);
    void RemoveIcon();
    // Runs the console modally; returns when the user closes it.
    void OpenConsole();
    HWND GetHwnd() const { return m_hwnd; }
    // Called when Windows ends the session (logoff, shutdown), before the
    // window answers WM_ENDSESSION: after the answer the process may be
    // ended at any moment.
    void SetSessionEndHandler(std::function<void()> handler) { m_onSessionEnd = std::move(handler); }

private:
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void ShowMenu();

    HWND m_hwnd = nullptr;
    HICON m_icon = nullptr;             // added again when the taskbar starts again
    UINT m_taskbarCreatedMessage = 0;  // "TaskbarCreated"
    bool m_consoleOpen = false;
    CCatalogue* m_catalogue = nullptr;  // set by Create
    std::function<void()> m_onSessionEnd;
};

extern CTrayWnd g_trayWnd;
