#pragma once
// Task process control. A task always runs in a process of its own: a copy
// of the program started with the task name as its only argument. Starter
// and task process meet through two named events and one marker file:
//   init-done event  set by the task process once its session is set up;
//   session event    exists exactly while the task process runs, and is
//                    set by the starter to ask the task to stop;
//   "<task>.run_time" hidden, deleted on close, held by the task process.
#include "common/handles.h"
#include "runtime/sessionkind.h"

#include <string>

std::string InitDoneEventName(const std::string& taskName, SessionKind kind = SessionKind::Clean);
std::string SessionEventName(const std::string& taskName, SessionKind kind = SessionKind::Clean);
// Held by a preview while it runs: a clean of the same task waits for it.
std::string PreviewLockName(const std::string& taskName);

// Starts the task process and waits for its initialisation (at most
// TaskStartTimeout seconds); returns at once when the task already runs.
// Raises CError with the program's messages.
void StartTask(const std::string& taskName);
// The same with the program file named: the program starts copies of itself.
void StartTask(const std::string& taskName, const std::string& programPath);
// Starts a preview of the task ("/preview" before its name) the same way;
// returns at once when the task is being cleaned or previewed.
void StartTaskPreview(const std::string& taskName);

// The switch that makes a task process preview its task.
constexpr char kPreviewSwitch[] = "/preview";

// Asks the task process of that kind to stop and waits for it to end (at
// most TaskStopTimeout seconds). Raises CError.
void StopTask(const std::string& taskName, SessionKind kind = SessionKind::Clean);

bool IsTaskRunning(const std::string& taskName, SessionKind kind = SessionKind::Clean);

// The task process's side.
class CTaskSession {
public:
    ~CTaskSession();

    // Creates the task status file and the session event of the kind (a
    // preview also takes its lock first), then signals the starter. Raises
    // CError (internal errors 4 and 8).
    void StartSession(const std::string& taskName, SessionKind kind = SessionKind::Clean);
    bool IsStopRequested() const;
    // True once the status file is this process's: no other process runs
    // this session, so its session data file is this process's to write.
    bool OwnsStatusFile() const { return m_ownsStatusFile; }

    // A clean: true when a preview of the task runs now (it holds the
    // browsers' databases open, which a clean would take for a running
    // browser). WaitForPreview then waits until it has ended; false when a
    // stop request came first.
    bool IsPreviewRunning() const;
    bool WaitForPreview() const;

private:
    // Another account created a name of this session first: never trusted.
    [[noreturn]] static void RefuseHeldName();

    std::string m_taskName;
    UniqueHandle m_sessionEvent;
    UniqueHandle m_previewLock;  // a preview's, held while it runs
    bool m_ownsStatusFile = false;
};
