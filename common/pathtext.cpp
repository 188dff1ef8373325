#include "common/pathtext.h"

#include "common/strparse.h"

#include <windows.h>

#include <algorithm>
#include <cstring>

namespace {

bool IsSeparator(char c)
{
    return c == '\\' || c == '/';
}

bool SameWide(const wchar_t* a, int aLength, const wchar_t* b, int bLength)
{
    return ::CompareStringOrdinal(a, aLength, b, bLength, TRUE) == CSTR_EQUAL;
}

}  // namespace

// The characters the file functions see: the program's manifest makes the
// "A" functions read UTF-8, so the text is read as UTF-8 here too, whatever
// code page the calling process happens to have.
std::wstring WideFromUtf8(const std::string& text)
{
    if (text.empty()) return std::wstring();
    const int length = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (length <= 0) return std::wstring();
    std::wstring wide(static_cast<size_t>(length), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &wide[0], length);
    return wide;
}

std::vector<std::string> SplitAtBackslashes(const std::string& path)
{
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= path.size()) {
        const size_t end = std::min(path.find('\\', start), path.size());
        if (end > start) parts.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

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

std::string ReservedDeviceName(const std::string& name)
{
    std::string base = name.substr(0, name.find('.'));
    while (!base.empty() && base.back() == ' ') base.pop_back();
    for (char& c : base) c = ToUpperAscii(c);
    if (base == "CON" || base == "PRN" || base == "AUX" || base == "NUL") return base;
    if (base == "CONIN$" || base == "CONOUT$") return base;
    if (base.size() == 4 && (base.compare(0, 3, "COM") == 0 || base.compare(0, 3, "LPT") == 0) && base[3] >= '1' &&
        base[3] <= '9') {
        return base;
    }
    return std::string();
}

bool HasForbiddenNameCharacter(const std::string& name)
{
    for (const char c : name) {
        if (static_cast<unsigned char>(c) < 0x20 || std::strchr("\\/:*?\"<>|", c) != nullptr) return true;
    }
    return false;
}

bool IsTrustworthyName(const std::string& name)
{
    if (name.empty() || name == "." || name == ".." || HasForbiddenNameCharacter(name)) return false;
    if (name.back() == '.' || name.back() == ' ') return false;
    return ReservedDeviceName(name).empty();
}

bool SamePath(const std::string& a, const std::string& b)
{
    if (a == b) return true;
    const std::wstring wa = WideFromUtf8(a);
    const std::wstring wb = WideFromUtf8(b);
    return SameWide(wa.data(), static_cast<int>(wa.size()), wb.data(), static_cast<int>(wb.size()));
}

bool IsSameOrInside(const std::string& path, const std::string& folder)
{
    const std::wstring wp = WideFromUtf8(path);
    std::wstring wf = WideFromUtf8(folder);
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

bool IsFullPath(const std::string& path)
{
    const bool drivePath = path.size() >= 3 && path[1] == ':' && path[2] == '\\' &&
                           ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'));
    const bool networkPath = path.size() > 2 && path.compare(0, 2, "\\\\") == 0 && path[2] != '?' && path[2] != '.';
    return drivePath || networkPath;
}

size_t Utf16Length(const std::string& text)
{
    size_t length = 0;
    for (unsigned char c : text) {
        if ((c & 0xC0) == 0x80) continue;  // a continuation byte
        length += c >= 0xF0 ? 2 : 1;       // four bytes: a surrogate pair
    }
    return length;
}
