#include "plugin/engines/keeplist.h"

#include "common/error.h"

StringList ReadCookieKeepList(const std::string& text)
{
    StringList keepList;
    if (!TryDecodeStringList(text, keepList)) {
        throw CError("The list of cookies to keep cannot be read (the task's setting is damaged); no cookie was "
                     "deleted. Open the task's options and choose the cookies to keep again.");
    }
    return keepList;
}
