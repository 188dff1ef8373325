#pragma once
// The one exception type of the system: a standard exception carrying a copy
// of its message text. Whoever catches it shows or traces what().
#include <exception>
#include <string>

class CError : public std::exception {
public:
    explicit CError(std::string message) : m_message(std::move(message)) {}
    const char* what() const noexcept override { return m_message.c_str(); }

private:
    std::string m_message;
};

// The numbered internal errors: the number tells support which operation
// failed. The numbers missing here were never used.
enum InternalErrorCode : int {
    kTrayWindowNotCreated = 1,
    kTrayIconNotLoaded = 2,
    kTrayIconNotAdded = 3,
    kTaskStatusFileNotCreated = 4,
    kSessionFileNotOpened = 5,
    kSessionEventNotCreated = 8,
    kSessionRecordNotWritten = 10,
    kSessionRecordNotRead = 11,
    kSessionFileNotRewound = 12,
    kSchedulerThreadNotCreated = 16,
    kSchedulerStopEventNotCreated = 17,
    kSchedulerStopEventNotSet = 18,
    kSchedulerThreadWaitFailed = 19,
    kConfigChangeEventNotCreated = 20,
    kConfigChangeEventNotOpened = 21,
    kConfigChangeEventNotSet = 22,
    kLastRunFileNotOpened = 23,
    kLastRunFileNotRead = 24,
    kLastRunFileNotWritten = 25,
    kLastRunFileNotCreated = 26,
    kComNotInitialised = 27,
    kSessionRecordBadHeader = 28,
};

// "Internal error <code> (details: <details>). Write down this numbers ..."
std::string FormatInternalError(int code, int details);

[[noreturn]] void RaiseInternalError(int code, int details);

// The calling thread's last system error code.
unsigned long LastSystemError();

// The end of a failed system call: traces the error (taken where the call is
// written) with traceFormat at level 40, unless null, and raises it as details.
[[noreturn]] void RaiseSystemError(InternalErrorCode code, const char* traceFormat,
                                   unsigned long error = LastSystemError());
