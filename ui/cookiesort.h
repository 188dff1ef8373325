#pragma once
// Which of the browser's current cookies the cookies dialog offers for
// cleaning and which it shows as kept.
#include "common/codecs.h"

struct CookieLists {
    StringList clean;
    StringList keep;
};

// Each current cookie goes to the keep side when the keep list holds an
// equal name (byte for byte), using up one occurrence of it, otherwise to
// the clean side; the names of the keep list left over follow on the keep
// side, so a kept name stays kept while its cookie is absent.
CookieLists SortCookies(const StringList& current, const StringList& keepList);
