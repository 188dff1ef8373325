#include "app/taskfolderremoval.h"

#include "app/taskfolderentries.h"
#include "common/ownfile.h"
#include "common/paths.h"

#include <windows.h>

#include <vector>

int RemoveTaskFolder(const std::string& setting)
{
    const std::string folder = DataFolderOfSetting(setting);
    if (folder.empty()) return 1;
    if (::GetFileAttributesA(folder.c_str()) == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = ::GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? 0 : 1;
    }
    // A link in the folder's place loses its own name, as any link here;
    // a folder that is elsewhere than its name says is not entered.
    if (DropLinkName(folder)) return 0;
    if (!IsPlainFolderAt(folder)) return 1;

    std::vector<std::string> names;
    if (!ListFolderNames(folder, &names)) return 1;
    bool allOwnGone = true;
    for (const std::string& name : names) {
        const std::string path = folder + "\\" + name;
        if (!IsTaskFolderTaskName(name) && !IsTaskFolderHistoryName(name)) {
            DropLinkName(path);
            continue;
        }
        switch (ExamineOwnFile(path)) {
        case OwnFileStanding::Plain:
            if (!DeleteOwnFile(path, false) && ExamineOwnFile(path) == OwnFileStanding::Plain) allOwnGone = false;
            break;
        case OwnFileStanding::OwnNameMovable:
            DropLinkName(path);
            break;
        default:
            // A folder under such a name, or a link that opens as what it
            // leads to: not the program's file, and never deleted through.
            break;
        }
    }
    RemoveEmptyFolder(folder);
    return allOwnGone ? 0 : 1;
}
