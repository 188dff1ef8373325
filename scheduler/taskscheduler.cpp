#include "scheduler/taskscheduler.h"

#include "common/error.h"
#include "common/knownbrowsers.h"
#include "common/namedevent.h"
#include "common/paths.h"
#include "common/settings.h"
#include "common/strparse.h"
#include "common/tracer.h"
#include "runtime/taskprocess.h"
#include "scheduler/nextrun.h"
#include "scheduler/schedulerwake.h"

#include <process.h>

#include <algorithm>
#include <cerrno>

namespace {

// A clock set back by more than this makes every timed run be computed anew.
const time32 kClockJumpSlack = 120;

// The key of a task file: its name up to the last ".".
std::string TaskKeyOf(const std::string& fileName)
{
    const size_t dot = fileName.rfind('.');
    return dot == std::string::npos ? fileName : fileName.substr(0, dot);
}

// How long a change in the data folder may go on before the rescan.
const DWORD kChangeSettleMs = 200;

// A close's run whose task still runs from before is tried again this much later.
const ULONGLONG kBusyCloseRunRetryMs = 5000;
// How often a close's run whose process does not start is tried.
const int kCloseRunStartTries = 3;

}  // namespace

void CTaskScheduler::Start()
{
    TRACE(20, "CTaskScheduler::Start");

    TRACE(20, "creating change cfg event");
    NameOutcome outcome = NameOutcome::Failed;
    m_configChangeEvent = CreateNamedEvent(kConfigChangeEventName, false, false, &outcome);
    if (outcome == NameOutcome::HeldByAnother) {
        // Another account's object is never waited on (it could keep the
        // thread spinning): the scheduler goes on without the console's
        // signal, which the data folder's change notification stands in for.
        TRACE(40, "config change event creation failure - %d", static_cast<int>(ERROR_ACCESS_DENIED));
        m_configChangeEvent.Reset(::CreateEventA(nullptr, FALSE, FALSE, nullptr));
    }
    if (!m_configChangeEvent) {
        RaiseSystemError(kConfigChangeEventNotCreated, "config change event creation failure - %d");
    }

    TRACE(20, "creating stop event");
    m_stopEvent.Reset(::CreateEventA(nullptr, TRUE, FALSE, nullptr));
    if (!m_stopEvent) RaiseSystemError(kSchedulerStopEventNotCreated, "stop event creation failure - %d");

    TRACE(20, "starting thread");
    const uintptr_t thread = _beginthreadex(nullptr, 0, &CTaskScheduler::ThreadEntry, this, 0, nullptr);
    if (thread == 0) RaiseSystemError(kSchedulerThreadNotCreated, "thread creation failure - %d", errno);
    m_thread.Reset(reinterpret_cast<HANDLE>(thread));
    TRACE(20, "CTaskScheduler::Start - done");
}

void CTaskScheduler::Stop()
{
    TRACE(20, "CTaskScheduler::Stop");
    TRACE(20, "signalling event");
    if (!::SetEvent(m_stopEvent.Get())) RaiseSystemError(kSchedulerStopEventNotSet, "set event failure - %d");
    TRACE(20, "waiting for thread stop");
    if (::WaitForSingleObject(m_thread.Get(), INFINITE) == WAIT_FAILED) {
        RaiseSystemError(kSchedulerThreadWaitFailed, "WFSO error - %d");
    }
    TRACE(20, "CTaskScheduler::Stop - done");
}

unsigned __stdcall CTaskScheduler::ThreadEntry(void* scheduler)
{
    static_cast<CTaskScheduler*>(scheduler)->Thread();
    return 0;
}

bool CTaskScheduler::StopRequested() const
{
    return ::WaitForSingleObject(m_stopEvent.Get(), 0) == WAIT_OBJECT_0;
}

