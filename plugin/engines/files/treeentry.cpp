#include "plugin/engines/files/treeentry.h"

#include "common/finalpath.h"
#include "common/pathtext.h"
#include "common/strformat.h"

#include <winternl.h>

#include <algorithm>

namespace {

const NTSTATUS kStatusFileIsADirectory = static_cast<NTSTATUS>(0xC00000BAL);
// FileDispositionInfoEx, which the headers offer only to builds for the
// newest systems; older ones answer it with an error.
const FILE_INFO_BY_HANDLE_CLASS kFileDispositionInfoEx = static_cast<FILE_INFO_BY_HANDLE_CLASS>(21);
// The longest name a UNICODE_STRING can carry, in characters.
const size_t kMaxNameCharacters = 0x7FFF;

// Names are compared exactly, case included: a folder may hold "tree" and
// "TREE" as two entries (a Unix disk under Wine, a case-sensitive folder on
// Windows), and both names come from the same system in the same spelling,
// the folder's from its handle and the entry's from the listing.
bool SameObjectName(const std::wstring& a, const std::wstring& b)
{
    return a == b;
}

}  // namespace

std::string NarrowName(const std::wstring& name, bool* faithful)
{
    *faithful = false;
    if (name.empty()) return std::string();
    const int wideLength = static_cast<int>(name.size());
    // No look-alike letters: a name that has no spelling in the code page
    // gets "?" and is never taken for another (UTF-8 has no such letters).
    const DWORD flags = ::GetACP() == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS;
    const int length = ::WideCharToMultiByte(CP_ACP, flags, name.data(), wideLength, nullptr, 0, nullptr, nullptr);
    if (length <= 0) return std::string();
    std::string narrow(static_cast<size_t>(length), '\0');
    ::WideCharToMultiByte(CP_ACP, flags, name.data(), wideLength, &narrow[0], length, nullptr, nullptr);
    // The "A" functions read the spelling back: it must give the same name.
    const int backLength = ::MultiByteToWideChar(CP_ACP, 0, narrow.data(), length, nullptr, 0);
    std::wstring back(static_cast<size_t>(backLength > 0 ? backLength : 0), L'\0');
    if (backLength > 0) ::MultiByteToWideChar(CP_ACP, 0, narrow.data(), length, &back[0], backLength);
    *faithful = back == name;
    return narrow;
}

