#include "runtime/rulesfilecopy.h"

#include "common/finalpath.h"
#include "common/handles.h"
#include "common/ownfile.h"
#include "common/pathtext.h"
#include "common/usersid.h"
#include "rules/rulesfilenames.h"

#include <windows.h>

#include <algorithm>

namespace {

std::string SystemErrorText(DWORD error)
{
    return "system error " + std::to_string(error);
}

std::string FileNameOf(const std::string& path)
{
    const size_t separator = path.find_last_of("\\/");
    return separator == std::string::npos ? path : path.substr(separator + 1);
}

std::string WithoutSeparator(std::string text)
{
    if (!text.empty() && text.back() == '\\') text.pop_back();
    return text;
}

// Where the open folder really is; empty when the system cannot say.
std::string RealPlaceOf(const std::string& folder, bool withoutLinks)
{
    const DWORD flags = FILE_FLAG_BACKUP_SEMANTICS | (withoutLinks ? FILE_FLAG_OPEN_REPARSE_POINT : 0);
    UniqueHandle opened(::CreateFileA(folder.c_str(), FILE_READ_ATTRIBUTES,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                      flags, nullptr));
    if (!opened) return std::string();
    BY_HANDLE_FILE_INFORMATION info = {};
    if (!::GetFileInformationByHandle(opened.Get(), &info)) return std::string();
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return std::string();
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) return std::string();
    return WithoutSeparator(FinalPathOf(opened.Get()));
}

// The Rules folder, made when missing as the data folder is (the user, the
// system and the administrators only). One that is a link, or that leads
// elsewhere (under Wine a Unix link opens as its target), is not written:
// the copy would land in a folder the user did not choose.
std::string EnsureRulesFolder(const std::string& folder)
{
    if (::GetFileAttributesA(folder.c_str()) == INVALID_FILE_ATTRIBUTES) {
        CPrivateSecurity security(CPrivateSecurity::For::Folder);
        if (security.Attributes() == nullptr)
            return "the folder " + folder + " cannot be made (" + SystemErrorText(::GetLastError()) + ")";
        if (!::CreateDirectoryA(folder.c_str(), security.Attributes()) && ::GetLastError() != ERROR_ALREADY_EXISTS)
            return "the folder " + folder + " cannot be made (" + SystemErrorText(::GetLastError()) + ")";
    }
    const size_t separator = folder.rfind('\\');
    const std::string parentPlace = RealPlaceOf(folder.substr(0, separator), false);
    const std::string place = RealPlaceOf(folder, true);
    if (parentPlace.empty() || place.empty() || !SamePath(place, parentPlace + folder.substr(separator)))
        return "the folder " + folder + " is not a plain folder of yours (a link or a file stands there)";
    return std::string();
}

bool WriteAll(HANDLE file, const std::string& bytes)
{
    size_t written = 0;
    while (written < bytes.size()) {
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - written, 1 << 20));
        DWORD wrote = 0;
        if (!::WriteFile(file, bytes.data() + written, chunk, &wrote, nullptr) || wrote == 0) return false;
        written += wrote;
    }
    return ::FlushFileBuffers(file) != FALSE;
}

}  // namespace

std::string RulesFileNameProblem(const std::string& name)
{
    if (!IsPlainRulesFileName(name))
        return "its name " + name +
               " is not a plain file name ending in .ini (no folder, stream, device name or trailing dot or blank)";
    return std::string();
}

RulesFileCopy PrepareRulesFileCopy(const std::string& path, const std::string& dataFolder, RulesPlace place,
                                   const KnownFolders& folders)
{
    RulesFileCopy copy;
    copy.name = FileNameOf(path);
    copy.problem = RulesFileNameProblem(copy.name);
    if (!copy.problem.empty()) return copy;
    if (dataFolder.empty()) {
        copy.problem = "your data folder is not usable";
        return copy;
    }
    copy.folder = WithoutSeparator(dataFolder) + "\\" + kRulesFolderName;
    copy.target = copy.folder + "\\" + copy.name;
    copy.problem = ReadRulesFileBytes(path, &copy.bytes);
    if (!copy.problem.empty()) return copy;
    CDetectionLookups lookups;
    copy.source =
        RulesSourceOfText(copy.bytes, std::string(kRulesFolderName) + "\\" + copy.name, place, folders, lookups);
    // Refused whole: nothing in it could ever run, so it is not kept.
    copy.problem = copy.source.refused;
    copy.replaces = ::GetFileAttributesA(copy.target.c_str()) != INVALID_FILE_ATTRIBUTES;
    return copy;
}

std::string WriteRulesFileCopy(const RulesFileCopy& copy)
{
    if (!copy.problem.empty()) return copy.problem;
    const std::string folderProblem = EnsureRulesFolder(copy.folder);
    if (!folderProblem.empty()) return folderProblem;
    // Not an .ini name: a copy cut short is never read as a rules file.
    const std::string temporary = copy.target + ".copying";
    {
        UniqueHandle file = OpenOwnFile(temporary, GENERIC_WRITE, 0, OwnFileMode::Replace, FILE_ATTRIBUTE_NORMAL);
        if (!file) return "the copy " + temporary + " cannot be made (" + SystemErrorText(::GetLastError()) + ")";
        if (!WriteAll(file.Get(), copy.bytes)) {
            const DWORD error = ::GetLastError();
            file.Reset();
            DeleteOwnFile(temporary);
            return "the copy " + temporary + " cannot be written (" + SystemErrorText(error) + ")";
        }
    }
    if (!MoveOwnFile(temporary, copy.target, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        const DWORD error = ::GetLastError();
        DeleteOwnFile(temporary);
        return "the copy cannot take the name " + copy.target + " (" + SystemErrorText(error) + ")";
    }
    return std::string();
}
