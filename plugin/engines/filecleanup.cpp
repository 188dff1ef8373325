#include "plugin/engines/filecleanup.h"

#include "common/adminrights.h"
#include "common/error.h"
#include "common/handles.h"
#include "common/paths.h"
#include "common/pathtext.h"
#include "common/strformat.h"
#include "plugin/engines/cleanupreport.h"
#include "common/finalpath.h"
#include "plugin/engines/patternguard.h"
#include "plugin/engines/treeentry.h"
#include "plugin/engines/wildcard.h"

#include <windows.h>

#include <functional>
#include <set>
#include <vector>

namespace {

// Longest path the ordinary file functions take, without the terminating NUL.
const size_t kMaxPathLength = MAX_PATH - 1;

// Every warning about an entry that stays also counts it.
void WarnFolderKept(const std::string& path, DWORD error, ICleanupReport& report)
{
    report.CountNotRemoved(NotRemoved::Failed);
    report.LogWarningOf("folders that could not be deleted", StrFormat("Cannot delete folder: %s. Error: %d", path.c_str(), static_cast<int>(error)));
}

void WarnFileKept(const std::string& path, DWORD error, ICleanupReport& report)
{
    report.CountNotRemoved(NotRemoved::Failed);
    report.LogWarningOf("files that could not be deleted", StrFormat("Cannot delete file: %s. Error: %d", path.c_str(), static_cast<int>(error)));
}

void WarnUntrustedName(const std::string& path, ICleanupReport& report)
{
    report.CountNotRemoved(NotRemoved::Skipped);
    report.LogWarningOf("names that cannot be used safely in a path", StrFormat("Skipped a name that cannot be used safely in a path: %s", path.c_str()));
}

void WarnLeadsOutside(const std::string& path, ICleanupReport& report)
{
    report.CountNotRemoved(NotRemoved::Skipped);
    report.LogWarningOf("entries that lead outside the cleaned folder", StrFormat("Skipped an entry that leads outside the cleaned folder: %s", path.c_str()));
}

// A file or folder met in a listing: the path the listing names it by,
// where it must really be (its folder's final path and its name), and what
// the listing says of it.
struct ListedEntry {
    std::string path;
    std::string expected;
    TreeListing listed;
};

// An entry deleted through its handle, counted once its folder no longer
// holds it: under Wine the removal happens when the handle closes, and a
// removal the system refuses then (a folder the user may not change) would
// otherwise count as done. A folder that is gone took everything in it
// along, so what was deleted inside it is confirmed with it, and a folder is
// listed again only when it stayed.
struct Deletion {
    ListedEntry entry;
    Removed what;
    std::vector<Deletion> inside;  // a folder's own deletions
};

void CountGone(const Deletion& deletion, ICleanupReport& report)
{
    const ListedEntry& entry = deletion.entry;
    report.CountRemoved(deletion.what, entry.path, deletion.what == Removed::File ? entry.listed.allocationSize : 0, 1,
                     entry.expected);
    for (const Deletion& inner : deletion.inside) CountGone(inner, report);
}

// Counts what the open folder no longer holds of its deletions; an entry
// still there is kept with its warning. True when all of them are gone.
bool ConfirmDeletions(const CTreeEntry& folder, const std::vector<Deletion>& deletions, ICleanupReport& report)
{
    std::vector<TreeListing> listing;
    std::set<std::wstring> remaining;
    if (folder.List(&listing) != ERROR_SUCCESS) {
        // A folder that cannot be listed again cannot tell: the deletions stand.
        for (const Deletion& deletion : deletions) CountGone(deletion, report);
        return true;
    }
    for (const TreeListing& listed : listing) remaining.insert(listed.name);
    bool allGone = true;
    for (const Deletion& deletion : deletions) {
        const ListedEntry& entry = deletion.entry;
        // Still listed and still opening: not merely waiting for another
        // program to let go of it, which Windows refuses to open.
        CTreeEntry still;
        const EntryKind kind = deletion.what == Removed::Folder ? EntryKind::Folder : EntryKind::Looked;
        if (remaining.count(entry.listed.name) == 0 || still.OpenIn(folder, entry.listed, kind) != ERROR_SUCCESS) {
            CountGone(deletion, report);
            continue;
        }
        allGone = false;
        if (deletion.what == Removed::File) {
            WarnFileKept(entry.path, ERROR_ACCESS_DENIED, report);
            continue;
        }
        WarnFolderKept(entry.path, ERROR_ACCESS_DENIED, report);
        if (still.IsWhereExpected()) ConfirmDeletions(still, deletion.inside, report);
    }
    return allGone;
}

// Deletes one listed file of the open folder, or in a preview counts it;
// true when it is (or would be) gone. A deleted file joins deletions.
bool DeleteListedFile(const CTreeEntry& folder, const ListedEntry& file, ICleanupReport& report,
                      std::vector<Deletion>* deletions, FilesInUse filesInUse)
{
    CTreeEntry entry;
    DWORD error = entry.OpenIn(folder, file.listed, EntryKind::File);
    if (error == ERROR_SHARING_VIOLATION) {
        // In use: left for the next restart, and never counted as freed.
        // The restart deletes by path, following links: only an entry that
        // really is the file listed here is left to it.
        CTreeEntry looked;
        if (looked.OpenIn(folder, file.listed, EntryKind::Looked) != ERROR_SUCCESS || !looked.IsWhereExpected()) {
            WarnLeadsOutside(file.path, report);
            return false;
        }
        if (filesInUse == FilesInUse::Keep) {
            report.CountNotRemoved(NotRemoved::Skipped);
            report.LogInfoOf("files kept because they are in use",
                             StrFormat("The file '%s' is in use, so it was kept.", file.path.c_str()));
            return false;
        }
        // Only an administrator may have a file deleted at the restart: a
        // preview says what a clean of this user would meet.
        if (report.IsPreview()) {
            report.CountNotRemoved(RunsAsAdministrator() ? NotRemoved::LeftForRestart : NotRemoved::Failed);
            return false;
        }
        report.LogInfoOf("files left for deletion at restart", StrFormat("The file '%s' will be deleted once you restart your computer.", file.path.c_str()));
        if (!::MoveFileExA(file.path.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT)) {
            report.CountNotRemoved(NotRemoved::Failed);
            report.LogWarningOf("files that could not be marked for deletion at restart", StrFormat("Cannot mark %s file for deletion upon next system restart.", file.path.c_str()));
        } else {
            report.CountNotRemoved(NotRemoved::LeftForRestart);
        }
        return false;
    }
    if (error == ERROR_DIRECTORY) {  // listed as a file, a folder by now
        WarnLeadsOutside(file.path, report);
        return false;
    }
    if (error != ERROR_SUCCESS) {
        WarnFileKept(file.path, error, report);
        return false;
    }
    if (!entry.IsWhereExpected()) {
        WarnLeadsOutside(file.path, report);
        return false;
    }
    // A name of a file that has others (hard links): the file and its space stay.
    ListedEntry counted = file;
    if (entry.HasOtherNames()) counted.listed.allocationSize = 0;
    if (report.IsPreview()) {
        report.CountRemoved(Removed::File, counted.path, counted.listed.allocationSize, 1, counted.expected);
        return true;
    }
    error = entry.Delete();
    if (error != ERROR_SUCCESS) {
        WarnFileKept(file.path, error, report);
        return false;
    }
    deletions->push_back({std::move(counted), Removed::File, {}});
    return true;
}

// Removes an emptied folder, or a link to a folder (the link itself),
// through its checked handle. In a preview the folder counts as removed when
// everything in it would go; otherwise it stays as a clean would leave it,
// not empty. True when it is (or would be) gone. A removed folder joins
// deletions with what was deleted inside it; a folder that stays confirms
// those itself.
bool RemoveFolder(CTreeEntry& entry, const ListedEntry& folder, bool emptied, ICleanupReport& report,
                  std::vector<Deletion>* deletions, std::vector<Deletion> inside)
{
    DWORD error = ERROR_SUCCESS;
    if (!report.IsPreview()) error = entry.Delete();
    else if (!emptied) error = ERROR_DIR_NOT_EMPTY;
    if (error != ERROR_SUCCESS) {
        // A folder that still holds what was spared on purpose stays with
        // its warning; only a folder that should have gone is a failure.
        report.LogWarningOf("folders that could not be deleted", StrFormat("Cannot delete folder: %s. Error: %d", folder.path.c_str(), static_cast<int>(error)));
        if (emptied) report.CountNotRemoved(NotRemoved::Failed);
        if (!inside.empty()) ConfirmDeletions(entry, inside, report);
        return false;
    }
    if (report.IsPreview()) report.CountRemoved(Removed::Folder, folder.path, 0, 1, folder.expected);
    else deletions->push_back({folder, Removed::Folder, std::move(inside)});
    return true;
}

// One pattern's walk. Every folder it walks stays open and checked while it
// is walked; every entry is opened inside it by its name alone, found on
// disk and passed by IsTrustworthyName, and deleted through a handle whose
// name is the one expected, so nothing outside the pattern's folder tree is
// reached, through a link or otherwise.
class CTreeWalk {
public:
    CTreeWalk(bool descend, time32 cutoff, ICleanupReport& report, FilesInUse filesInUse = FilesInUse::LeaveForRestart)
        : m_descend(descend),
          m_cutoff(cutoff),
          m_filesInUse(filesInUse),
          m_report(report),
          m_ownFolders(OwnFolders())
    {
    }

