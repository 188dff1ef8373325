#pragma once
// The text of an initialisation (INI) file, read as the system's
// private-profile functions read it, but once for the whole file: reading a
// file of many sections key by key reads it again for every key.
//
// "[name]" opens a section, "key=value" gives a value; blanks around names,
// keys and values are dropped, a value in double quotes loses them, lines
// that start with ";" and lines of neither form are left out. Section and key
// names compare without regard to case; where a name comes twice, the first
// one counts.
#include <map>
#include <string>
#include <vector>

struct IniSection {
    std::string name;
    std::map<std::string, std::string> values;  // key in upper case -> value
    // The value of key, or the empty text when the section has none.
    std::string Value(const std::string& key) const;
};

class CIniText {
public:
    explicit CIniText(const std::string& text);
    // Every section once, in the order they first come.
    const std::vector<IniSection>& Sections() const { return m_sections; }
    // The section of that name, or null.
    const IniSection* Find(const std::string& name) const;

private:
    std::vector<IniSection> m_sections;
    std::map<std::string, size_t> m_byName;  // upper-case name -> index
};