void CTaskScheduler::Thread()
{
    TRACE(20, "CTaskScheduler::Thread");
    // The first scan is the thread's: with many task files it would keep
    // the console from showing.
    RescanConfig();
    ExecuteFixedTasks(Phase::Startup);

    // Idle, the thread sleeps until it has work: the earliest timed run (a
    // timer), a change in the data folder (a notification), a stop request,
    // or the next rescan, which stays as the fallback for changes the
    // notification misses.
    CRunTimer runTimer;
    runTimer.Create();
    // The user's tasks and the administrators' both change what runs.
    CFolderWatch folderWatch;
    folderWatch.Watch(GetDataFolder());
    CFolderWatch machineWatch;
    if (!GetMachineTaskFolder().empty()) machineWatch.Watch(GetMachineTaskFolder());
    // This thread's: the window events of its hook come through its queue.
    CBrowserWatch browserWatch;
    WatchBrowsers(browserWatch);

    time32 lastRescan = GetLocalNow();
    time32 period = 0;  // the first pass always rescans
    bool changed = false;
    m_lastPass = lastRescan;
    while (!StopRequested()) {
        const time32 now = GetLocalNow();
        RecomputeAfterClockJump(now);
        // A clock set back also ends the wait for the next rescan.
        if (now >= lastRescan + period || now < lastRescan || changed) {
            period = GetTaskScheduleUpdatePeriod();
            lastRescan = now;
            if (RescanConfig()) WatchBrowsers(browserWatch);
        }
        ExecuteTasks();
        const time32 earliest = EarliestRun();
        runTimer.SetFor(earliest);
        // The time-out alone also reaches the next run, should the timer fail.
        const time32 after = GetLocalNow();
        DWORD timeoutMs = MillisecondsUntil(after, lastRescan + period);
        if (earliest != 0) timeoutMs = (std::min)(timeoutMs, MillisecondsUntil(after, earliest));
        timeoutMs = (std::min)({timeoutMs, MillisecondsUntilCloseRun(), browserWatch.MillisecondsUntilLook()});
        changed = WaitForWork(runTimer, folderWatch, machineWatch, browserWatch, timeoutMs);
        browserWatch.LookWhenDue();
        ExecuteBrowserCloseTasks(browserWatch);
    }

    ExecuteFixedTasks(Phase::Shutdown);
    TRACE(20, "CTaskScheduler::Thread - done");
}

time32 CTaskScheduler::EarliestRun() const
{
    time32 earliest = 0;
    for (const auto& [key, entry] : m_tasks) earliest = EarlierRun(earliest, entry->nextRun);
    return earliest;
}

bool CTaskScheduler::WaitForWork(const CRunTimer& runTimer, CFolderWatch& folderWatch, CFolderWatch& machineWatch,
                                 CBrowserWatch& browserWatch, DWORD timeoutMs)
{
    std::vector<HANDLE> handles = {m_stopEvent.Get(), m_configChangeEvent.Get()};
    CFolderWatch* watches[4] = {};
    for (CFolderWatch* watch : {&folderWatch, &machineWatch}) {
        if (!watch->Watching()) continue;
        watches[handles.size()] = watch;
        handles.push_back(watch->Handle());
    }
    if (runTimer.Armed()) handles.push_back(runTimer.Handle());
    // The browsers' processes end the wait too; ExecuteBrowserCloseTasks looks at them after it.
    browserWatch.AppendWaitHandles(&handles, MAXIMUM_WAIT_OBJECTS - handles.size());
    const DWORD count = static_cast<DWORD>(handles.size());

    // With browsers watched, the thread's queue brings their window events
    // (also those that came while the thread was busy).
    const DWORD result = browserWatch.Watching()
                             ? ::MsgWaitForMultipleObjectsEx(count, handles.data(), timeoutMs, QS_ALLINPUT, MWMO_INPUTAVAILABLE)
                             : ::WaitForMultipleObjects(count, handles.data(), FALSE, timeoutMs);
    if (result == WAIT_OBJECT_0 + count) {
        browserWatch.PumpEvents();
        return false;
    }
    if (result == WAIT_OBJECT_0 + 1) return true;
    if (result >= WAIT_OBJECT_0 + 2 && result < WAIT_OBJECT_0 + 4 && watches[result - WAIT_OBJECT_0] != nullptr) {
        // A running task writes its session file record by record: the burst
        // settles first, so that it costs a few rescans a second at most.
        ::WaitForSingleObject(m_stopEvent.Get(), kChangeSettleMs);
        watches[result - WAIT_OBJECT_0]->Rearm();
        return true;
    }
    if (result == WAIT_FAILED) {
        TRACE(40, "CTaskScheduler: WaitForMultipleObjects failed - %d", static_cast<int>(::GetLastError()));
        ::WaitForSingleObject(m_stopEvent.Get(), 1000);  // never a spinning thread
    }
    return false;
}

