#pragma once
// Tells the scheduler thread when a browser closes: the last of its
// processes ended. The thread holds a handle of every process of a watched
// browser it knows of and waits on one of them per browser, with its other
// wake-ups; nothing is looked at while nothing happens.
//
// Processes are learnt of by a snapshot when a browser comes to be watched,
// and afterwards from the system's window events: a process that creates a
// top-level window is looked at (its image name), so a browser started later
// is seen as its first window appears. The events reach the thread that
// installed the hook through its message queue, so the thread waits with
// MsgWaitForMultipleObjects and calls PumpEvents when woken by it.
//
// A browser's processes need no window: when the last one known ends, the
// processes are looked at again before the browser counts as closed (its
// helpers started meanwhile are then waited on), and while none is known
// they are looked for every few seconds (LookWhenDue), so that a browser
// that runs without a window is seen too.
#include "common/handles.h"

#include <windows.h>

#include <map>
#include <string>
#include <vector>

class CBrowserWatch {
public:
    CBrowserWatch() = default;
    ~CBrowserWatch();
    CBrowserWatch(const CBrowserWatch&) = delete;
    CBrowserWatch& operator=(const CBrowserWatch&) = delete;

    // The browsers to watch: key -> image names (lower case). A browser
    // newly watched is looked for among the running processes; one no
    // longer named is let go. The window-event hook is in place only
    // while some browser is watched. Call on the thread that waits.
    void Watch(const std::map<std::string, std::vector<std::string>>& browsers);
    bool Watching() const { return !m_browsers.empty(); }

    // Appends one process handle for each browser that runs (at most room).
    void AppendWaitHandles(std::vector<HANDLE>* handles, size_t room) const;
    // Dispatches the queued window events, then looks at the processes they named.
    void PumpEvents();
    // The milliseconds until the browsers with no process known are to be
    // looked for again; INFINITE while every watched browser has one.
    DWORD MillisecondsUntilLook() const;
    // Looks for the processes of the browsers with none known, when that is due.
    void LookWhenDue();
    // The browsers whose last known process has ended since the last call,
    // each once; looks only at the browsers whose waited handle is signalled.
    std::vector<std::string> TakeClosed();

    // The number of processes known for a browser (for tracing and tests).
    size_t ProcessCount(const std::string& key) const;

private:
    struct Process {
        DWORD id = 0;
        UniqueHandle handle;
    };
    struct Browser {
        std::vector<std::string> images;
        std::vector<Process> processes;  // running when last looked at
    };

    static void CALLBACK OnWindowEvent(HWINEVENTHOOK hook, DWORD event, HWND window, LONG object, LONG child,
                                       DWORD thread, DWORD time);
    void Hook(bool on);
    void TakeSnapshot(const std::string& onlyKey);
    // Adds the process when its image is that of a watched browser (the one
    // of onlyKey, unless empty) and it is not known yet.
    void Consider(DWORD processId, const std::string& imageName, const std::string& onlyKey);
    void ConsiderProcess(DWORD processId);

    std::map<std::string, Browser> m_browsers;
    HWINEVENTHOOK m_hook = nullptr;
    // Processes the window events named since the last pump.
    std::vector<DWORD> m_announced;
    // When the browsers with no process known are next looked for (tick count).
    ULONGLONG m_nextLook = 0;
};
