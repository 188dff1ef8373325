#pragma once
// The console's tasks in memory, without a window: the default task first,
// then every task file listed; the one shown (current); what may be saved.
#include "tasks/taskconfig.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

class CCatalogueItems;

// Something loading the default task tells the user, in the order it happened.
struct TaskListNotice {
    bool error = false;  // otherwise a warning
    std::string text;
};

class CTaskList {
public:
    // Loads the user's default task, or makes it anew (from the administrators'
    // model when there is one) and saves it. An unreadable default task holds
    // the user's settings (a keep list): its file is moved aside, or when it
    // cannot be, the defaults are shown from memory and never saved over it.
    std::vector<TaskListNotice> LoadDefaultTask(const CCatalogueItems& catalogue);
    // Appends every other task file listed; the lines of those that failed
    // to load (string 10), or the empty text.
    std::string LoadOtherTasks();

    CTaskConfig& DefaultTask() const { return *m_tasks.front(); }
    size_t Count() const { return m_tasks.size(); }
    CTaskConfig& At(size_t position) const { return *m_tasks[position]; }
    std::vector<std::string> Names() const;

    // The task shown; none before the first is.
    CTaskConfig* Current() const { return m_current; }
    // Shows another task: the one left is saved when it changed, a failure
    // reported while it is still current, and the switch goes on.
    void SwitchTo(CTaskConfig* task, const std::function<void(const std::string&)>& reportSaveFailure);
    // Saves the current task when it changed and may be saved (the console
    // does so every second); raises CError, and it stays modified.
    void SaveCurrentIfModified();

    // A new task with the catalogue's defaults, saved at once. An unlisted
    // file of that name is the user's and is never replaced: raises CError.
    CTaskConfig& Add(const CTaskName& name, const CCatalogueItems& catalogue);
    // Takes the task off the list (the default task becomes current if it
    // was, the task unsaved), then deletes its files: raises CError, and the
    // task is off the list all the same. The default task and the
    // administrators' tasks are refused before anything changes.
    void Delete(CTaskConfig& task);
    void Clear();

private:
    bool MaySave(const CTaskConfig& task) const;
    bool KeepUnreadableDefaultTask(const std::string& failure, std::vector<TaskListNotice>& notices);

    std::vector<std::unique_ptr<CTaskConfig>> m_tasks;
    CTaskConfig* m_current = nullptr;
    bool m_keepDefaultFile = false;  // default.tsk could not be read nor moved aside
};
