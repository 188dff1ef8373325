#include "rules/rulescatalogue.h"

#include "common/handles.h"
#include "common/paths.h"
#include "common/pathtext.h"
#include "common/strparse.h"
#include "rules/ruleid.h"
#include "rules/rulesafety.h"
#include "rules/systemfolders.h"

#include <algorithm>
#include <cstring>
#include <iterator>

namespace {

const char kMainRulesFile[] = "winapp2.ini";
const char kRulesFolder[] = "Rules";

struct RegistryRoot {
    const char* shortName;
    const char* longName;
    HKEY key;
};

const RegistryRoot kDetectRoots[] = {
    {"HKCU", "HKEY_CURRENT_USER", HKEY_CURRENT_USER},
    {"HKLM", "HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},
    {"HKCR", "HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},
    {"HKU", "HKEY_USERS", HKEY_USERS},
};

bool SameAsciiText(const std::string& a, const char* b)
{
    return a.size() == std::strlen(b) && ::_strnicmp(a.c_str(), b, a.size()) == 0;
}

// The key's root and the path below it; false for a root detection does not read.
bool SplitRegistryKey(const std::string& key, HKEY* root, std::string* below)
{
    const size_t separator = key.find('\\');
    const std::string rootName = key.substr(0, separator);
    for (const RegistryRoot& known : kDetectRoots) {
        if (!SameAsciiText(rootName, known.shortName) && !SameAsciiText(rootName, known.longName)) continue;
        *root = known.key;
        *below = separator == std::string::npos ? std::string() : key.substr(separator + 1);
        return true;
    }
    return false;
}

// Either view of the registry counts: an application of either bitness
// shows itself in its own. The user's keys are one for both views, but for
// their Classes: the second look is saved where it would find the same key
// (each look is a trip to the wine server, thousands per start).
bool RegistryKeyExists(const std::string& key)
{
    HKEY root = nullptr;
    std::string below;
    if (!SplitRegistryKey(key, &root, &below)) return false;
    const bool sharedByBothViews = root == HKEY_CURRENT_USER && !StartsWithAsciiNoCase(below, "Software\\Classes");
    for (const REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY}) {
        UniqueRegKey opened;
        if (::RegOpenKeyExA(root, below.c_str(), 0, KEY_READ | view, opened.Receive()) == ERROR_SUCCESS) return true;
        if (sharedByBothViews) break;
    }
    return false;
}

bool HasWildcard(const std::string& text)
{
    return text.find_first_of("*?") != std::string::npos;
}

// A wildcard only in the last part is looked up; one in a folder above
// would need a walk that detection is not worth.
bool PathExists(const std::string& path)
{
    const size_t lastSeparator = path.find_last_of("\\/");
    const std::string folder = lastSeparator == std::string::npos ? std::string() : path.substr(0, lastSeparator);
    if (HasWildcard(folder)) return false;
    if (!HasWildcard(path)) return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
    WIN32_FIND_DATAA found;
    UniqueFindHandle search(::FindFirstFileA(path.c_str(), &found));
    return search.IsValid();
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

namespace {

// The names of the folder's plain files matching the pattern, in name order.
std::vector<std::string> FilesMatching(const std::string& folder, const std::string& pattern)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    UniqueFindHandle search(::FindFirstFileA((folder + "\\" + pattern).c_str(), &found));
    if (!search) return names;
    do {
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) names.push_back(found.cFileName);
    } while (::FindNextFileA(search.Get(), &found));
    std::sort(names.begin(), names.end());
    return names;
}

bool EndsWithIni(const std::string& name)
{
    // "*.ini" also finds "x.ini2" through the short name: only the long one counts.
    return name.size() > 4 && ::_stricmp(name.c_str() + name.size() - 4, ".ini") == 0;
}

}  // namespace

const char* RulesPlaceName(RulesPlace place)
{
    return place == RulesPlace::Program ? "program" : "user";
}

bool RuleEntryDetected(const RuleEntry& entry, const KnownFolders& folders)
{
    if (entry.detectKeys.empty() && entry.detectFiles.empty()) return true;
    for (const std::string& key : entry.detectKeys)
        if (RegistryKeyExists(key)) return true;
    for (const std::string& file : entry.detectFiles)
        for (const std::string& path : ExpandRuleVariables(file, folders))
            if (PathExists(path)) return true;
    return false;
}

RulesSource ReadRulesSource(const std::string& path, const std::string& shownName, RulesPlace place,
                            const KnownFolders& folders)
{
    std::string bytes;
    const std::string unread = ReadRulesFileBytes(path, &bytes);
    if (unread.empty()) return RulesSourceOfText(bytes, shownName, place, folders);
    RulesSource source;
    source.fileName = shownName;
    source.place = place;
    source.refused = unread;
    return source;
}

RulesSource RulesSourceOfText(const std::string& bytes, const std::string& shownName, RulesPlace place,
                              const KnownFolders& folders)
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
        rule.detected = rule.refused.empty() && RuleEntryDetected(entry, folders);
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

std::vector<RulesSource> ReadRulesFolder(const std::string& folder, RulesPlace place, const KnownFolders& folders)
{
    std::vector<RulesSource> sources;
    const std::string mainFile = folder + "\\" + kMainRulesFile;
    if (::GetFileAttributesA(mainFile.c_str()) != INVALID_FILE_ATTRIBUTES)
        sources.push_back(ReadRulesSource(mainFile, kMainRulesFile, place, folders));
    const std::string rulesFolder = folder + "\\" + kRulesFolder;
    for (const std::string& name : FilesMatching(rulesFolder, "*.ini")) {
        if (!EndsWithIni(name)) continue;
        sources.push_back(ReadRulesSource(rulesFolder + "\\" + name, std::string(kRulesFolder) + "\\" + name, place,
                                          folders));
    }
    return sources;
}

std::vector<RulesSource> ReadRulesCatalogue()
{
    const KnownFolders folders = SystemKnownFolders();
    const std::string programFolder = GetModuleFolder();
    const std::string dataFolder = GetDataFolder();
    std::vector<RulesSource> sources;
    if (!programFolder.empty()) sources = ReadRulesFolder(programFolder, RulesPlace::Program, folders);
    // A copied program folder keeps its data beside itself: its rules are the program's, read once.
    if (!dataFolder.empty() && !SamePath(dataFolder, programFolder)) {
        std::vector<RulesSource> user = ReadRulesFolder(dataFolder, RulesPlace::User, folders);
        sources.insert(sources.end(), std::make_move_iterator(user.begin()), std::make_move_iterator(user.end()));
    }
    return sources;
}