    // The pattern's own folder: folder is its path, finalFolder where it
    // really is, names the last part of the pattern, pattern what errors
    // name.
    void Walk(const std::string& folder, const std::string& finalFolder, const std::string& names,
              const std::string& pattern)
    {
        // The held folder's own listing is matched against the pattern, by
        // long names only: a search by path would also match short names.
        const std::wstring wanted = WideName(names);
        const NameFilter matching = [&wanted](const std::wstring& name) { return MatchesWildcard(wanted, name); };
        Walk(folder, finalFolder, names == "*" ? NameFilter() : matching, names, pattern);
    }

    using NameFilter = std::function<bool(const std::wstring&)>;
    using PathFilter = std::function<bool(const std::string&)>;

    // A masked walk: the files of every folder below are taken by inner as
    // well (every folder entered, none removed unless removeEmptied, and
    // then only when nothing stayed in it), and no entry for which keep is
    // true is touched.
    void TakeEveryDepth(const NameFilter& inner, bool removeEmptied, const PathFilter& keep)
    {
        m_everyDepth = true;
        m_inner = inner;
        m_removeEmptied = removeEmptied;
        m_keep = keep;
    }

    // The same walk taking the names that only accepts (all when null);
    // what names the taken names in errors.
    void Walk(const std::string& folder, const std::string& finalFolder, const NameFilter& only,
              const std::string& what, const std::string& pattern)
    {
        CTreeEntry root;
        const DWORD error = root.OpenFolderAt(folder, finalFolder);
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return;  // nothing to delete
        if (error != ERROR_SUCCESS) {
            throw CError(StrFormat("File search error: %d (%s)", static_cast<int>(error), pattern.c_str()));
        }
        if (!root.IsWhereExpected()) {
            throw CError(StrFormat("File pattern refused: %s (the folder %s was moved while it was cleaned).",
                                   pattern.c_str(), folder.c_str()));
        }
        std::vector<Deletion> deletions;
        Folder(root, folder, finalFolder, only, what, &deletions);
        if (!deletions.empty()) ConfirmDeletions(root, deletions, m_report);
    }

private:

