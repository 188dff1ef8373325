#include "common/paths.h"

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

std::string DataFolderOfSetting(const std::string& setting)
{
    std::string folder = NormaliseSeparators(setting);
    if (!IsFullPath(folder)) return std::string();
    // "." and ".." parts would make the folder another than it reads; the
    // pattern guard compares folders by their text.
    // A part with a wildcard or another forbidden character names no folder.
    size_t start = 0;
    for (int index = 0; start <= folder.size(); ++index) {
        size_t end = folder.find('\\', start);
        if (end == std::string::npos) end = folder.size();
        const std::string part = folder.substr(start, end - start);
        if (part == "." || part == "..") return std::string();
        if (index > 0 && HasForbiddenNameCharacter(part)) return std::string();
        start = end + 1;
    }
    const size_t keep = folder.size() == 3 && folder[1] == ':' ? 3 : 1;
    while (folder.size() > keep && folder.back() == '\\') folder.pop_back();
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

void EnsureDataFolder()
{
    const std::string folder = DataFolderOfSetting(GetDataFolderSetting());
    if (folder.empty() || ::GetFileAttributesA(folder.c_str()) != INVALID_FILE_ATTRIBUTES) return;
    // The user's own: no other account may read or change what is in it.
    CPrivateSecurity security(CPrivateSecurity::For::Folder);
    if (security.Attributes() == nullptr) {
        TRACE(40, "Cannot create the data folder %s - %d", folder.c_str(), static_cast<int>(::GetLastError()));
        return;
    }
    const int result = ::SHCreateDirectoryExA(nullptr, folder.c_str(), security.Attributes());
    if (result != ERROR_SUCCESS && result != ERROR_ALREADY_EXISTS) {
        TRACE(40, "Cannot create the data folder %s - %d", folder.c_str(), result);
    }
}
