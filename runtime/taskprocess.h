#pragma once
// Task process control. A task always runs in a process of its own: a copy
// of the program started with the task name as its only argument. Starter
// and task process meet through two named events and one marker file:
//   init-done event  set by the task process once its session is set up;
//   session event    exists exactly while the task process runs, and is
//                    set by the starter to ask the task to stop;
//   "<task>.run_time" hidden, deleted on close, held by the task process.
#include "common/handles.h"

#include <string>

std::string InitDoneEventName(const std::string& taskName);
std::string SessionEventName(const std::string& taskName);

// Starts the task process and waits for its initialisation (at most
// TaskStartTimeout seconds); returns at once when the task already runs.
// Raises CError with the program's messages.
void StartTask(const std::string& taskName);
// The same with the program file named: the program starts copies of itself.
void StartTask(const std::string& taskName, const std::string& programPath);
// Starts a preview of the task ("/preview" before its name) the same way.
void StartTaskPreview(const std::string& taskName);

// The switch that makes a task process preview its task.
constexpr char kPreviewSwitch[] = "/preview";

// Asks the task process to stop and waits for it to end (at most
// TaskStopTimeout seconds). Raises CError.
void StopTask(const std::string& taskName);

bool IsTaskRunning(const std::string& taskName);

// The task process's side.
class CTaskSession {
public:
    // Creates the task status file and the session event, then signals the
    // starter. Raises CError (internal errors 4 and 8).
    void StartSession(const std::string& taskName);
    bool IsStopRequested() const;

private:
    std::string m_taskName;
    UniqueHandle m_sessionEvent;
};
