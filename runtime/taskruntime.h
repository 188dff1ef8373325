#pragma once
// Runs one task inside the task process: loads the task, opens its session
// and session data file, and runs every enabled inventory item's job from
// its plug-in module, in inventory order.
#include "common/handles.h"
#include "jobapi/jobapi.h"
#include "runtime/sessionlog.h"
#include "runtime/taskprocess.h"
#include "tasks/taskconfig.h"

#include <string>

class CTaskRuntime {
public:
    // Loads the task file of taskName; raises CError when it cannot.
    explicit CTaskRuntime(const std::string& taskName);
    // Unloads the cached module, then closes the writer and the session.
    ~CTaskRuntime() = default;

    // Runs the task; raises nothing.
    void Run();

private:
    void RunItem(const GUID& item, ITaskInfo& taskInfo, IEventSink& events);
    HMODULE LoadTaskModule(const std::string& moduleName);

    // Destroyed in reverse order: module, writer, session, task.
    CTaskConfig m_task;
    CTaskSession m_session;
    CSessionLogWrite m_log;
    UniqueModule m_module;
    std::string m_moduleName;
};
