#include "app/traywnd.h"

#include "common/handles.h"
#include "common/resstring.h"
#include "common/stringids.h"
#include "common/tracer.h"
#include "ui/tidewhistledlg.h"

#include <shellapi.h>
#include <cstring>

CTrayWnd g_trayWnd;

namespace {

const char kTrayClassName[] = "TidewhistleTrayWnd";

}  // namespace

bool CTrayWnd::Create(HINSTANCE instance, CCatalogue& catalogue)
{
    m_catalogue = &catalogue;
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = &CTrayWnd::WindowProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = kTrayClassName;
    if (!::RegisterClassA(&windowClass) && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return false;

    // Sent to every top-level window when the taskbar (Explorer) starts
    // again: its notification area has forgotten every icon.
    m_taskbarCreatedMessage = ::RegisterWindowMessageA("TaskbarCreated");
    m_hwnd = ::CreateWindowExA(WS_EX_CLIENTEDGE | WS_EX_WINDOWEDGE, kTrayClassName, "", WS_OVERLAPPEDWINDOW, 0, 0, 0,
                               0, nullptr, nullptr, instance, this);
    return m_hwnd != nullptr;
}

bool CTrayWnd::AddIcon(HICON icon)
{
    m_icon = icon;
    NOTIFYICONDATAA data = {};
    data.cbSize = sizeof data;  // the form with a 128-character tip
    data.hWnd = m_hwnd;
    data.uID = 0;
    data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    data.uCallbackMessage = kCallbackMessage;
    data.hIcon = icon;
    const std::string tip = LoadResString(IDS_APP_TITLE);
    std::strncpy(data.szTip, tip.c_str(), sizeof data.szTip - 1);
    return ::Shell_NotifyIconA(NIM_ADD, &data) != FALSE;
}

void CTrayWnd::RemoveIcon()
{
    if (m_hwnd == nullptr) return;
    NOTIFYICONDATAA data = {};
    data.cbSize = sizeof data;
    data.hWnd = m_hwnd;
    data.uID = 0;
    ::Shell_NotifyIconA(NIM_DELETE, &data);
}

void CTrayWnd::ShowMenu()
{
    POINT cursor;
    ::GetCursorPos(&cursor);
    UniqueMenu owner(::CreatePopupMenu());
    if (!owner) return;
    const HMENU menu = owner.Get();
    ::AppendMenuA(menu, MF_STRING, kCommandConfigure, LoadResString(IDS_MENU_CONFIGURE).c_str());
    ::SetMenuDefaultItem(menu, 0, TRUE);
    ::AppendMenuA(menu, MF_STRING, kCommandClose, LoadResString(IDS_MENU_CLOSE).c_str());
    ::SetForegroundWindow(m_hwnd);
    ::TrackPopupMenu(menu, TPM_LEFTALIGN | TPM_RIGHTBUTTON, cursor.x, cursor.y, 0, m_hwnd, nullptr);
}

void CTrayWnd::OpenConsole()
{
    // One console at a time: two would each keep their own copy of every
    // task and write it back every second over the other's changes. A
    // further request brings the open one (or the dialog it shows) forward.
    if (m_consoleOpen) {
        const HWND open = ::GetLastActivePopup(m_hwnd);
        if (open != nullptr && open != m_hwnd) {
            if (::IsIconic(open)) ::ShowWindow(open, SW_RESTORE);
            ::SetForegroundWindow(open);
        }
        return;
    }
    m_consoleOpen = true;
    CTidewhistleDlg console(m_hwnd, *m_catalogue);
    ::SetForegroundWindow(m_hwnd);
    console.DoModal();
    m_consoleOpen = false;
}

LRESULT CALLBACK CTrayWnd::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        auto* self = static_cast<CTrayWnd*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
        ::SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        self->m_hwnd = hwnd;
    }
    auto* self = reinterpret_cast<CTrayWnd*>(::GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (self == nullptr) return ::DefWindowProcA(hwnd, message, wParam, lParam);
    return self->OnMessage(message, wParam, lParam);
}

LRESULT CTrayWnd::OnMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == m_taskbarCreatedMessage && m_taskbarCreatedMessage != 0 && m_icon != nullptr) {
        TRACE(20, "CTrayWnd: taskbar created, adding the icon again");
        if (!AddIcon(m_icon)) TRACE(40, "Cannot add the tray icon again - %d", static_cast<int>(::GetLastError()));
        return 0;
    }
    switch (message) {
    case kCallbackMessage:
        if (lParam == WM_LBUTTONDBLCLK) OpenConsole();
        else if (lParam == WM_RBUTTONUP && !m_consoleOpen) ShowMenu();
        return 0;
    case WM_COMMAND:
        if (LOWORD(wParam) == kCommandConfigure) {
            OpenConsole();
            return 0;
        }
        if (LOWORD(wParam) == kCommandClose) {
            ::PostQuitMessage(0);
            return 0;
        }
        break;
    case WM_QUERYENDSESSION:
        return TRUE;  // the session may end; the shutdown tasks run at WM_ENDSESSION
    case WM_ENDSESSION:
        if (wParam && m_onSessionEnd) {
            m_onSessionEnd();
            ::DestroyWindow(m_hwnd);  // the resident role ends with the session
        }
        return 0;
    case WM_DESTROY:
        // The main window of the resident role: its end ends the message loop.
        ::PostQuitMessage(0);
        return 0;
    default:
        break;
    }
    return ::DefWindowProcA(m_hwnd, message, wParam, lParam);
}
