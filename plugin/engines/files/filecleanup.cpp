#include "plugin/engines/files/filecleanup.h"

#include "common/adminrights.h"
#include "common/error.h"
#include "common/handles.h"
#include "common/paths.h"
#include "common/pathtext.h"
#include "common/strformat.h"
#include "plugin/engines/cleanupreport.h"
#include "common/finalpath.h"
#include "plugin/engines/files/patternguard.h"
#include "plugin/engines/files/hardlinks.h"
#include "plugin/engines/files/treeentry.h"
#include "plugin/engines/files/wildcard.h"

#include <windows.h>
#include <shlobj.h>

#include <functional>
#include <iterator>
#include <map>
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

// Counts a file in use as kept, with the note that says so.
void KeepFileInUse(const ListedEntry& file, ICleanupReport& report)
{
    report.CountNotRemoved(NotRemoved::Skipped);
    report.LogInfoOf("files kept because they are in use",
                     StrFormat("The file '%s' is in use, so it was kept.", file.path.c_str()));
}

// Deletes one listed file of the open folder, or in a preview counts it;
// true when it is (or would be) gone. A deleted file joins deletions. A
// file in use may be left for the restart only inside restartArea (empty:
// nowhere); elsewhere it is kept.
bool DeleteListedFile(const CTreeEntry& folder, const ListedEntry& file, ICleanupReport& report,
                      std::vector<Deletion>* deletions, FilesInUse filesInUse, const std::string& restartArea)
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
        // By the restart, another account that can write a folder on the
        // way may have swapped it for a link to a file of its choice, which
        // the system would then delete with its own rights.
        if (filesInUse == FilesInUse::Keep || restartArea.empty() || !IsSameOrInside(file.expected, restartArea)) {
            KeepFileInUse(file, report);
            return false;
        }
        // Only an administrator may have a file deleted at the restart: a
        // preview says what a clean of this user would meet.
        if (report.IsPreview()) {
            report.CountNotRemoved(RunsAsAdministrator() ? NotRemoved::LeftForRestart : NotRemoved::Failed);
            return false;
        }
        report.LogInfoOf("files left for deletion at restart", StrFormat("The file '%s' will be deleted once you restart your computer.", file.path.c_str()));
        // By where it really is, which no link on the way leads elsewhere.
        if (!::MoveFileExA(file.expected.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT)) {
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
    // A file with other names (hard links) frees its space only with the
    // last of them; a file the system cannot identify frees nothing, as if
    // it had others.
    FileIdentity identity;
    const bool identified = entry.Identify(&identity);
    ListedEntry counted = file;
    const auto freed = [&] {
        if (!identified) return 0LL;
        return HardLinkTallyOf(report.IsPreview()).NameGone(identity, file.expected, file.listed.allocationSize);
    };
    if (report.IsPreview()) {
        counted.listed.allocationSize = freed();
        report.CountRemoved(Removed::File, counted.path, counted.listed.allocationSize, 1, counted.expected);
        return true;
    }
    error = entry.Delete();
    if (error != ERROR_SUCCESS) {
        WarnFileKept(file.path, error, report);
        return false;
    }
    counted.listed.allocationSize = freed();
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
          m_ownFolders(OwnFolders()),
          m_restartArea(UserProfileFinalPath())
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
            emptied = Gone(DeleteListedFile(open, file, m_report, deletions, m_filesInUse, m_restartArea), file) && emptied;
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
    // Where a file in use may be left for the restart: the user's own
    // profile, where no other account may write (empty: nowhere).
    std::string m_restartArea;

    // The folder's path is one of them, or the folder really is one of them
    // (reached through a link above it or a short name).
    bool IsOwnFolder(const ListedEntry& folder) const
    {
        for (const std::string& own : m_ownFolders) {
            if (SamePath(folder.path, own) || SamePath(folder.expected, own)) return true;
        }
        return false;
    }

    // Where the profile of the user this process runs as really is; empty
    // when the system cannot say.
    static std::string UserProfileFinalPath()
    {
        char profile[MAX_PATH] = {};
        if (FAILED(::SHGetFolderPathA(nullptr, CSIDL_PROFILE, nullptr, SHGFP_TYPE_CURRENT, profile))) return std::string();
        UniqueHandle handle(::CreateFileA(profile, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                          nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
        return handle ? FinalPathOf(handle.Get()) : std::string();
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
    if (SkipFolderThroughLink(checked, report)) return;
    CTreeWalk(descend, cutoff, report).Walk(checked.path, checked.finalPath, names, pattern);
}

namespace {

// A name as the file system compares it: without regard to case.
std::wstring FoldedName(std::wstring name)
{
    if (!name.empty()) ::CharUpperBuffW(&name[0], static_cast<DWORD>(name.size()));
    return name;
}

// The entries of the listing that names stand for. A name stands for the
// entry listed exactly so, case included; a name listed in no such way, for
// the one entry that differs from it in case alone, as the system would
// open it. A folder may hold "a" and "A" as two entries (under Wine, on a
// case-sensitive folder): a name that two entries answer to in case alone
// stands for neither, and goes to ambiguous.
std::set<std::wstring> EntriesNamed(const std::vector<TreeListing>& listing, const std::set<std::string>& names,
                                    std::vector<std::string>* ambiguous)
{
    std::set<std::wstring> exact;
    std::multimap<std::wstring, std::wstring> byFolded;
    for (const TreeListing& listed : listing) {
        exact.insert(listed.name);
        byFolded.emplace(FoldedName(listed.name), listed.name);
    }
    std::set<std::wstring> entries;
    for (const std::string& name : names) {
        const std::wstring wide = WideName(name);
        if (exact.count(wide) != 0) {
            entries.insert(wide);
            continue;
        }
        const auto range = byFolded.equal_range(FoldedName(wide));
        const auto found = std::distance(range.first, range.second);
        if (found == 1) entries.insert(range.first->second);
        else if (found > 1) ambiguous->push_back(name);
    }
    return entries;
}

}  // namespace

void DeleteNamedEntries(const std::string& folder, const std::set<std::string>& names, ICleanupReport& report,
                        FilesInUse filesInUse)
{
    if (names.empty()) return;
    const std::string path = NormaliseSeparators(folder) + "\\";
    const std::string what = path + "<" + std::to_string(names.size()) + " named entries>";
    PatternFolder checked;
    DWORD error = CheckPatternFolder(path, what, &checked);
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return;  // nothing to delete
    if (error != ERROR_SUCCESS) {
        throw CError(StrFormat("File search error: %d (%s)", static_cast<int>(error), what.c_str()));
    }
    if (SkipFolderThroughLink(checked, report)) return;
    // The names are matched against the folder's own listing, never by a
    // search (which would also match short names); the walk then takes
    // exactly the entries they stand for.
    CTreeEntry opened;
    std::vector<TreeListing> listing;
    error = opened.OpenFolderAt(checked.path, checked.finalPath);
    if (error == ERROR_SUCCESS) error = opened.List(&listing);
    if (error != ERROR_SUCCESS) throw CError(StrFormat("File search error: %d (%s)", static_cast<int>(error), what.c_str()));
    std::vector<std::string> ambiguous;
    const std::set<std::wstring> entries = EntriesNamed(listing, names, &ambiguous);
    for (const std::string& name : ambiguous) {
        report.CountNotRemoved(NotRemoved::Skipped);
        report.LogWarningOf("names that stand for several entries",
                            StrFormat("Skipped a name that stands for several entries differing in case only: %s%s",
                                      path.c_str(), name.c_str()));
    }
    if (entries.empty()) return;
    const auto taken = [&entries](const std::wstring& name) { return entries.count(name) != 0; };
    CTreeWalk(true, 0, report, filesInUse).Walk(checked.path, checked.finalPath, taken, "*", what);
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
    if (SkipFolderThroughLink(checked, report)) return;
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
        // its own handle once nothing stayed in it. Its name is the one the
        // system gives the folder opened, exactly: never a short name, and
        // never another folder whose name differs from it in case alone.
        const std::wstring leaf = WideName(checked.finalPath.substr(checked.finalPath.rfind('\\') + 1));
        const CTreeWalk::NameFilter itself = [leaf](const std::wstring& name) { return name == leaf; };
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
