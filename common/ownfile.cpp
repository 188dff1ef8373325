#include "common/ownfile.h"

#include "common/fileenum.h"
#include "common/finalpath.h"
#include "common/pathtext.h"
#include "common/strformat.h"
#include "common/taskfilenames.h"
#include "common/tracer.h"

#include <windows.h>

namespace {

using Standing = OwnFileStanding;

std::string FolderOf(const std::string& path)
{
    const size_t slash = path.rfind('\\');
    return slash == std::string::npos ? std::string() : path.substr(0, slash == 2 ? 3 : slash);
}

std::string WithoutSeparator(std::string text)
{
    if (!text.empty() && text.back() == '\\') text.pop_back();
    return text;
}

std::string NameOf(const std::string& path)
{
    const size_t slash = path.rfind('\\');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Where it is is asked first: under Wine a Unix link is opened as what it
// leads to, and moving or deleting that would move or delete the target
// (a hard-linked file or a folder included).
Standing StandingOf(HANDLE entry, const std::string& path)
{
    BY_HANDLE_FILE_INFORMATION info = {};
    if (!::GetFileInformationByHandle(entry, &info) || !IsWhereItsNameSays(entry, path)) {
        return Standing::LeadsElsewhere;
    }
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 || info.nNumberOfLinks > 1) {
        return Standing::OwnNameMovable;
    }
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return Standing::LeadsElsewhere;
    return Standing::Plain;
}

// Moves a link's own name out of the way: the program's file is then made anew.
bool MoveNameAside(const std::string& path, bool traced)
{
    std::string aside;
    if (SetNameAside(path, &aside)) {
        if (traced) TRACE(30, "OpenOwnFile: a link stood at %s; moved aside as %s", path.c_str(), aside.c_str());
        return true;
    }
    if (traced) TRACE(40, "OpenOwnFile: a link stands at %s and cannot be moved - %d", path.c_str(),
          static_cast<int>(::GetLastError()));
    return false;
}

void Refuse(const std::string& path, bool traced)
{
    if (traced) TRACE(40, "OpenOwnFile: %s leads to another file; it is not written", path.c_str());
    ::SetLastError(ERROR_CANT_RESOLVE_FILENAME);
}

}  // namespace

bool SetNameAside(const std::string& path, std::string* aside)
{
    const unsigned long ticks = ::GetTickCount();
    for (int tried = 0; tried < 100; ++tried) {
        *aside = StrFormat("%s%s%lu", path.c_str(), kSetAsideInfix, ticks) + (tried ? StrFormat("-%d", tried) : "");
        if (::MoveFileExA(path.c_str(), aside->c_str(), 0)) return true;
        const DWORD error = ::GetLastError();
        if (error != ERROR_ALREADY_EXISTS && error != ERROR_FILE_EXISTS) break;
    }
    return false;
}

// Whether the open entry is the file its path names: where the system says
// it really is equals its folder's real place and its name, and the name
// the folder lists for the path is the real place's own, capitals and all
// (under Wine a Unix link to a name that differs only in capitals is opened
// as that other file, though the system compares names without capitals).
bool IsWhereItsNameSays(HANDLE entry, const std::string& path)
{
    const std::string folder = FolderOf(path);
    UniqueHandle folderHandle(::CreateFileA(folder.c_str(), FILE_READ_ATTRIBUTES,
                                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                            OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!folderHandle) return false;
    const std::string folderPlace = FinalPathOf(folderHandle.Get());
    const std::string place = FinalPathOf(entry);
    if (folderPlace.empty() || !SamePath(place, WithoutSeparator(folderPlace) + path.substr(folder.size()))) {
        return false;
    }
    WIN32_FIND_DATAA listed;
    return FindFirstListed(path, &listed) && NameOf(place) == listed.cFileName;
}

UniqueHandle OpenOwnFile(const std::string& path, DWORD access, DWORD share, OwnFileMode mode, DWORD attributes,
                         bool traced)
{
    const DWORD flags = attributes & 0xFFF00000;  // FILE_FLAG_...: the open's, beside the new file's attributes
    if (flags & FILE_FLAG_DELETE_ON_CLOSE) access |= DELETE;
    // Made anew at most twice: a name moved aside may be taken again at once.
    for (int attempt = 0; attempt < 3; ++attempt) {
        // Looked at first, with no right but to read its attributes: what
        // stands there is never opened for writing, nor to be deleted when
        // closed, before it is known to be the program's own file.
        UniqueHandle probe(::CreateFileA(path.c_str(), FILE_READ_ATTRIBUTES,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                         FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
        if (probe) {
            const Standing standing = StandingOf(probe.Get(), path);
            // Opened again from the very file looked at, never by its name:
            // nothing put at the name meanwhile is written.
            UniqueHandle file;
            if (standing == Standing::Plain) {
                file.Reset(::ReOpenFile(probe.Get(), access, share, flags | FILE_FLAG_OPEN_REPARSE_POINT));
                if (!file) return file;
            }
            probe.Reset();
            switch (standing) {
            case Standing::Plain:
                if (mode == OwnFileMode::Replace) {
                    LARGE_INTEGER zero = {};
                    if (!::SetFilePointerEx(file.Get(), zero, nullptr, FILE_BEGIN) || !::SetEndOfFile(file.Get())) {
                        return UniqueHandle();
                    }
                }
                return file;
            case Standing::OwnNameMovable:
                if (!MoveNameAside(path, traced)) {
                    ::SetLastError(ERROR_CANT_RESOLVE_FILENAME);
                    return UniqueHandle();
                }
                continue;
            default:
                Refuse(path, traced);
                return UniqueHandle();
            }
        }
        const DWORD error = ::GetLastError();
        if (error != ERROR_FILE_NOT_FOUND) return UniqueHandle();
        UniqueHandle made(::CreateFileA(path.c_str(), access, share, nullptr, CREATE_NEW,
                                        attributes | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
        if (made || ::GetLastError() != ERROR_FILE_EXISTS) return made;
    }
    ::SetLastError(ERROR_CANT_RESOLVE_FILENAME);
    return UniqueHandle();
}

bool DeleteOwnFile(const std::string& path, bool traced)
{
    UniqueHandle file(::CreateFileA(path.c_str(), DELETE | FILE_READ_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!file) return false;
    if (StandingOf(file.Get(), path) == Standing::LeadsElsewhere) {
        Refuse(path, traced);
        return false;
    }
    // Through the handle: a link's own name goes, never what it leads to.
    FILE_DISPOSITION_INFO disposition = {TRUE};
    return ::SetFileInformationByHandle(file.Get(), FileDispositionInfo, &disposition, sizeof disposition) != FALSE;
}

bool MoveOwnFile(const std::string& from, const std::string& to, DWORD flags)
{
    {
        UniqueHandle file(::CreateFileA(from.c_str(), FILE_READ_ATTRIBUTES,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                        FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
        if (!file) return false;
        if (StandingOf(file.Get(), from) == Standing::LeadsElsewhere) {
            Refuse(from, true);
            return false;
        }
    }
    return ::MoveFileExA(from.c_str(), to.c_str(), flags) != FALSE;
}

OwnFileStanding ExamineOwnFile(const std::string& path)
{
    UniqueHandle entry(::CreateFileA(path.c_str(), FILE_READ_ATTRIBUTES,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                     FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!entry) {
        const DWORD error = ::GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? Standing::Missing
                                                                              : Standing::LeadsElsewhere;
    }
    return StandingOf(entry.Get(), path);
}
