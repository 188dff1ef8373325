#include "common/fileguard.h"

#include "common/finalpath.h"
#include "common/strformat.h"

#include <vector>

namespace {

const DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// Paths as Windows compares them: without regard to case.
bool SamePathText(const std::wstring& a, const std::wstring& b)
{
    return ::CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(), static_cast<int>(b.size()), TRUE) ==
           CSTR_EQUAL;
}

bool IsPlainName(const std::wstring& name)
{
    return !name.empty() && name != L"." && name != L".." && name.find_first_of(L"\\/:") == std::wstring::npos;
}

UniqueHandle OpenAt(const std::wstring& path, DWORD access, DWORD share, DWORD disposition, DWORD flags)
{
    return UniqueHandle(::CreateFileW(path.c_str(), access, share, nullptr, disposition,
                                      flags | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
}

}  // namespace

std::string GuardErrorText(DWORD error)
{
    if (error == kGuardLinkRefused) return "it is a link or lies outside its folder";
    if (error == kGuardNamesRefused) return "it has other names (hard links)";
    return StrFormat("error %d", static_cast<int>(error));
}

void SplitGuardedPath(const std::wstring& path, std::wstring* folder, std::wstring* name)
{
    const size_t separator = path.find_last_of(L"\\/");
    if (separator == std::wstring::npos) {
        folder->clear();
        *name = path;
        return;
    }
    *folder = path.substr(0, separator);
    *name = path.substr(separator + 1);
}

CFileGuard::CFileGuard(const std::wstring& folder) : m_folder(folder)
{
    while (m_folder.size() > 3 && (m_folder.back() == L'\\' || m_folder.back() == L'/')) m_folder.pop_back();
    const UniqueHandle opened(::CreateFileW(m_folder.c_str(), FILE_READ_ATTRIBUTES | SYNCHRONIZE, kShareAll, nullptr,
                                            OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!opened) {
        m_folderError = ::GetLastError();
        return;
    }
    BY_HANDLE_FILE_INFORMATION info = {};
    if (!::GetFileInformationByHandle(opened.Get(), &info)) {
        m_folderError = ::GetLastError();
        return;
    }
    if (!(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        m_folderError = ERROR_DIRECTORY;
        return;
    }
    m_folderName = SystemNameOf(opened.Get());
    if (m_folderName.empty()) m_folderError = kGuardLinkRefused;
    else if (m_folderName.back() != L'\\') m_folderName += L'\\';
}

std::wstring CFileGuard::PathOf(const std::wstring& name) const
{
    return m_folder + L"\\" + name;
}

DWORD CFileGuard::CheckHandle(HANDLE file, const std::wstring& name) const
{
    BY_HANDLE_FILE_INFORMATION info = {};
    if (!::GetFileInformationByHandle(file, &info)) return ::GetLastError();
    if (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) return kGuardLinkRefused;
    if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return ERROR_DIRECTORY;
    // Under Wine a Unix link carries no mark of its own: it opens as what it
    // leads to, and only the system's name of what was opened tells.
    if (!SamePathText(SystemNameOf(file), m_folderName + name)) return kGuardLinkRefused;
    if (info.nNumberOfLinks != 1) return kGuardNamesRefused;
    return ERROR_SUCCESS;
}

DWORD CFileGuard::Open(const std::wstring& name, DWORD access, DWORD share, GuardedOpening opening,
                       UniqueHandle* file) const
{
    file->Reset();
    if (m_folderError != 0) return m_folderError;
    if (!IsPlainName(name)) return ERROR_INVALID_NAME;
    const std::wstring path = PathOf(name);
    // What is there is opened as it is, and checked before anything is
    // written: creating or emptying by name would write through a link.
    UniqueHandle opened = OpenAt(path, access, share, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL);
    if (!opened) {
        const DWORD error = ::GetLastError();
        if (error != ERROR_FILE_NOT_FOUND || opening == GuardedOpening::Existing) return error;
        // A link that leads nowhere shows in the folder but does not open:
        // making the file there would make its target.
        if (::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) return kGuardLinkRefused;
        // A new file never follows a link: CREATE_NEW fails on any name
        // that is there, a link's included.
        opened = OpenAt(path, access, share, CREATE_NEW, FILE_ATTRIBUTE_NORMAL);
        if (!opened) {
            const DWORD createError = ::GetLastError();
            return createError == ERROR_FILE_EXISTS ? kGuardLinkRefused : createError;
        }
    }
    const DWORD refusal = CheckHandle(opened.Get(), name);
    if (refusal != ERROR_SUCCESS) return refusal;
    if (opening == GuardedOpening::NewOrEmptied) {
        FILE_END_OF_FILE_INFO end = {};
        if (!::SetFileInformationByHandle(opened.Get(), FileEndOfFileInfo, &end, sizeof end)) return ::GetLastError();
    }
    *file = std::move(opened);
    return ERROR_SUCCESS;
}

DWORD CFileGuard::Check(const std::wstring& name) const
{
    UniqueHandle file;
    const DWORD error = Open(name, FILE_READ_ATTRIBUTES | SYNCHRONIZE, kShareAll, GuardedOpening::Existing, &file);
    if (error == ERROR_FILE_NOT_FOUND && ::GetFileAttributesW(PathOf(name).c_str()) != INVALID_FILE_ATTRIBUTES) {
        return kGuardLinkRefused;  // there, yet it does not open: a link that leads nowhere
    }
    return error;
}

bool CFileGuard::IsLinkLeadingNowhere(const std::wstring& name) const
{
    if (m_folderError != 0 || !IsPlainName(name)) return false;
    const std::wstring path = PathOf(name);
    if (OpenAt(path, FILE_READ_ATTRIBUTES | SYNCHRONIZE, kShareAll, OPEN_EXISTING, 0)) return false;
    if (::GetLastError() != ERROR_FILE_NOT_FOUND) return false;
    if (::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) return true;
    const UniqueHandle probe = OpenAt(path, DELETE | SYNCHRONIZE, kShareAll, CREATE_NEW, FILE_FLAG_DELETE_ON_CLOSE);
    return !probe && ::GetLastError() == ERROR_FILE_EXISTS;
}

DWORD CFileGuard::Remove(const std::wstring& name) const
{
    UniqueHandle file;
    const DWORD error = Open(name, DELETE | FILE_READ_ATTRIBUTES | SYNCHRONIZE, kShareAll, GuardedOpening::Existing, &file);
    if (error == ERROR_FILE_NOT_FOUND && ::GetFileAttributesW(PathOf(name).c_str()) != INVALID_FILE_ATTRIBUTES) {
        return kGuardLinkRefused;
    }
    if (error != ERROR_SUCCESS) return error;
    FILE_DISPOSITION_INFO disposition = {};
    disposition.DeleteFile = TRUE;
    if (!::SetFileInformationByHandle(file.Get(), FileDispositionInfo, &disposition, sizeof disposition)) {
        return ::GetLastError();
    }
    return ERROR_SUCCESS;
}

DWORD CFileGuard::Rename(const std::wstring& from, const std::wstring& to) const
{
    if (!IsPlainName(to)) return ERROR_INVALID_NAME;
    UniqueHandle file;
    const DWORD error = Open(from, DELETE | FILE_READ_ATTRIBUTES | SYNCHRONIZE, kShareAll, GuardedOpening::Existing, &file);
    if (error != ERROR_SUCCESS) return error;
    const DWORD target = Check(to);
    if (target != ERROR_SUCCESS && target != ERROR_FILE_NOT_FOUND) return target;
    const std::wstring targetPath = PathOf(to);
    std::vector<BYTE> buffer(sizeof(FILE_RENAME_INFO) + (targetPath.size() + 1) * sizeof(wchar_t));
    auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    rename->ReplaceIfExists = TRUE;
    rename->RootDirectory = nullptr;
    rename->FileNameLength = static_cast<DWORD>(targetPath.size() * sizeof(wchar_t));
    targetPath.copy(rename->FileName, targetPath.size());
    rename->FileName[targetPath.size()] = L'\0';
    if (!::SetFileInformationByHandle(file.Get(), FileRenameInfo, rename, static_cast<DWORD>(buffer.size()))) {
        return ::GetLastError();
    }
    return ERROR_SUCCESS;
}

DWORD CFileGuard::List(std::vector<std::wstring>* names) const
{
    names->clear();
    if (m_folderError != 0) return m_folderError;
    WIN32_FIND_DATAW found;
    HANDLE search = ::FindFirstFileExW((m_folder + L"\\*").c_str(), FindExInfoBasic, &found, FindExSearchNameMatch,
                                       nullptr, 0);
    if (search == INVALID_HANDLE_VALUE) return ::GetLastError();
    const UniqueFindHandle closer(search);
    do {
        const std::wstring name = found.cFileName;
        if (name != L"." && name != L"..") names->push_back(name);
    } while (::FindNextFileW(search, &found));
    const DWORD error = ::GetLastError();
    return error == ERROR_NO_MORE_FILES ? ERROR_SUCCESS : error;
}

DWORD CFileGuard::CheckEveryEntry(std::wstring* refused) const
{
    std::vector<std::wstring> names;
    const DWORD listed = List(&names);
    if (listed != ERROR_SUCCESS) return listed;
    for (const std::wstring& name : names) {
        // A folder is looked at as it is; a file must pass the file's check.
        const UniqueHandle entry = OpenAt(PathOf(name), FILE_READ_ATTRIBUTES | SYNCHRONIZE, kShareAll, OPEN_EXISTING,
                                          FILE_FLAG_BACKUP_SEMANTICS);
        DWORD error = entry ? CheckHandle(entry.Get(), name) : ::GetLastError();
        if (error == ERROR_DIRECTORY) {
            BY_HANDLE_FILE_INFORMATION info = {};
            const bool itself = ::GetFileInformationByHandle(entry.Get(), &info) &&
                                !(info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
                                SamePathText(SystemNameOf(entry.Get()), m_folderName + name);
            error = itself ? ERROR_SUCCESS : kGuardLinkRefused;
        } else if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
            error = kGuardLinkRefused;  // listed, yet it does not open: a link that leads nowhere
        }
        if (error != ERROR_SUCCESS) {
            *refused = name;
            return error;
        }
    }
    return ERROR_SUCCESS;
}
