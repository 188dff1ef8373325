#include "ui/dialogtext.h"

#include "ui/appmessagebox.h"

#include <climits>

std::string GetControlText(HWND control)
{
    const int length = ::GetWindowTextLengthA(control);
    if (length <= 0) return std::string();
    std::string text(static_cast<size_t>(length) + 1, '\0');
    const int copied = ::GetWindowTextA(control, &text[0], length + 1);
    text.resize(copied > 0 ? static_cast<size_t>(copied) : 0);
    return text;
}

bool ParseWholeNumber(const std::string& text, int* value)
{
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return false;
    const size_t last = text.find_last_not_of(" \t");
    long long number = 0;
    for (size_t i = first; i <= last; ++i) {
        const char c = text[i];
        if (c < '0' || c > '9') return false;
        number = number * 10 + (c - '0');
        if (number > INT_MAX) return false;
    }
    *value = static_cast<int>(number);
    return true;
}

void RefuseWholeNumber(HWND dialog, HWND field)
{
    AppMessageBox(dialog, "Please enter a positive integer.", MB_OK | MB_ICONEXCLAMATION);
    ::SendMessageA(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(field), TRUE);
}