std::wstring WideName(const std::string& name)
{
    if (name.empty()) return std::wstring();
    const int length = ::MultiByteToWideChar(CP_ACP, 0, name.data(), static_cast<int>(name.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(length > 0 ? length : 0), L'\0');
    if (length > 0) ::MultiByteToWideChar(CP_ACP, 0, name.data(), static_cast<int>(name.size()), &wide[0], length);
    return wide;
}

std::string CodePageName(const std::wstring& name)
{
    const int length = ::WideCharToMultiByte(CP_ACP, 0, name.data(), static_cast<int>(name.size()), nullptr, 0, nullptr, nullptr);
    std::string narrow(static_cast<size_t>(length > 0 ? length : 0), '\0');
    if (length > 0) ::WideCharToMultiByte(CP_ACP, 0, name.data(), static_cast<int>(name.size()), &narrow[0], length, nullptr, nullptr);
    return narrow;
}

DWORD CTreeEntry::OpenFolderAt(const std::string& path, const std::string& expectedFinalPath)
{
    m_handle.Reset(::CreateFileA(path.c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                 FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!m_handle) return ::GetLastError();
    FILE_BASIC_INFO basic = {};
    if (!::GetFileInformationByHandleEx(m_handle.Get(), FileBasicInfo, &basic, sizeof basic)) {
        const DWORD error = ::GetLastError();
        m_handle.Reset();
        return error;
    }
    if (!(basic.FileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {  // a file named as a folder
        m_handle.Reset();
        return ERROR_DIRECTORY;
    }
    m_isFile = false;
    m_attributes = basic.FileAttributes;
    m_objectName = SystemNameOf(m_handle.Get());
    // The folder could have been swapped between its check and this open.
    m_whereExpected = !m_objectName.empty() && SamePath(FinalPathOf(m_handle.Get()), expectedFinalPath);
    return ERROR_SUCCESS;
}

DWORD CTreeEntry::OpenIn(const CTreeEntry& folder, const TreeListing& listed, EntryKind kind)
{
    ACCESS_MASK access = DELETE | FILE_READ_ATTRIBUTES | SYNCHRONIZE;
    ULONG options = FILE_OPEN_REPARSE_POINT | FILE_OPEN_FOR_BACKUP_INTENT | FILE_SYNCHRONOUS_IO_NONALERT;
    if (kind == EntryKind::Looked) {
        access = FILE_READ_ATTRIBUTES | SYNCHRONIZE;
    } else if (kind == EntryKind::File) {
        access |= FILE_WRITE_ATTRIBUTES;
        options |= FILE_NON_DIRECTORY_FILE;
    } else if (kind == EntryKind::Folder) {
        access |= FILE_LIST_DIRECTORY;
        options |= FILE_DIRECTORY_FILE;
    } else if (kind == EntryKind::Contents) {
        access = FILE_READ_DATA | FILE_READ_ATTRIBUTES | SYNCHRONIZE;
        options |= FILE_NON_DIRECTORY_FILE;
    }
    if (listed.name.empty() || listed.name.size() > kMaxNameCharacters) return ERROR_FILENAME_EXCED_RANGE;
    // The name alone, relative to the open folder: nothing above it is
    // looked up again, so nothing above it can be swapped for a link.
    UNICODE_STRING name;
    name.Buffer = const_cast<wchar_t*>(listed.name.data());
    name.Length = name.MaximumLength = static_cast<USHORT>(listed.name.size() * sizeof(wchar_t));
    // The name exactly as listed, case included: a folder may hold "a" and
    // "A" as two entries (under Wine, on a case-sensitive folder), and a
    // decision about one must never reach the other.
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, &name, 0, folder.m_handle.Get(), nullptr);
    IO_STATUS_BLOCK io = {};
    HANDLE opened = nullptr;
    const NTSTATUS status = ::NtCreateFile(&opened, access, &attributes, &io, nullptr, 0,
                                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, FILE_OPEN, options,
                                           nullptr, 0);
    if (!NT_SUCCESS(status)) {
        m_handle.Reset();
        return status == kStatusFileIsADirectory ? ERROR_DIRECTORY : ::RtlNtStatusToDosError(status);
    }
    m_handle.Reset(opened);
    m_isFile = kind == EntryKind::File;
    if (m_isFile || kind == EntryKind::Contents) {
        // A file's attributes as listed: read again they would cost a call
        // per file, and a file made read-only since only fails to go.
        m_attributes = listed.attributes;
    } else {
        // A folder's own attributes decide whether it is entered.
        FILE_BASIC_INFO basic = {};
        if (!::GetFileInformationByHandleEx(m_handle.Get(), FileBasicInfo, &basic, sizeof basic)) {
            const DWORD error = ::GetLastError();
            m_handle.Reset();
            return error;
        }
        m_attributes = basic.FileAttributes;
    }
    m_objectName = SystemNameOf(m_handle.Get());
    std::wstring expected = folder.m_objectName;
    if (!expected.empty() && expected.back() != L'\\') expected += L'\\';
    expected += listed.name;
    m_whereExpected = !folder.m_objectName.empty() && SameObjectName(m_objectName, expected);
    return ERROR_SUCCESS;
}

DWORD CTreeEntry::ReadContents(std::size_t limit, std::string* bytes) const
{
    LARGE_INTEGER size = {};
    if (!::GetFileSizeEx(m_handle.Get(), &size)) return ::GetLastError();
    if (static_cast<unsigned long long>(size.QuadPart) > limit) return ERROR_FILE_TOO_LARGE;
    bytes->assign(static_cast<std::size_t>(size.QuadPart), '\0');
    std::size_t total = 0;
    while (total < bytes->size()) {
        DWORD read = 0;
        const DWORD wanted = static_cast<DWORD>(std::min<std::size_t>(bytes->size() - total, 1 << 20));
        if (!::ReadFile(m_handle.Get(), &(*bytes)[total], wanted, &read, nullptr)) return ::GetLastError();
        if (read == 0) break;  // cut short meanwhile: what is there is what it holds
        total += read;
    }
    bytes->resize(total);
    return ERROR_SUCCESS;
}

DWORD CTreeEntry::List(std::vector<TreeListing>* entries) const
{
    std::vector<ULONGLONG> buffer(64 * 1024 / sizeof(ULONGLONG));
    const DWORD size = static_cast<DWORD>(buffer.size() * sizeof(ULONGLONG));
    FILE_INFO_BY_HANDLE_CLASS infoClass = FileFullDirectoryRestartInfo;
    while (::GetFileInformationByHandleEx(m_handle.Get(), infoClass, buffer.data(), size)) {
        infoClass = FileFullDirectoryInfo;
        const BYTE* at = reinterpret_cast<const BYTE*>(buffer.data());
        const BYTE* end = at + size;
        for (;;) {
            const auto* info = reinterpret_cast<const FILE_FULL_DIR_INFO*>(at);
            if (at + sizeof(FILE_FULL_DIR_INFO) > end ||
                reinterpret_cast<const BYTE*>(info->FileName) + info->FileNameLength > end)
                return ERROR_INVALID_DATA;
            std::wstring name(info->FileName, info->FileNameLength / sizeof(wchar_t));
            if (name != L"." && name != L"..") {
                TreeListing listed;
                listed.name = std::move(name);
                listed.attributes = info->FileAttributes;
                listed.lastWrite.dwLowDateTime = info->LastWriteTime.LowPart;
                listed.lastWrite.dwHighDateTime = static_cast<DWORD>(info->LastWriteTime.HighPart);
                listed.allocationSize = info->AllocationSize.QuadPart;
                entries->push_back(std::move(listed));
            }
            if (info->NextEntryOffset == 0) break;
            at += info->NextEntryOffset;
        }
    }
    const DWORD error = ::GetLastError();
    return error == ERROR_NO_MORE_FILES ? ERROR_SUCCESS : error;
}

bool CTreeEntry::Identify(FileIdentity* identity) const
{
    BY_HANDLE_FILE_INFORMATION information = {};
    if (!::GetFileInformationByHandle(m_handle.Get(), &information)) return false;
    identity->volume = information.dwVolumeSerialNumber;
    identity->index = (static_cast<unsigned long long>(information.nFileIndexHigh) << 32) | information.nFileIndexLow;
    identity->names = information.nNumberOfLinks;
    return true;
}

bool CTreeEntry::HasOtherNames() const
{
    FILE_STANDARD_INFO standard = {};
    // When the system cannot tell, the file is taken as shared: its
    // attributes then stay as they are.
    return !::GetFileInformationByHandleEx(m_handle.Get(), FileStandardInfo, &standard, sizeof standard) ||
           standard.NumberOfLinks > 1;
}

DWORD CTreeEntry::Delete()
{
    if (m_isFile && (m_attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM))) {
        if (!HasOtherNames()) {
            FILE_BASIC_INFO basic = {};  // zero times: left as they are
            basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
            // A failure here shows as the deletion's own failure below.
            ::SetFileInformationByHandle(m_handle.Get(), FileBasicInfo, &basic, sizeof basic);
        } else if (m_attributes & FILE_ATTRIBUTE_READONLY) {
            // A hard link: the attributes belong to the file, which lives on
            // under its other names, so they are never changed. The system
            // may delete this name despite them; if not, it stays.
            FILE_DISPOSITION_INFO_EX disposition = {};
            disposition.Flags = FILE_DISPOSITION_FLAG_DELETE | FILE_DISPOSITION_FLAG_IGNORE_READONLY_ATTRIBUTE;
            if (::SetFileInformationByHandle(m_handle.Get(), kFileDispositionInfoEx, &disposition,
                                             sizeof disposition)) {
                m_handle.Reset();
                return ERROR_SUCCESS;
            }
        }
    }
    FILE_DISPOSITION_INFO disposition = {};
    disposition.DeleteFile = TRUE;
    if (!::SetFileInformationByHandle(m_handle.Get(), FileDispositionInfo, &disposition, sizeof disposition))
        return ::GetLastError();
    m_handle.Reset();
    return ERROR_SUCCESS;
}

bool ReadListedFile(const CTreeEntry& folder, const TreeListing& listed, std::size_t limit, const char* largerThan,
                    std::string* bytes, std::string* why)
{
    if ((listed.attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        *why = "it is a link";
        return false;
    }
    CTreeEntry opened;
    const DWORD error = opened.OpenIn(folder, listed, EntryKind::Contents);
    if (error == ERROR_SHARING_VIOLATION) {
        *why = "it is in use";
        return false;
    }
    if (error != ERROR_SUCCESS) {
        *why = StrFormat("it cannot be opened, error %d", static_cast<int>(error));
        return false;
    }
    // Under Wine a Unix link carries no reparse attribute: it opens as what
    // it leads to, which the handle's own name shows.
    if (!opened.IsWhereExpected()) {
        *why = "it is a link";
        return false;
    }
    const DWORD readError = opened.ReadContents(limit, bytes);
    if (readError == ERROR_FILE_TOO_LARGE) *why = std::string("it is larger than ") + largerThan;
    else if (readError != ERROR_SUCCESS) *why = StrFormat("it cannot be read, error %d", static_cast<int>(readError));
    return readError == ERROR_SUCCESS;
}
