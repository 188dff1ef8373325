// The JSON strings of the program's listings.
#include "common/jsontext.h"

#include <gtest/gtest.h>

namespace {

struct JsonCase {
    std::string text;
    std::string json;
};

TEST(JsonText, EscapesQuotesBackslashesAndControlCharactersAndKeepsUtf8)
{
    const JsonCase cases[] = {
        {"", R"("")"},
        {"plain", R"("plain")"},
        {"say \"hi\"", R"("say \"hi\"")"},
        {"C:\\Users\\x", R"("C:\\Users\\x")"},
        {"tab\there", R"("tab\u0009here")"},
        {"line\r\nend", R"("line\u000D\u000Aend")"},
        {std::string("nul\0in", 6), R"("nul\u0000in")"},
        {"\x1f\x7f", R"("\u001F\u007F")"},
        {"caf\xC3\xA9 \xE2\x82\xAC", "\"caf\xC3\xA9 \xE2\x82\xAC\""},
        {"/ stays", R"("/ stays")"},
    };
    for (const JsonCase& c : cases) EXPECT_EQ(JsonString(c.text), c.json) << c.json;
}

TEST(JsonText, AnEmptyTextIsNull)
{
    EXPECT_EQ(JsonStringOrNull(""), "null");
    EXPECT_EQ(JsonStringOrNull("x\\"), R"("x\\")");
}

}  // namespace
