#include "rules/rulestext.h"

#include "rules/rulesfile.h"

#include <cstdint>

namespace {

void AppendUtf8(std::uint32_t codePoint, std::string* out)
{
    if (codePoint < 0x80) {
        *out += static_cast<char>(codePoint);
    } else if (codePoint < 0x800) {
        *out += static_cast<char>(0xC0 | (codePoint >> 6));
        *out += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else if (codePoint < 0x10000) {
        *out += static_cast<char>(0xE0 | (codePoint >> 12));
        *out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        *out += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else {
        *out += static_cast<char>(0xF0 | (codePoint >> 18));
        *out += static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F));
        *out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        *out += static_cast<char>(0x80 | (codePoint & 0x3F));
    }
}

// UTF-16LE units after the mark, as UTF-8; false for an odd byte or a lone surrogate.
bool DecodeUtf16Le(const std::string& bytes, std::string* out)
{
    if (bytes.size() % 2 != 0) return false;
    auto unitAt = [&](size_t i) {
        return static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i]) |
                                          static_cast<unsigned char>(bytes[i + 1]) << 8);
    };
    for (size_t i = 2; i < bytes.size(); i += 2) {
        std::uint32_t unit = unitAt(i);
        if (unit >= 0xDC00 && unit <= 0xDFFF) return false;
        if (unit >= 0xD800 && unit <= 0xDBFF) {
            if (i + 2 >= bytes.size()) return false;
            const std::uint32_t low = unitAt(i + 2);
            if (low < 0xDC00 || low > 0xDFFF) return false;
            unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
            i += 2;
        }
        AppendUtf8(unit, out);
    }
    return true;
}

// The length of the UTF-8 sequence at i, 0 when it is not one (overlong
// forms, surrogates and code points beyond U+10FFFF included).
size_t Utf8SequenceLength(const std::string& text, size_t i)
{
    const unsigned char lead = static_cast<unsigned char>(text[i]);
    if (lead < 0x80) return 1;
    size_t length;
    std::uint32_t codePoint;
    if (lead >= 0xC2 && lead <= 0xDF) { length = 2; codePoint = lead & 0x1F; }
    else if (lead >= 0xE0 && lead <= 0xEF) { length = 3; codePoint = lead & 0x0F; }
    else if (lead >= 0xF0 && lead <= 0xF4) { length = 4; codePoint = lead & 0x07; }
    else return 0;
    if (i + length > text.size()) return 0;
    for (size_t k = 1; k < length; ++k) {
        const unsigned char next = static_cast<unsigned char>(text[i + k]);
        if ((next & 0xC0) != 0x80) return 0;
        codePoint = codePoint << 6 | (next & 0x3F);
    }
    if ((length == 3 && codePoint < 0x800) || (length == 4 && codePoint < 0x10000)) return 0;
    if (codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF)) return 0;
    return length;
}

}  // namespace

std::string SplitRulesText(const std::string& bytes, std::vector<RulesTextLine>* lines)
{
    lines->clear();  // a refused file gives no lines at all
    if (bytes.size() > kLargestRulesFile) return "the file is larger than 16 MB";

    std::string text;
    if (bytes.compare(0, 2, "\xFF\xFE") == 0) {
        if (!DecodeUtf16Le(bytes, &text)) return "the file is not UTF-16 text: it ends inside a character or breaks a pair";
    } else if (bytes.compare(0, 2, "\xFE\xFF") == 0) {
        return "the file is UTF-16 big-endian, which is not read";
    } else {
        text = bytes.compare(0, 3, "\xEF\xBB\xBF") == 0 ? bytes.substr(3) : bytes;
    }

    std::vector<RulesTextLine> read;
    RulesTextLine line;
    line.number = 1;
    size_t characters = 0;
    for (size_t i = 0; i < text.size();) {
        const char c = text[i];
        if (c == '\r' || c == '\n') {
            read.push_back(line);
            line.text.clear();
            line.number += 1;
            characters = 0;
            i += c == '\r' && i + 1 < text.size() && text[i + 1] == '\n' ? 2 : 1;
            continue;
        }
        if (c == '\0') return "the file holds a NUL byte on line " + std::to_string(line.number) + ": it is not text";
        if ((static_cast<unsigned char>(c) < 0x20 && c != '\t') || c == 0x7F) {
            return "the file holds a control character on line " + std::to_string(line.number) + ": it is not text";
        }
        const size_t length = Utf8SequenceLength(text, i);
        if (length == 0) return "the file is not UTF-8 text (line " + std::to_string(line.number) + ")";
        if (++characters > kLongestRulesLine) {
            return "line " + std::to_string(line.number) + " is longer than 4,096 characters";
        }
        line.text.append(text, i, length);
        i += length;
    }
    if (!line.text.empty()) read.push_back(line);
    *lines = std::move(read);
    return {};
}
