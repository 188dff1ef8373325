#include "ui/cookiesort.h"

#include <algorithm>

CookieLists SortCookies(const StringList& current, const StringList& keepList)
{
    CookieLists lists;
    StringList unused = keepList;
    for (const std::string& name : current) {
        const auto kept = std::find(unused.begin(), unused.end(), name);
        if (kept != unused.end()) {
            lists.keep.push_back(name);
            unused.erase(kept);
        } else {
            lists.clean.push_back(name);
        }
    }
    lists.keep.insert(lists.keep.end(), unused.begin(), unused.end());
    return lists;
}
