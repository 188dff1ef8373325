#pragma once
// One call run on a thread of its own, so that the window that asked for it
// keeps answering its messages while the call waits (a task start or stop
// may wait up to an hour). When the call ends, the window is sent a message;
// it then takes the outcome with Finish.
#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <thread>

class CBackgroundCall {
public:
    CBackgroundCall() = default;
    CBackgroundCall(const CBackgroundCall&) = delete;
    CBackgroundCall& operator=(const CBackgroundCall&) = delete;
    // A call still running is left to end by itself: it owns everything it
    // uses, and its message to a window that is gone is lost harmlessly.
    ~CBackgroundCall();

    bool IsBusy() const { return m_thread.joinable(); }
    // Runs call on a new thread and posts doneMessage to window when it
    // ends. Must not be busy. False when no thread could be started.
    bool Start(HWND window, UINT doneMessage, std::function<void()> call);
    // Called on doneMessage: the text of the error the call raised, empty
    // when it succeeded. The call is no longer busy afterwards.
    std::string Finish();

private:
    struct Outcome {
        std::string error;
    };
    std::thread m_thread;
    std::shared_ptr<Outcome> m_outcome;
};
