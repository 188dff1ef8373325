#include "plugin/filecleanup.h"

#include "common/error.h"
#include "common/handles.h"
#include "common/strformat.h"
#include "plugin/cleanupitem.h"

#include <windows.h>

#include <vector>

namespace {

// Longest path the ordinary file functions take, without the terminating NUL.
const size_t kMaxPathLength = MAX_PATH - 1;

std::string ExpandEnvironment(const std::string& pattern)
{
    const DWORD needed = ::ExpandEnvironmentStringsA(pattern.c_str(), nullptr, 0);
    if (needed == 0) {
        throw CError(StrFormat("Environment string expansion error1: %d (%s)", static_cast<int>(::GetLastError()),
                               pattern.c_str()));
    }
    std::vector<char> expanded(needed);
    if (::ExpandEnvironmentStringsA(pattern.c_str(), expanded.data(), needed) == 0) {
        throw CError(StrFormat("Environment string expansion error2: %d (%s)", static_cast<int>(::GetLastError()),
                               pattern.c_str()));
    }
    return expanded.data();
}

void WarnFolderKept(const std::string& path, DWORD error, CCleanupItem& job)
{
    job.LogWarning(StrFormat("Cannot delete folder: %s. Error: %d", path.c_str(), static_cast<int>(error)));
}

void WarnFileKept(const std::string& path, DWORD error, CCleanupItem& job)
{
    job.LogWarning(StrFormat("Cannot delete file: %s. Error: %d", path.c_str(), static_cast<int>(error)));
}

void RemoveSubfolder(const std::string& path, CCleanupItem& job)
{
    if (!::RemoveDirectoryA(path.c_str())) WarnFolderKept(path, ::GetLastError(), job);
}

void DeleteListedFile(const std::string& path, CCleanupItem& job)
{
    ::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);  // clears read-only, hidden, system
    if (::DeleteFileA(path.c_str())) return;

    const DWORD error = ::GetLastError();
    if (error == ERROR_SHARING_VIOLATION) {
        job.LogInfo(StrFormat("The file '%s' will be deleted once you restart your computer.", path.c_str()));
        if (!::MoveFileExA(path.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT)) {
            job.LogWarning(StrFormat("Cannot mark %s file for deletion upon next system restart.", path.c_str()));
        }
    } else {
        WarnFileKept(path, error, job);
    }
}

// The deletion itself, on a pattern whose environment variables are already
// expanded: the names found on disk are never expanded, so a folder named
// like a variable ("%USERPROFILE%") cannot lead the walk anywhere else.
// pattern is the text that messages name.
void DeleteExpanded(const std::string& expanded, const std::string& pattern, bool descend, time32 cutoff,
                    CCleanupItem& job)
{
    WIN32_FIND_DATAA found;
    UniqueFindHandle search(::FindFirstFileA(expanded.c_str(), &found));
    if (!search) {
        const DWORD error = ::GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return;  // nothing to delete
        throw CError(StrFormat("File search error: %d (%s)", static_cast<int>(error), pattern.c_str()));
    }

    const size_t slash = expanded.rfind('\\');
    const std::string prefix = slash == std::string::npos ? std::string() : expanded.substr(0, slash + 1);

    std::vector<std::string> files;
    do {
        const std::string name = found.cFileName;
        if (name == "." || name == "..") continue;
        const std::string path = prefix + name;

        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            if (!descend) continue;
            if (path.size() + 2 > kMaxPathLength) {
                // Its contents could not be named: refuse the folder as a whole.
                WarnFolderKept(path, ERROR_FILENAME_EXCED_RANGE, job);
                continue;
            }
            // A link leads out of this tree: remove the link itself at most,
            // never what it points to.
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
                const std::string contents = path + "\\*";
                DeleteExpanded(contents, contents, descend, cutoff, job);
            }
            RemoveSubfolder(path, job);
            continue;
        }

        if (cutoff != 0) {
            time32 written = 0;
            if (!FileTimeToTime(found.ftLastWriteTime, &written)) written = 0;
            if (written >= cutoff) continue;  // recent: spared
        }
        if (path.size() > kMaxPathLength) {
            WarnFileKept(path, ERROR_FILENAME_EXCED_RANGE, job);
            continue;
        }
        files.push_back(path);
    } while (::FindNextFileA(search.Get(), &found));

    const DWORD error = ::GetLastError();
    if (error != ERROR_NO_MORE_FILES) {
        // An incomplete listing: nothing of this folder's list is deleted.
        throw CError(StrFormat("File search error: %d (%s)", static_cast<int>(error), expanded.c_str()));
    }
    search.Reset();

    for (const std::string& file : files) DeleteListedFile(file, job);
}

}  // namespace

void DeleteFiles(const std::string& pattern, bool descend, time32 cutoff, CCleanupItem& job)
{
    DeleteExpanded(ExpandEnvironment(pattern), pattern, descend, cutoff, job);
}
