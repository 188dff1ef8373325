#pragma once
// The one way a library working in a folder of the user's (LevelDB in a
// browser's store, SQLite beside a browser's database) reaches its files.
// A file is only ever used when it is a plain file of that folder: opened
// without following a link at its name, with one name only (a hard link's
// other name may lie anywhere), and where the system says it is, which is
// how a link shows under Wine, where a Unix link opens as its target.
// Creating, renaming and deleting go through the same checked handle, so a
// library never writes or deletes through a link that someone put there.
#include "common/handles.h"

#include <string>
#include <vector>

// The guard's refusals, as system errors the callers already word.
const DWORD kGuardLinkRefused = ERROR_CANT_RESOLVE_FILENAME;  // a link, or not in its folder
const DWORD kGuardNamesRefused = ERROR_TOO_MANY_LINKS;        // a file with other names

// How a file is opened.
enum class GuardedOpening {
    Existing,        // must be there
    ExistingOrNew,   // as it is, or made
    NewOrEmptied     // made, or emptied
};

// The wording of an error of the guard or of the system, for messages.
std::string GuardErrorText(DWORD error);

class CFileGuard {
public:
    // The folder whose files are guarded, as a full path. Its own path may
    // lead through links (the caller has checked it); what counts is where
    // it really is, taken once here.
    explicit CFileGuard(const std::wstring& folder);

    // 0 when the folder was found; otherwise the system's error, and every
    // call below fails with it.
    DWORD FolderError() const { return m_folderError; }
    const std::wstring& Folder() const { return m_folder; }

    // Opens the file called name (no separators) in the folder, as
    // CreateFile would with access and share, and checks it. Returns the
    // system's error or a refusal (0 on success, with the file in *file).
    DWORD Open(const std::wstring& name, DWORD access, DWORD share, GuardedOpening opening, UniqueHandle* file) const;

    // Checks what is at name without changing it: 0 when it is a plain file
    // of the folder, ERROR_FILE_NOT_FOUND when nothing is there (a link that
    // leads nowhere is something: it is refused), a refusal otherwise.
    DWORD Check(const std::wstring& name) const;

    // Under Wine a link that leads nowhere is neither listed nor opened:
    // only making a file at its name shows it. True when name is such a
    // link; the file made to tell, when nothing was there, is gone at once
    // (deleted on close). For callers about to write in the folder anyway.
    bool IsLinkLeadingNowhere(const std::wstring& name) const;

    // Deletes the file through its checked handle.
    DWORD Remove(const std::wstring& name) const;

    // Renames a checked file to another name of the folder, replacing what
    // is there only when that too is a plain file of the folder.
    DWORD Rename(const std::wstring& from, const std::wstring& to) const;

    // The names in the folder ("." and ".." left out). Returns the system's error.
    DWORD List(std::vector<std::wstring>* names) const;

    // Checks every entry of the folder: each must be a plain file of it, or
    // a folder that is really there (not a link). Returns 0, or the first
    // refusal with the name in *refused.
    DWORD CheckEveryEntry(std::wstring* refused) const;

    // Checks an open handle: a plain file called name in the folder, with
    // one name. Returns 0 or a refusal.
    DWORD CheckHandle(HANDLE file, const std::wstring& name) const;

private:
    std::wstring PathOf(const std::wstring& name) const;

    std::wstring m_folder;      // as the caller named it, no trailing separator
    std::wstring m_folderName;  // where it really is: the system's own name of it, with a trailing separator
    DWORD m_folderError = 0;
};

// The folder part and the name of a full path (either separator).
void SplitGuardedPath(const std::wstring& path, std::wstring* folder, std::wstring* name);
