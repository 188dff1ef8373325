#pragma once
// Starting the real program (or any other) as a separate Windows process.
#include "common/handles.h"

#include <functional>
#include <string>
#include <vector>

// Wine now and then fails to start a process at all: the new process ends in
// Wine's loader before the program runs, and the start fails with
// ERROR_INTERNAL_ERROR, which says nothing about the program. Such a start,
// and only such a start, is made again (twice at the most) and written to
// the test run's start-failure log, as the runner does for the test programs
// themselves. start makes one attempt; what names it in the log.
bool StartAgainIfWineFailed(const std::string& what, const std::function<BOOL()>& start);

// The command line a user or the scheduler would type: the program path and
// each argument between double quotes.
std::string QuotedCommandLine(const std::string& program, const std::vector<std::string>& arguments);

class ChildProcess {
public:
    // Starts program with arguments; current folder as given, or inherited when empty.
    bool Start(const std::string& program, const std::vector<std::string>& arguments,
               const std::string& currentFolder = std::string());
    // The same as a standard user: the test's own token with the
    // Administrators group for denial only, as an administrator's token is
    // under User Account Control before elevation.
    bool StartAsStandardUser(const std::string& program, const std::vector<std::string>& arguments);
    // True when the process ended within the time.
    bool Wait(DWORD milliseconds);
    DWORD ExitCode() const;
    DWORD Id() const { return m_id; }
    HANDLE Handle() const { return m_process.Get(); }
    void Kill();

private:
    UniqueHandle m_process;
    DWORD m_id = 0;
};

// Runs the program to its end (at most timeoutMs); false when it did not end.
bool RunToEnd(const std::string& program, const std::vector<std::string>& arguments, DWORD timeoutMs = 60000,
              DWORD* exitCode = nullptr);
bool RunToEndAsStandardUser(const std::string& program, const std::vector<std::string>& arguments,
                            DWORD timeoutMs = 60000, DWORD* exitCode = nullptr);
