#pragma once
// What wakes the idle scheduler thread: a waitable timer set to the earliest
// timed run, as an absolute time (so that a clock set forward past a run
// still fires it at once), and the time-out until the next rescan of the
// task files, which a change in the data folder brings forward.
#include "common/handles.h"
#include "common/timeutil.h"

#include <windows.h>

// The earliest of the next runs, 0 (none) left out; 0 when there is none.
time32 EarlierRun(time32 earliest, time32 nextRun);

// Milliseconds from now until when: 0 when it has come, at most a day (the
// longest period a setting allows).
DWORD MillisecondsUntil(time32 now, time32 when);

// A waitable timer that fires once at a time32 instant.
class CRunTimer {
public:
    // False when the timer cannot be made; the thread then wakes by its
    // time-outs alone.
    bool Create();
    // Fires at when (0: never); an instant already past fires at once.
    // Setting the instant it is already set for changes nothing.
    void SetFor(time32 when);
    // True when it is set to fire: only then is it worth waiting on.
    bool Armed() const { return m_timer && m_when != 0; }
    HANDLE Handle() const { return m_timer.Get(); }

private:
    UniqueHandle m_timer;
    time32 m_when = 0;
};

// A change notification on a folder's file names and write times.
class CFolderWatch {
public:
    CFolderWatch() = default;
    CFolderWatch(const CFolderWatch&) = delete;
    CFolderWatch& operator=(const CFolderWatch&) = delete;
    // False when the folder cannot be watched; the rescan period remains.
    bool Watch(const std::string& folder);
    // Waits for the next change after one was reported.
    void Rearm();
    bool Watching() const { return m_handle != INVALID_HANDLE_VALUE; }
    HANDLE Handle() const { return m_handle; }
    ~CFolderWatch();

private:
    HANDLE m_handle = INVALID_HANDLE_VALUE;
};
