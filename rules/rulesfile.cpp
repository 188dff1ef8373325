#include "rules/rulesfile.h"

#include "common/strparse.h"
#include "rules/rulestext.h"
#include "rules/rulevariables.h"

#include <algorithm>
#include <map>

namespace {

const char kBlanks[] = " \t";

enum class KeyKind {
    LangSecRef, Section, Warning, Detect, DetectFile, DetectOS, SpecialDetect, FileKey, RegKey, ExcludeKey, Ignored, Unknown
};

// The numbers the format's documentation lists, with the groups they stand for.
const std::pair<int, const char*> kLangSecRefGroups[] = {
    {3001, "Internet Explorer"}, {3005, "Microsoft Edge"},  {3006, "Microsoft Edge"}, {3021, "Applications"},
    {3022, "Internet"},          {3023, "Multimedia"},      {3024, "Utilities"},      {3025, "Windows"},
    {3026, "Firefox"},           {3027, "Opera"},           {3028, "Safari"},         {3029, "Google Chrome"},
    {3030, "Thunderbird"},       {3031, "Windows Store"},   {3033, "Vivaldi"},        {3034, "Brave"},
};

// The key of the format that says nothing this reader acts on: the default
// state (every rule starts unticked here).
const char* const kIgnoredKeys[] = {"default"};

// Keys that may carry a number; "detectfile" before "detect", which it begins with.
const std::pair<const char*, KeyKind> kNumberedKeys[] = {
    {"detectfile", KeyKind::DetectFile}, {"detect", KeyKind::Detect}, {"filekey", KeyKind::FileKey},
    {"regkey", KeyKind::RegKey},         {"excludekey", KeyKind::ExcludeKey},
};

struct RawKey {
    KeyKind kind = KeyKind::Unknown;
    long number = 0;  // 0 for an unnumbered key
    std::string name;
    std::string value;
    int line = 0;
};

RawKey ClassifyKey(const std::string& name)
{
    RawKey key;
    key.name = name;
    const std::string lower = ToLowerAscii(name);
    if (lower == "langsecref") key.kind = KeyKind::LangSecRef;
    else if (lower == "section") key.kind = KeyKind::Section;
    else if (lower == "warning") key.kind = KeyKind::Warning;
    else if (lower == "detectos") key.kind = KeyKind::DetectOS;
    else if (lower == "specialdetect") key.kind = KeyKind::SpecialDetect;
    if (key.kind != KeyKind::Unknown) return key;
    for (const char* ignored : kIgnoredKeys) {
        if (lower == ignored) { key.kind = KeyKind::Ignored; return key; }
    }
    for (const auto& numbered : kNumberedKeys) {
        const std::string base = numbered.first;
        if (lower.compare(0, base.size(), base) != 0) continue;
        const std::string digits = lower.substr(base.size());
        // Nine digits at most: no real rule has a billion keys, and the number stays a long.
        if (digits.size() > 9 || !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
            continue;
        }
        key.kind = numbered.second;
        key.number = digits.empty() ? 0 : std::stol(digits);
        return key;
    }
    return key;
}

std::vector<std::string> SplitOn(const std::string& text, char separator)
{
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        const size_t end = text.find(separator, start);
        parts.push_back(TrimCharacters(text.substr(start, end == std::string::npos ? std::string::npos : end - start), kBlanks));
        if (end == std::string::npos) return parts;
        start = end + 1;
    }
}

// The masks of a ";" list, empty ones left out.
std::vector<std::string> SplitMasks(const std::string& text)
{
    std::vector<std::string> masks;
    for (std::string& mask : SplitOn(text, ';')) {
        if (!mask.empty()) masks.push_back(mask);
    }
    return masks;
}

// Each reader of a key returns why it cannot be used, or empty.
std::string ReadFileKey(const RawKey& key, RuleFileKey* fileKey)
{
    const std::vector<std::string> parts = SplitOn(key.value, '|');
    if (parts.size() < 2) return "has no | between its folder and its file masks";
    if (parts.size() > 3) return "has more than one | after its file masks";
    fileKey->path = parts[0];
    fileKey->masks = SplitMasks(parts[1]);
    fileKey->line = key.line;
    if (fileKey->path.empty()) return "names no folder";
    if (fileKey->masks.empty()) return "names no file mask";
    if (parts.size() == 3) {
        const std::string flag = ToUpperAscii(parts[2]);
        if (flag == "RECURSE") {
            fileKey->recurse = true;
        } else if (flag == "REMOVESELF") {
            fileKey->recurse = true;
            fileKey->removeSelf = true;
        } else {
            return "has an unknown flag \"" + parts[2] + "\" (RECURSE or REMOVESELF)";
        }
    }
    return RuleVariableProblem(fileKey->path);
}

