#pragma once
#include "common/codecs.h"

#include <string>

// The task's cookie keep list from its stored text; an absent list is
// empty. Raises "The list of cookies to keep cannot be read ..." when the
// text is damaged: a keep list that cannot be read never counts as empty,
// which would delete every cookie.
StringList ReadCookieKeepList(const std::string& text);
