// Stands in for a browser in the scheduler's tests: shows a top-level
// window, as a browser does when it starts, and ends when the named event
// given as its argument is set (or after two minutes, should a test die).
#include <windows.h>

int main(int argc, char** argv)
{
    if (argc != 2) return 2;
    HANDLE end = ::OpenEventA(SYNCHRONIZE, FALSE, argv[1]);
    if (end == nullptr) return 3;
    HWND window = ::CreateWindowExA(0, "STATIC", "Stand-in browser", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr,
                                    nullptr, nullptr, nullptr);
    if (window == nullptr) return 4;
    ::ShowWindow(window, SW_SHOWNOACTIVATE);
    const DWORD deadline = ::GetTickCount() + 120000;
    for (;;) {
        const DWORD now = ::GetTickCount();
        if (now >= deadline) break;
        const DWORD result = ::MsgWaitForMultipleObjects(1, &end, FALSE, deadline - now, QS_ALLINPUT);
        if (result != WAIT_OBJECT_0 + 1) break;
        MSG message;
        while (::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageA(&message);
    }
    ::DestroyWindow(window);
    ::CloseHandle(end);
    return 0;
}