// A clock set back would leave every recurring run far in the future (a daily
// task would skip days): compute them again from the new time. Runs that are
// over (next run 0) stay over.
void CTaskScheduler::RecomputeAfterClockJump(time32 now)
{
    if (now + kClockJumpSlack < m_lastPass) {
        TRACE(30, "CTaskScheduler: clock set back, computing next runs again");
        for (auto& [key, entry] : m_tasks) {
            if (entry->nextRun != 0) entry->nextRun = CalcNextRunTime(entry->task);
        }
    }
    m_lastPass = now;
}

bool CTaskScheduler::RescanConfig()
{
    bool changed = false;
    TRACE(10, "CTaskScheduler::RescanConfig");
    for (auto& [key, entry] : m_tasks) entry->mark = false;

    TRACE(10, "creatinmg file search pattern");  // the documented text, slip included
    TRACE(10, "enumerating tasks");
    const bool locked = GetTasksLocked();
    // Traced again should the policy come back after it was lifted.
    if (!locked) m_ignoredWhileLocked.clear();
    for (const ListedTaskFile& file : ListTaskFiles()) {
        TRACE(10, "Checking task: %s", file.fileName.c_str());
        // The administrators' task of that name runs instead.
        if (file.shadowed) continue;
        // Under the policy, only what an administrator placed runs.
        if (locked && !file.machine) {
            if (m_ignoredWhileLocked.insert(file.fileName).second) {
                TRACE(20, "Task %s is not an administrator's; tasks are locked by policy, so it does not run",
                      file.fileName.c_str());
            }
            continue;
        }
        const std::string key = TaskKeyOf(file.fileName);
        const auto existing = m_tasks.find(key);
        if (existing == m_tasks.end() || !SameFileTime(existing->second->writeTime, file.writeTime)) {
            TRACE(20, "Task update required: %s", file.fileName.c_str());
            auto entry = std::make_unique<ScheduledTask>();
            TRACE(20, "loading new task config..");
            try {
                entry->task.LoadNamed(CTaskName::Checked(file.taskName));
                TRACE(20, "adding new task to the list");
                UpdateTask(key, file.writeTime, std::move(entry));
                changed = true;
            } catch (const std::exception& error) {
                // Tried again at every rescan: the write time is kept only after a load.
                TRACE(10, "Failed to load task configuration from file %s, error %s", file.fileName.c_str(),
                      error.what());
            }
        } else {
            existing->second->mark = true;
        }
        TRACE(10, "getting next file");
    }

    TRACE(10, "removing unmarked tasks");
    for (auto it = m_tasks.begin(); it != m_tasks.end();) {
        if (it->second->mark) {
            ++it;
        } else {
            it = m_tasks.erase(it);
            changed = true;
        }
    }
    TRACE(10, "CTaskScheduler::RescanConfig - done");
    return changed;
}

void CTaskScheduler::UpdateTask(const std::string& key, const FILETIME& writeTime, std::unique_ptr<ScheduledTask> entry)
{
    TRACE(20, "CTaskScheduler::UpdateTask");
    if (m_tasks.count(key) != 0) {
        TRACE(20, "deleting existing task");
        m_tasks.erase(key);
    }
    try {
        TRACE(20, "inserting task to map");
        ScheduledTask& inserted = *(m_tasks[key] = std::move(entry));
        inserted.writeTime = writeTime;
        inserted.mark = true;
        TRACE(20, "calc next runtime");
        inserted.nextRun = CalcNextRunTime(inserted.task);
    } catch (const std::bad_alloc&) {
        TRACE(40, "CTaskScheduler::UpdateTask - memory ereor");  // the documented text, slip included
        m_tasks.erase(key);
    }
    TRACE(20, "CTaskScheduler::UpdateTask - done");
}

