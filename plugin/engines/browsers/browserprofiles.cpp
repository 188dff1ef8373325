#include "plugin/engines/browsers/browserprofiles.h"

#include "common/error.h"
#include "common/fileenum.h"
#include "common/handles.h"
#include "common/initext.h"
#include "common/pathtext.h"
#include "common/paths.h"
#include "common/strparse.h"
#include "plugin/engines/files/filecleanup.h"
#include "plugin/engines/browsers/jsonkeys.h"
#include "common/finalpath.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

const char kSection[] = "Browser";
// A "Local State" larger than this is not one: it is not read whole.
const LONGLONG kMaxLocalStateSize = 64LL * 1024 * 1024;

std::string ReadSetting(const std::string& file, const char* section, const char* key)
{
    std::vector<char> buffer(4096);
    ::GetPrivateProfileStringA(section, key, "", buffer.data(), static_cast<DWORD>(buffer.size()), file.c_str());
    return buffer.data();
}

// A name a profile folder path can be made of: a plain file name without
// "%", which the file engine would read as the start of a variable.
bool IsPlainProfileName(const std::string& name)
{
    return IsTrustworthyName(name) && name.find('%') == std::string::npos;
}

std::string FullFolder(const std::string& text, const char* key)
{
    std::string folder = NormaliseSeparators(ExpandEnvironment(text));
    while (folder.size() > 3 && folder.back() == '\\') folder.pop_back();
    if (!IsFullPath(folder)) {
        throw CError(std::string("Job configuration is invalid (") + key + " is not a full path: " + folder + ")");
    }
    return folder;
}

// Adds the profile whose folders are root\relative and cacheRoot\relative.
// A profile folder that is a link is refused like a linked cache folder:
// it would lead every item of the profile into a folder elsewhere.
void AddProfile(BrowserProfiles& found, BrowserProfile profile)
{
    if (!IsExistingFolder(profile.dataFolder)) return;
    // Each folder once, looked up rather than compared with every one found.
    if (!found.knownFolders.insert(ToUpperAscii(profile.dataFolder)).second) return;
    const std::string& root = profile.dataRoot;
    const std::string& cacheRoot = profile.cacheRoot;
    const std::string& relative = profile.relative;
    if (!relative.empty()) {
        for (const std::string* base : {&root, &cacheRoot}) {
            // A cache folder not made yet holds nothing; it is checked again at its use.
            if (base == &cacheRoot && !IsExistingFolder(cacheRoot + "\\" + relative)) continue;
            std::string problem;
            const EntryPlace place = CheckPlainEntry(*base, relative, &problem);
            if (place == EntryPlace::Link) {
                found.linked.push_back(profile.name);
                return;
            }
            if (place == EntryPlace::Unreadable) {
                found.unreadable.push_back(profile.name + ": " + problem);
                return;
            }
        }
    }
    found.profiles.push_back(std::move(profile));
}

// A profile stored anywhere (by its full path): its folder must not be a link.
void AddStoredProfile(BrowserProfiles& found, BrowserProfile profile)
{
    const std::string folder = profile.dataFolder;
    const size_t slash = folder.find_last_of('\\');
    const std::string parent = folder.substr(0, slash == 2 ? 3 : slash);
    profile.dataRoot = profile.cacheRoot = parent;
    profile.relative = folder.substr(slash + 1);
    AddProfile(found, std::move(profile));
}

// The whole file as text; false when it is missing. Raises when it exists
// but cannot be read.
bool ReadWholeFile(const std::string& path, std::string& text)
{
    UniqueHandle file(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        const DWORD error = ::GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return false;
        throw CError("Cannot read " + path + " (Error: " + std::to_string(error) + ")");
    }
    LARGE_INTEGER size = {};
    if (!::GetFileSizeEx(file.Get(), &size) || size.QuadPart > kMaxLocalStateSize) {
        throw CError("Cannot read " + path + " (it is not a profile list)");
    }
    text.resize(static_cast<size_t>(size.QuadPart));
    DWORD read = 0;
    if (!text.empty() && (!::ReadFile(file.Get(), &text[0], static_cast<DWORD>(text.size()), &read, nullptr) ||
                          read != text.size())) {
        throw CError("Cannot read " + path + " (Error: " + std::to_string(::GetLastError()) + ")");
    }
    return true;
}

