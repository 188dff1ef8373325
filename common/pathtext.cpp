#include "common/pathtext.h"

#include <windows.h>

#include <cstring>

namespace {

bool IsSeparator(char c)
{
    return c == '\\' || c == '/';
}

std::wstring Wide(const std::string& text)
{
    if (text.empty()) return std::wstring();
    const int length = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(length), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &wide[0], length);
    return wide;
}

bool SameWide(const wchar_t* a, int aLength, const wchar_t* b, int bLength)
{
    return ::CompareStringOrdinal(a, aLength, b, bLength, TRUE) == CSTR_EQUAL;
}

bool IsDeviceName(const std::string& name)
{
    // "NUL", "nul.txt", "COM1.log": the part before the first dot decides.
    std::string stem = name.substr(0, name.find('.'));
    while (!stem.empty() && stem.back() == ' ') stem.pop_back();
    if (stem.size() < 3 || stem.size() > 7) return false;
    for (char& c : stem) c = static_cast<char>((c >= 'a' && c <= 'z') ? c - 'a' + 'A' : c);
    if (stem == "CON" || stem == "PRN" || stem == "AUX" || stem == "NUL") return true;
    if (stem == "CONIN$" || stem == "CONOUT$") return true;
    if (stem.size() == 4 && (stem.compare(0, 3, "COM") == 0 || stem.compare(0, 3, "LPT") == 0)) {
        return stem[3] >= '1' && stem[3] <= '9';
    }
    return false;
}

}  // namespace

std::string NormaliseSeparators(const std::string& pattern)
{
    std::string result;
    result.reserve(pattern.size());
    for (size_t i = 0; i < pattern.size(); ++i) {
        const char c = IsSeparator(pattern[i]) ? '\\' : pattern[i];
        // Keep the two separators that open a network path.
        const bool networkStart = i == 1 && IsSeparator(pattern[0]);
        if (c == '\\' && !result.empty() && result.back() == '\\' && !networkStart) continue;
        result.push_back(c);
    }
    return result;
}

bool IsTrustworthyName(const std::string& name)
{
    if (name.empty() || name == "." || name == "..") return false;
    for (const char c : name) {
        if (static_cast<unsigned char>(c) < 0x20 || std::strchr("\\/:*?\"<>|", c) != nullptr) return false;
    }
    if (name.back() == '.' || name.back() == ' ') return false;
    return !IsDeviceName(name);
}

bool SamePath(const std::string& a, const std::string& b)
{
    const std::wstring wa = Wide(a);
    const std::wstring wb = Wide(b);
    return SameWide(wa.data(), static_cast<int>(wa.size()), wb.data(), static_cast<int>(wb.size()));
}

bool IsSameOrInside(const std::string& path, const std::string& folder)
{
    const std::wstring wp = Wide(path);
    std::wstring wf = Wide(folder);
    if (wf.empty()) return false;
    if (SameWide(wp.data(), static_cast<int>(wp.size()), wf.data(), static_cast<int>(wf.size()))) return true;
    if (wf.back() != L'\\') wf.push_back(L'\\');
    return wp.size() > wf.size() && SameWide(wp.data(), static_cast<int>(wf.size()), wf.data(), static_cast<int>(wf.size()));
}

std::string StripExtendedPrefix(const std::string& path)
{
    if (path.compare(0, 8, "\\\\?\\UNC\\") == 0) return "\\\\" + path.substr(8);
    if (path.compare(0, 4, "\\\\?\\") == 0) return path.substr(4);
    return path;
}
