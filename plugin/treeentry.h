#pragma once
// One entry of a folder tree that the file deletion engine cleans, reached
// without ever following a link: opened with FILE_FLAG_OPEN_REPARSE_POINT,
// checked against the path it must have, and deleted through that handle.
#include "common/handles.h"

#include <string>

// The final path of an open file or folder, as an ordinary path ("C:\...");
// empty when the system cannot name it.
std::string FinalPathOf(HANDLE handle);

class CTreeEntry {
public:
    // Opens the entry at path for deletion without following a link there.
    // expectedFinalPath is where the entry must really be: its folder's final
    // path and its name. Returns the system error of the open (0 on success).
    DWORD Open(const std::string& path, const std::string& expectedFinalPath);

    // False when the entry is not where its path says: a link (a Unix link
    // under Wine is named by its target), or a folder above it that was
    // swapped for a link meanwhile.
    bool IsWhereExpected() const { return m_whereExpected; }
    bool IsReparsePoint() const { return (m_attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0; }
    bool IsFolder() const { return (m_attributes & FILE_ATTRIBUTE_DIRECTORY) != 0; }
    // The disk space the entry occupies (its allocation, not its length).
    long long AllocationSize() const { return m_allocationSize; }

    // Deletes the entry through its handle (a link itself, never its
    // target). A file's read-only, hidden and system attributes are cleared
    // first. Returns the system error (0 on success); the entry is gone when
    // the handle is closed, which this does.
    DWORD Delete();

private:
    UniqueHandle m_handle;
    DWORD m_attributes = 0;
    long long m_allocationSize = 0;
    bool m_whereExpected = false;
};
