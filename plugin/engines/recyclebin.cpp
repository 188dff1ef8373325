#include "plugin/engines/recyclebin.h"

#include "common/error.h"
#include "common/handles.h"
#include "common/pathtext.h"
#include "common/strformat.h"
#include "plugin/engines/cleanupreport.h"
#include "plugin/engines/filecleanup.h"
#include "plugin/engines/patternguard.h"
#include "plugin/engines/recyclerecord.h"
#include "plugin/engines/treeentry.h"

#include <windows.h>
#include <sddl.h>

#include <map>
#include <memory>
#include <set>

namespace {

std::string CurrentUserSid()
{
    UniqueHandle token;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, token.Receive())) {
        throw CError(StrFormat("Cannot read the user's identity. Error: %d", static_cast<int>(::GetLastError())));
    }
    DWORD size = 0;
    ::GetTokenInformation(token.Get(), TokenUser, nullptr, 0, &size);
    std::unique_ptr<BYTE[]> buffer(new BYTE[size == 0 ? 1 : size]);
    if (!::GetTokenInformation(token.Get(), TokenUser, buffer.get(), size, &size)) {
        throw CError(StrFormat("Cannot read the user's identity. Error: %d", static_cast<int>(::GetLastError())));
    }
    char* text = nullptr;
    if (!::ConvertSidToStringSidA(reinterpret_cast<TOKEN_USER*>(buffer.get())->User.Sid, &text)) {
        throw CError(StrFormat("Cannot read the user's identity. Error: %d", static_cast<int>(::GetLastError())));
    }
    const std::string sid = text;
    ::LocalFree(text);
    return sid;
}

bool HasPrefix(const std::wstring& name, wchar_t second)
{
    return name.size() > 2 && name[0] == L'$' && (name[1] == second || name[1] == (second | 0x20));
}

std::wstring Folded(std::wstring name)
{
    if (!name.empty()) ::CharUpperBuffW(&name[0], static_cast<DWORD>(name.size()));
    return name;
}

// Every pair that stays for want of a record or a name is counted and said.
void WarnKept(const std::string& recordPath, const std::string& reason, ICleanupReport& report)
{
    report.CountNotRemoved(NotRemoved::Skipped);
    report.LogWarningOf("Recycle Bin entries that were kept",
                        StrFormat("Kept a Recycle Bin entry (%s): %s", reason.c_str(), recordPath.c_str()));
}

// The record's bytes, read without following a link at its name (a link
// is never a record the system wrote); false with the reason otherwise.
bool ReadRecord(const std::wstring& path, std::string* bytes, std::string* why)
{
    UniqueHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!file) {
        *why = StrFormat("cannot be opened, error %d", static_cast<int>(::GetLastError()));
        return false;
    }
    LARGE_INTEGER size = {};
    if (!::GetFileSizeEx(file.Get(), &size) || size.QuadPart > static_cast<LONGLONG>(kRecycleRecordMaxSize)) {
        *why = "larger than any record";
        return false;
    }
    bytes->assign(static_cast<size_t>(size.QuadPart), '\0');
    DWORD read = 0;
    if (!bytes->empty() && (!::ReadFile(file.Get(), &(*bytes)[0], static_cast<DWORD>(bytes->size()), &read, nullptr) ||
                            read != bytes->size())) {
        *why = StrFormat("cannot be read, error %d", static_cast<int>(::GetLastError()));
        return false;
    }
    return true;
}

}  // namespace

std::vector<std::string> UserRecycleFolders()
{
    const std::string sid = CurrentUserSid();
    std::vector<std::string> folders;
    char roots[512] = {};
    const DWORD length = ::GetLogicalDriveStringsA(sizeof(roots) - 1, roots);
    if (length == 0 || length >= sizeof(roots)) return folders;
    for (const char* root = roots; *root != '\0'; root += std::char_traits<char>::length(root) + 1) {
        if (::GetDriveTypeA(root) != DRIVE_FIXED) continue;
        folders.push_back(std::string(root) + "$Recycle.Bin\\" + sid);
    }
    return folders;
}

std::vector<RecyclePair> ListRecyclePairs(const std::string& folder, ICleanupReport& report)
{
    const std::string path = NormaliseSeparators(folder) + "\\";
    PatternFolder checked;
    DWORD error = CheckPatternFolder(path, path + "$I*", &checked);
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return {};
    if (error != ERROR_SUCCESS) throw CError(StrFormat("File search error: %d (%s)", static_cast<int>(error), path.c_str()));
    CTreeEntry opened;
    std::vector<TreeListing> entries;
    error = opened.OpenFolderAt(checked.path, checked.finalPath);
    if (error == ERROR_SUCCESS) error = opened.List(&entries);
    if (error != ERROR_SUCCESS) throw CError(StrFormat("File search error: %d (%s)", static_cast<int>(error), path.c_str()));

    std::map<std::wstring, std::wstring> dataByFoldedName;  // "$R..." folded to its name on disk
    for (const TreeListing& entry : entries) {
        if (HasPrefix(entry.name, L'R')) dataByFoldedName[Folded(entry.name.substr(2))] = entry.name;
    }
    const std::wstring finalFolder = WideName(checked.finalPath) + L"\\";
    std::vector<RecyclePair> pairs;
    for (const TreeListing& entry : entries) {
        if (!HasPrefix(entry.name, L'I') || (entry.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) continue;
        bool faithful = false;
        const std::string recordName = NarrowName(entry.name, &faithful);
        if (!faithful) {
            WarnKept(path + recordName, "its name cannot be used safely in a path", report);
            continue;
        }
        std::string bytes;
        std::string why;
        RecycleRecord record;
        if ((entry.attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
            why = "a link, not a record";
        } else if (ReadRecord(finalFolder + entry.name, &bytes, &why)) {
            ParseRecycleRecord(bytes, &record, &why);
        }
        if (record.version == 0) {
            WarnKept(path + recordName, "its record cannot be read: " + why, report);
            continue;
        }
        RecyclePair pair;
        pair.recordName = recordName;
        pair.deletionTime = record.deletionTime;
        const auto data = dataByFoldedName.find(Folded(entry.name.substr(2)));
        if (data != dataByFoldedName.end()) {
            pair.dataName = NarrowName(data->second, &faithful);
            // Without its data's name the record would go alone, and the
            // data stay behind with nothing to say what it is.
            if (!faithful) {
                WarnKept(path + recordName, "its data's name cannot be used safely in a path", report);
                continue;
            }
        }
        pairs.push_back(pair);
    }
    return pairs;
}

void CleanRecycleFolder(const std::string& folder, std::uint64_t cutoff, ICleanupReport& report)
{
    std::set<std::string> names;
    for (const RecyclePair& pair : ListRecyclePairs(folder, report)) {
        if (cutoff != 0 && pair.deletionTime >= cutoff) continue;
        names.insert(pair.recordName);
        if (!pair.dataName.empty()) names.insert(pair.dataName);
    }
    DeleteNamedEntries(folder, names, report);
}
