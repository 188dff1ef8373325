#include "plugin/engines/files/smallfile.h"

#include "common/error.h"
#include "common/handles.h"

#include <windows.h>

bool ReadSmallFile(const std::string& path, long long maxSize, std::string& text)
{
    UniqueHandle file(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        const DWORD error = ::GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return false;
        throw CError(path + " cannot be read (error " + std::to_string(error) + ")");
    }
    LARGE_INTEGER size = {};
    if (!::GetFileSizeEx(file.Get(), &size)) {
        throw CError(path + " cannot be read (error " + std::to_string(::GetLastError()) + ")");
    }
    if (size.QuadPart > maxSize) throw CError(path + " is too large to be what its name says");
    std::string read(static_cast<size_t>(size.QuadPart), '\0');
    DWORD done = 0;
    if (!read.empty() && (!::ReadFile(file.Get(), &read[0], static_cast<DWORD>(read.size()), &done, nullptr) ||
                          done != read.size())) {
        throw CError(path + " cannot be read (error " + std::to_string(::GetLastError()) + ")");
    }
    text = std::move(read);
    return true;
}
