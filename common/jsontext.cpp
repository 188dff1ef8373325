#include "common/jsontext.h"

#include <cstdio>

std::string JsonString(const std::string& text)
{
    std::string json;
    json.reserve(text.size() + 2);
    json += '"';
    for (const char c : text) {
        const unsigned char byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            json += '\\';
            json += c;
        } else if (byte < 0x20 || byte == 0x7F) {
            char escape[7];
            std::snprintf(escape, sizeof escape, "\\u%04X", byte);
            json += escape;
        } else {
            json += c;
        }
    }
    json += '"';
    return json;
}

std::string JsonStringOrNull(const std::string& text)
{
    return text.empty() ? std::string("null") : JsonString(text);
}
