#include "rules/rulescatalogue.h"

#include "common/fileenum.h"
#include "common/handles.h"
#include "common/paths.h"
#include "common/pathtext.h"
#include "rules/ruledetection.h"
#include "rules/ruleid.h"
#include "rules/rulesafety.h"
#include "rules/rulesfilenames.h"
#include "rules/systemfolders.h"

#include <algorithm>
#include <cstring>
#include <iterator>

namespace {

// The names of the folder's plain files matching the pattern, in name order.
std::vector<std::string> FilesMatching(const std::string& folder, const std::string& pattern)
{
    std::vector<std::string> names;
    CFileEnumerator search(folder + "\\" + pattern);
    WIN32_FIND_DATAA found;
    while (search.Next(found)) {
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) names.push_back(found.cFileName);
    }
    std::sort(names.begin(), names.end());
    return names;
}

bool EndsWithIni(const std::string& name)
{
    // "*.ini" also finds "x.ini2" through the short name: only the long one counts.
    return name.size() > 4 && ::_stricmp(name.c_str() + name.size() - 4, ".ini") == 0;
}

}  // namespace

std::string ReadRulesFileBytes(const std::string& path, std::string* bytes)
{
    UniqueHandle file(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return "the file cannot be opened (system error " + std::to_string(::GetLastError()) + ")";
    LARGE_INTEGER size = {};
    if (!::GetFileSizeEx(file.Get(), &size))
        return "the file's size cannot be read (system error " + std::to_string(::GetLastError()) + ")";
    if (size.QuadPart > static_cast<LONGLONG>(kLargestRulesFile)) return "the file is larger than 16 MB";
    bytes->resize(static_cast<size_t>(size.QuadPart));
    DWORD got = 0;
    if (!bytes->empty() && (!::ReadFile(file.Get(), &(*bytes)[0], static_cast<DWORD>(bytes->size()), &got, nullptr) ||
                            got != bytes->size()))
        return "the file cannot be read (system error " + std::to_string(::GetLastError()) + ")";
    return std::string();
}

bool IsPlainRulesFileName(const std::string& name)
{
    return name.find_first_of("\\/:") == std::string::npos && IsTrustworthyName(name) && EndsWithIni(name);
}

const char* RulesPlaceName(RulesPlace place)
{
    return place == RulesPlace::Program ? "program" : "user";
}

RulesSource ReadRulesSource(const std::string& path, const std::string& shownName, RulesPlace place,
                            const KnownFolders& folders, CDetectionLookups& lookups)
{
    std::string bytes;
    const std::string unread = ReadRulesFileBytes(path, &bytes);
    if (unread.empty()) return RulesSourceOfText(bytes, shownName, place, folders, lookups);
    RulesSource source;
    source.fileName = shownName;
    source.place = place;
    source.refused = unread;
    return source;
}

RulesSource RulesSourceOfText(const std::string& bytes, const std::string& shownName, RulesPlace place,
                              const KnownFolders& folders, CDetectionLookups& lookups)
{
    RulesSource source;
    source.fileName = shownName;
    source.place = place;
    const RulesFile parsed = ParseRulesText(bytes, shownName);
    source.refused = parsed.refused;
    for (const RuleEntry& entry : parsed.entries) {
        CatalogueRule rule;
        rule.id = RuleItemId(entry.name);
        rule.name = entry.name;
        rule.group = entry.group;
        rule.warning = entry.warning;
        rule.refused = RuleEntryRefusal(entry, folders);
        // A refused entry never runs: whether it is there is not asked.
        rule.detected = rule.refused.empty() && RuleEntryDetected(entry, folders, lookups);
        source.entries.push_back(std::move(rule));
    }
    return source;
}

RulesSourceCounts CountRulesEntries(const RulesSource& source)
{
    RulesSourceCounts counts;
    counts.entries = source.entries.size();
    for (const CatalogueRule& rule : source.entries) {
        if (!rule.refused.empty()) ++counts.refused;
        else if (rule.detected) ++counts.offered;
        else ++counts.notInstalled;
    }
    return counts;
}

std::vector<RulesSource> ReadRulesFolder(const std::string& folder, RulesPlace place, const KnownFolders& folders,
                                         CDetectionLookups& lookups)
{
    std::vector<RulesSource> sources;
    const std::string mainFile = folder + "\\" + kMainRulesFileName;
    if (::GetFileAttributesA(mainFile.c_str()) != INVALID_FILE_ATTRIBUTES)
        sources.push_back(ReadRulesSource(mainFile, kMainRulesFileName, place, folders, lookups));
    const std::string rulesFolder = folder + "\\" + kRulesFolderName;
    for (const std::string& name : FilesMatching(rulesFolder, "*.ini")) {
        if (!EndsWithIni(name)) continue;
        sources.push_back(ReadRulesSource(rulesFolder + "\\" + name, std::string(kRulesFolderName) + "\\" + name, place,
                                          folders, lookups));
    }
    return sources;
}

std::vector<RulesSource> ReadRulesCatalogue()
{
    const KnownFolders folders = SystemKnownFolders();
    const std::string programFolder = GetModuleFolder();
    const std::string dataFolder = GetDataFolder();
    // One read's answers serve every file of it: the user's rules ask what the program's asked.
    CDetectionLookups lookups;
    std::vector<RulesSource> sources;
    if (!programFolder.empty()) sources = ReadRulesFolder(programFolder, RulesPlace::Program, folders, lookups);
    // A copied program folder keeps its data beside itself: its rules are the program's, read once.
    if (!dataFolder.empty() && !SamePath(dataFolder, programFolder)) {
        std::vector<RulesSource> user = ReadRulesFolder(dataFolder, RulesPlace::User, folders, lookups);
        sources.insert(sources.end(), std::make_move_iterator(user.begin()), std::make_move_iterator(user.end()));
    }
    return sources;
}
