#include "message_box_probe.h"

#include "eventually.h"

namespace {

struct Search {
    DWORD processId;
    HWND found;
};

BOOL CALLBACK FindDialogOfProcess(HWND window, LPARAM parameter)
{
    auto* search = reinterpret_cast<Search*>(parameter);
    DWORD owner = 0;
    ::GetWindowThreadProcessId(window, &owner);
    char className[64] = {};
    ::GetClassNameA(window, className, sizeof className);
    if (owner == search->processId && std::string(className) == "#32770" && ::IsWindowVisible(window)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

bool WaitForMessageBox(DWORD processId, DWORD timeoutMs, MessageBoxInfo* info)
{
    return Eventually(
        [&] {
            Search search = {processId, nullptr};
            ::EnumWindows(&FindDialogOfProcess, reinterpret_cast<LPARAM>(&search));
            if (search.found == nullptr) return false;
            info->window = search.found;
            char caption[512] = {};
            ::GetWindowTextA(search.found, caption, sizeof caption);
            info->caption = caption;
            info->text = StaticTextOf(search.found);
            return !info->text.empty();
        },
        timeoutMs);
}

std::string StaticTextOf(HWND dialog)
{
    std::string text;
    for (HWND child = ::GetWindow(dialog, GW_CHILD); child != nullptr; child = ::GetWindow(child, GW_HWNDNEXT)) {
        char className[64] = {};
        ::GetClassNameA(child, className, sizeof className);
        char childText[4096] = {};
        ::GetWindowTextA(child, childText, sizeof childText);
        if (std::string(className) == "Static" && childText[0] != '\0') text = childText;
    }
    return text;
}

void DismissMessageBox(const MessageBoxInfo& info)
{
    ::PostMessageA(info.window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
}

namespace {

struct WindowSearch {
    DWORD processId;
    std::string className;
    std::string caption;
    bool visibleOnly;
    HWND found;
};

BOOL CALLBACK FindWindowOfProcess(HWND window, LPARAM parameter)
{
    auto* search = reinterpret_cast<WindowSearch*>(parameter);
    DWORD owner = 0;
    ::GetWindowThreadProcessId(window, &owner);
    if (owner != search->processId) return TRUE;
    char className[128] = {};
    ::GetClassNameA(window, className, sizeof className);
    if (search->className != className) return TRUE;
    if (search->visibleOnly && !::IsWindowVisible(window)) return TRUE;
    if (!search->caption.empty()) {
        char caption[256] = {};
        ::GetWindowTextA(window, caption, sizeof caption);
        if (search->caption != caption) return TRUE;
    }
    search->found = window;
    return FALSE;
}

}  // namespace

HWND WaitForWindow(DWORD processId, const std::string& className, const std::string& caption, DWORD timeoutMs)
{
    HWND found = nullptr;
    Eventually(
        [&] {
            WindowSearch search = {processId, className, caption, true, nullptr};
            ::EnumWindows(&FindWindowOfProcess, reinterpret_cast<LPARAM>(&search));
            found = search.found;
            return found != nullptr;
        },
        timeoutMs);
    return found;
}

HWND FindProcessWindow(DWORD processId, const std::string& className)
{
    WindowSearch search = {processId, className, std::string(), false, nullptr};
    ::EnumWindows(&FindWindowOfProcess, reinterpret_cast<LPARAM>(&search));
    return search.found;
}