void CTaskScheduler::ExecuteTasks()
{
    // A pass with nothing due traces nothing: at a pass a second, two lines
    // each would add megabytes a day to the trace of an idle instance.
    bool traced = false;
    for (auto& [key, entry] : m_tasks) {
        if (entry->nextRun == 0 || entry->nextRun > GetLocalNow()) continue;
        if (!traced) TRACE(9, "CTaskScheduler::ExecuteTasks");
        traced = true;
        // A stop request ends the pass at once; the tasks not started keep
        // their next run.
        if (StopRequested()) break;
        StartTask(entry->task.Name, entry->nextRun);
        // A second's pause, so that the next run computed lies after the one
        // just started; a stop request ends it.
        ::WaitForSingleObject(m_stopEvent.Get(), 1000);
        entry->nextRun = CalcNextRunTime(entry->task);
    }
    if (traced) TRACE(9, "CTaskScheduler::ExecuteTasks - done");
}

void CTaskScheduler::WatchBrowsers(CBrowserWatch& browserWatch) const
{
    std::map<std::string, std::vector<std::string>> browsers;
    for (const auto& [key, entry] : m_tasks) {
        const std::string browserKey = ToLowerAscii(entry->task.Schedule.atBrowserClose);
        if (browserKey.empty() || browsers.count(browserKey) != 0) continue;
        KnownBrowser browser;
        // A key no settings file answers (a hostile or an outdated one): no such run.
        if (!FindKnownBrowser(browserKey, &browser) || browser.processes.empty()) {
            TRACE(30, "Task %s runs when browser %s closes, which names no process", entry->task.Name.c_str(),
                  browserKey.c_str());
            continue;
        }
        browsers[browserKey] = browser.processes;
    }
    browserWatch.Watch(browsers);
}

void CTaskScheduler::ExecuteBrowserCloseTasks(CBrowserWatch& browserWatch)
{
    const ULONGLONG interval = static_cast<ULONGLONG>(GetBrowserCloseRunInterval()) * 1000;
    const std::vector<std::string> closed = browserWatch.TakeClosed();
    for (const std::string& browserKey : closed) {
        for (auto& [key, entry] : m_tasks) {
            if (StopRequested()) return;
            if (ToLowerAscii(entry->task.Schedule.atBrowserClose) != browserKey) continue;
            const std::string& name = entry->task.Name;
            CloseRun& run = m_closeRuns[name];
            run.browser = browserKey;
            const ULONGLONG now = ::GetTickCount64();
            if (run.waiting) {
                TRACE(20, "Browser %s closed: task %s already waits to run", browserKey.c_str(), name.c_str());
            } else if (run.started && now < run.lastStart + interval) {
                run.waiting = true;
                run.due = run.lastStart + interval;
                TRACE(20, "Browser %s closed: task %s runs in %d s, at the end of its minimum interval",
                      browserKey.c_str(), name.c_str(), static_cast<int>((run.due - now + 999) / 1000));
            } else {
                TRACE(20, "Browser %s closed: starting task %s", browserKey.c_str(), name.c_str());
                StartCloseRun(name, now);
            }
        }
    }

    // The closes that waited, once their time has come; a task that no
    // longer runs when a browser closes (changed or deleted) drops its wait.
    for (auto it = m_closeRuns.begin(); it != m_closeRuns.end();) {
        const std::string name = it->first;
        CloseRun& run = it->second;
        const ULONGLONG now = ::GetTickCount64();
        const bool stillWanted = std::any_of(m_tasks.begin(), m_tasks.end(), [&](const auto& task) {
            return task.second->task.Name == name && !task.second->task.Schedule.atBrowserClose.empty();
        });
        if (!stillWanted || (!run.waiting && now >= run.lastStart + interval)) {
            it = m_closeRuns.erase(it);
            continue;
        }
        if (run.waiting && now >= run.due && !StopRequested()) {
            if (browserWatch.ProcessCount(run.browser) > 0) {
                // Opened again meanwhile: its files are in use again, and its
                // next close (the interval is over by then) starts the run.
                TRACE(20, "Task %s: browser %s runs again; the task runs when it next closes", name.c_str(),
                      run.browser.c_str());
                run.waiting = false;
            } else {
                TRACE(20, "Task %s: a browser closed within its minimum interval; starting it now", name.c_str());
                StartCloseRun(name, now);
            }
        }
        ++it;
    }
}

