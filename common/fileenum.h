#pragma once
// The entries of one folder that match a pattern, one at a time, as the
// system's find functions give them, "." and ".." left out. The search is
// closed as soon as it ends.
#include "common/handles.h"

#include <windows.h>

#include <string>

class CFileEnumerator {
public:
    explicit CFileEnumerator(std::string pattern) : m_pattern(std::move(pattern)) {}

    // The next entry; false at the end, or when the search failed.
    bool Next(WIN32_FIND_DATAA& found);
    // After Next returned false: 0 when every entry was given, otherwise
    // the system's error (ERROR_FILE_NOT_FOUND when nothing matched).
    DWORD Error() const { return m_error; }
    // Whether the search began: an error before it is about the pattern,
    // one after it leaves the listing incomplete.
    bool Began() const { return m_began; }

private:
    std::string m_pattern;
    UniqueFindHandle m_search;
    bool m_began = false;
    bool m_ended = false;
    DWORD m_error = 0;
};
