#include "plugin/engines/patternguard.h"

#include "common/error.h"
#include "common/handles.h"
#include "common/paths.h"
#include "common/strformat.h"
#include "common/pathtext.h"
#include "common/finalpath.h"

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

}  // namespace

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
    return ERROR_SUCCESS;
}
