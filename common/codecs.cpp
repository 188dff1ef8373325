#include "common/codecs.h"

#include "common/strformat.h"

#include <cstdio>

namespace {

// Only digits and upper-case A-F carry a value; anything else counts as 0.
int NibbleOf(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return 0;
}

}  // namespace

std::string EncodeStringList(const StringList& strings)
{
    static const char kDigits[] = "0123456789ABCDEF";
    std::string text;
    for (const std::string& s : strings) {
        for (unsigned char byte : s) {
            text += kDigits[byte >> 4];
            text += kDigits[byte & 0x0F];
        }
        text += "00";
    }
    return text;
}

void DecodeStringList(const std::string& text, StringList& strings)
{
    std::string current;
    for (size_t i = 0; i + 1 < text.size(); i += 2) {
        const char byte = static_cast<char>(NibbleOf(text[i]) * 16 + NibbleOf(text[i + 1]));
        if (byte != 0) {
            current += byte;
        } else {
            strings.push_back(current);
            current.clear();
        }
    }
}

bool TryDecodeStringList(const std::string& text, StringList& strings)
{
    const auto isDigit = [](char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'); };
    if (text.size() % 2 != 0) return false;
    if (!text.empty() && text.compare(text.size() - 2, 2, "00") != 0) return false;
    for (char c : text) {
        if (!isDigit(c)) return false;
    }
    DecodeStringList(text, strings);
    return true;
}

std::string EncodeFlagAndNumber(bool flag, int number)
{
    return StrFormat("%d %d", flag ? 1 : 0, number);
}

void DecodeFlagAndNumber(const std::string& text, bool* flag, int* number)
{
    int first = 0;
    int second = 0;
    if (std::sscanf(text.c_str(), "%d %d", &first, &second) == 2) {
        *flag = first != 0;
        *number = second;
    } else {
        *flag = true;
        *number = kDefaultTempFilesAgeHours;
    }
}
