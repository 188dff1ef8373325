#include "plugin/treeentry.h"

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

DWORD CTreeEntry::Open(const std::string& path, const std::string& expectedFinalPath)
{
    m_handle.Reset(::CreateFileA(path.c_str(), DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                 FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!m_handle) return ::GetLastError();

    // Only the attributes: the full information also asks for the volume's
    // serial number, which under Wine costs more than the whole deletion.
    FILE_BASIC_INFO basic = {};
    if (!::GetFileInformationByHandleEx(m_handle.Get(), FileBasicInfo, &basic, sizeof basic)) {
        const DWORD error = ::GetLastError();
        m_handle.Reset();
        return error;
    }
    m_attributes = basic.FileAttributes;
    FILE_STANDARD_INFO standard = {};
    if (::GetFileInformationByHandleEx(m_handle.Get(), FileStandardInfo, &standard, sizeof standard))
        m_allocationSize = standard.AllocationSize.QuadPart;
    m_whereExpected = SamePath(FinalPathOf(m_handle.Get()), expectedFinalPath);
    return ERROR_SUCCESS;
}

DWORD CTreeEntry::Delete()
{
    if (!IsFolder() && (m_attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM))) {
        FILE_BASIC_INFO basic = {};  // zero times: left as they are
        basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
        // A failure here shows as the deletion's own failure below.
        ::SetFileInformationByHandle(m_handle.Get(), FileBasicInfo, &basic, sizeof basic);
    }
    FILE_DISPOSITION_INFO disposition = {};
    disposition.DeleteFile = TRUE;
    const DWORD error = ::SetFileInformationByHandle(m_handle.Get(), FileDispositionInfo, &disposition,
                                                     sizeof disposition)
                            ? ERROR_SUCCESS
                            : ::GetLastError();
    m_handle.Reset();
    return error;
}