std::string ReadRegKey(const RawKey& key, RuleRegKey* regKey)
{
    const std::vector<std::string> parts = SplitOn(key.value, '|');
    if (parts.size() > 2) return "has more than one |";
    regKey->key = parts[0];
    regKey->line = key.line;
    if (regKey->key.empty()) return "names no registry key";
    if (parts.size() == 2) {
        if (parts[1].empty()) return "names an empty value after |";
        regKey->valueName = parts[1];
        regKey->hasValueName = true;
    }
    return {};
}

std::string ReadExclude(const RawKey& key, RuleExclude* exclude)
{
    const std::vector<std::string> parts = SplitOn(key.value, '|');
    if (parts.size() < 2) return "has no | after its kind (FILE, PATH or REG)";
    if (parts.size() > 3) return "has more than two | parts after its kind";
    const std::string kind = ToUpperAscii(parts[0]);
    if (kind == "FILE") exclude->kind = RuleExcludeKind::File;
    else if (kind == "PATH") exclude->kind = RuleExcludeKind::Path;
    else if (kind == "REG") exclude->kind = RuleExcludeKind::Registry;
    else return "has an unknown kind \"" + parts[0] + "\" (FILE, PATH or REG)";
    exclude->path = parts[1];
    exclude->line = key.line;
    if (exclude->path.empty()) return "names nothing to keep";
    // FILE|<folder>\<name>: the file it names (the format writes
    // FILE|<folder>\|<name>, and a rule without the last | still means its file).
    if (exclude->kind == RuleExcludeKind::File && parts.size() == 2) {
        const size_t separator = exclude->path.find_last_of("\\/");
        if (separator == std::string::npos || separator + 1 == exclude->path.size())
            return "names no file to keep (FILE|<folder>|<names>)";
        exclude->masks = {exclude->path.substr(separator + 1)};
        exclude->path.erase(separator);
        if (exclude->path.empty()) return "names no folder for its file (FILE|<folder>|<names>)";
    }
    if (parts.size() == 3) {
        exclude->masks = exclude->kind == RuleExcludeKind::Registry ? std::vector<std::string>{parts[2]} : SplitMasks(parts[2]);
        if (exclude->masks.empty() || exclude->masks[0].empty()) return "has an empty part after its path";
    }
    return exclude->kind == RuleExcludeKind::Registry ? std::string() : RuleVariableProblem(exclude->path);
}

// A kernel version as the format writes it: "6.1", "10.0", or "10".
bool ReadOsVersion(const std::string& text, RuleOsVersion* version)
{
    const size_t dot = text.find('.');
    const std::string major = text.substr(0, dot);
    const std::string minor = dot == std::string::npos ? std::string("0") : text.substr(dot + 1);
    const auto isNumber = [](const std::string& digits) {
        return !digits.empty() && digits.size() <= 4 &&
               std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; });
    };
    if (!isNumber(major) || !isNumber(minor)) return false;
    version->major = std::stol(major);
    version->minor = std::stol(minor);
    return true;
}

// DetectOS=<lowest>|<highest>, either end empty.
std::string ReadDetectOS(const RawKey& key, RuleOsRange* range)
{
    const std::vector<std::string> parts = SplitOn(key.value, '|');
    if (parts.size() != 2) return "is not <lowest>|<highest> (" + key.value + ")";
    const std::string lowest = TrimCharacters(parts[0], kBlanks), highest = TrimCharacters(parts[1], kBlanks);
    range->present = true;
    range->hasLowest = !lowest.empty();
    range->hasHighest = !highest.empty();
    if ((range->hasLowest && !ReadOsVersion(lowest, &range->lowest)) ||
        (range->hasHighest && !ReadOsVersion(highest, &range->highest)))
        return "has a version that is not a Windows version such as 6.1 (" + key.value + ")";
    return {};
}

// One section's lines, turned into its entry once the section ends.
class EntryBuilder {
public:
    EntryBuilder(const std::string& name, int line)
    {
        m_entry.name = name;
        m_entry.line = line;
    }

    void Refuse(const std::string& reason)
    {
        if (m_entry.refused.empty()) m_entry.refused = reason;
    }

    void AddLine(const RulesTextLine& line, const std::string& text)
    {
        const size_t equals = text.find('=');
        const std::string name = equals == std::string::npos ? std::string() : TrimCharacters(text.substr(0, equals), kBlanks);
        if (name.empty()) {
            Refuse("line " + std::to_string(line.number) + " is neither a key nor a comment");
            return;
        }
        RawKey key = ClassifyKey(name);
        key.value = TrimCharacters(text.substr(equals + 1), kBlanks);
        key.line = line.number;
        if (key.kind == KeyKind::Unknown) {
            // A misspelt ExcludeKey would otherwise delete what its rule keeps.
            Refuse("unknown key " + name + " on line " + std::to_string(line.number));
            return;
        }
        m_keys.push_back(key);
    }

