#include "rules/ruledetection.h"

#include "common/fileenum.h"
#include "common/handles.h"
#include "common/strparse.h"

#include <windows.h>

#include <cctype>
#include <cstring>
#include <vector>

namespace {

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
// their Classes: the second look is saved where it would find the same key.
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
bool SystemPathExists(const std::string& path)
{
    const size_t lastSeparator = path.find_last_of("\\/");
    const std::string folder = lastSeparator == std::string::npos ? std::string() : path.substr(0, lastSeparator);
    if (HasWildcard(folder)) return false;
    if (!HasWildcard(path)) return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
    WIN32_FIND_DATAA found;
    return FindFirstListed(path, &found);
}

}  // namespace

bool CDetectionLookups::KeyExists(const std::string& key)
{
    const auto known = m_keys.find(key);
    if (known != m_keys.end()) return known->second;
    return m_keys[key] = RegistryKeyExists(key);
}

bool CDetectionLookups::PathExists(const std::string& path)
{
    const auto known = m_paths.find(path);
    if (known != m_paths.end()) return known->second;
    return m_paths[path] = OnFixedDrive(path) && SystemPathExists(path);
}

// Only a local disk is looked at: a mapped network drive or a removable one
// would be reached across the network or spun up merely to list the rules.
bool CDetectionLookups::OnFixedDrive(const std::string& path)
{
    if (path.size() < 3 || path[1] != ':' || (path[2] != '\\' && path[2] != '/')) return false;
    const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(path[0])));
    if (letter < 'A' || letter > 'Z') return false;
    const auto known = m_fixedDrives.find(letter);
    if (known != m_fixedDrives.end()) return known->second;
    const char root[] = {letter, ':', '\\', '\0'};
    return m_fixedDrives[letter] = ::GetDriveTypeA(root) == DRIVE_FIXED;
}

RuleOsVersion RunningOsVersion()
{
    // RtlGetVersion answers the real version whatever the manifest says.
    using GetVersionFunction = LONG(WINAPI*)(OSVERSIONINFOW*);
    OSVERSIONINFOW info = {};
    info.dwOSVersionInfoSize = sizeof(info);
    const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    const auto getVersion = reinterpret_cast<GetVersionFunction>(
        reinterpret_cast<void (*)()>(ntdll != nullptr ? ::GetProcAddress(ntdll, "RtlGetVersion") : nullptr));
    if (getVersion == nullptr || getVersion(&info) != 0) return {};
    return {static_cast<long>(info.dwMajorVersion), static_cast<long>(info.dwMinorVersion)};
}

bool OsVersionInRange(const RuleOsRange& range, const RuleOsVersion& version)
{
    const auto notAbove = [](const RuleOsVersion& a, const RuleOsVersion& b) {
        return a.major != b.major ? a.major < b.major : a.minor <= b.minor;
    };
    return (!range.hasLowest || notAbove(range.lowest, version)) &&
           (!range.hasHighest || notAbove(version, range.highest));
}

namespace {

// The SpecialDetect values the format's own tool (winapp2ool) knows, and
// where each browser shows itself.
struct SpecialDetection {
    const char* name;
    std::vector<const char*> paths;
    std::vector<const char*> keys;
};
const SpecialDetection kSpecialDetections[] = {
    {"DET_CHROME",
     {"%LocalAppData%\\Google\\Chrome\\User Data", "%LocalAppData%\\Chromium\\User Data"},
     {"HKCU\\Software\\Google\\Chrome", "HKCU\\Software\\Chromium"}},
    {"DET_MOZILLA", {"%AppData%\\Mozilla\\Firefox"}, {}},
    {"DET_THUNDERBIRD", {"%AppData%\\Thunderbird"}, {}},
    {"DET_OPERA", {"%AppData%\\Opera Software"}, {}},
};

bool SpecialDetected(const std::string& name, const KnownFolders& folders, CDetectionLookups& lookups)
{
    for (const SpecialDetection& special : kSpecialDetections) {
        if (name != special.name) continue;
        for (const char* key : special.keys)
            if (lookups.KeyExists(key)) return true;
        for (const char* path : special.paths)
            for (const std::string& expanded : ExpandRuleVariables(path, folders))
                if (lookups.PathExists(expanded)) return true;
        return false;
    }
    return false;
}

}  // namespace

bool RuleEntryDetected(const RuleEntry& entry, const KnownFolders& folders, CDetectionLookups& lookups)
{
    if (entry.detectOS.present) {
        static const RuleOsVersion running = RunningOsVersion();
        if (!OsVersionInRange(entry.detectOS, running)) return false;
    }
    if (!entry.specialDetect.empty()) return SpecialDetected(entry.specialDetect, folders, lookups);
    if (entry.detectKeys.empty() && entry.detectFiles.empty()) return true;
    for (const std::string& key : entry.detectKeys)
        if (lookups.KeyExists(key)) return true;
    for (const std::string& file : entry.detectFiles)
        for (const std::string& path : ExpandRuleVariables(file, folders))
            if (lookups.PathExists(path)) return true;
    return false;
}

bool RuleEntryDetected(const RuleEntry& entry, const KnownFolders& folders)
{
    CDetectionLookups lookups;
    return RuleEntryDetected(entry, folders, lookups);
}
