#pragma once
// Which of the browser's current cookies the cookies dialog offers for
// cleaning and which it shows as kept, and the order both lists show.
#include "common/codecs.h"

#include <vector>

struct CookieLists {
    StringList clean;
    StringList keep;
};

// Each current cookie goes to the keep side when the keep list holds an
// equal name (byte for byte), using up one occurrence of it, otherwise to
// the clean side; the names of the keep list left over follow on the keep
// side, so a kept name stays kept while its cookie is absent.
CookieLists SortCookies(const StringList& current, const StringList& keepList);

// The order of the dialog's lists: letters compared without regard to case,
// then byte for byte, so that names differing only in case keep one order.
bool ComesBefore(const std::string& a, const std::string& b);
void SortForDisplay(StringList& names);

// Moves the names at the positions given (ascending, each within from) to
// the other list; both lists stay in display order.
void MoveNames(StringList& from, const std::vector<int>& positions, StringList& to);

// The first name from start on (wrapping round when asked) that begins with
// prefix, letters compared without regard to case; -1 when none does.
int FindByPrefix(const StringList& names, const std::string& prefix, int start, bool wrap);
