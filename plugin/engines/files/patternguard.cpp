#include "plugin/engines/files/patternguard.h"

#include "common/error.h"
#include "common/handles.h"
#include "common/paths.h"
#include "common/strformat.h"
#include "common/pathtext.h"
#include "common/finalpath.h"
#include "plugin/engines/cleanupreport.h"

#include <windows.h>
#include <shlobj.h>

#include <vector>

namespace {

[[noreturn]] void Refuse(const std::string& pattern, const std::string& reason)
{
    throw CError(StrFormat("File pattern refused: %s (%s).", pattern.c_str(), reason.c_str()));
}

std::string FullPathOf(const std::string& path)
{
    char buffer[MAX_PATH * 2] = {};
    const DWORD length = ::GetFullPathNameA(path.c_str(), sizeof buffer, buffer, nullptr);
    if (length == 0 || length >= sizeof buffer) return std::string();
    return buffer;
}

std::string WithoutTrailingSeparator(std::string path)
{
    // "C:\" keeps its separator: it is the root's only form.
    while (path.size() > 3 && path.back() == '\\') path.pop_back();
    return path;
}

bool IsDriveRoot(const std::string& path)
{
    if (path.size() == 2 && path[1] == ':') return true;
    if (path.size() == 3 && path[1] == ':' && path[2] == '\\') return true;
    // "\\server\share": two parts after the leading separators.
    if (path.compare(0, 2, "\\\\") != 0) return false;
    const size_t shareStart = path.find('\\', 2);
    return shareStart != std::string::npos && path.find('\\', shareStart + 1) == std::string::npos;
}

struct ProtectedFolder {
    std::string path;
    bool holdersToo;  // a folder that holds it is refused as well
};

void AddFolder(std::vector<ProtectedFolder>& folders, const std::string& path, bool holdersToo)
{
    if (path.empty()) return;
    const std::string full = WithoutTrailingSeparator(FullPathOf(path));
    if (full.empty()) return;
    folders.push_back({full, holdersToo});
    // Also where it really is, when a link or a short name stands for it.
    UniqueHandle handle(::CreateFileA(full.c_str(), FILE_READ_ATTRIBUTES,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!handle) return;
    const std::string final = FinalPathOf(handle.Get());
    if (!final.empty() && !SamePath(final, full)) folders.push_back({final, holdersToo});
}

std::string ShellFolder(int csidl)
{
    char path[MAX_PATH] = {};
    if (FAILED(::SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path))) return std::string();
    return path;
}

std::string ParentOf(const std::string& path)
{
    const size_t slash = path.find_last_of('\\');
    return slash == std::string::npos || slash < 3 ? std::string() : path.substr(0, slash);
}

// The folders no pattern may work in, asked of the system once for each
// pattern (not of the environment, which a hostile TEMP could come from).
struct ProtectedFolders {
    std::vector<ProtectedFolder> folders;
    std::string profiles;  // the folder that holds every user's profile
};

ProtectedFolders AskProtectedFolders()
{
    ProtectedFolders kept;
    char path[MAX_PATH] = {};
    if (::GetWindowsDirectoryA(path, MAX_PATH) != 0) AddFolder(kept.folders, path, true);
    if (::GetSystemDirectoryA(path, MAX_PATH) != 0) AddFolder(kept.folders, path, true);
    if (::GetSystemWow64DirectoryA(path, MAX_PATH) != 0) AddFolder(kept.folders, path, true);
    AddFolder(kept.folders, ShellFolder(CSIDL_PROGRAM_FILES), true);
    AddFolder(kept.folders, ShellFolder(CSIDL_PROGRAM_FILESX86), true);
    const std::string profile = WithoutTrailingSeparator(ShellFolder(CSIDL_PROFILE));
    kept.profiles = ParentOf(profile);
    AddFolder(kept.folders, profile, true);
    AddFolder(kept.folders, kept.profiles, true);
    AddFolder(kept.folders, GetModuleFolder(), false);
    AddFolder(kept.folders, GetDataFolder(), false);  // the user's tasks and their history
    AddFolder(kept.folders, GetMachineTaskFolder(), false);  // the administrators' tasks
    return kept;
}

void RefuseProtected(const std::string& folder, const ProtectedFolders& kept, const std::string& pattern)
{
    if (IsDriveRoot(folder)) Refuse(pattern, "the folder " + folder + " is a drive root");
    // "C:\Users\bob" when profiles live in "C:\Users": any user's profile.
    if (!kept.profiles.empty() && SamePath(ParentOf(folder), kept.profiles)) {
        Refuse(pattern, "the folder " + folder + " is a user profile");
    }
    for (const ProtectedFolder& protectedFolder : kept.folders) {
        const bool hit = protectedFolder.holdersToo ? IsSameOrInside(protectedFolder.path, folder)
                                                    : SamePath(protectedFolder.path, folder);
        if (hit) Refuse(pattern, "the folder " + folder + " is or holds the protected folder " + protectedFolder.path);
    }
}

// Where the parts of a full path below its root begin: after "C:\", or
// after "\\server\share\".
size_t FirstPartBelowRoot(const std::string& path)
{
    if (path.size() >= 3 && path[1] == ':') return 3;
    const size_t server = path.find('\\', 2);
    const size_t share = server == std::string::npos ? std::string::npos : path.find('\\', server + 1);
    return share == std::string::npos ? path.size() : share + 1;
}

// True when some part of the folder's path is a link (the system marks it a
// reparse point; under Wine, a Unix link to a folder too), or when the
// folder is not where its path, with its short names made long, says it is.
bool LiesThroughLink(const std::string& full, const std::string& finalPath)
{
    for (size_t end = FirstPartBelowRoot(full); end < full.size();) {
        end = full.find('\\', end + 1);
        const std::string part = full.substr(0, end);
        const DWORD attributes = ::GetFileAttributesA(part.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) return true;
        if (end == std::string::npos) break;
    }
    // "C:\Users\BOB~1\AppData\Local\Temp", as TEMP often reads, is no link.
    std::vector<char> longPath(MAX_PATH * 2);
    const DWORD length = ::GetLongPathNameA(full.c_str(), longPath.data(), static_cast<DWORD>(longPath.size()));
    const std::string named = length > 0 && length < longPath.size() ? std::string(longPath.data(), length) : full;
    return !SamePath(WithoutTrailingSeparator(named), finalPath);
}

}  // namespace

