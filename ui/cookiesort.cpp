#include "ui/cookiesort.h"

#include "common/strparse.h"

#include <algorithm>
#include <iterator>
#include <unordered_map>

CookieLists SortCookies(const StringList& current, const StringList& keepList)
{
    // Counted, not searched: a keep list of thousands against thousands of
    // cookies stays a matter of milliseconds.
    std::unordered_map<std::string, size_t> unused;
    for (const std::string& name : keepList) ++unused[name];

    CookieLists lists;
    std::unordered_map<std::string, size_t> usedUp;
    for (const std::string& name : current) {
        auto kept = unused.find(name);
        if (kept != unused.end() && kept->second > 0) {
            --kept->second;
            ++usedUp[name];
            lists.keep.push_back(name);
        } else {
            lists.clean.push_back(name);
        }
    }
    // The occurrences used up are the first ones of each name.
    for (const std::string& name : keepList) {
        auto used = usedUp.find(name);
        if (used != usedUp.end() && used->second > 0) {
            --used->second;
            continue;
        }
        lists.keep.push_back(name);
    }
    return lists;
}

bool ComesBefore(const std::string& a, const std::string& b)
{
    const size_t common = std::min(a.size(), b.size());
    for (size_t i = 0; i < common; ++i) {
        const unsigned char x = static_cast<unsigned char>(ToLowerAscii(a[i]));
        const unsigned char y = static_cast<unsigned char>(ToLowerAscii(b[i]));
        if (x != y) return x < y;
    }
    if (a.size() != b.size()) return a.size() < b.size();
    return a < b;
}

int FindByPrefix(const StringList& names, const std::string& prefix, int start, bool wrap)
{
    const int count = static_cast<int>(names.size());
    if (start < 0 || start >= count) start = 0;
    for (int index = start; index < (wrap ? start + count : count); ++index) {
        if (StartsWithAsciiNoCase(names[static_cast<size_t>(index % count)], prefix)) return index % count;
    }
    return -1;
}

void SortForDisplay(StringList& names)
{
    std::sort(names.begin(), names.end(), ComesBefore);
}

void MoveNames(StringList& from, const std::vector<int>& positions, StringList& to)
{
    StringList moved;
    StringList staying;
    moved.reserve(positions.size());
    staying.reserve(from.size());
    size_t next = 0;
    for (size_t i = 0; i < from.size(); ++i) {
        while (next < positions.size() && (positions[next] < 0 || static_cast<size_t>(positions[next]) < i)) ++next;
        if (next < positions.size() && static_cast<size_t>(positions[next]) == i) {
            moved.push_back(std::move(from[i]));
            ++next;
        } else {
            staying.push_back(std::move(from[i]));
        }
    }
    from = std::move(staying);
    // Both are in display order: one merge keeps the target so.
    StringList merged;
    merged.reserve(to.size() + moved.size());
    std::merge(std::make_move_iterator(to.begin()), std::make_move_iterator(to.end()),
               std::make_move_iterator(moved.begin()), std::make_move_iterator(moved.end()),
               std::back_inserter(merged), ComesBefore);
    to = std::move(merged);
}
