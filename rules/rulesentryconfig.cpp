#include "rules/rulesentryconfig.h"

#include "rules/rulesfilenames.h"

#include <windows.h>

#include <vector>

namespace {

std::vector<std::string> SplitAtTabs(const std::string& text)
{
    std::vector<std::string> parts(1);
    for (char c : text) {
        if (c == '\t') parts.emplace_back();
        else parts.back() += c;
    }
    return parts;
}

// "winapp2.ini", or "Rules\" and a plain name of an .ini file.
std::string FileProblem(const std::string& file)
{
    if (::lstrcmpiA(file.c_str(), kMainRulesFileName) == 0) return std::string();
    const std::string folder = std::string(kRulesFolderName) + "\\";
    if (file.size() <= folder.size() || ::lstrcmpiA(file.substr(0, folder.size()).c_str(), folder.c_str()) != 0)
        return "the rules file " + file + " is neither winapp2.ini nor in Rules\\";
    const std::string name = file.substr(folder.size());
    if (!IsPlainRulesFileName(name))
        return "the rules file " + file + " is not a plain .ini name in Rules\\";
    return std::string();
}

}  // namespace

std::string RulesEntryConfigText(const RulesEntryConfig& config)
{
    if (config.section.empty() || config.section.find('\t') != std::string::npos) return std::string();
    return std::string(RulesPlaceName(config.place)) + "\t" + config.file + "\t" + config.section;
}

std::string RulesEntryConfigProblem(const std::string& text, RulesEntryConfig* config)
{
    const std::vector<std::string> parts = SplitAtTabs(text);
    if (parts.size() != 3) return "expected <place>, <file> and <section> separated by tabs";
    RulesEntryConfig read;
    if (parts[0] == RulesPlaceName(RulesPlace::Program)) read.place = RulesPlace::Program;
    else if (parts[0] == RulesPlaceName(RulesPlace::User)) read.place = RulesPlace::User;
    else return "unknown place " + parts[0] + " (program or user)";
    const std::string fileProblem = FileProblem(parts[1]);
    if (!fileProblem.empty()) return fileProblem;
    if (parts[2].empty()) return "no section name";
    read.file = parts[1];
    read.section = parts[2];
    *config = read;
    return std::string();
}
