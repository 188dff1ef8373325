#pragma once
// Starting the real program (or any other) as a separate Windows process.
#include "common/handles.h"

#include <string>
#include <vector>

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
