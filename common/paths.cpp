#include "common/paths.h"

#include <windows.h>

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
