#include "rules/systemfolders.h"

#include <windows.h>
#include <knownfolders.h>
#include <shlobj.h>

#include <string>

namespace {

// The folder in the program's code page (UTF-8 by its manifest); empty when
// the shell cannot name it, or the name cannot be spelt faithfully.
std::string KnownFolder(const KNOWNFOLDERID& id)
{
    PWSTR wide = nullptr;
    std::string path;
    if (SUCCEEDED(::SHGetKnownFolderPath(id, KF_FLAG_DONT_VERIFY, nullptr, &wide)) && wide != nullptr) {
        BOOL lossy = FALSE;
        // UTF-8 spells every name, and takes no flag for a lost character.
        BOOL* lossyFlag = ::GetACP() == CP_UTF8 ? nullptr : &lossy;
        const int size = ::WideCharToMultiByte(CP_ACP, 0, wide, -1, nullptr, 0, nullptr, lossyFlag);
        if (size > 1 && !lossy) {
            path.resize(static_cast<size_t>(size));
            ::WideCharToMultiByte(CP_ACP, 0, wide, -1, &path[0], size, nullptr, nullptr);
            path.resize(static_cast<size_t>(size - 1));
        }
    }
    ::CoTaskMemFree(wide);
    while (path.size() > 3 && path.back() == '\\') path.pop_back();
    return path;
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
    // The user's own temporary folder where Windows puts it: TEMP is
    // the environment's, which a rule must not be steered by.
    if (!folders.localAppData.empty()) folders.temp = folders.localAppData + "\\Temp";
    return folders;
}
