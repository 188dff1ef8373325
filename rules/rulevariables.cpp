#include "rules/rulevariables.h"

#include "common/strparse.h"

#include <tuple>

namespace {

// Each two-folder variable doubles a path's candidates; no real rule has
// more than two variables in a path.
const int kMostVariablesInAPath = 8;

struct VariableFolders {
    const char* name;  // lower case
    std::string KnownFolders::*first;
    std::string KnownFolders::*second;  // or null
};

// The format's own variables and those of Windows it uses.
const VariableFolders kVariables[] = {
    {"userprofile", &KnownFolders::userProfile, nullptr},
    {"appdata", &KnownFolders::appData, nullptr},
    {"localappdata", &KnownFolders::localAppData, nullptr},
    {"locallowappdata", &KnownFolders::localLowAppData, nullptr},
    {"documents", &KnownFolders::documents, nullptr},
    {"pictures", &KnownFolders::pictures, nullptr},
    {"music", &KnownFolders::music, nullptr},
    {"video", &KnownFolders::videos, nullptr},
    {"public", &KnownFolders::publicProfile, nullptr},
    {"programdata", &KnownFolders::programData, nullptr},
    {"commonappdata", &KnownFolders::programData, nullptr},
    {"allusersprofile", &KnownFolders::programData, nullptr},
    {"programfiles", &KnownFolders::programFiles, &KnownFolders::programFilesX86},
    {"programfiles(x86)", &KnownFolders::programFilesX86, nullptr},
    {"programw6432", &KnownFolders::programFiles, nullptr},
    {"commonprogramfiles", &KnownFolders::commonProgramFiles, &KnownFolders::commonProgramFilesX86},
    {"commonprogramfiles(x86)", &KnownFolders::commonProgramFilesX86, nullptr},
    {"windir", &KnownFolders::windows, nullptr},
    {"systemroot", &KnownFolders::windows, nullptr},
    {"systemdrive", &KnownFolders::systemDrive, nullptr},
    {"homedrive", &KnownFolders::systemDrive, nullptr},
    {"temp", &KnownFolders::temp, nullptr},
    {"tmp", &KnownFolders::temp, nullptr},
};

const VariableFolders* FindVariable(const std::string& name)
{
    const std::string lower = ToLowerAscii(name);
    for (const VariableFolders& variable : kVariables) {
        if (lower == variable.name) return &variable;
    }
    return nullptr;
}

}  // namespace

bool operator==(const KnownFolders& a, const KnownFolders& b)
{
    static_assert(sizeof(KnownFolders) == 20 * sizeof(std::string), "a new folder must be compared too");
    const auto fields = [](const KnownFolders& f) {
        return std::tie(f.userProfile, f.appData, f.localAppData, f.localLowAppData, f.documents, f.desktop,
                        f.downloads, f.pictures, f.music, f.videos, f.oneDrive, f.publicProfile, f.programData,
                        f.programFiles, f.programFilesX86, f.commonProgramFiles, f.commonProgramFilesX86, f.windows,
                        f.systemDrive, f.temp);
    };
    return fields(a) == fields(b);
}

bool operator!=(const KnownFolders& a, const KnownFolders& b)
{
    return !(a == b);
}

bool IsKnownRuleVariable(const std::string& name)
{
    return FindVariable(name) != nullptr;
}

std::string RuleVariableProblem(const std::string& text)
{
    int count = 0;
    for (size_t start = text.find('%'); start != std::string::npos; start = text.find('%', start)) {
        const size_t end = text.find('%', start + 1);
        if (end == std::string::npos) return "a % without its closing % in " + text;
        const std::string name = text.substr(start + 1, end - start - 1);
        if (!IsKnownRuleVariable(name)) return "unknown variable %" + name + "%";
        if (++count > kMostVariablesInAPath) return "more than 8 variables in " + text;
        start = end + 1;
    }
    return {};
}

std::vector<std::string> ExpandRuleVariables(const std::string& text, const KnownFolders& folders)
{
    if (!RuleVariableProblem(text).empty()) return {};
    std::vector<std::string> candidates{""};
    size_t position = 0;
    while (position < text.size()) {
        const size_t start = text.find('%', position);
        const std::string literal = text.substr(position, start == std::string::npos ? std::string::npos : start - position);
        for (std::string& candidate : candidates) candidate += literal;
        if (start == std::string::npos) break;
        const size_t end = text.find('%', start + 1);
        const VariableFolders* variable = FindVariable(text.substr(start + 1, end - start - 1));
        std::vector<std::string> values{folders.*(variable->first)};
        if (variable->second && folders.*(variable->second) != values[0]) values.push_back(folders.*(variable->second));

        std::vector<std::string> expanded;
        for (const std::string& candidate : candidates) {
            for (const std::string& value : values) {
                if (!value.empty()) expanded.push_back(candidate + value);
            }
        }
        candidates.swap(expanded);
        if (candidates.empty()) return {};
        position = end + 1;
    }
    return candidates;
}
