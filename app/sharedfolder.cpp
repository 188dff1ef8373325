#include "app/sharedfolder.h"

#include "app/taskfolderentries.h"
#include "common/handles.h"
#include "common/ownfile.h"
#include "common/paths.h"
#include "common/taskfilenames.h"

#include <windows.h>
#include <aclapi.h>

#include <vector>

namespace {

bool IsSystemsOwn(HANDLE file)
{
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (::GetSecurityInfo(file, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr, nullptr,
                          &descriptor) != ERROR_SUCCESS) {
        return false;
    }
    const UniqueLocal freeDescriptor(descriptor);
    return owner != nullptr &&
           (::IsWellKnownSid(owner, WinLocalSystemSid) || ::IsWellKnownSid(owner, WinBuiltinAdministratorsSid));
}

bool CopyContent(HANDLE from, HANDLE to)
{
    std::vector<char> buffer(64 * 1024);
    for (;;) {
        DWORD read = 0;
        if (!::ReadFile(from, buffer.data(), static_cast<DWORD>(buffer.size()), &read, nullptr)) return false;
        if (read == 0) return ::FlushFileBuffers(to) != FALSE;
        DWORD written = 0;
        if (!::WriteFile(to, buffer.data(), read, &written, nullptr) || written != read) return false;
    }
}

// A plain task file a user made is written anew, by the system, in a file
// that takes the folder's access, and put in its place.
bool WriteTaskAnew(const std::string& path)
{
    UniqueHandle task(::CreateFileA(path.c_str(), GENERIC_READ | READ_CONTROL, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!task) return false;
    if (IsSystemsOwn(task.Get())) return true;
    const std::string fresh = path + kTakingOverSuffix;
    DeleteOwnFile(fresh, false);
    bool copied = false;
    {
        UniqueHandle made(::CreateFileA(fresh.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                        FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
        if (!made) return false;
        copied = CopyContent(task.Get(), made.Get());
    }
    task.Reset();
    // The replaced name goes with whatever stood there: a name, never what
    // a link at it led to.
    if (copied && ::MoveFileExA(fresh.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        return true;
    }
    DeleteOwnFile(fresh, false);
    return false;
}

}  // namespace

int TakeOverSharedFolder(const std::string& setting)
{
    const std::string folder = DataFolderOfSetting(setting);
    if (folder.empty()) return 1;
    const DWORD attributes = ::GetFileAttributesA(folder.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return ::GetLastError() == ERROR_FILE_NOT_FOUND ? 0 : 1;
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return 1;

    // The names first, then the work: what is deleted or replaced does not
    // disturb the listing.
    std::vector<std::string> names;
    if (!ListFolderNames(folder, &names)) return 1;

    bool safe = true;
    for (const std::string& name : names) {
        const bool task = IsTaskFolderTaskName(name);
        const std::string path = folder + "\\" + name;
        if (!task && !IsTaskFolderHistoryName(name)) {
            // Whatever its name, a link a user put here loses it: nothing
            // removing the folder later may reach what it leads to.
            DropLinkName(path);
            continue;
        }
        switch (ExamineOwnFile(path)) {
        case OwnFileStanding::Missing:
            break;
        case OwnFileStanding::OwnNameMovable:
            // A link or hard link: its own name goes, and with it the task
            // a user could have aimed elsewhere.
            if (!DropLinkName(path) && task) safe = false;
            break;
        case OwnFileStanding::Plain:
            if (task ? !WriteTaskAnew(path) : !DeleteOwnFile(path, false)) safe = safe && !task;
            break;
        case OwnFileStanding::LeadsElsewhere:
            // A folder under a task's name is no task: it is renamed out of
            // the tasks' names and stays with all it holds.
            if (task && IsPlainFolderAt(path)) {
                std::string aside;
                if (!SetNameAside(path, &aside)) safe = false;
                break;
            }
            // Never deleted through (that would delete its target); a task
            // there would be read by every user's program.
            if (task) safe = false;
            break;
        }
    }
    return safe ? 0 : 1;
}
