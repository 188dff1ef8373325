#pragma once
// One entry of a folder tree that the file deletion engine cleans. Every
// entry is opened inside its folder's open handle by its own name alone,
// never through a link, and checked by the system's own name of what was
// opened; a folder stays open while it is walked, so a folder above that is
// swapped for a link meanwhile cannot lead the walk anywhere else.
#include "common/handles.h"

#include <string>
#include <vector>

// An entry as its folder's listing gives it.
struct TreeListing {
    std::wstring name;  // exactly as on disk
    DWORD attributes = 0;
    FILETIME lastWrite = {};
    long long allocationSize = 0;  // the disk space it occupies, not its length
};

// Which file an open entry is, whatever name it was opened by.
struct FileIdentity {
    DWORD volume = 0;              // the volume's serial number
    unsigned long long index = 0;  // the file's number on that volume
    DWORD names = 0;               // how many names (hard links) it has now
};

// What an entry must be to be opened.
enum class EntryKind {
    File,    // anything but a folder
    Folder,  // a folder (a link to one is opened as the link)
    Link,    // the link itself, whatever it leads to
    Looked,  // anything, only looked at: opens even while in use
    Contents // a file, opened to read what it holds (others may go on writing)
};

// The name as the "A" file functions and the messages spell it; false in
// faithful when that spelling would name something else (or nothing).
std::string NarrowName(const std::wstring& name, bool* faithful);
// The name as the "A" file functions read it.
std::wstring WideName(const std::string& name);
// The name in the code page, a look-alike letter for one it lacks.
std::string CodePageName(const std::wstring& name);

class CTreeEntry {
public:
    // The folder at path, following links on the way there (the pattern's
    // check already resolved them): it must really be expectedFinalPath.
    // Returns the system error of the open (0 on success).
    DWORD OpenFolderAt(const std::string& path, const std::string& expectedFinalPath);

    // The entry listed in the open folder, by its name alone, exactly as
    // listed (case included), and without following a link there. A File
    // that turned out to be a folder is refused with ERROR_DIRECTORY.
    // Returns the system error (0 on success).
    DWORD OpenIn(const CTreeEntry& folder, const TreeListing& listed, EntryKind kind);

    // False when what was opened is not the entry its name says: under Wine
    // a Unix link is opened as its target, which the system names.
    bool IsWhereExpected() const { return m_whereExpected; }
    // A folder or link's own attributes say it is a link (a junction).
    bool IsReparsePoint() const { return (m_attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0; }

    // What a file opened as Contents holds, when it is no larger than limit
    // bytes. Returns the system error (ERROR_FILE_TOO_LARGE past limit).
    DWORD ReadContents(std::size_t limit, std::string* bytes) const;

    // Every entry of an open folder, "." and ".." left out. Returns the
    // system error (0 when the listing is complete).
    DWORD List(std::vector<TreeListing>* entries) const;

    // Deletes the entry through its handle (a link itself, never its
    // target). A file's read-only, hidden and system attributes are cleared
    // first, unless the file has other names (hard links), whose attributes
    // they are too. Returns the system error (0 on success); the entry is
    // gone when the handle is closed, which this does on success (on
    // failure the entry stays open, a folder to be listed again).
    DWORD Delete();

    // The file has other names (hard links): deleting this one frees nothing.
    bool HasOtherNames() const;
    // Which file it is; false when the system cannot tell.
    bool Identify(FileIdentity* identity) const;

private:

    UniqueHandle m_handle;
    std::wstring m_objectName;  // the system's name of what is open
    DWORD m_attributes = 0;
    bool m_isFile = false;
    bool m_whereExpected = false;
};

// The bytes of a file listed in the open folder, at most limit of them, read
// inside that folder without following a link at its name: what a link
// leads to (a device, another user's file) is never opened. False with the
// reason: "it is a link", "it is in use", "it is larger than <largerThan>",
// or that it cannot be opened or read, with the error.
bool ReadListedFile(const CTreeEntry& folder, const TreeListing& listed, std::size_t limit, const char* largerThan,
                    std::string* bytes, std::string* why);
