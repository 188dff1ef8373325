#include "rules/wildcardoverlap.h"

#include "common/strparse.h"

#include <algorithm>
#include <vector>

namespace {

bool IsWildcard(char c)
{
    return c == '*' || c == '?';
}

bool EndsWithAnyExtension(const std::string& pattern)
{
    return pattern.size() >= 2 && pattern.compare(pattern.size() - 2, 2, ".*") == 0;
}

// The system's readings that plain wildcards lack: "*.*" is "*", and "x.*" is also "x".
std::vector<std::string> PlainForms(const std::string& pattern)
{
    if (pattern == "*.*") return {"*"};
    if (pattern.size() >= 2 && pattern.compare(pattern.size() - 2, 2, ".*") == 0) {
        return {pattern, pattern.substr(0, pattern.size() - 2)};
    }
    return {pattern};
}

// Every name a plain pattern matches begins with its text before the first
// wildcard and ends with its text after the last one: where two patterns'
// such texts disagree, no name matches both. Most pairs a rules file asks
// about end here, without the walk.
bool LiteralEndsDisagree(const std::string& a, const std::string& b)
{
    const size_t headA = std::min(a.find_first_of("*?"), a.size());
    const size_t headB = std::min(b.find_first_of("*?"), b.size());
    for (size_t i = 0; i < std::min(headA, headB); ++i) {
        if (ToLowerAscii(a[i]) != ToLowerAscii(b[i])) return true;
    }
    const size_t lastA = a.find_last_of("*?");
    const size_t lastB = b.find_last_of("*?");
    const size_t tailA = lastA == std::string::npos ? a.size() : a.size() - lastA - 1;
    const size_t tailB = lastB == std::string::npos ? b.size() : b.size() - lastB - 1;
    for (size_t i = 1; i <= std::min(tailA, tailB); ++i) {
        if (ToLowerAscii(a[a.size() - i]) != ToLowerAscii(b[b.size() - i])) return true;
    }
    return false;
}

// Both patterns as automata walked side by side: a state is a position in
// each; "*" and "?" may be passed over without a character, "*" stays
// where it is after one, and a character steps both when the two
// positions can take the same one.
bool PlainOverlap(const std::string& a, const std::string& b)
{
    if (LiteralEndsDisagree(a, b)) return false;
    // Kept from call to call: a rules file asks this thousands of times.
    thread_local std::vector<bool> seen;
    thread_local std::vector<std::pair<size_t, size_t>> pending;
    const size_t width = b.size() + 1;
    seen.assign((a.size() + 1) * width, false);
    pending.assign(1, {0, 0});
    seen[0] = true;
    auto visit = [&](size_t i, size_t j) {
        if (!seen[i * width + j]) {
            seen[i * width + j] = true;
            pending.emplace_back(i, j);
        }
    };
    while (!pending.empty()) {
        const auto [i, j] = pending.back();
        pending.pop_back();
        if (i == a.size() && j == b.size()) return true;
        if (i < a.size() && IsWildcard(a[i])) visit(i + 1, j);
        if (j < b.size() && IsWildcard(b[j])) visit(i, j + 1);
        if (i < a.size() && j < b.size()) {
            const bool sameCharacter = IsWildcard(a[i]) || IsWildcard(b[j]) || ToLowerAscii(a[i]) == ToLowerAscii(b[j]);
            if (sameCharacter) visit(a[i] == '*' ? i : i + 1, b[j] == '*' ? j : j + 1);
        }
    }
    return false;
}

}  // namespace

bool WildcardsOverlap(const std::string& a, const std::string& b)
{
    if (a == "*" || b == "*") return true;
    // Most parts compared are plain names: "Users" against "Users".
    if (!HasWildcardCharacter(a) && !HasWildcardCharacter(b)) {
        if (a.size() != b.size()) return false;
        for (size_t i = 0; i < a.size(); ++i) {
            if (ToLowerAscii(a[i]) != ToLowerAscii(b[i])) return false;
        }
        return true;
    }
    if (!EndsWithAnyExtension(a) && !EndsWithAnyExtension(b) && a != "*.*" && b != "*.*") return PlainOverlap(a, b);
    for (const std::string& plainA : PlainForms(a)) {
        for (const std::string& plainB : PlainForms(b)) {
            if (PlainOverlap(plainA, plainB)) return true;
        }
    }
    return false;
}

bool HasWildcardCharacter(const std::string& text)
{
    return text.find_first_of("*?") != std::string::npos;
}
