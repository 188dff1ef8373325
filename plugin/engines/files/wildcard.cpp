#include "plugin/engines/files/wildcard.h"

#include <windows.h>

#include <vector>

namespace {

// What each character of a pattern stands for once the system has read it.
enum class Token {
    Literal,
    Star,      // "*": any run of characters
    DosStar,   // "*" before ".": any run that does not pass the name's last dot
    DosQuery,  // "?": one character, or none at a dot or at the end
    DosDot     // "." before "*", "?" or the end: a dot, or nothing at the end
};

struct PatternPart {
    Token token;
    wchar_t literal;
};

// The system's reading of a pattern: "*.*" is "*"; "?" is always the DOS
// question mark; "*" before "." the DOS star; "." before "?", "*" or the end
// the DOS dot.
std::vector<PatternPart> ReadPattern(const std::wstring& pattern)
{
    if (pattern == L"*.*") return {{Token::Star, 0}};
    std::vector<PatternPart> parts;
    for (size_t i = 0; i < pattern.size(); ++i) {
        const wchar_t c = pattern[i];
        const wchar_t next = i + 1 < pattern.size() ? pattern[i + 1] : L'\0';
        if (c == L'?') parts.push_back({Token::DosQuery, 0});
        else if (c == L'*') parts.push_back({next == L'.' ? Token::DosStar : Token::Star, 0});
        else if (c == L'.' && (next == L'?' || next == L'*' || next == L'\0')) parts.push_back({Token::DosDot, 0});
        else parts.push_back({Token::Literal, c});
    }
    return parts;
}

wchar_t Folded(wchar_t c)
{
    // Names compare without regard to case, as the file system compares them.
    return static_cast<wchar_t>(reinterpret_cast<ULONG_PTR>(::CharUpperW(reinterpret_cast<LPWSTR>(static_cast<ULONG_PTR>(c)))));
}

class CMatcher {
public:
    CMatcher(std::vector<PatternPart> parts, const std::wstring& name)
        : m_parts(std::move(parts)),
          m_name(name),
          m_lastDot(name.rfind(L'.')),
          m_seen((m_parts.size() + 1) * (name.size() + 1), false)
    {
    }

    // Whether the pattern from part p matches the name from character n.
    // Every pair is tried once at most: a pattern of many stars stays cheap.
    bool Matches(size_t p, size_t n)
    {
        if (p == m_parts.size()) return n == m_name.size();
        std::vector<bool>::reference seen = m_seen[p * (m_name.size() + 1) + n];
        if (seen) return false;  // tried before, and it did not match
        seen = true;
        const bool more = n < m_name.size();
        const PatternPart& part = m_parts[p];
        switch (part.token) {
        case Token::Star:
            return Matches(p + 1, n) || (more && Matches(p, n + 1));
        case Token::DosStar:
            return Matches(p + 1, n) || (more && n != m_lastDot && Matches(p, n + 1));
        case Token::DosQuery:
            if (!more || m_name[n] == L'.') return Matches(p + 1, n);
            return Matches(p + 1, n + 1);
        case Token::DosDot:
            if (!more) return Matches(p + 1, n);
            return m_name[n] == L'.' && Matches(p + 1, n + 1);
        case Token::Literal:
            return more && Folded(m_name[n]) == Folded(part.literal) && Matches(p + 1, n + 1);
        }
        return false;
    }

private:
    std::vector<PatternPart> m_parts;
    const std::wstring& m_name;
    size_t m_lastDot;
    std::vector<bool> m_seen;
};

}  // namespace

bool MatchesWildcard(const std::wstring& pattern, const std::wstring& name)
{
    return CMatcher(ReadPattern(pattern), name).Matches(0, 0);
}

bool HasWildcard(const std::wstring& pattern)
{
    return pattern.find_first_of(L"*?") != std::wstring::npos;
}
