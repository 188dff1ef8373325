#include "plugin/engines/browsers/jsonkeys.h"

#include <cstring>

namespace {

// strchr would also find the terminating NUL: a NUL in the text is no blank.
bool IsOneOf(char c, const char* set)
{
    return c != '\0' && std::strchr(set, c) != nullptr;
}

// A recursive-descent reader over the whole document. Strings are decoded
// only as far as names need: escapes of ASCII characters, and \u with its
// four hexadecimal digits as UTF-8.
class CJsonReader {
public:
    explicit CJsonReader(const std::string& text) : m_text(text) {}

    // Reads the document; at the object found at path, collects its names.
    bool ReadDocument(const StringList& path, StringList& names)
    {
        m_path = &path;
        m_names = &names;
        if (!ReadValue(0, true)) return false;
        SkipSpace();
        return m_pos == m_text.size();
    }

    // Reads the document; below the value found at path, collects the
    // string values of every member named member, at any depth.
    bool ReadDocumentValues(const StringList& path, const std::string& member, StringList& values)
    {
        StringList ignored;
        m_member = &member;
        m_values = &values;
        return ReadDocument(path, ignored);
    }

private:
    static constexpr int kMaxDepth = 64;  // a hostile file cannot exhaust the stack

    void SkipSpace()
    {
        while (m_pos < m_text.size() && IsOneOf(m_text[m_pos], " \t\r\n")) ++m_pos;
    }

    bool Take(char c)
    {
        SkipSpace();
        if (m_pos < m_text.size() && m_text[m_pos] == c) {
            ++m_pos;
            return true;
        }
        return false;
    }

    // onPath: this value is reached by the first `depth` names of the path;
    // below: it is inside the value the whole path reaches. A string value
    // is stored in text when text is given.
    bool ReadValue(size_t depth, bool onPath, bool below = false, std::string* text = nullptr)
    {
        if (depth > kMaxDepth) return false;
        SkipSpace();
        if (m_pos >= m_text.size()) return false;
        below = below || (onPath && depth == m_path->size());
        const char c = m_text[m_pos];
        if (c == '{') return ReadObject(depth, onPath, below);
        if (c == '[') return ReadArray(depth, below);
        if (c == '"') {
            std::string ignored;
            return ReadString(text != nullptr ? *text : ignored);
        }
        return ReadScalar();
    }

    bool ReadObject(size_t depth, bool onPath, bool below)
    {
        const bool collect = onPath && depth == m_path->size();
        StringList collected;
        ++m_pos;  // '{'
        if (!Take('}')) {
            do {
                SkipSpace();
                std::string name;
                if (!ReadString(name) || !Take(':')) return false;
                const bool next = onPath && depth < m_path->size() && (*m_path)[depth] == name;
                const bool wanted = below && m_member != nullptr && name == *m_member;
                std::string value;
                SkipSpace();
                const bool isString = m_pos < m_text.size() && m_text[m_pos] == '"';
                if (!ReadValue(depth + 1, next, below, wanted ? &value : nullptr)) return false;
                if (collect) collected.push_back(name);
                if (wanted && isString) m_values->push_back(value);
            } while (Take(','));
            if (!Take('}')) return false;
        }
        if (collect) m_names->insert(m_names->end(), collected.begin(), collected.end());
        return true;
    }

    bool ReadArray(size_t depth, bool below)
    {
        ++m_pos;  // '['
        if (Take(']')) return true;
        do {
            if (!ReadValue(depth + 1, false, below)) return false;
        } while (Take(','));
        return Take(']');
    }

    bool ReadString(std::string& out)
    {
        if (m_pos >= m_text.size() || m_text[m_pos] != '"') return false;
        ++m_pos;
        while (m_pos < m_text.size()) {
            const char c = m_text[m_pos++];
            if (c == '"') return true;
            if (static_cast<unsigned char>(c) < 0x20) return false;
            if (c != '\\') {
                out += c;
                continue;
            }
            if (m_pos >= m_text.size()) return false;
            const char escape = m_text[m_pos++];
            switch (escape) {
            case '"': case '\\': case '/': out += escape; break;
            case 'b': out += '\b'; break;
            case 'f': out += '\f'; break;
            case 'n': out += '\n'; break;
            case 'r': out += '\r'; break;
            case 't': out += '\t'; break;
            case 'u': if (!ReadUnicodeEscape(out)) return false; break;
            default: return false;
            }
        }
        return false;
    }

    // \u and four hexadecimal digits as UTF-8; a surrogate half stands as
    // U+FFFD (no profile folder name needs one, and a broken pair must not
    // stop the reading).
    bool ReadUnicodeEscape(std::string& out)
    {
        if (m_pos + 4 > m_text.size()) return false;
        unsigned code = 0;
        for (int i = 0; i < 4; ++i) {
            const char h = m_text[m_pos++];
            code <<= 4;
            if (h >= '0' && h <= '9') code |= static_cast<unsigned>(h - '0');
            else if (h >= 'a' && h <= 'f') code |= static_cast<unsigned>(h - 'a' + 10);
            else if (h >= 'A' && h <= 'F') code |= static_cast<unsigned>(h - 'A' + 10);
            else return false;
        }
        if (code >= 0xD800 && code <= 0xDFFF) code = 0xFFFD;
        if (code < 0x80) {
            out += static_cast<char>(code);
        } else if (code < 0x800) {
            out += static_cast<char>(0xC0 | (code >> 6));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else {
            out += static_cast<char>(0xE0 | (code >> 12));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        }
        return true;
    }

    // Numbers, true, false and null: the run of characters that may form them.
    bool ReadScalar()
    {
        const size_t start = m_pos;
        while (m_pos < m_text.size() && IsOneOf(m_text[m_pos], "+-.0123456789eEtruefalsn")) ++m_pos;
        const std::string word = m_text.substr(start, m_pos - start);
        if (word == "true" || word == "false" || word == "null") return true;
        return !word.empty() && (word[0] == '-' || (word[0] >= '0' && word[0] <= '9')) &&
               word.find_first_not_of("+-.0123456789eE") == std::string::npos;
    }

    const std::string& m_text;
    size_t m_pos = 0;
    const StringList* m_path = nullptr;
    StringList* m_names = nullptr;
    const std::string* m_member = nullptr;  // whose string values are collected, below the path
    StringList* m_values = nullptr;
};

}  // namespace

bool ReadJsonObjectNames(const std::string& json, const StringList& path, StringList& names)
{
    StringList found;
    CJsonReader reader(json);
    if (!reader.ReadDocument(path, found)) return false;
    names.insert(names.end(), found.begin(), found.end());
    return true;
}

bool ReadJsonStringValues(const std::string& json, const StringList& path, const std::string& member, StringList& values)
{
    StringList found;
    CJsonReader reader(json);
    if (!reader.ReadDocumentValues(path, member, found)) return false;
    values.insert(values.end(), found.begin(), found.end());
    return true;
}
