#pragma once
// GUID text: 36 upper-case hexadecimal characters in the 8-4-4-4-12 grouping,
// no braces; braces are accepted on input.
#include <windows.h>
#include <cstring>
#include <string>

std::string GuidToString(const GUID& guid);

// Raises CError "bad GUID: <text>" or "ill-formed GUID: <text>".
GUID StringToGuid(const std::string& text);

inline bool IsNullGuid(const GUID& guid)
{
    static const GUID zero = {};
    return std::memcmp(&guid, &zero, sizeof(GUID)) == 0;
}

inline bool SameGuid(const GUID& a, const GUID& b)
{
    return std::memcmp(&a, &b, sizeof(GUID)) == 0;
}

// Orders GUIDs by the 16 bytes of their in-memory form, first byte first,
// as unsigned bytes. This fixes the order of GUID lines in task files.
struct GuidLess {
    bool operator()(const GUID& a, const GUID& b) const
    {
        return std::memcmp(&a, &b, sizeof(GUID)) < 0;
    }
};
