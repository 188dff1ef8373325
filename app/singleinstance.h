#pragma once
// Single instance of the resident role, and the shutdown signal. Two named
// events: the instance event (another start asks this instance to open its
// console) and the shutdown event (the resident instance is asked to quit).
#include "common/handles.h"

extern const char kInstanceEventName[];
extern const char kShutdownEventName[];

class CInstanceGuard {
public:
    CInstanceGuard() = default;
    ~CInstanceGuard() { StopWatcher(); }
    CInstanceGuard(const CInstanceGuard&) = delete;
    CInstanceGuard& operator=(const CInstanceGuard&) = delete;

    // True when start-up of the resident role may go on. When another
    // resident instance runs, tells the user, asks that instance to open its
    // console, and returns false.
    bool CheckSingleInstance();
    // Ends the watcher thread: sets the shutdown event, waits at most 10 s.
    void StopWatcher();

private:
    static DWORD WINAPI WatcherEntry(void* guard);
    void Watch();

    UniqueHandle m_instanceEvent;
    UniqueHandle m_shutdownEvent;
    UniqueHandle m_watcher;
};

// The shutdown role: asks a running resident instance to quit and waits, at
// most kResidentEndWaitMs, until it has: an uninstall that starts this role
// removes the program's files next, which Windows refuses while they run.
// A failure (no resident instance) is traced; nothing is shown.
extern const DWORD kResidentEndWaitMs;
void ShutdownInstances();
