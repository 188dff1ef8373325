#include "rules/systemfolders.h"

#include <windows.h>
#include <knownfolders.h>
#include <shlobj.h>

#include <string>

namespace {

// A path in the program's code page (UTF-8 by its manifest), without its
// final separator; empty when it cannot be spelt faithfully.
std::string NarrowPath(const wchar_t* wide)
{
    std::string path;
    BOOL lossy = FALSE;
    // UTF-8 spells every name, and takes no flag for a lost character.
    BOOL* lossyFlag = ::GetACP() == CP_UTF8 ? nullptr : &lossy;
    const int size = ::WideCharToMultiByte(CP_ACP, 0, wide, -1, nullptr, 0, nullptr, lossyFlag);
    if (size > 1 && !lossy) {
        path.resize(static_cast<size_t>(size));
        ::WideCharToMultiByte(CP_ACP, 0, wide, -1, &path[0], size, nullptr, nullptr);
        path.resize(static_cast<size_t>(size - 1));
    }
    while (path.size() > 3 && path.back() == '\\') path.pop_back();
    return path;
}

// The folder; empty when the shell cannot name it, or the name cannot be spelt.
std::string KnownFolder(const KNOWNFOLDERID& id)
{
    PWSTR wide = nullptr;
    std::string path;
    if (SUCCEEDED(::SHGetKnownFolderPath(id, KF_FLAG_DONT_VERIFY, nullptr, &wide)) && wide != nullptr)
        path = NarrowPath(wide);
    ::CoTaskMemFree(wide);
    return path;
}

// GetTempPath's folder by its long name (TEMP often holds a short one, which
// the refusals would not compare); empty when it cannot be told or spelt.
std::string UserTempFolder()
{
    wchar_t temp[MAX_PATH + 1] = {};
    const DWORD length = ::GetTempPathW(MAX_PATH + 1, temp);
    if (length == 0 || length > MAX_PATH) return {};
    std::wstring longName(32768, L'\0');
    const DWORD longLength = ::GetLongPathNameW(temp, &longName[0], static_cast<DWORD>(longName.size()));
    // A folder that is not there keeps the name TEMP gives.
    if (longLength == 0 || longLength >= longName.size()) return NarrowPath(temp);
    longName.resize(longLength);
    return NarrowPath(longName.c_str());
}

}  // namespace

KnownFolders SystemKnownFolders()
{
    KnownFolders folders;
    folders.userProfile = KnownFolder(FOLDERID_Profile);
    folders.appData = KnownFolder(FOLDERID_RoamingAppData);
    folders.localAppData = KnownFolder(FOLDERID_LocalAppData);
    folders.localLowAppData = KnownFolder(FOLDERID_LocalAppDataLow);
    folders.documents = KnownFolder(FOLDERID_Documents);
    folders.desktop = KnownFolder(FOLDERID_Desktop);
    folders.downloads = KnownFolder(FOLDERID_Downloads);
    folders.pictures = KnownFolder(FOLDERID_Pictures);
    folders.music = KnownFolder(FOLDERID_Music);
    folders.videos = KnownFolder(FOLDERID_Videos);
    folders.oneDrive = KnownFolder(FOLDERID_SkyDrive);
    folders.publicProfile = KnownFolder(FOLDERID_Public);
    folders.programData = KnownFolder(FOLDERID_ProgramData);
    folders.programFiles = KnownFolder(FOLDERID_ProgramFiles);
    folders.programFilesX86 = KnownFolder(FOLDERID_ProgramFilesX86);
    folders.commonProgramFiles = KnownFolder(FOLDERID_ProgramFilesCommon);
    folders.commonProgramFilesX86 = KnownFolder(FOLDERID_ProgramFilesCommonX86);
    folders.windows = KnownFolder(FOLDERID_Windows);
    if (folders.windows.size() >= 2 && folders.windows[1] == ':') folders.systemDrive = folders.windows.substr(0, 2);
    // The user's own temporary folder, as the system gives it to every
    // program of the user (TMP, TEMP): a moved one is where the temporary
    // files are. The refusals judge the path it gives like any other.
    folders.temp = UserTempFolder();
    return folders;
}
