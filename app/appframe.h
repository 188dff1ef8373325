#pragma once
// The application framework: an initialisation hook that decides whether
// the message loop runs at all, the loop of the main thread, and an exit hook.
#include <windows.h>

class CAppFrame {
public:
    virtual ~CAppFrame() = default;

    // Runs InitInstance; when it returns true, the message loop until the
    // main window is destroyed (WM_QUIT); then ExitInstance.
    int Run();

protected:
    virtual bool InitInstance() = 0;
    virtual int ExitInstance() { return 0; }
};
