#include "common/finalpath.h"

#include "common/pathtext.h"

#include <vector>

std::string FinalPathOf(HANDLE handle)
{
    std::vector<char> buffer(MAX_PATH + 8);
    for (int attempt = 0; attempt < 3; ++attempt) {
        const DWORD length = ::GetFinalPathNameByHandleA(handle, buffer.data(), static_cast<DWORD>(buffer.size()),
                                                         FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        if (length == 0) return std::string();
        if (length < buffer.size()) return StripExtendedPrefix(std::string(buffer.data(), length));
        buffer.resize(length + 1);  // the size needed, with its NUL
    }
    return std::string();
}

std::wstring FinalPathOfWide(HANDLE handle)
{
    std::vector<wchar_t> buffer(MAX_PATH + 8);
    for (int attempt = 0; attempt < 3; ++attempt) {
        const DWORD length = ::GetFinalPathNameByHandleW(handle, buffer.data(), static_cast<DWORD>(buffer.size()),
                                                         FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        if (length == 0) return std::wstring();
        if (length < buffer.size()) {
            std::wstring path(buffer.data(), length);
            if (path.compare(0, 8, L"\\\\?\\UNC\\") == 0) return L"\\\\" + path.substr(8);
            if (path.compare(0, 4, L"\\\\?\\") == 0) return path.substr(4);
            return path;
        }
        buffer.resize(length + 1);  // the size needed, with its NUL
    }
    return std::wstring();
}
