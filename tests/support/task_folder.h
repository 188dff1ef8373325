#pragma once
// A scratch program folder set up for task runs: the real program and
// plug-ins, an inventory and task files of the test's own, and the session
// records that a run leaves.
#include "scratch_folder.h"
#include "session_file.h"

#include "common/timeutil.h"

#include <string>
#include <utility>
#include <vector>

// The schedule lines of a task file.
struct TaskSchedule {
    bool enabled = false;
    time32 base = 1767254400;     // 2026-01-01
    time32 runOnce = 1767254400;
    bool atStartup = false;
    bool atShutdown = false;
    int type = 0;
    int number = 1;
    int unit = 1;
    std::string atBrowserClose;  // the browser key, as extended data; empty: none
};

struct InventoryEntry {
    std::string guid;
    std::string name;
    std::string module;
    std::string classId;
    std::string config;
    bool needsAdministrator = false;
};

// "1E000000-0000-4000-8000-<n as 12 digits>": item GUIDs for test inventories.
std::string TestItemGuid(int n);

class TaskProgramFolder : public ProgramFolder {
public:
    // With the test plug-in twtestjobs.dll beside the program.
    TaskProgramFolder();

    void WriteInventory(const std::vector<InventoryEntry>& items) const;
    void WriteTask(const std::string& name, const std::vector<std::string>& enabled,
                   const std::vector<std::pair<std::string, std::string>>& extended = {}) const;
    // A task file named fileName + ".tsk" holding TaskName=name.
    void WriteScheduledTask(const std::string& fileName, const std::string& name, const TaskSchedule& schedule,
                            const std::vector<std::string>& enabled) const;

    // Runs the task role to its end (as a standard user when asked); the
    // session records it wrote.
    std::vector<RawSessionRecord> RunTask(const std::string& name, bool standardUser = false) const;

    std::string SessionFile(const std::string& name) const { return File(name + ".log_file"); }
    std::string PreviewSessionFile(const std::string& name) const { return File(name + ".preview_log"); }
    std::string StatusFile(const std::string& name) const { return File(name + ".run_time"); }
    std::string Trace() const;
};
