#pragma once
// Every file of a task, named in one place from the task's name: the task
// file in the user's data folder or, for a machine task, the administrators'.
#include "common/paths.h"
#include "common/taskfilenames.h"

#include <string>

class TaskFiles {
public:
    // Named as common/taskfilenames.h spells them: the task file, a save's
    // temporary file, the records of a clean and of a preview, the files held
    // while each runs, the preview report, the last run.
    enum File { Task, Saving, SessionData, PreviewSessionData, Status, PreviewStatus, PreviewReport, LastRun };

    // All in the data folder but the task file, in taskFolder (GetMachineTaskFolder() for a machine task).
    explicit TaskFiles(const std::string& taskName, const std::string& taskFolder = GetDataFolder())
        : m_taskName(taskName), m_dataFolder(GetDataFolder()), m_taskFolder(taskFolder) {}

    // The full path; empty when its folder is not known.
    std::string Path(File file) const;
    // Deletes the file through the program's own file rules; a failure is only traced.
    void Delete(File file) const;
    // Deletes what the task's runs left (last run, session data of both kinds, preview report), then
    // the task file: false, with the system's error as last error, when that stays.
    bool DeleteAll() const;

    // A name of a task's file other than its task file, letter case aside.
    static bool IsHistoryFileName(const std::string& fileName);
    // The most a file's name adds to its task's name (".preview_log" and the like).
    static constexpr size_t kLongestAddition = 12;

private:
    std::string m_taskName, m_dataFolder, m_taskFolder;
};
