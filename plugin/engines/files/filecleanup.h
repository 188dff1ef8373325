#pragma once
// The file deletion engine.
#include "common/timeutil.h"

#include <functional>
#include <set>
#include <string>
#include <vector>

class ICleanupReport;

// Deletes the files that match pattern (environment variables expanded,
// wildcards in the last component). With descend, matching folders are
// emptied the same way and removed. With a cutoff (seconds since 1970, 0
// for none), files written at or after it are spared. Files in use are
// scheduled for deletion at the next restart, by where they really are,
// when they lie in the profile of the user this process runs as; anywhere
// else another account may be able to swap a folder on the way for a link
// before the restart, so they are kept and counted skipped. Problems with single files
// and folders are reported to report; failures that end the whole
// pattern raise CError.
//
// Nothing outside the pattern's own folder tree is ever deleted: the
// pattern's folder must pass CheckPatternFolder ("/" counts as "\"), and
// one that is, or lies below, a link is skipped with a warning and counted
// skipped, whoever named it (the same holds for DeleteNamedEntries and
// DeleteMaskedFiles); a name found on disk that a path would not name faithfully is skipped with
// a warning; every entry is opened without following links, checked to be
// where its path says, and deleted through that handle; a link is never
// entered, at most removed itself. A path longer than the system allows is
// refused.
// The text with its environment variables expanded (an undefined variable
// stays as written); raises CError when the system cannot expand it.
std::string ExpandEnvironment(const std::string& text);

void DeleteFiles(const std::string& pattern, bool descend, time32 cutoff, ICleanupReport& report);

// Deletes the entries of folder (no variables, no wildcards) whose names are
// in names, folders with all they hold, in one walk of the folder and with
// every check DeleteFiles makes. A name stands for the entry listed exactly
// so, case included, or else for the one entry whose name differs from it
// in case alone; a name that several entries answer to in case alone stands
// for none of them and is skipped with a warning. For many names in one folder: one pattern per name
// would list the whole folder for each.
// With filesInUse Keep, a file another program holds open is kept and
// counted as skipped instead of left for the restart, which deletes by path
// whatever the file has become by then (a jump list pinned to meanwhile);
// with LeaveForRestart, the rule of DeleteFiles holds.
enum class FilesInUse { LeaveForRestart, Keep };
void DeleteNamedEntries(const std::string& folder, const std::set<std::string>& names, ICleanupReport& report,
                        FilesInUse filesInUse = FilesInUse::LeaveForRestart);

// A folder cleaned by file masks, the way a community rule's file key reads.
struct MaskedClean {
    std::vector<std::string> masks;  // file name wildcards; a file matching any goes
    bool everyDepth = false;         // the masks also in every folder below, each entered
    bool removeEmptied = false;      // with everyDepth: a folder left empty is removed, the folder itself too
    // A full path for which this is true, asked with the path as the walk
    // names it and with where the entry really is, is never opened,
    // deleted or counted, and its folders stay; null keeps nothing.
    std::function<bool(const std::string& path)> keep;
    // A preview of several cleans in a row (the keys of one rules entry):
    // what the earlier ones would remove, by where it really is. A later
    // clean takes it as gone, as it would find it after them: neither
    // counted twice nor keeping its folder. Null for a clean on its own.
    std::set<std::string>* previewGone = nullptr;
};

// Deletes the files of folder (no variables, no wildcards) that match the
// masks, with every check DeleteFiles makes. A link met below is never
// entered and stays. The folder itself is removed, when removeEmptied
// leaves it empty, as an entry of its parent through its own handle; a
// folder whose parent the guard refuses is only emptied. A missing folder
// is nothing to delete; a mask that names a folder raises CError.
void DeleteMaskedFiles(const std::string& folder, const MaskedClean& clean, ICleanupReport& report);
