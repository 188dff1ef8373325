#pragma once
// The community cleaning-rules format ("winapp2.ini"), read as text: one
// entry per "[Name *]" section. Pure, so that it can be fuzzed; what the
// entries may delete is judged by rulesafety.h, and their paths expanded by
// rulevariables.h.
#include <string>
#include <vector>

// FileKeyN=<folder>|<mask>[;<mask>...][|RECURSE|REMOVESELF]
struct RuleFileKey {
    std::string path;                // the folder, variables not yet expanded
    std::vector<std::string> masks;  // file name wildcards, never empty
    bool recurse = false;            // also the folders below
    bool removeSelf = false;         // also the emptied folders, itself included; implies recurse
    int line = 0;
};

// RegKeyN=<key>[|<value name>]
struct RuleRegKey {
    std::string key;        // with its root as written: "HKCU\Software\Vendor"
    std::string valueName;  // only this value when hasValueName, else the whole key
    bool hasValueName = false;
    int line = 0;
};

enum class RuleExcludeKind { File, Path, Registry };

// ExcludeKeyN=FILE|<folder>|<names> / PATH|<folder>[|<masks>] / REG|<key>[|<value>]
struct RuleExclude {
    RuleExcludeKind kind = RuleExcludeKind::File;
    std::string path;                // a folder (FILE, PATH) or a registry key (REG)
    std::vector<std::string> masks;  // FILE/PATH: the names kept; REG: the value name, if any
    int line = 0;
};

// DetectOS=<lowest>|<highest>: the Windows versions (kernel numbers such
// as 6.1 or 10.0, both ends included) the entry is meant for; either end
// may be left empty.
struct RuleOsVersion {
    long major = 0;
    long minor = 0;
};
struct RuleOsRange {
    bool present = false;  // the entry has a DetectOS key
    bool hasLowest = false, hasHighest = false;
    RuleOsVersion lowest, highest;
};

struct RuleEntry {
    std::string name;   // between the brackets, exactly as written
    std::string group;  // Section=, else LangSecRef's group
    int line = 0;       // of the section line
    std::vector<std::string> detectKeys;   // registry keys, any of which shows the entry
    std::vector<std::string> detectFiles;  // files or folders, any of which shows the entry
    RuleOsRange detectOS;                  // when present, decides before any other detection
    std::string specialDetect;             // a detection the format names ("DET_CHROME"), upper case
    std::string warning;
    std::vector<RuleFileKey> fileKeys;
    std::vector<RuleRegKey> regKeys;
    std::vector<RuleExclude> excludes;
    std::string refused;  // why the entry cannot be used at all; empty when it can
};

struct RulesFile {
    std::string fileName;
    std::string refused;                // why the whole file was not read; then there are no entries
    std::vector<RuleEntry> entries;     // in file order, refused ones included
    std::vector<std::string> problems;  // "<file>:<line>: ..." for lines outside any usable entry
};

// Largest file and longest line read; beyond them the file is refused.
constexpr size_t kLargestRulesFile = 16 * 1024 * 1024;
constexpr size_t kLongestRulesLine = 4096;

// Reads the file's bytes: UTF-8 with or without its byte order mark, or
// UTF-16LE with its mark. Key names, flags and exclusion kinds compare
// without regard to case, as the system's own INI reader takes key names;
// numbered keys may come in any order and are kept in the order of their
// numbers. A key this reader cannot be sure of (unknown name, missing "|"
// part, unknown flag, unknown variable) refuses its entry, never the file.
RulesFile ParseRulesText(const std::string& text, const std::string& fileName);

// The group name for a LangSecRef number; "Other" for one not known.
std::string GroupOfLangSecRef(const std::string& number);
