#include "common/paths.h"

#include "common/handles.h"
#include "common/pathtext.h"
#include "common/settings.h"
#include "common/tracer.h"
#include "common/usersid.h"

#include <windows.h>
#include <shlobj.h>


std::string GetModulePath()
{
    char buffer[MAX_PATH + 1] = {};
    const DWORD length = ::GetModuleFileNameA(nullptr, buffer, MAX_PATH + 1);
    // A path that filled the buffer was cut short: no path is better than a wrong one.
    if (length == 0 || length > MAX_PATH) return std::string();
    return std::string(buffer, length);
}

std::string GetModuleFolder()
{
    const std::string path = GetModulePath();
    const size_t slash = path.rfind('\\');
    if (slash == std::string::npos) return std::string();
    return path.substr(0, slash);
}

std::string GetModuleFilePath(const char* name)
{
    const std::string path = GetModulePath();
    const size_t slash = path.rfind('\\');
    if (slash == std::string::npos) return std::string();
    return path.substr(0, slash + 1) + (name ? name : "");
}

namespace {

// A part of the form "%NAME%": a variable the user's environment did not
// define, which would make one folder of every user's.
bool HoldsUnexpandedVariable(const std::string& part)
{
    const size_t open = part.find('%');
    if (open == std::string::npos) return false;
    const size_t close = part.find('%', open + 1);
    return close != std::string::npos && close > open + 1;
}

}  // namespace

std::string DataFolderOfSetting(const std::string& setting)
{
    std::string folder = NormaliseSeparators(setting);
    if (!IsFullPath(folder)) return std::string();
    const size_t root = folder[1] == ':' ? 3 : 2;  // "C:\" or the "\\" of a network path
    while (folder.size() > root && folder.back() == '\\') folder.pop_back();
    if (Utf16Length(folder) > kLongestDataFolder) return std::string();
    // Every part names exactly one folder: "." and ".." would make the
    // folder another than it reads (the pattern guard compares folders by
    // their text), and a part the system would change (a trailing dot or
    // blank), read as a device, or not take (a wildcard) names none.
    size_t start = root;
    while (start < folder.size()) {
        size_t end = folder.find('\\', start);
        if (end == std::string::npos) end = folder.size();
        const std::string part = folder.substr(start, end - start);
        if (!IsTrustworthyName(part) || HoldsUnexpandedVariable(part)) {
            return std::string();
        }
        start = end + 1;
    }
    return folder;
}

std::string GetDataFolder()
{
    const std::string setting = GetDataFolderSetting();
    if (setting.empty()) return GetModuleFolder();
    // A setting that names no usable folder is an error the user is told of
    // at start-up (DataFolderProblem), never a silent move of the data to
    // another folder: none, so nothing is written anywhere else.
    return DataFolderOfSetting(setting);
}

std::string DataFolderProblem()
{
    const std::string setting = GetDataFolderSetting();
    if (setting.empty() || !DataFolderOfSetting(setting).empty()) return std::string();
    return setting;
}

std::string GetMachineTaskFolder()
{
    return DataFolderOfSetting(GetMachineTaskFolderSetting());
}

std::string GetDataFilePath(const std::string& name)
{
    const std::string folder = GetDataFolder();
    if (folder.empty()) return std::string();
    return folder.back() == '\\' ? folder + name : folder + "\\" + name;
}

bool EnsureDataFolder()
{
    const std::string folder = DataFolderOfSetting(GetDataFolderSetting());
    if (folder.empty()) return true;
    if (::GetFileAttributesA(folder.c_str()) != INVALID_FILE_ATTRIBUTES) {
        // Found, not made: another user may have made it first, where the
        // setting names a folder outside the user's profile.
        UniqueHandle existing(::CreateFileA(folder.c_str(), READ_CONTROL,
                                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                            OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
        if (existing && !IsOwnedByUserOrAdministrators(existing.Get(), SE_FILE_OBJECT)) {
            TRACE(40, "The data folder %s belongs to another account", folder.c_str());
            return false;
        }
        return true;
    }
    // The user's own: no other account may read or change what is in it.
    CPrivateSecurity security(CPrivateSecurity::For::Folder);
    if (security.Attributes() == nullptr) {
        TRACE(40, "Cannot create the data folder %s - %d", folder.c_str(), static_cast<int>(::GetLastError()));
        return true;
    }
    const int result = ::SHCreateDirectoryExA(nullptr, folder.c_str(), security.Attributes());
    if (result != ERROR_SUCCESS && result != ERROR_ALREADY_EXISTS) {
        TRACE(40, "Cannot create the data folder %s - %d", folder.c_str(), result);
    }
    return true;
}
