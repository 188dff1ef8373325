#include "common/initext.h"

#include "common/strparse.h"

namespace {

const char kBlanks[] = " \t";

std::string Trimmed(const std::string& text)
{
    return TrimCharacters(text, kBlanks);
}

}  // namespace

std::string IniSection::Value(const std::string& key) const
{
    const auto found = values.find(ToUpperAscii(key));
    return found == values.end() ? std::string() : found->second;
}

CIniText::CIniText(const std::string& text)
{
    IniSection* current = nullptr;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        line = Trimmed(line);
        if (line.empty() || line[0] == ';') continue;
        if (line[0] == '[') {
            const size_t close = line.find(']');
            if (close == std::string::npos) continue;
            const std::string name = Trimmed(line.substr(1, close - 1));
            const std::string key = ToUpperAscii(name);
            const auto known = m_byName.find(key);
            if (known != m_byName.end()) {
                // A section named again adds what the first one lacks.
                current = &m_sections[known->second];
                continue;
            }
            m_byName[key] = m_sections.size();
            m_sections.push_back(IniSection{name, {}});
            current = &m_sections.back();
            continue;
        }
        const size_t equals = line.find('=');
        if (current == nullptr || equals == std::string::npos) continue;
        const std::string key = ToUpperAscii(Trimmed(line.substr(0, equals)));
        std::string value = Trimmed(line.substr(equals + 1));
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
        current->values.emplace(key, value);  // the first one counts
    }
}

const IniSection* CIniText::Find(const std::string& name) const
{
    const auto found = m_byName.find(ToUpperAscii(name));
    return found == m_byName.end() ? nullptr : &m_sections[found->second];
}
