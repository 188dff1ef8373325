#pragma once
// Runs one task inside the task process: loads the task, opens its session
// and session data file, and runs every enabled catalogue item's job from
// its plug-in module, in catalogue order.
#include "common/handles.h"
#include "jobapi/jobapi.h"
#include "runtime/catalogue.h"
#include "runtime/jobhost.h"
#include "runtime/sessionlog.h"
#include "runtime/taskprocess.h"
#include "tasks/taskconfig.h"

#include <string>

class CTaskRuntime {
public:
    // Loads the task file of taskName; raises CError when it cannot. A
    // preview runs the same jobs with deletion switched off in every engine,
    // and writes what they would remove to the preview report.
    CTaskRuntime(const CTaskName& taskName, const CCatalogue& catalogue, bool preview = false);
    // Unloads the cached module, then closes the writer and the session.
    ~CTaskRuntime() = default;

    // Runs the task; raises nothing.
    void Run();
    // True when the run reached its end ("Session finished" is written).
    bool Completed() const { return m_completed; }

private:
    void RunItem(const GUID& item, ITaskInfo& taskInfo, CJobEventSink& events);
    bool ReportItemsNoLongerOffered(CJobEventSink& events);
    void RecordFailureToStart(const std::string& reason);
    bool MayClean();
    bool MayPreview();
    HMODULE LoadTaskModule(const std::string& moduleName);

    const CCatalogue& m_catalogue;
    // Destroyed in reverse order: module, writer, session, task.
    CTaskConfig m_task;
    CTaskSession m_session;
    CSessionLogWrite m_log;
    UniqueModule m_module;
    std::string m_moduleName;
    bool m_preview;
    bool m_completed = false;
};
