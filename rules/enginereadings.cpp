#include "rules/enginereadings.h"

namespace {

// The length of the text without a final dot and the wildcards after it;
// npos when the text does not end that way.
size_t WithoutDroppedEnding(const std::string& text)
{
    const size_t dot = text.find_last_of('.');
    if (dot == std::string::npos || text.find_first_not_of("?*", dot + 1) != std::string::npos) return std::string::npos;
    return dot;
}

}  // namespace

std::vector<std::string> MaskReadings(const std::string& mask)
{
    std::vector<std::string> readings = {mask};
    for (std::string form = mask;;) {
        const size_t length = WithoutDroppedEnding(form);
        if (length == std::string::npos || length == 0) break;
        form.resize(length);
        readings.push_back(form);
    }
    return readings;
}

bool HasDroppedEnding(const std::string& part)
{
    const size_t length = WithoutDroppedEnding(part);
    if (length == std::string::npos || length == 0) return false;
    return part.compare(length, std::string::npos, ".*") != 0;
}

std::string FoldsToAscii(const std::string& text)
{
    // U+0131 (dotless i) upper-cases to "I", U+017F (long s) to "S".
    for (const char* letter : {"\xC4\xB1", "\xC5\xBF"}) {
        if (text.find(letter) != std::string::npos) return letter;
    }
    return {};
}
