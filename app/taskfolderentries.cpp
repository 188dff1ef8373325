#include "app/taskfolderentries.h"

#include "common/fileenum.h"
#include "common/handles.h"
#include "common/ownfile.h"
#include "common/strparse.h"
#include "common/taskfilenames.h"
#include "tasks/taskfiles.h"
#include "tasks/taskname.h"

#include <windows.h>

namespace {

// Opened without following a link, files and folders alike.
UniqueHandle OpenEntry(const std::string& path, DWORD access)
{
    return UniqueHandle(::CreateFileA(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS,
                                      nullptr));
}

}  // namespace

bool IsTaskFolderTaskName(const std::string& name)
{
    return EndsWithAsciiNoCase(name, kTaskFileExtension);
}

bool IsTaskFolderHistoryName(const std::string& name)
{
    const std::string lower = ToLowerAscii(name);
    return TaskFiles::IsHistoryFileName(name) || EndsWithAsciiNoCase(name, kTakingOverSuffix) || lower == "tw_debug.log" ||
           lower == "tw_debug.log.1" || lower.rfind(std::string(kDefaultTaskName) + kUnreadableInfix, 0) == 0 ||
           lower.find(kSetAsideInfix) != std::string::npos;
}

bool ListFolderNames(const std::string& folder, std::vector<std::string>* names)
{
    CFileEnumerator search(folder + "\\*");
    WIN32_FIND_DATAA found;
    while (search.Next(found)) names->push_back(found.cFileName);
    return search.Error() == 0;
}

bool DropLinkName(const std::string& path)
{
    if (ExamineOwnFile(path) != OwnFileStanding::OwnNameMovable) return false;
    UniqueHandle entry(OpenEntry(path, DELETE | FILE_READ_ATTRIBUTES));
    BY_HANDLE_FILE_INFORMATION info = {};
    if (!entry || !::GetFileInformationByHandle(entry.Get(), &info)) return false;
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        entry.Reset();
        return DeleteOwnFile(path, false);
    }
    // A folder's link (a junction or a folder's symbolic link): opened as the
    // link itself, so the deletion through its handle takes the link only.
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) return false;
    FILE_DISPOSITION_INFO disposition = {TRUE};
    return ::SetFileInformationByHandle(entry.Get(), FileDispositionInfo, &disposition, sizeof disposition) != FALSE;
}

bool IsPlainFolderAt(const std::string& path)
{
    UniqueHandle entry(OpenEntry(path, FILE_READ_ATTRIBUTES));
    BY_HANDLE_FILE_INFORMATION info = {};
    if (!entry || !::GetFileInformationByHandle(entry.Get(), &info)) return false;
    return (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
           (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0 && IsWhereItsNameSays(entry.Get(), path);
}

bool RemoveEmptyFolder(const std::string& path)
{
    {
        UniqueHandle entry(OpenEntry(path, DELETE | FILE_READ_ATTRIBUTES));
        BY_HANDLE_FILE_INFORMATION info = {};
        if (!entry || !::GetFileInformationByHandle(entry.Get(), &info)) return false;
        if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 ||
            (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 || !IsWhereItsNameSays(entry.Get(), path)) {
            ::SetLastError(ERROR_CANT_RESOLVE_FILENAME);
            return false;
        }
        // The system refuses a folder that still holds anything: nothing in
        // it is deleted along.
        FILE_DISPOSITION_INFO disposition = {TRUE};
        if (!::SetFileInformationByHandle(entry.Get(), FileDispositionInfo, &disposition, sizeof disposition)) {
            return false;
        }
    }
    // Under Wine the folder goes when the handle closes, or stays then.
    if (::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES) {
        ::SetLastError(ERROR_DIR_NOT_EMPTY);
        return false;
    }
    return true;
}
