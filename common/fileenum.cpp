#include "common/fileenum.h"

#include <cstring>

bool CFileEnumerator::Next(WIN32_FIND_DATAA& found)
{
    while (!m_ended) {
        bool got = false;
        if (!m_began) {
            m_search.Reset(::FindFirstFileA(m_pattern.c_str(), &found));
            got = m_began = m_search.IsValid();
        } else {
            got = ::FindNextFileA(m_search.Get(), &found) != FALSE;
        }
        if (!got) {
            const DWORD error = ::GetLastError();
            m_error = error == ERROR_NO_MORE_FILES && m_began ? 0 : error;
            m_ended = true;
            m_search.Reset();
            return false;
        }
        if (std::strcmp(found.cFileName, ".") != 0 && std::strcmp(found.cFileName, "..") != 0) return true;
    }
    return false;
}

bool FindFirstListed(const std::string& pattern, WIN32_FIND_DATAA* found)
{
    return UniqueFindHandle(::FindFirstFileA(pattern.c_str(), found)).IsValid();
}
