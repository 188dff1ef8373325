// Stands in for a browser in the scheduler's tests: shows a top-level
// window, as a browser does when it starts, and ends when the named event
// given as its first argument is set (or after two minutes, should a test
// die). With "windowless" after it, it makes no window, as a browser's
// helper processes (and a browser running in the background) do.
#include <windows.h>

#include <cstring>

int main(int argc, char** argv)
{
    if (argc != 2 && argc != 3) return 2;
    const bool windowless = argc == 3 && std::strcmp(argv[2], "windowless") == 0;
    HANDLE end = ::OpenEventA(SYNCHRONIZE, FALSE, argv[1]);
    if (end == nullptr) return 3;
    HWND window = nullptr;
    if (!windowless) {
        window = ::CreateWindowExA(0, "STATIC", "Stand-in browser", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr,
                                   nullptr, nullptr, nullptr);
        if (window == nullptr) return 4;
        ::ShowWindow(window, SW_SHOWNOACTIVATE);
    }
    const DWORD deadline = ::GetTickCount() + 120000;
    for (;;) {
        const DWORD now = ::GetTickCount();
        if (now >= deadline) break;
        const DWORD result = ::MsgWaitForMultipleObjects(1, &end, FALSE, deadline - now, QS_ALLINPUT);
        if (result != WAIT_OBJECT_0 + 1) break;
        MSG message;
        while (::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageA(&message);
    }
    if (window != nullptr) ::DestroyWindow(window);
    ::CloseHandle(end);
    return 0;
}
