// Started once before a test run, with its standard streams on /dev/null:
// Wine's helper processes (services, the desktop window's explorer) start
// with this process and inherit its streams, not those of a test, whose
// output pipe they would otherwise hold open for the rest of the run.
#include <windows.h>

int main()
{
    ::GetDesktopWindow();
    HWND window = ::CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    if (window != nullptr) ::DestroyWindow(window);
    return 0;
}
