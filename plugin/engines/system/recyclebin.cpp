#include "plugin/engines/system/recyclebin.h"

#include "common/error.h"
#include "common/pathtext.h"
#include "common/strformat.h"
#include "common/usersid.h"
#include "plugin/engines/cleanupreport.h"
#include "plugin/engines/files/filecleanup.h"
#include "plugin/engines/files/patternguard.h"
#include "plugin/engines/files/treeentry.h"
#include "plugin/engines/system/recyclerecord.h"

#include <windows.h>

#include <iterator>
#include <map>
#include <set>
#include <utility>

namespace {

// The user's own bins are named by the SID; without it nothing is cleaned.
std::string UserSid()
{
    const std::string sid = CurrentUserSid();
    if (sid.empty()) {
        throw CError(StrFormat("Cannot read the user's identity. Error: %d", static_cast<int>(::GetLastError())));
    }
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

// Passes everything on to the job's report, and keeps the paths of the
// files and folders removed (in a preview: that would be removed), so that a
// record goes only once its data is gone.
class CRemovedPaths : public ICleanupReport {
public:
    explicit CRemovedPaths(ICleanupReport& report) : m_report(report) {}

    bool IsPreview() const override { return m_report.IsPreview(); }
    void CountRemoved(Removed what, const std::string& name, long long bytes, long long count,
                      const std::string& identity) override
    {
        if (what == Removed::File || what == Removed::Folder) m_paths.insert(KeyOf(name));
        m_report.CountRemoved(what, name, bytes, count, identity);
    }
    void CountNotRemoved(NotRemoved why, long long count) override { m_report.CountNotRemoved(why, count); }
    void LogError(const std::string& text) override { m_report.LogError(text); }
    void LogWarning(const std::string& text) override { m_report.LogWarning(text); }
    void LogInfo(const std::string& text) override { m_report.LogInfo(text); }
    void LogWarningOf(const char* kind, const std::string& text) override { m_report.LogWarningOf(kind, text); }
    void LogInfoOf(const char* kind, const std::string& text) override { m_report.LogInfoOf(kind, text); }

    bool WasRemoved(const std::string& path) const { return m_paths.count(KeyOf(path)) != 0; }

private:
    // A path's folder as the system compares it, and its own name exactly:
    // "$Rabc" is not "$RABC" under Wine or in a case-sensitive folder.
    static std::pair<std::wstring, std::wstring> KeyOf(const std::string& path)
    {
        const size_t slash = path.rfind('\\');
        if (slash == std::string::npos) return {std::wstring(), WideName(path)};
        return {Folded(WideName(path.substr(0, slash))), WideName(path.substr(slash + 1))};
    }

    ICleanupReport& m_report;
    std::set<std::pair<std::wstring, std::wstring>> m_paths;
};

// The "$R" entries of a bin's listing, by the rest of their names ("$R"
// left out), to find the data of each record.
class CRecycleData {
public:
    CRecycleData(const std::vector<TreeListing>& entries, const std::set<std::wstring>& recordRests)
    {
        for (const TreeListing& entry : entries) {
            if (!HasPrefix(entry.name, L'R')) continue;
            const std::wstring rest = entry.name.substr(2);
            m_exact[rest] = &entry;
            // Data a record names exactly is that record's alone.
            if (recordRests.count(rest) == 0) m_unclaimedByFolded.emplace(Folded(rest), &entry);
        }
    }

    // The data of the record whose name ends with rest: the entry whose name
    // ends with rest exactly; failing that, the one entry no record names
    // exactly whose name differs from it in case alone. Null when there is
    // none, and ambiguous when several such entries could be it.
    const TreeListing* Of(const std::wstring& rest, bool* ambiguous) const
    {
        *ambiguous = false;
        const auto exact = m_exact.find(rest);
        if (exact != m_exact.end()) return exact->second;
        const auto alike = m_unclaimedByFolded.equal_range(Folded(rest));
        const auto count = std::distance(alike.first, alike.second);
        *ambiguous = count > 1;
        return count == 1 ? alike.first->second : nullptr;
    }

private:
    std::map<std::wstring, const TreeListing*> m_exact;
    std::multimap<std::wstring, const TreeListing*> m_unclaimedByFolded;
};

std::string LastPartOf(const std::string& path)
{
    return path.substr(path.rfind('\\') + 1);
}

}  // namespace

std::vector<std::string> UserRecycleFolders()
{
    const std::string sid = UserSid();
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
    // Only the user's own bin: a link there (another user's bin, or any
    // folder) leads to what is not this user's to empty.
    if (checked.throughLink) {
        throw CError(StrFormat("Recycle Bin folder refused: %s (it leads to %s through a link).", checked.path.c_str(),
                               checked.finalPath.c_str()));
    }
    if (!SamePath(LastPartOf(checked.finalPath), UserSid())) {
        throw CError(StrFormat("Recycle Bin folder refused: %s (it is %s, not this user's bin).", checked.path.c_str(),
                               checked.finalPath.c_str()));
    }
    CTreeEntry opened;
    std::vector<TreeListing> entries;
    error = opened.OpenFolderAt(checked.path, checked.finalPath);
    if (error == ERROR_SUCCESS) error = opened.List(&entries);
    if (error != ERROR_SUCCESS) throw CError(StrFormat("File search error: %d (%s)", static_cast<int>(error), path.c_str()));

    std::set<std::wstring> recordRests;  // the names of the records, "$I" left out
    for (const TreeListing& entry : entries) {
        if (HasPrefix(entry.name, L'I')) recordRests.insert(entry.name.substr(2));
    }
    const CRecycleData dataIndex(entries, recordRests);
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
        // A link is never a record the system wrote.
        if (ReadListedFile(opened, entry, kRecycleRecordMaxSize, "any record", &bytes, &why)) {
            ParseRecycleRecord(bytes, &record, &why);
        }
        if (record.version == 0) {
            WarnKept(path + recordName, "its record cannot be read: " + why, report);
            continue;
        }
        RecyclePair pair;
        pair.recordName = recordName;
        pair.deletionTime = record.deletionTime;
        bool ambiguous = false;
        const TreeListing* data = dataIndex.Of(entry.name.substr(2), &ambiguous);
        if (ambiguous) {
            WarnKept(path + recordName, "its data cannot be told apart from other data", report);
            continue;
        }
        if (data != nullptr) {
            pair.dataName = NarrowName(data->name, &faithful);
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
    std::vector<RecyclePair> going;
    std::set<std::string> data;
    for (const RecyclePair& pair : ListRecyclePairs(folder, report)) {
        if (cutoff != 0 && pair.deletionTime >= cutoff) continue;
        going.push_back(pair);
        if (!pair.dataName.empty()) data.insert(pair.dataName);
    }
    // The data first: a record whose data stays (in use, a link, a file the
    // user may not delete) stays with it, or the data would be left with
    // nothing to say what it is, shown by nobody and never cleaned again.
    CRemovedPaths removed(report);
    DeleteNamedEntries(folder, data, removed);
    const std::string prefix = NormaliseSeparators(folder) + "\\";
    std::set<std::string> records;
    for (const RecyclePair& pair : going) {
        if (pair.dataName.empty() || removed.WasRemoved(prefix + pair.dataName)) records.insert(pair.recordName);
    }
    DeleteNamedEntries(folder, records, report);
}
