#include "common/guid.h"

#include "common/error.h"
#include "common/strformat.h"

#include <cctype>
#include <cstdio>

namespace {

// The scan alone would stop quietly at a stray character inside a field (a
// trailing "G" would still leave eleven fields converted), so the grouping
// is checked character by character too.
bool HasGuidShape(const std::string& text, size_t offset)
{
    for (size_t i = 0; i < 36; ++i) {
        const char c = text[offset + i];
        const bool dashPosition = i == 8 || i == 13 || i == 18 || i == 23;
        if (dashPosition ? c != '-' : !std::isxdigit(static_cast<unsigned char>(c))) return false;
    }
    return true;
}

}  // namespace

std::string GuidToString(const GUID& g)
{
    return StrFormat("%08lX-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X",
                     static_cast<unsigned long>(g.Data1), g.Data2, g.Data3,
                     g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3],
                     g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
}

GUID StringToGuid(const std::string& text)
{
    const bool braced = !text.empty() && text.front() == '{' && text.back() == '}';
    if (text.size() != (braced ? 38u : 36u)) throw CError("bad GUID: " + text);

    const char* format = braced ? "{%8X-%4X-%4X-%2X%2X-%2X%2X%2X%2X%2X%2X}"
                                : "%8X-%4X-%4X-%2X%2X-%2X%2X%2X%2X%2X%2X";
    unsigned int f[11] = {};
    const int converted = std::sscanf(text.c_str(), format, &f[0], &f[1], &f[2], &f[3], &f[4],
                                      &f[5], &f[6], &f[7], &f[8], &f[9], &f[10]);
    if (converted < 11 || !HasGuidShape(text, braced ? 1 : 0)) throw CError("ill-formed GUID: " + text);

    GUID guid;
    guid.Data1 = f[0];
    guid.Data2 = static_cast<unsigned short>(f[1] & 0xFFFF);
    guid.Data3 = static_cast<unsigned short>(f[2] & 0xFFFF);
    for (int i = 0; i < 8; ++i) guid.Data4[i] = static_cast<unsigned char>(f[3 + i] & 0xFF);
    return guid;
}
