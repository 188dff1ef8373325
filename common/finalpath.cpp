#include "common/finalpath.h"

#include "common/pathtext.h"

#include <winternl.h>

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

std::wstring SystemNameOf(HANDLE handle)
{
    const NTSTATUS infoLengthMismatch = static_cast<NTSTATUS>(0xC0000004L);
    const NTSTATUS bufferOverflow = static_cast<NTSTATUS>(0x80000005L);
    const NTSTATUS bufferTooSmall = static_cast<NTSTATUS>(0xC0000023L);
    std::vector<ULONGLONG> buffer(128);  // aligned for the UNICODE_STRING at its start
    for (int attempt = 0; attempt < 3; ++attempt) {
        const ULONG size = static_cast<ULONG>(buffer.size() * sizeof(ULONGLONG));
        ULONG needed = 0;
        const NTSTATUS status = ::NtQueryObject(handle, ObjectNameInformation, buffer.data(), size, &needed);
        if (status == infoLengthMismatch || status == bufferOverflow || status == bufferTooSmall) {
            if (needed <= size) return std::wstring();
            buffer.resize(needed / sizeof(ULONGLONG) + 1);
            continue;
        }
        if (!NT_SUCCESS(status)) return std::wstring();
        const auto* name = reinterpret_cast<const UNICODE_STRING*>(buffer.data());
        if (name->Buffer == nullptr) return std::wstring();
        return std::wstring(name->Buffer, name->Length / sizeof(wchar_t));
    }
    return std::wstring();
}
