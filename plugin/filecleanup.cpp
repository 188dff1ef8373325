#include "plugin/filecleanup.h"

#include "common/error.h"
#include "common/fileenum.h"
#include "common/handles.h"
#include "common/paths.h"
#include "common/pathtext.h"
#include "common/strformat.h"
#include "plugin/cleanupitem.h"
#include "plugin/patternguard.h"
#include "plugin/treeentry.h"

#include <windows.h>

#include <vector>

namespace {

// Longest path the ordinary file functions take, without the terminating NUL.
const size_t kMaxPathLength = MAX_PATH - 1;

void WarnFolderKept(const std::string& path, DWORD error, CCleanupItem& job)
{
    job.LogWarning(StrFormat("Cannot delete folder: %s. Error: %d", path.c_str(), static_cast<int>(error)));
}

void WarnFileKept(const std::string& path, DWORD error, CCleanupItem& job)
{
    job.LogWarning(StrFormat("Cannot delete file: %s. Error: %d", path.c_str(), static_cast<int>(error)));
}

void WarnUntrustedName(const std::string& path, CCleanupItem& job)
{
    job.LogWarning(StrFormat("Skipped a name that cannot be used safely in a path: %s", path.c_str()));
}

void WarnLeadsOutside(const std::string& path, CCleanupItem& job)
{
    job.LogWarning(StrFormat("Skipped an entry that leads outside the cleaned folder: %s", path.c_str()));
}

// A file or folder met in a listing: the path the listing names it by, and
// where it must really be (its folder's final path and its name).
struct ListedEntry {
    std::string path;
    std::string expected;
};

void DeleteListedFile(const ListedEntry& file, CCleanupItem& job)
{
    CTreeEntry entry;
    DWORD error = entry.Open(file.path, file.expected);
    if (error == ERROR_SHARING_VIOLATION) {
        job.LogInfo(StrFormat("The file '%s' will be deleted once you restart your computer.", file.path.c_str()));
        if (!::MoveFileExA(file.path.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT)) {
            job.LogWarning(StrFormat("Cannot mark %s file for deletion upon next system restart.", file.path.c_str()));
        }
        return;
    }
    if (error != ERROR_SUCCESS) return WarnFileKept(file.path, error, job);
    if (!entry.IsWhereExpected() || entry.IsFolder()) return WarnLeadsOutside(file.path, job);
    error = entry.Delete();
    if (error != ERROR_SUCCESS) WarnFileKept(file.path, error, job);
}

// Removes an emptied folder, or a link to a folder (the link itself).
void RemoveFolder(const ListedEntry& folder, CCleanupItem& job)
{
    CTreeEntry entry;
    DWORD error = entry.Open(folder.path, folder.expected);
    if (error != ERROR_SUCCESS) return WarnFolderKept(folder.path, error, job);
    if (!entry.IsWhereExpected()) return WarnLeadsOutside(folder.path, job);
    error = entry.Delete();
    if (error != ERROR_SUCCESS) WarnFolderKept(folder.path, error, job);
}

// One pattern's walk. Every path it makes is a checked folder and names
// found on disk that passed IsTrustworthyName; every deletion goes through a
// handle whose final path is the one expected, so nothing outside the
// pattern's folder tree is reached, through a link or otherwise.
class CTreeWalk {
public:
    CTreeWalk(bool descend, time32 cutoff, CCleanupItem& job)
        : m_descend(descend), m_cutoff(cutoff), m_job(job), m_programFolder(GetModuleFolder())
    {
    }

    // folder: the folder's path; finalFolder: where it really is; names: the
    // last part of the pattern; messagePattern: what search errors name.
    void Folder(const std::string& folder, const std::string& finalFolder, const std::string& names,
                const std::string& messagePattern)
    {
        CFileEnumerator search(folder + "\\" + names);
        WIN32_FIND_DATAA found;
        std::vector<ListedEntry> files;
        while (search.Next(found)) {
            const std::string name = found.cFileName;
            const ListedEntry entry{folder + "\\" + name, finalFolder + "\\" + name};
            // One odd name costs a warning for itself; the rest goes on.
            if (!IsTrustworthyName(name)) {
                WarnUntrustedName(entry.path, m_job);
                continue;
            }
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                if (m_descend) Subfolder(entry, found.dwFileAttributes);
                continue;
            }
            if (m_cutoff != 0) {
                time32 written = 0;
                if (!FileTimeToTime(found.ftLastWriteTime, &written)) written = 0;
                if (written >= m_cutoff) continue;  // recent: spared
            }
            if (entry.path.size() > kMaxPathLength) {
                WarnFileKept(entry.path, ERROR_FILENAME_EXCED_RANGE, m_job);
                continue;
            }
            files.push_back(entry);
        }
        if (const DWORD error = search.Error()) {
            if (!search.Began()) {
                if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return;  // nothing to delete
                throw CError(StrFormat("File search error: %d (%s)", static_cast<int>(error), messagePattern.c_str()));
            }
            // An incomplete listing: nothing of this folder's list is deleted.
            throw CError(StrFormat("File search error: %d (%s)", static_cast<int>(error),
                                   (folder + "\\" + names).c_str()));
        }

        for (const ListedEntry& file : files) DeleteListedFile(file, m_job);
    }

private:
    void Subfolder(const ListedEntry& folder, DWORD listedAttributes)
    {
        if (folder.path.size() + 2 > kMaxPathLength) {
            // Its contents could not be named: refuse the folder as a whole.
            return WarnFolderKept(folder.path, ERROR_FILENAME_EXCED_RANGE, m_job);
        }
        // The program may have been unpacked into the folder being cleaned.
        if (SamePath(folder.path, m_programFolder)) {
            return m_job.LogWarning(StrFormat("Skipped the program's own folder: %s", folder.path.c_str()));
        }
        // A link is never entered: at most the link itself is removed.
        if (!(listedAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
            bool enter = false;
            {
                CTreeEntry entry;
                const DWORD error = entry.Open(folder.path, folder.expected);
                if (error != ERROR_SUCCESS) return WarnFolderKept(folder.path, error, m_job);
                if (!entry.IsWhereExpected()) return WarnLeadsOutside(folder.path, m_job);
                enter = !entry.IsReparsePoint();
            }
            if (enter) Folder(folder.path, folder.expected, "*", folder.path + "\\*");
        }
        RemoveFolder(folder, m_job);
    }

    bool m_descend;
    time32 m_cutoff;
    CCleanupItem& m_job;
    std::string m_programFolder;
};

}  // namespace

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

void DeleteFiles(const std::string& pattern, bool descend, time32 cutoff, CCleanupItem& job)
{
    // Only the pattern is expanded, never a name found on disk: a folder
    // named like a variable cannot lead the walk anywhere else.
    const std::string expanded = NormaliseSeparators(ExpandEnvironment(pattern));
    const size_t slash = expanded.rfind('\\');
    const std::string folder = slash == std::string::npos ? std::string() : expanded.substr(0, slash + 1);
    const std::string names = expanded.substr(slash == std::string::npos ? 0 : slash + 1);

    PatternFolder checked;
    const DWORD error = CheckPatternFolder(folder, pattern, &checked);
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return;  // nothing to delete
    if (error != ERROR_SUCCESS) {
        throw CError(StrFormat("File search error: %d (%s)", static_cast<int>(error), pattern.c_str()));
    }
    CTreeWalk(descend, cutoff, job).Folder(checked.path, checked.finalPath, names, pattern);
}
