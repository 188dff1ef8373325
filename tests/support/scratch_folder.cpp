#include "scratch_folder.h"

#include "build_paths.h"

#include <windows.h>
#include <gtest/gtest.h>

#include <atomic>

namespace {

std::atomic<int> g_counter{0};

bool IsShippedFile(const std::string& name)
{
    const size_t dot = name.rfind('.');
    if (dot == std::string::npos) return false;
    std::string extension = name.substr(dot);
    for (char& c : extension) c = static_cast<char>(::tolower(static_cast<unsigned char>(c)));
    return extension == ".exe" || extension == ".dll" || extension == ".ini";
}

void CopyFolderFiles(const std::string& from, const std::string& to)
{
    WIN32_FIND_DATAA found;
    HANDLE search = ::FindFirstFileA((from + "\\*").c_str(), &found);
    ASSERT_NE(search, INVALID_HANDLE_VALUE) << "no built program folder at " << from;
    do {
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        // Only what ships: the program, the plug-in and the data files, not
        // what an earlier run left in the build's program folder.
        if (!IsShippedFile(found.cFileName)) continue;
        const std::string source = from + "\\" + found.cFileName;
        const std::string target = to + "\\" + found.cFileName;
        ASSERT_TRUE(::CopyFileA(source.c_str(), target.c_str(), FALSE)) << source;
    } while (::FindNextFileA(search, &found));
    ::FindClose(search);
}

}  // namespace

std::string TopMissingFolder(const std::string& path)
{
    std::string missing;
    for (std::string folder = path; ::GetFileAttributesA(folder.c_str()) == INVALID_FILE_ATTRIBUTES;
         folder.resize(folder.rfind('\\'))) {
        missing = folder;
        if (folder.rfind('\\') == std::string::npos) break;
    }
    return missing;
}

bool RemoveTree(const std::string& path)
{
    WIN32_FIND_DATAA found;
    HANDLE search = ::FindFirstFileA((path + "\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::string name = found.cFileName;
            if (name == "." || name == "..") continue;
            const std::string child = path + "\\" + name;
            const bool isLink = (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
            if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && !isLink) {
                RemoveTree(child);
            } else if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                ::RemoveDirectoryA(child.c_str());
            } else {
                ::SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
                ::DeleteFileA(child.c_str());
            }
        } while (::FindNextFileA(search, &found));
        ::FindClose(search);
    }
    return ::RemoveDirectoryA(path.c_str()) || ::GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES;
}

ScratchFolder::ScratchFolder()
{
    char temp[MAX_PATH];
    ::GetTempPathA(MAX_PATH, temp);
    std::string base = temp;
    if (!base.empty() && base.back() == '\\') base.pop_back();
    // Process identifiers repeat across Wine sessions: the tick count keeps
    // a name from meeting a folder that an earlier run could not remove.
    m_path = base + "\\tw-test-" + std::to_string(::GetCurrentProcessId()) + "-" +
             std::to_string(::GetTickCount64()) + "-" + std::to_string(++g_counter);
    if (!::CreateDirectoryA(m_path.c_str(), nullptr)) {
        ADD_FAILURE() << "cannot create scratch folder " << m_path << " error " << ::GetLastError();
    }
}

ScratchFolder::~ScratchFolder()
{
    RemoveTree(m_path);
}

ProgramFolder::ProgramFolder()
{
    CopyFolderFiles(kBuiltProgramFolder, Path());
}
