#pragma once
// The files the program writes for itself (task files, session data, last
// run, status, preview reports, the trace) are written only where they are
// its own: never through a link, a junction or a hard link that someone
// put at the file's path, which would aim the program's writes or
// deletions at any file the running account may change.
//
// A file whose name itself can be moved (a hard link, or a link Windows
// shows as a reparse point) is moved aside, traced, and the file made
// anew; a name that leads to another file in a way that cannot be moved
// safely (under Wine a Unix link is opened as its target, and a move would
// move the target) is refused: nothing is written, and the caller fails
// with ERROR_CANT_RESOLVE_FILENAME.
#include "common/handles.h"

#include <string>

enum class OwnFileMode {
    Replace,  // emptied, or made
    Keep,     // as it is (read, then written), or made
    Append    // written at its end, or made
};

// What stands at the path of one of the program's own files: nothing, a
// plain file of its own, a name that can be moved or deleted by itself (a
// hard link, or a link Windows shows as a reparse point), or something
// that leads to another file or is a folder.
enum class OwnFileStanding { Missing, Plain, OwnNameMovable, LeadsElsewhere };
OwnFileStanding ExamineOwnFile(const std::string& path);

// Renames the entry at path (a file, a folder, a link's own name) to
// "<path>.refused-<ticks>", or with "-<n>" added, a name no other entry has:
// false, with the system's error, when it stays.
bool SetNameAside(const std::string& path, std::string* aside);

// Whether the open entry is the one its path names: where the system says
// it really is equals its folder's real place and its name, capitals and
// all (under Wine a Unix link is opened as what it leads to).
bool IsWhereItsNameSays(HANDLE entry, const std::string& path);

// CreateFile of one of the program's own files: access and share as
// CreateFile takes them, attributes the flags and attributes of a new file
// (FILE_FLAG_DELETE_ON_CLOSE included). Invalid on failure, with the
// system's error as last error. What was refused or moved aside is traced,
// unless traced is false (the tracer's own file).
UniqueHandle OpenOwnFile(const std::string& path, DWORD access, DWORD share, OwnFileMode mode, DWORD attributes,
                         bool traced = true);

// Deletes one of the program's own files: a plain file, or a hard link or
// reparse point's own name, never what it leads to. True when the file is
// gone; false with the system's error otherwise (ERROR_FILE_NOT_FOUND when
// there was none, as DeleteFile).
bool DeleteOwnFile(const std::string& path, bool traced = true);

// Moves one of the program's own files to another name in the same folder,
// when it is where its name says (MoveFileEx would otherwise move what a
// link leads to). False with the system's error otherwise.
bool MoveOwnFile(const std::string& from, const std::string& to, DWORD flags);