    RuleEntry Finish()
    {
        std::stable_sort(m_keys.begin(), m_keys.end(), [](const RawKey& a, const RawKey& b) {
            return a.kind != b.kind ? a.kind < b.kind : a.number < b.number;
        });
        std::string section, langSecRef;
        bool hasWarning = false;
        for (const RawKey& key : m_keys) {
            std::string problem;
            switch (key.kind) {
            case KeyKind::LangSecRef:
                if (langSecRef.empty()) langSecRef = key.value;
                break;
            case KeyKind::Section:
                if (section.empty()) section = key.value;
                break;
            case KeyKind::Warning:
                if (!hasWarning) m_entry.warning = key.value;
                hasWarning = true;
                break;
            case KeyKind::Detect:
                if (key.value.empty()) problem = "is empty";
                else m_entry.detectKeys.push_back(key.value);
                break;
            case KeyKind::DetectFile:
                problem = key.value.empty() ? "is empty" : RuleVariableProblem(key.value);
                if (problem.empty()) m_entry.detectFiles.push_back(key.value);
                break;
            case KeyKind::DetectOS:
                if (!m_entry.detectOS.present) problem = ReadDetectOS(key, &m_entry.detectOS);
                break;
            case KeyKind::SpecialDetect:
                if (key.value.empty()) problem = "is empty";
                else if (m_entry.specialDetect.empty()) m_entry.specialDetect = ToUpperAscii(key.value);
                break;
            case KeyKind::FileKey: {
                RuleFileKey fileKey;
                problem = ReadFileKey(key, &fileKey);
                if (problem.empty()) m_entry.fileKeys.push_back(fileKey);
                break;
            }
            case KeyKind::RegKey: {
                RuleRegKey regKey;
                problem = ReadRegKey(key, &regKey);
                if (problem.empty()) m_entry.regKeys.push_back(regKey);
                break;
            }
            case KeyKind::ExcludeKey: {
                RuleExclude exclude;
                problem = ReadExclude(key, &exclude);
                if (problem.empty()) m_entry.excludes.push_back(exclude);
                break;
            }
            case KeyKind::Ignored:
            case KeyKind::Unknown:
                break;
            }
            if (!problem.empty()) Refuse(key.name + " on line " + std::to_string(key.line) + ": " + problem);
        }
        m_entry.group = !section.empty() ? section : !langSecRef.empty() ? GroupOfLangSecRef(langSecRef) : "Other";
        if (m_entry.fileKeys.empty() && m_entry.regKeys.empty()) Refuse("it names nothing to delete (no FileKey or RegKey)");
        return m_entry;
    }

private:
    RuleEntry m_entry;
    std::vector<RawKey> m_keys;
};

}  // namespace

std::string GroupOfLangSecRef(const std::string& number)
{
    for (const auto& group : kLangSecRefGroups) {
        if (number == std::to_string(group.first)) return group.second;
    }
    return "Other";
}

RulesFile ParseRulesText(const std::string& text, const std::string& fileName)
{
    RulesFile file;
    file.fileName = fileName;
    std::vector<RulesTextLine> lines;
    file.refused = SplitRulesText(text, &lines);
    if (!file.refused.empty()) return file;

    auto problem = [&](int line, const std::string& what) {
        file.problems.push_back(fileName + ":" + std::to_string(line) + ": " + what);
    };
    std::map<std::string, int> firstLineOfName;  // lower-case name: INI readers find sections without regard to case
    std::vector<EntryBuilder> builders;
    bool inUsableSection = false;
    for (const RulesTextLine& line : lines) {
        const std::string trimmed = TrimCharacters(line.text, kBlanks);
        if (trimmed.empty() || trimmed[0] == ';') continue;
        if (trimmed[0] == '[') {
            const size_t close = trimmed.rfind(']');
            inUsableSection = close != std::string::npos && close > 1;
            if (!inUsableSection) {
                problem(line.number, "a section line without a name in brackets; its keys are not read");
                continue;
            }
            const std::string name = trimmed.substr(1, close - 1);
            builders.emplace_back(name, line.number);
            const auto first = firstLineOfName.emplace(ToLowerAscii(name), line.number);
            if (!first.second) builders.back().Refuse("duplicate section (first on line " + std::to_string(first.first->second) + ")");
            continue;
        }
        if (!inUsableSection) {
            problem(line.number, "outside any section; not read");
            continue;
        }
        builders.back().AddLine(line, trimmed);
    }
    for (EntryBuilder& builder : builders) file.entries.push_back(builder.Finish());
    return file;
}