bool SkipFolderThroughLink(const PatternFolder& folder, ICleanupReport& report)
{
    // What a link leads to was chosen by whoever made it, who may be another
    // user with a folder on the way that both can write.
    if (!folder.throughLink) return false;
    report.CountNotRemoved(NotRemoved::Skipped);
    report.LogWarningOf("folders reached through a link",
                        StrFormat("Skipped the folder %s: it leads to %s through a link.", folder.path.c_str(),
                                  folder.finalPath.c_str()));
    return true;
}

DWORD CheckPatternFolder(const std::string& folder, const std::string& pattern, PatternFolder* checked)
{
    if (folder.find_first_not_of('\\') == std::string::npos) Refuse(pattern, "it names no folder");
    if (!IsFullPath(folder)) Refuse(pattern, "the folder " + folder + " is not a full path");
    // GetFullPathName resolves "." and ".." and strips trailing dots and
    // spaces: a folder it changes is not the folder it seems to be.
    const std::string full = WithoutTrailingSeparator(FullPathOf(folder));
    if (full.empty() || !SamePath(full, WithoutTrailingSeparator(folder))) {
        Refuse(pattern, "the folder " + folder + " is not a plain full path");
    }
    const ProtectedFolders kept = AskProtectedFolders();
    RefuseProtected(full, kept, pattern);

    // The folder the pattern names may itself be a link (the user chose it);
    // what it leads to must pass the same test.
    UniqueHandle handle(::CreateFileA(full.c_str(), FILE_READ_ATTRIBUTES,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!handle) return ::GetLastError();
    const std::string finalPath = FinalPathOf(handle.Get());
    if (finalPath.empty()) Refuse(pattern, "the folder " + folder + " cannot be located");
    // Under Wine a link may lead outside every drive ("\\?\unix\..."), where
    // none of the folders above can be recognised: the host's own files.
    if (!IsFullPath(finalPath)) Refuse(pattern, "the folder " + full + " leads to " + finalPath + ", on no drive");
    if (!SamePath(finalPath, full)) RefuseProtected(finalPath, kept, pattern);

    checked->path = full;
    checked->finalPath = finalPath;
    checked->throughLink = LiesThroughLink(full, finalPath);
    return ERROR_SUCCESS;
}