void CTaskScheduler::StartCloseRun(const std::string& taskName, ULONGLONG now)
{
    CloseRun& run = m_closeRuns[taskName];
    bool running = false;
    try {
        running = IsTaskRunning(taskName);
    } catch (const std::exception& error) {
        TRACE(40, "failed to start task - %s", error.what());
    }
    // What the browser left is to be cleaned after the run that is going
    // on: the close waits for it rather than being lost.
    if (running) {
        TRACE(20, "Task %s still runs; the browser's close runs it once it has ended", taskName.c_str());
        run.waiting = true;
        run.due = now + kBusyCloseRunRetryMs;
        return;
    }
    if (!StartTask(taskName, 0)) {
        // The process did not start: the close is tried again shortly, a
        // few times, rather than counted as a run that never happened.
        run.waiting = ++run.failedStarts < kCloseRunStartTries;
        run.due = now + kBusyCloseRunRetryMs;
        if (!run.waiting) TRACE(40, "Task %s did not start after its browser closed; this close is dropped", taskName.c_str());
        return;
    }
    run.waiting = false;
    run.failedStarts = 0;
    run.started = true;
    run.lastStart = now;
}

DWORD CTaskScheduler::MillisecondsUntilCloseRun() const
{
    const ULONGLONG now = ::GetTickCount64();
    DWORD earliest = INFINITE;
    for (const auto& [name, run] : m_closeRuns) {
        if (!run.waiting) continue;
        earliest = (std::min)(earliest, run.due <= now ? 0 : static_cast<DWORD>((std::min)(run.due - now, 86400000ull)));
    }
    return earliest;
}

void CTaskScheduler::ExecuteFixedTasks(Phase phase)
{
    TRACE(20, "CTaskScheduler::ExecuteFixedTasks");
    for (auto& [key, entry] : m_tasks) {
        const bool due = phase == Phase::Startup ? entry->task.Schedule.atStartup : entry->task.Schedule.atShutdown;
        if (!due) continue;
        StartTask(entry->task.Name, 0);
        if (phase == Phase::Shutdown) m_shutdownTasks.push_back(entry->task.Name);
    }
    TRACE(20, "CTaskScheduler::ExecuteFixedTasks - done");
}

bool CTaskScheduler::StartTask(const std::string& taskName, time32 when)
{
    TRACE(20, "CTaskScheduler::StartTask");
    TRACE(20, "%s", taskName.c_str());
    TRACE(20, "starting task...");
    bool started = false;
    try {
        // A run that does not start (the task still runs from before) is no
        // run: Last Run keeps the time of the one that did.
        if (IsTaskRunning(taskName)) {
            TRACE(20, "task still running, this run is skipped");
            TRACE(20, "CTaskScheduler::StartTask - done");
            return false;
        }
        ::StartTask(taskName);
        started = true;
        TRACE(20, "task started");
        SetLastRunTime(taskName, when != 0 ? when : GetLocalNow());
    } catch (const std::exception& error) {
        // The next run still advances: a failing task is tried at its next time.
        TRACE(40, "failed to start task - %s", error.what());
    }
    TRACE(20, "CTaskScheduler::StartTask - done");
    return started;
}
