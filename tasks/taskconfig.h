#pragma once
// A cleanup task: its name, schedule, enabled catalogue items and per-item
// extended data, kept in the task file "<name>.tsk" in the data folder.
#include "common/adminrights.h"
#include "common/guid.h"
#include "common/timeutil.h"
#include "tasks/taskname.h"

#include <windows.h>

#include <map>
#include <set>
#include <string>
#include <vector>

class CCatalogueItems;

// A task's schedule as one value: what the schedule dialog edits and the
// next-run arithmetic reads. The task record keeps it as its file's fields.
struct ScheduleFields {
    bool enabled = false;     // ScheduleEnabled
    int type = 0;             // ScheduleType: 0 recurring, 1 once, anything else no timed run
    int number = 1;           // RunEveryNumber: units between recurring runs (not used for months)
    int unit = 1;             // RunEveryUnit: 0 hours, 1 days, 2 weeks, 3 months
    time32 base = 0;          // BaseScheduleTime: first run and anchor of the recurring grid
    time32 runOnce = 0;       // RunOnceTime
    bool atStartup = false;   // RunAtStartup
    bool atShutdown = false;  // RunAtShutdown
    // The key of the browser whose closing starts the task (extended data
    // kRunAtBrowserCloseKey); empty: no such run.
    std::string atBrowserClose{};
};

// The end marker of the EnabledTask lines.
extern const char kTaskFileEndMarker[];

class CTaskConfig {
public:
    // Replaces the record with the task file at path. Raises CError; a
    // failure after the file opened leaves a partly filled, modified record.
    void Load(const std::string& path);
    // Loads the task whose file is GetTaskFilePath(name): a task is known by
    // its file name everywhere. A file whose TaskName is another name (a copy
    // such as "default - Copy.tsk" holding "default") raises CError (string
    // 49) and is never taken for that other task.
    void LoadNamed(const CTaskName& name);
    // Writes the whole record to the user's task file, replacing the file at
    // once: a failed save leaves the previous file whole. Clears the
    // modified flag. A machine task is never saved (string 81).
    void Save();
    // Deletes the user's task file and its runs' records (TaskFiles::DeleteAll);
    // sets the modified flag. A machine task is never deleted (string 81).
    void Delete();
    // The file the task was loaded from, or is saved to. Save, Delete and
    // this raise CError for a Name that names no task (CTaskName::Checked).
    std::string GetFilePath() const;
    // Loaded from the administrators' folder: it runs for every user, as that
    // user, and is not the user's to change.
    bool IsMachineTask() const { return m_machine; }

    // A new task: the catalogue items that start ticked enabled (for a
    // standard user, none that needs an administrator), no schedule, times now.
    void InitDefaults(const std::string& name, const CCatalogueItems& catalogue,
                      bool administrator = RunsAsAdministrator());

    std::string GetExtendedData(const GUID& key) const;
    void SetExtendedData(const GUID& key, const std::string& value);
    bool IsItemEnabled(const GUID& item) const;
    void EnableItem(const GUID& item, bool on);

    bool IsModified() const { return m_modified; }
    void SetModified(bool modified) { m_modified = modified; }

    const std::map<GUID, std::string, GuidLess>& ExtendedData() const { return m_extendedData; }
    const std::set<GUID, GuidLess>& EnabledItems() const { return m_enabledItems; }

    std::string Name;
    ScheduleFields Schedule;

private:
    std::map<GUID, std::string, GuidLess> m_extendedData;
    std::set<GUID, GuidLess> m_enabledItems;
    bool m_modified = false;
    bool m_machine = false;
};

// The task name of a file name found in the data folder, or the empty
// text when it is not a task file: only a long name ending in ".tsk" is one
// ("*.tsk" also matches "work.tsk~" through its 8.3 short name).
std::string TaskNameOfFile(const std::string& fileName);

// A task file: its file name, the task it holds, when it was last written,
// whether it is one of the administrators' (machine) tasks, and whether a
// machine task of the same name stands for it (the user's file is then kept
// but not used).
struct ListedTaskFile {
    std::string fileName;
    std::string taskName;
    FILETIME writeTime;
    bool machine = false;
    bool shadowed = false;
};

// Every task file of the user's data folder and of the administrators'
// folder, by long names only. The administrators' "default.tsk" is no task
// of its own: it is the model of a user's first default task.
std::vector<ListedTaskFile> ListTaskFiles();

// The file of the task called name: the administrators' when they have one
// of that name (never for the default task), otherwise the user's.
std::string GetTaskFilePath(const CTaskName& name);
// The user's own file of that name, in the data folder.
std::string UserTaskFilePath(const CTaskName& name);
// The administrators' model of a user's first default task, when there is one.
bool LoadDefaultTaskModel(CTaskConfig* task);
// Makes the user's default task from that model when the user has none yet
// (a first start after an upgrade from the shared folder keeps the shared
// default task's schedule running). False when nothing was made; raises
// CError when the model cannot be read or the task not saved.
bool MakeDefaultTaskFromModel();