// "Profiles/abc.default" -> "Profiles\abc.default"; empty when a part of it
// is not a plain name (no ".." may lead out of the browser's folder).
std::string SafeRelativePath(const std::string& path)
{
    std::string joined;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find_first_of("/\\", start);
        if (end == std::string::npos) end = path.size();
        const std::string part = path.substr(start, end - start);
        if (!IsPlainProfileName(part)) return std::string();
        joined += (joined.empty() ? "" : "\\") + part;
        start = end + 1;
    }
    return joined;
}

}  // namespace

bool IsExistingFile(const std::string& path)
{
    const DWORD attributes = ::GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool IsExistingFolder(const std::string& path)
{
    const DWORD attributes = ::GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

BrowserSettings ReadBrowserSettings(const std::string& settingsFile)
{
    BrowserSettings settings;
    settings.name = ReadSetting(settingsFile, kSection, "Name");
    if (settings.name.empty()) throw CError("Job configuration is invalid (Missing browser name)");
    const std::string data = ReadSetting(settingsFile, kSection, "Data");
    if (data.empty()) throw CError("Job configuration is invalid (Missing browser data folder)");
    settings.dataRoot = FullFolder(data, "Data");
    const std::string cache = ReadSetting(settingsFile, kSection, "Cache");
    settings.cacheRoot = cache.empty() ? settings.dataRoot : FullFolder(cache, "Cache");
    settings.formHistory = ParseDecimalPrefix(ReadSetting(settingsFile, kSection, "FormHistory")) != 0;
    return settings;
}

BrowserProfiles FindChromiumProfiles(const BrowserSettings& settings)
{
    BrowserProfiles found;
    if (!IsExistingFolder(settings.dataRoot)) return found;

    StringList names;
    std::string localState;
    const std::string localStatePath = settings.dataRoot + "\\Local State";
    if (ReadWholeFile(localStatePath, localState)) {
        if (!ReadJsonObjectNames(localState, {"profile", "info_cache"}, names)) {
            throw CError("The list of profiles cannot be read: " + localStatePath + " is damaged");
        }
    }
    if (names.empty()) names.push_back("Default");
    for (const std::string& name : names) {
        if (!IsPlainProfileName(name)) {
            found.refused.push_back(name);
            continue;
        }
        AddProfile(found, {name, settings.dataRoot + "\\" + name, settings.cacheRoot + "\\" + name, settings.dataRoot,
                           settings.cacheRoot, name});
    }
    // A browser that keeps a single profile in its data folder itself.
    const std::string& root = settings.dataRoot;
    if (IsExistingFile(root + "\\History") || IsExistingFile(root + "\\Cookies") || IsExistingFile(root + "\\Network\\Cookies")) {
        const size_t slash = root.find_last_of('\\');
        AddProfile(found, {root.substr(slash + 1), root, settings.cacheRoot, root, settings.cacheRoot, std::string()});
    }
    return found;
}

BrowserProfiles FindFirefoxProfiles(const BrowserSettings& settings)
{
    BrowserProfiles found;
    const std::string list = settings.dataRoot + "\\profiles.ini";
    if (!IsExistingFile(list)) return found;

    // Read once, whole: a list of many sections read key by key is read
    // again for every key.
    std::string text;
    ReadWholeFile(list, text);
    const CIniText ini(text);
    for (const IniSection& section : ini.Sections()) {
        if (!StartsWithAsciiNoCase(section.name, "Profile")) continue;
        const std::string path = section.Value("Path");
        std::string name = section.Value("Name");
        if (path.empty()) continue;
        if (name.empty()) name = path;
        if (section.Value("IsRelative") == "1") {
            const std::string relative = SafeRelativePath(path);
            if (relative.empty()) {
                found.refused.push_back(path);
                continue;
            }
            AddProfile(found, {name, settings.dataRoot + "\\" + relative, settings.cacheRoot + "\\" + relative,
                               settings.dataRoot, settings.cacheRoot, relative});
        } else {
            std::string folder = NormaliseSeparators(path);
            while (folder.size() > 3 && folder.back() == '\\') folder.pop_back();
            if (!IsFullPath(folder) || folder.find("\\..") != std::string::npos || folder.find('%') != std::string::npos) {
                found.refused.push_back(path);
                continue;
            }
            AddStoredProfile(found, {name, folder, folder, std::string(), std::string(), std::string()});
        }
    }
    return found;
}

bool IsHeldByAnotherProgram(const std::string& file)
{
    // Opening for writing with no sharing changes nothing in the file.
    UniqueHandle handle(::CreateFileA(file.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
    if (handle) return false;
    const DWORD error = ::GetLastError();
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
}

namespace {

// Whether a part of relative, below folder, is listed as a link: under Wine
// a Unix link to a folder is opened as its target, which may differ from
// the path only in capitals (a folder may hold "User Data" and "user data"),
// but its folder lists it as a link.
bool ListsALinkOnTheWay(const std::string& folder, const std::string& relative)
{
    std::string path = folder;
    for (const std::string& part : SplitAtBackslashes(relative)) {
        path += "\\" + part;
        WIN32_FIND_DATAA found;
        // Missing: the open below tells. Another name (a short name's match):
        // not the entry named.
        if (FindFirstListed(path, &found) && (!SamePath(found.cFileName, part) || (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))) {
            return true;
        }
    }
    return false;
}

}  // namespace

EntryPlace CheckPlainEntry(const std::string& folder, const std::string& relative, std::string* problem)
{
    const auto withoutSeparator = [](std::string text) {
        if (!text.empty() && text.back() == '\\') text.pop_back();
        return text;
    };
    const std::string path = withoutSeparator(folder) + "\\" + relative;
    UniqueHandle folderHandle(::CreateFileA(folder.c_str(), FILE_READ_ATTRIBUTES,
                                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                            OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    UniqueHandle entry(::CreateFileA(path.c_str(), FILE_READ_ATTRIBUTES,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                     FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BY_HANDLE_FILE_INFORMATION info = {};
    if (!folderHandle || !entry || !::GetFileInformationByHandle(entry.Get(), &info)) {
        if (problem != nullptr) *problem = "Cannot open " + path + " (Error: " + std::to_string(::GetLastError()) + ")";
        return EntryPlace::Unreadable;
    }
    const std::string expected = withoutSeparator(FinalPathOf(folderHandle.Get())) + "\\" + relative;
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 || !SamePath(FinalPathOf(entry.Get()), expected) ||
        ListsALinkOnTheWay(withoutSeparator(folder), relative)) {
        if (problem != nullptr) *problem = path + " leads outside its profile (a link); it was not touched";
        return EntryPlace::Link;
    }
    return EntryPlace::Plain;
}

void RequirePlainEntry(const std::string& folder, const std::string& relative)
{
    std::string problem;
    if (CheckPlainEntry(folder, relative, &problem) != EntryPlace::Plain) throw CError(problem);
}

void RequireProfileEntry(const BrowserProfile& profile, bool cache, const std::string& entry)
{
    // From the folder the profile was found in: a profile folder swapped for
    // a link since it was found is caught here too.
    const std::string& base = cache ? profile.cacheRoot : profile.dataRoot;
    if (base.empty()) {
        RequirePlainEntry(cache ? profile.cacheFolder : profile.dataFolder, entry);
        return;
    }
    RequirePlainEntry(base, profile.relative.empty() ? entry : profile.relative + "\\" + entry);
}
