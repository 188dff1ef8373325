#include "plugin/engines/sqlite/guardedvfs.h"

#include "common/fileguard.h"
#include "common/pathtext.h"

#include <sqlite3.h>

#include <mutex>

namespace {

const char kVfsName[] = "tidewhistle-guarded";
// The side files SQLite keeps beside a database, by the suffix of their names.
const char* const kSideFileSuffixes[] = {"-journal", "-wal", "-shm"};

sqlite3_vfs g_guardedVfs;

sqlite3_vfs* SystemVfs()
{
    return static_cast<sqlite3_vfs*>(g_guardedVfs.pAppData);
}

// The guard of a file's folder and the file's name in it.
struct GuardedName {
    explicit GuardedName(const std::string& path) : guard(Split(path, &name)) {}
    static std::wstring Split(const std::string& path, std::wstring* name)
    {
        std::wstring folder;
        SplitGuardedPath(WideFromUtf8(path), &folder, name);
        return folder;
    }
    std::wstring name;
    CFileGuard guard;
};

bool IsRefusal(DWORD error)
{
    return error == kGuardLinkRefused || error == kGuardNamesRefused;
}

// The guard's refusal of the file at path, or 0: a file that is not there,
// or that cannot be opened for another reason, is left to SQLite's own
// open to report.
DWORD RefusalOf(const std::string& path)
{
    const GuardedName file(path);
    if (file.guard.FolderError() != ERROR_SUCCESS) return ERROR_SUCCESS;
    const DWORD error = file.guard.Check(file.name);
    return IsRefusal(error) ? error : ERROR_SUCCESS;
}

// What SQLite opened, checked by its own handle: a file swapped for a link
// between the check and the open is not used either.
DWORD RefusalOfOpened(sqlite3_file* file, const std::string& path)
{
    HANDLE handle = nullptr;
    if (file->pMethods == nullptr ||
        file->pMethods->xFileControl(file, SQLITE_FCNTL_WIN32_GET_HANDLE, &handle) != SQLITE_OK || handle == nullptr) {
        return kGuardLinkRefused;  // what cannot be checked is not used
    }
    const GuardedName named(path);
    if (named.guard.FolderError() != ERROR_SUCCESS) return named.guard.FolderError();
    return named.guard.CheckHandle(handle, named.name);
}

// A journal or log SQLite is to make is made by the guard, which never
// makes it through a link; SQLite then opens the plain file that is there.
bool MadeThroughGuard(const std::string& path, int flags)
{
    if ((flags & SQLITE_OPEN_CREATE) == 0) return true;
    const GuardedName file(path);
    if (file.guard.FolderError() != ERROR_SUCCESS) return true;  // SQLite's open tells
    UniqueHandle made;
    const DWORD error = file.guard.Open(file.name, FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        GuardedOpening::ExistingOrNew, &made);
    return !IsRefusal(error);
}

int GuardedOpen(sqlite3_vfs*, const char* name, sqlite3_file* file, int flags, int* outFlags)
{
    // A nameless file is SQLite's own temporary one, in the system's folder for them.
    if (name == nullptr) return SystemVfs()->xOpen(SystemVfs(), name, file, flags, outFlags);
    const std::string path = name;
    const bool forWriting = (flags & SQLITE_OPEN_READWRITE) != 0;
    if ((flags & SQLITE_OPEN_MAIN_DB) ? !GuardedDatabaseRefusal(path, forWriting).empty()
                                      : RefusalOf(path) != ERROR_SUCCESS || !MadeThroughGuard(path, flags)) {
        file->pMethods = nullptr;
        return SQLITE_CANTOPEN;
    }
    const int opened = SystemVfs()->xOpen(SystemVfs(), name, file, flags, outFlags);
    if (opened != SQLITE_OK) return opened;
    if (RefusalOfOpened(file, path) != ERROR_SUCCESS) {
        file->pMethods->xClose(file);
        file->pMethods = nullptr;
        return SQLITE_CANTOPEN;
    }
    return SQLITE_OK;
}

// A journal SQLite is done with is deleted through the guard's checked
// handle: a link at its name stays, and so does what it leads to.
int GuardedDelete(sqlite3_vfs*, const char* name, int)
{
    const GuardedName file(name);
    const DWORD error = file.guard.FolderError() != ERROR_SUCCESS ? file.guard.FolderError() : file.guard.Remove(file.name);
    if (error == ERROR_SUCCESS) return SQLITE_OK;
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return SQLITE_IOERR_DELETE_NOENT;
    return SQLITE_IOERR_DELETE;
}

// A hot journal that is a link is never taken as there to be played back.
int GuardedAccess(sqlite3_vfs*, const char* name, int flags, int* result)
{
    if (RefusalOf(name) != ERROR_SUCCESS) {
        *result = 0;
        return SQLITE_IOERR_ACCESS;
    }
    return SystemVfs()->xAccess(SystemVfs(), name, flags, result);
}

}  // namespace

const char* GuardedVfsName()
{
    static std::once_flag registered;
    std::call_once(registered, [] {
        sqlite3_vfs* system = sqlite3_vfs_find(nullptr);
        g_guardedVfs = *system;
        g_guardedVfs.pNext = nullptr;
        g_guardedVfs.zName = kVfsName;
        g_guardedVfs.pAppData = system;
        g_guardedVfs.xOpen = &GuardedOpen;
        g_guardedVfs.xDelete = &GuardedDelete;
        g_guardedVfs.xAccess = &GuardedAccess;
        sqlite3_vfs_register(&g_guardedVfs, 0);
    });
    return kVfsName;
}

std::string GuardedDatabaseRefusal(const std::string& path, bool forWriting)
{
    std::string checked = path;
    // The database first, then each side file that is there.
    for (size_t i = 0; i <= sizeof kSideFileSuffixes / sizeof kSideFileSuffixes[0]; ++i) {
        if (i > 0) checked = path + kSideFileSuffixes[i - 1];
        DWORD refusal = RefusalOf(checked);
        if (refusal == ERROR_SUCCESS && forWriting && i > 0) {
            const GuardedName side(checked);
            if (side.guard.IsLinkLeadingNowhere(side.name)) refusal = kGuardLinkRefused;
        }
        if (refusal != ERROR_SUCCESS) {
            // The name alone: the message names the database's path already.
            const size_t separator = checked.find_last_of("\\/");
            const std::string name = separator == std::string::npos ? checked : checked.substr(separator + 1);
            return name + " " + GuardErrorText(refusal).substr(3);  // "it is a link" becomes "<name> is a link"
        }
    }
    return std::string();
}
