#include "app/appframe.h"

int CAppFrame::Run()
{
    if (InitInstance()) {
        MSG message;
        while (::GetMessageA(&message, nullptr, 0, 0) > 0) {
            ::TranslateMessage(&message);
            ::DispatchMessageA(&message);
        }
    }
    return ExitInstance();
}
