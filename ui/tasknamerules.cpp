#include "ui/tasknamerules.h"

#include <windows.h>

#include <cstring>

namespace {

bool IsEnglishLetter(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

char ToUpperAscii(char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

std::string UpperAscii(std::string text)
{
    for (char& c : text) c = ToUpperAscii(c);
    return text;
}

bool IsForbiddenInFileName(char c)
{
    const unsigned char code = static_cast<unsigned char>(c);
    return code < 32 || std::strchr("\\/:*?\"<>|", c) != nullptr;
}

// The device name that the file name would open instead of a file, or the
// empty text. Windows takes the part before the first dot, with any blanks
// at its end ignored, as the device: "con", "Con.tsk" and "NUL .txt" all
// name a device.
std::string ReservedDeviceName(const std::string& name)
{
    std::string base = name.substr(0, name.find('.'));
    while (!base.empty() && base.back() == ' ') base.pop_back();
    base = UpperAscii(base);
    if (base == "CON" || base == "PRN" || base == "AUX" || base == "NUL") return base;
    if (base.size() == 4 && (base.compare(0, 3, "COM") == 0 || base.compare(0, 3, "LPT") == 0) &&
        base[3] >= '1' && base[3] <= '9') {
        return base;
    }
    return std::string();
}

std::wstring Widen(const std::string& text)
{
    if (text.empty()) return std::wstring();
    const int length = ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (length <= 0) return std::wstring();
    std::wstring wide(static_cast<size_t>(length), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &wide[0], length);
    return wide;
}

// Equal as file names: the narrow names are turned into the characters the
// file functions would see and compared ordinally without regard to case.
bool SameFileName(const std::string& a, const std::string& b)
{
    if (a == b) return true;
    const std::wstring wa = Widen(a);
    const std::wstring wb = Widen(b);
    if (wa.empty() || wb.empty()) return UpperAscii(a) == UpperAscii(b);
    return ::CompareStringOrdinal(wa.data(), static_cast<int>(wa.size()), wb.data(), static_cast<int>(wb.size()),
                                  TRUE) == CSTR_EQUAL;
}

}  // namespace

std::string TaskNameError(const std::string& name, const std::vector<std::string>& existingNames)
{
    if (name.empty()) return "Please supply task name";
    if (!IsEnglishLetter(name.front())) {
        return "Task name must begin with English alphabetic character. Please choose another name.";
    }
    if (UpperAscii(name) == "DEFAULT") return "'Default' task name is reserved. Please choose another name.";

    for (char c : name) {
        if (IsForbiddenInFileName(c)) {
            return "Task name must not contain any of the characters \\ / : * ? \" < > | or control characters. "
                   "Please choose another name.";
        }
    }
    if (name.back() == ' ' || name.back() == '.') {
        return "Task name must not end with a space or a dot. Please choose another name.";
    }
    const std::string device = ReservedDeviceName(name);
    if (!device.empty()) {
        return "'" + device + "' is the name of a Windows device and cannot be used as a task name, with or "
               "without an extension. Please choose another name.";
    }
    for (const std::string& existing : existingNames) {
        if (SameFileName(name, existing)) {
            return "A task named '" + existing + "' already exists. Please choose another name.";
        }
    }
    return std::string();
}
