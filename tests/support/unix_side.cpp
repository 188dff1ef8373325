#include "unix_side.h"

#include "build_paths.h"
#include "common/handles.h"
#include "eventually.h"
#include "program_runner.h"

#include <windows.h>

std::string UnixPathOf(const std::string& windowsPath)
{
    using Converter = char* (*)(const wchar_t*);
    const auto convert = reinterpret_cast<Converter>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
    if (convert == nullptr) return std::string();
    std::wstring wide(windowsPath.begin(), windowsPath.end());
    char* unixPath = convert(wide.c_str());
    if (unixPath == nullptr) return std::string();
    std::string result = unixPath;
    ::HeapFree(::GetProcessHeap(), 0, unixPath);
    return result;
}

std::string UnixTool(const std::string& name)
{
    return std::string(kUnixToolsFolder) + "\\" + name;
}

bool RunUnixCommand(const std::string& commandLine)
{
    std::string command = commandLine;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    if (!StartAgainIfWineFailed(command, [&] {
            return ::CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info);
        })) {
        return false;
    }
    const UniqueHandle thread(info.hThread);
    const UniqueHandle process(info.hProcess);
    return true;
}

bool LongPathExists(const std::string& windowsPath)
{
    const std::wstring wide = L"\\\\?\\" + std::wstring(windowsPath.begin(), windowsPath.end());
    return ::GetFileAttributesW(wide.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool MakeFolderLink(const std::string& target, const std::string& linkPath)
{
    const std::string unixTarget = UnixPathOf(target);
    const std::string unixLink = UnixPathOf(linkPath);
    if (unixTarget.empty() || unixLink.empty()) return false;
    if (!RunUnixCommand(UnixTool("ln") + " -s \"" + unixTarget + "\" \"" + unixLink + "\"")) return false;
    if (!Eventually([&] { return LongPathExists(linkPath); }, kAppearTimeout)) return false;
    const DWORD attributes = ::GetFileAttributesA(linkPath.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

bool MakeFileLink(const std::string& target, const std::string& folder, const std::string& name)
{
    const std::string unixTarget = UnixPathOf(target);
    const std::string unixFolder = UnixPathOf(folder);
    if (unixTarget.empty() || unixFolder.empty()) return false;
    if (!RunUnixCommand(UnixTool("ln") + " -s \"" + unixTarget + "\" \"" + unixFolder + "/" + name + "\"")) return false;
    return Eventually([&] { return LongPathExists(folder + "\\" + name); }, kAppearTimeout);
}

bool ListsExactly(const std::string& folder, const std::string& name)
{
    WIN32_FIND_DATAA found;
    HANDLE search = ::FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return false;
    bool listed = false;
    do listed |= name == found.cFileName;
    while (!listed && ::FindNextFileA(search, &found));
    ::FindClose(search);
    return listed;
}

bool RenameFromUnixSide(const std::string& path, const std::string& name)
{
    const size_t slash = path.rfind('\\');
    if (slash == std::string::npos) return false;
    const std::string folder = path.substr(0, slash);
    const std::string unixFolder = UnixPathOf(folder);
    if (unixFolder.empty()) return false;
    const std::string from = unixFolder + "/" + path.substr(slash + 1);
    // A second name, then the first one removed: the tools hold no "mv".
    if (!RunUnixCommand(UnixTool("ln") + " \"" + from + "\" \"" + unixFolder + "/" + name + "\"")) return false;
    if (!Eventually([&] { return ListsExactly(folder, name); }, kAppearTimeout)) return false;
    if (!RunUnixCommand(UnixTool("rm") + " -f \"" + from + "\"")) return false;
    return Eventually([&] { return !ListsExactly(folder, path.substr(slash + 1)); }, kAppearTimeout);
}