    // Walks the open folder: its path, where it really is, and the names to
    // take from it (all when null). True when everything taken is (or in a
    // preview would be) gone.
    bool Folder(const CTreeEntry& open, const std::string& folder, const std::string& finalFolder,
                const NameFilter& only, const std::string& names, std::vector<Deletion>* deletions)
    {
        std::vector<TreeListing> listing;
        // An incomplete listing: nothing of this folder's list is deleted.
        if (const DWORD error = open.List(&listing)) {
            throw CError(StrFormat("File search error: %d (%s)", static_cast<int>(error),
                                   (folder + "\\" + names).c_str()));
        }
        std::vector<ListedEntry> files;
        bool emptied = true;
        for (TreeListing& listed : listing) {
            if (GoneInThisPreview(finalFolder, listed.name)) continue;
            const bool isFolder = (listed.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
            // A masked walk takes the files by the filter and enters every
            // folder; the top of a self-removing one takes its folder alone.
            if (m_everyDepth && isFolder && !m_topFoldersOnly) {
                if (!m_descend) {
                    emptied = false;
                    continue;
                }
            } else if (m_topFoldersOnly && !isFolder) {
                continue;
            } else if (only && !only(listed.name)) {
                // Below the top, a file the masks spare keeps its folder.
                if (m_everyDepth && !m_topFoldersOnly) emptied = false;
                continue;
            }
            bool faithful = false;
            const std::string name = NarrowName(listed.name, &faithful);
            ListedEntry entry{folder + "\\" + name, finalFolder + "\\" + name, std::move(listed)};
            // Kept on purpose: neither touched nor counted, and its folder
            // stays. Asked by both names, so that a spelling of the walk
            // (a short name, a link above) never loses what is kept.
            if (m_keep && (m_keep(entry.path) || m_keep(entry.expected))) {
                emptied = false;
                continue;
            }
            // One odd name costs a warning for itself; the rest goes on.
            if (!faithful || !IsTrustworthyName(name)) {
                WarnUntrustedName(entry.path, m_report);
                emptied = false;
                continue;
            }
            if (entry.listed.attributes & FILE_ATTRIBUTE_DIRECTORY) {
                if (m_descend) emptied = Gone(Subfolder(open, entry, deletions), entry) && emptied;
                else emptied = false;
                continue;
            }
            if (m_cutoff != 0) {
                // In 64 bits: a time past 2038 is recent, never wrapped into the past.
                if (FileTimeToSeconds(entry.listed.lastWrite) >= m_cutoff) {  // recent: spared
                    emptied = false;
                    continue;
                }
            }
            if (entry.path.size() > kMaxPathLength) {
                WarnFileKept(entry.path, ERROR_FILENAME_EXCED_RANGE, m_report);
                emptied = false;
                continue;
            }
            files.push_back(std::move(entry));
        }
        for (const ListedEntry& file : files)
            emptied = Gone(DeleteListedFile(open, file, m_report, deletions, m_filesInUse), file) && emptied;
        return emptied;
    }

    // An entry an earlier clean of this preview would have removed.
    bool GoneInThisPreview(const std::string& finalFolder, const std::wstring& name) const
    {
        if (m_previewGone == nullptr || m_previewGone->empty()) return false;
        bool faithful = false;
        return m_previewGone->count(finalFolder + "\\" + NarrowName(name, &faithful)) != 0;
    }

    // Notes an entry this preview would remove; gives back whether it would.
    bool Gone(bool gone, const ListedEntry& entry)
    {
        if (gone && m_previewGone != nullptr) m_previewGone->insert(entry.expected);
        return gone;
    }

    // A folder listed in the open folder parent. True when it is (or in a
    // preview would be) removed.
    bool Subfolder(const CTreeEntry& parent, const ListedEntry& folder, std::vector<Deletion>* deletions)
    {
        if (folder.path.size() + 2 > kMaxPathLength) {
            // Its contents could not be named: refuse the folder as a whole.
            WarnFolderKept(folder.path, ERROR_FILENAME_EXCED_RANGE, m_report);
            return false;
        }
        // The program may have been unpacked into the folder being cleaned.
        if (IsOwnFolder(folder)) {
            m_report.CountNotRemoved(NotRemoved::Skipped);
            m_report.LogWarningOf("the program's own folders", StrFormat("Skipped the program's own folder: %s", folder.path.c_str()));
            return false;
        }
        // A link is never entered: at most the link itself is removed.
        const bool listedAsLink = (folder.listed.attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
        CTreeEntry entry;
        const DWORD error = entry.OpenIn(parent, folder.listed, listedAsLink ? EntryKind::Link : EntryKind::Folder);
        if (error != ERROR_SUCCESS) {
            WarnFolderKept(folder.path, error, m_report);
            return false;
        }
        if (!entry.IsWhereExpected()) {
            WarnLeadsOutside(folder.path, m_report);
            return false;
        }
        bool emptied = true;
        std::vector<Deletion> inside;
        if (m_everyDepth) {
            if (listedAsLink || entry.IsReparsePoint()) return false;  // a link found by a masked walk stays
            const bool top = m_topFoldersOnly;
            m_topFoldersOnly = false;
            emptied = Folder(entry, folder.path, folder.expected, m_inner, "*", &inside);
            m_topFoldersOnly = top;
            if (m_removeEmptied && emptied) return RemoveFolder(entry, folder, emptied, m_report, deletions, std::move(inside));
            if (!inside.empty()) ConfirmDeletions(entry, inside, m_report);
            return false;
        }
        if (!listedAsLink && !entry.IsReparsePoint())
            emptied = Folder(entry, folder.path, folder.expected, NameFilter(), "*", &inside);
        return RemoveFolder(entry, folder, emptied, m_report, deletions, std::move(inside));
    }

public:
    // The walk's top folder is the parent of the folder cleaned, and only
    // that folder (by the top filter) is taken from it.
    void TakeTopFoldersOnly() { m_topFoldersOnly = true; }
    // In a preview, the entries earlier cleans would remove (taken as
    // gone), to which this walk adds its own.
    void TakePreviewGone(std::set<std::string>* gone) { m_previewGone = m_report.IsPreview() ? gone : nullptr; }

private:
    bool m_descend;
    bool m_everyDepth = false;
    bool m_removeEmptied = false;
    bool m_topFoldersOnly = false;
    std::set<std::string>* m_previewGone = nullptr;
    NameFilter m_inner;
    PathFilter m_keep;
    time32 m_cutoff;
    FilesInUse m_filesInUse;
    ICleanupReport& m_report;
    // The program's folder and its data folder (tasks and their history),
    // by their paths and where they really are.
    std::vector<std::string> m_ownFolders;

    // The folder's path is one of them, or the folder really is one of them
    // (reached through a link above it or a short name).
    bool IsOwnFolder(const ListedEntry& folder) const
    {
        for (const std::string& own : m_ownFolders) {
            if (SamePath(folder.path, own) || SamePath(folder.expected, own)) return true;
        }
        return false;
    }

    static std::vector<std::string> OwnFolders()
    {
        std::vector<std::string> folders;
        for (const std::string& folder : {GetModuleFolder(), GetDataFolder(), GetMachineTaskFolder()}) {
            if (folder.empty()) continue;
            folders.push_back(folder);
            UniqueHandle handle(::CreateFileA(folder.c_str(), FILE_READ_ATTRIBUTES,
                                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
            const std::string finalPath = handle ? FinalPathOf(handle.Get()) : std::string();
            if (!finalPath.empty()) folders.push_back(finalPath);
        }
        return folders;
    }
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

void DeleteFiles(const std::string& pattern, bool descend, time32 cutoff, ICleanupReport& report)
{
    // Only the pattern is expanded, never a name found on disk: a folder
    // named like a variable cannot lead the walk anywhere else.
    const std::string expanded = NormaliseSeparators(ExpandEnvironment(pattern));
    const size_t slash = expanded.rfind('\\');
    const std::string folder = slash == std::string::npos ? std::string() : expanded.substr(0, slash + 1);
    const std::string names = expanded.substr(slash == std::string::npos ? 0 : slash + 1);

    // A last part of dots and blanks ("." or "..") names the folder itself
    // or the one above, and the system's search would answer with that
    // folder's own name, which the walk would then take inside it.
    if (!names.empty() && names.find_first_not_of(". ") == std::string::npos) {
        throw CError(StrFormat("File pattern refused: %s (its last part %s names no file).", pattern.c_str(),
                               names.c_str()));
    }
    PatternFolder checked;
    const DWORD error = CheckPatternFolder(folder, pattern, &checked);
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return;  // nothing to delete
    if (error != ERROR_SUCCESS) {
        throw CError(StrFormat("File search error: %d (%s)", static_cast<int>(error), pattern.c_str()));
    }
    CTreeWalk(descend, cutoff, report).Walk(checked.path, checked.finalPath, names, pattern);
}

namespace {

// A name as the file system compares it: without regard to case.
std::wstring FoldedName(std::wstring name)
{
    if (!name.empty()) ::CharUpperBuffW(&name[0], static_cast<DWORD>(name.size()));
    return name;
}

}  // namespace

void DeleteNamedEntries(const std::string& folder, const std::set<std::string>& names, ICleanupReport& report,
                        FilesInUse filesInUse)
{
    if (names.empty()) return;
    const std::string path = NormaliseSeparators(folder) + "\\";
    const std::string what = path + "<" + std::to_string(names.size()) + " named entries>";
    PatternFolder checked;
    const DWORD error = CheckPatternFolder(path, what, &checked);
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return;  // nothing to delete
    if (error != ERROR_SUCCESS) {
        throw CError(StrFormat("File search error: %d (%s)", static_cast<int>(error), what.c_str()));
    }
    // Names as the system compares them: case-blind, never by a short name.
    std::set<std::wstring> wanted;
    for (const std::string& name : names) wanted.insert(FoldedName(WideName(name)));
    const auto listed = [&wanted](const std::wstring& name) { return wanted.count(FoldedName(name)) != 0; };
    CTreeWalk(true, 0, report, filesInUse).Walk(checked.path, checked.finalPath, listed, "*", what);
}

namespace {

CTreeWalk::NameFilter AnyOfMasks(const std::vector<std::string>& masks)
{
    std::vector<std::wstring> wanted;
    for (const std::string& mask : masks) wanted.push_back(WideName(mask));
    return [wanted](const std::wstring& name) {
        for (const std::wstring& mask : wanted)
            if (MatchesWildcard(mask, name)) return true;
        return false;
    };
}

// The folder checked as a pattern's folder would be; false when it is not there.
bool CheckedFolder(const std::string& folder, const std::string& what, PatternFolder* checked)
{
    const DWORD error = CheckPatternFolder(folder + "\\", what, checked);
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return false;
    if (error != ERROR_SUCCESS) throw CError(StrFormat("File search error: %d (%s)", static_cast<int>(error), what.c_str()));
    return true;
}

}  // namespace

void DeleteMaskedFiles(const std::string& folder, const MaskedClean& clean, ICleanupReport& report)
{
    if (clean.masks.empty()) return;
    const std::string path = NormaliseSeparators(folder);
    std::string what = path + "\\" + clean.masks.front();
    for (size_t i = 1; i < clean.masks.size(); ++i) what += ";" + clean.masks[i];
    for (const std::string& mask : clean.masks) {
        if (mask.empty() || mask.find_first_of("\\/") != std::string::npos || mask.find_first_not_of(". ") == std::string::npos)
            throw CError(StrFormat("File pattern refused: %s (the mask %s names no file).", what.c_str(), mask.c_str()));
    }
    PatternFolder checked;
    if (!CheckedFolder(path, what, &checked)) return;
    if (clean.onlyWhereNamed && !SamePath(checked.path, checked.finalPath)) {
        report.CountNotRemoved(NotRemoved::Skipped);
        report.LogWarningOf("folders reached through a link",
                            StrFormat("Skipped the folder %s: it leads to %s through a link.", checked.path.c_str(),
                                      checked.finalPath.c_str()));
        return;
    }
    const CTreeWalk::NameFilter masks = AnyOfMasks(clean.masks);
    const bool removeSelf = clean.removeEmptied && clean.everyDepth;
    const size_t slash = checked.path.rfind('\\');
    PatternFolder parent;
    bool parentUsable = false;
    if (removeSelf && slash != std::string::npos) {
        // A folder whose parent the guard refuses (a profile) is emptied
        // and kept: its parent is never walked.
        try {
            parentUsable = CheckedFolder(checked.path.substr(0, slash), what, &parent);
        } catch (const CError&) {
            parentUsable = false;
        }
    }
    if (parentUsable) {
        // The folder itself goes too: it is walked as an entry of its
        // parent, opened there without following a link and removed through
        // its own handle once nothing stayed in it.
        const std::wstring leaf = WideName(checked.path.substr(slash + 1));
        const CTreeWalk::NameFilter itself = [leaf](const std::wstring& name) { return ::lstrcmpiW(name.c_str(), leaf.c_str()) == 0; };
        CTreeWalk walk(true, 0, report);
        walk.TakeEveryDepth(masks, true, clean.keep);
        walk.TakeTopFoldersOnly();
        walk.TakePreviewGone(clean.previewGone);
        walk.Walk(parent.path, parent.finalPath, itself, what, what);
        return;
    }
    CTreeWalk walk(clean.everyDepth, 0, report);
    walk.TakeEveryDepth(masks, clean.removeEmptied, clean.keep);
    walk.TakePreviewGone(clean.previewGone);
    walk.Walk(checked.path, checked.finalPath, masks, what, what);
}
