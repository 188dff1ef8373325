#include "tasks/taskfiles.h"

#include "common/ownfile.h"
#include "common/strparse.h"
#include "common/tracer.h"

#include <algorithm>
#include <iterator>

namespace {

// Prefix and suffix by TaskFiles::File. A save's suffix must not begin with
// "tsk": the short 8.3 name keeps the extension's first three characters,
// and "*.tsk" matches short names too.
constexpr const char* kNames[][2] = {{"", kTaskFileExtension},   {"", kSavingSuffix},
                                     {"", kSessionDataSuffix},   {"", kPreviewSessionDataSuffix},
                                     {"", kStatusSuffix},        {"", kPreviewStatusSuffix},
                                     {"", kPreviewReportSuffix}, {kLastRunPrefix, kLastRunSuffix}};
static_assert(std::size(kNames) == TaskFiles::LastRun + 1, "a name for every file");

}  // namespace

std::string TaskFiles::Path(File file) const
{
    const std::string& folder = file == Task ? m_taskFolder : m_dataFolder;
    if (folder.empty()) return std::string();
    const auto& name = kNames[file];
    return folder + (folder.back() == '\\' ? "" : "\\") + name[0] + m_taskName + name[1];  // a root keeps its "\"
}

void TaskFiles::Delete(File file) const
{
    if (DeleteOwnFile(Path(file))) return;
    const int error = static_cast<int>(::GetLastError());
    // The session data and last-run files keep the traces they always had;
    // a missing last-run file is traced too.
    if (file == SessionData) {
        TRACE(30, "Cannot delete session file - %d", error);
    } else if (file == LastRun) {
        TRACE(30, "CTaskScheduler::CleanupTask - cannot delete LRT file - %d", error);
    } else if (error != ERROR_FILE_NOT_FOUND) {
        TRACE(30, "Cannot delete %s - %d", Path(file).c_str(), error);
    }
}

bool TaskFiles::DeleteAll() const
{
    for (File record : {LastRun, SessionData, PreviewSessionData, PreviewReport}) Delete(record);
    return DeleteOwnFile(Path(Task));
}

bool TaskFiles::IsHistoryFileName(const std::string& fileName)
{
    // Every name but the first, the task file's.
    return std::any_of(std::begin(kNames) + 1, std::end(kNames), [&fileName](const auto& names) {
        return StartsWithAsciiNoCase(fileName, names[0]) && EndsWithAsciiNoCase(fileName, names[1]);
    });
}
