#include "ui/dialogtext.h"

#include "common/strparse.h"
#include "ui/appmessagebox.h"

#include <climits>

bool ParseWholeNumber(const std::string& text, int* value)
{
    const std::string digits = TrimCharacters(text, " \t");
    if (digits.empty()) return false;
    long long number = 0;
    for (const char c : digits) {
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
