#pragma once
// The scheduler of the resident instance: keeps its own list of the task
// files in the data folder, reloads those whose write time changed, and
// starts each task at the times its schedule gives, when the scheduler
// starts and when it stops, and when the browser it names closes. Every start is recorded in the task's
// last-run-time file "TS_LRT_<task>.dat".
#include "common/handles.h"
#include "common/timeutil.h"
#include "scheduler/browserwatch.h"
#include "scheduler/schedulerfiles.h"
#include "scheduler/schedulerwake.h"
#include "tasks/taskconfig.h"

#include <map>
#include <set>
#include <memory>
#include <string>
#include <vector>

class CTaskScheduler : public CTaskSchedulerFiles {
public:
    CTaskScheduler() = default;
    virtual ~CTaskScheduler() = default;
    CTaskScheduler(const CTaskScheduler&) = delete;
    CTaskScheduler& operator=(const CTaskScheduler&) = delete;

    // Creates the events and starts the scheduler thread, which first scans
    // the task files and starts the tasks marked to run at startup.
    void Start();
    // Asks the thread to end after its current pass (it then starts the
    // tasks marked to run at shutdown) and waits for it. Never call it on
    // the scheduler thread.
    void Stop();
    // The tasks the thread started as it stopped (marked to run at
    // shutdown); read after Stop.
    const std::vector<std::string>& ShutdownTasks() const { return m_shutdownTasks; }

private:
    struct ScheduledTask {
        CTaskConfig task;
        FILETIME writeTime = {};
        time32 nextRun = 0;  // 0: no timed run
        bool mark = false;   // seen in the current rescan
    };
    enum class Phase { Startup, Shutdown };

    static unsigned __stdcall ThreadEntry(void* scheduler);
    void Thread();
    // True when a task was loaded anew or went away.
    bool RescanConfig();
    void UpdateTask(const std::string& key, const FILETIME& writeTime, std::unique_ptr<ScheduledTask> entry);
    void ExecuteTasks();
    void ExecuteFixedTasks(Phase phase);
    // True when the task's process was started.
    bool StartTask(const std::string& taskName, time32 when);
    void RecomputeAfterClockJump(time32 now);
    // Watches the browsers the tasks name; called after a rescan that changed a task.
    void WatchBrowsers(CBrowserWatch& browserWatch) const;
    // Starts the tasks of the browsers that closed since the last call, and
    // those whose close waited for the end of their minimum interval.
    void ExecuteBrowserCloseTasks(CBrowserWatch& browserWatch);
    // Starts a close's run of the task, or keeps it waiting while the task
    // still runs from before.
    void StartCloseRun(const std::string& taskName, ULONGLONG now);
    // The milliseconds until a waiting close's run is due; INFINITE for none.
    DWORD MillisecondsUntilCloseRun() const;
    bool StopRequested() const;
    // The earliest next run of all tasks; 0 when none has a timed run.
    time32 EarliestRun() const;
    // Sleeps until a stop request, a change of the task files, the run
    // timer, the end of a watched browser's process, a window event or the
    // time-out; true when the task files may have changed.
    bool WaitForWork(const CRunTimer& runTimer, CFolderWatch& folderWatch, CFolderWatch& machineWatch,
                     CBrowserWatch& browserWatch, DWORD timeoutMs);

    // Ordered by the task key: the file name without its extension, compared byte by byte.
    std::map<std::string, std::unique_ptr<ScheduledTask>> m_tasks;
    // Task files of the user's that the policy keeps from running, traced once each.
    std::set<std::string> m_ignoredWhileLocked;
    UniqueHandle m_thread;
    UniqueHandle m_stopEvent;
    UniqueHandle m_configChangeEvent;
    time32 m_lastPass = 0;
    // The runs of tasks started when a browser closed, by task name: a task
    // starts at most once per BrowserCloseRunInterval, and a close within
    // it waits until it is over (several closes make one run).
    struct CloseRun {
        ULONGLONG lastStart = 0;  // tick count
        bool started = false;
        bool waiting = false;
        ULONGLONG due = 0;  // tick count, while waiting
        std::string browser;  // the browser whose close it waits for
        int failedStarts = 0; // starts in a row whose process did not start
    };
    std::map<std::string, CloseRun> m_closeRuns;
    std::vector<std::string> m_shutdownTasks;
};
