#pragma once
// Every folder listing goes through here: the entries of a folder that match
// a pattern, one at a time, "." and ".." left out, the search closed at its end.
#include "common/handles.h"

#include <windows.h>

#include <string>

class CFileEnumerator {
public:
    explicit CFileEnumerator(std::string pattern) : m_pattern(std::move(pattern)) {}

    // The next entry; false at the end, or when the search failed.
    bool Next(WIN32_FIND_DATAA& found);
    // After Next returned false: 0 when every entry was given, else the system's error.
    DWORD Error() const { return m_error; }

private:
    std::string m_pattern;
    UniqueFindHandle m_search;
    bool m_began = false;
    bool m_ended = false;
    DWORD m_error = 0;
};

// The first entry listed for a pattern (a path, or a wildcard in its last
// part), "." and ".." included: how its folder lists it; false when none is.
bool FindFirstListed(const std::string& pattern, WIN32_FIND_DATAA* found);
