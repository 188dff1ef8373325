#include "program_runner.h"

#include "build_paths.h"
#include "eventually.h"

namespace {

void LogStartFailure(const std::string& what)
{
    char runnerLog[8];
    if (::GetEnvironmentVariableA("TW_START_FAILURE_LOG", runnerLog, sizeof runnerLog) == 0) return;
    const UniqueHandle log(::CreateFileA(kStartFailureLog, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                         nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!log) return;
    const std::string line = what + " (CreateProcess: internal error)\n";
    DWORD written = 0;
    ::WriteFile(log.Get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

}  // namespace

bool StartAgainIfWineFailed(const std::string& what, const std::function<BOOL()>& start)
{
    for (int attempt = 1;; ++attempt) {
        if (start()) return true;
        if (::GetLastError() != ERROR_INTERNAL_ERROR || attempt == 3) return false;
        LogStartFailure(what);
    }
}

std::string QuotedCommandLine(const std::string& program, const std::vector<std::string>& arguments)
{
    std::string commandLine = "\"" + program + "\"";
    for (const std::string& argument : arguments) commandLine += " \"" + argument + "\"";
    return commandLine;
}

bool ChildProcess::Start(const std::string& program, const std::vector<std::string>& arguments,
                         const std::string& currentFolder)
{
    std::string commandLine = QuotedCommandLine(program, arguments);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    if (!StartAgainIfWineFailed(commandLine, [&] {
            return ::CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                                    currentFolder.empty() ? nullptr : currentFolder.c_str(), &startup, &info);
        })) {
        return false;
    }
    const UniqueHandle thread(info.hThread);
    m_process.Reset(info.hProcess);
    m_id = info.dwProcessId;
    return true;
}

bool ChildProcess::StartAsStandardUser(const std::string& program, const std::vector<std::string>& arguments)
{
    UniqueHandle token;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_ALL_ACCESS, token.Receive())) return false;
    SID_IDENTIFIER_AUTHORITY ntAuthority = SECURITY_NT_AUTHORITY;
    PSID administrators = nullptr;
    if (!::AllocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0,
                                    0, 0, 0, &administrators)) {
        return false;
    }
    SID_AND_ATTRIBUTES denyOnly = {administrators, 0};
    UniqueHandle restricted;
    const BOOL made = ::CreateRestrictedToken(token.Get(), 0, 1, &denyOnly, 0, nullptr, 0, nullptr, restricted.Receive());
    ::FreeSid(administrators);
    if (!made) return false;

    std::string commandLine = QuotedCommandLine(program, arguments);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    if (!StartAgainIfWineFailed(commandLine, [&] {
            return ::CreateProcessAsUserA(restricted.Get(), nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0,
                                          nullptr, nullptr, &startup, &info);
        })) {
        return false;
    }
    const UniqueHandle thread(info.hThread);
    m_process.Reset(info.hProcess);
    m_id = info.dwProcessId;
    return true;
}

bool ChildProcess::Wait(DWORD milliseconds)
{
    return ::WaitForSingleObject(m_process.Get(), milliseconds) == WAIT_OBJECT_0;
}

DWORD ChildProcess::ExitCode() const
{
    DWORD code = STILL_ACTIVE;
    ::GetExitCodeProcess(m_process.Get(), &code);
    return code;
}

void ChildProcess::Kill()
{
    if (m_process) {
        ::TerminateProcess(m_process.Get(), 1);
        ::WaitForSingleObject(m_process.Get(), kAppearTimeout);
    }
}

namespace {

bool RunChildToEnd(ChildProcess& child, DWORD timeoutMs, DWORD* exitCode)
{
    if (!child.Wait(timeoutMs)) {
        child.Kill();
        return false;
    }
    if (exitCode != nullptr) *exitCode = child.ExitCode();
    return true;
}

}  // namespace

bool RunToEnd(const std::string& program, const std::vector<std::string>& arguments, DWORD timeoutMs,
              DWORD* exitCode)
{
    ChildProcess child;
    return child.Start(program, arguments) && RunChildToEnd(child, timeoutMs, exitCode);
}

bool RunToEndAsStandardUser(const std::string& program, const std::vector<std::string>& arguments, DWORD timeoutMs,
                            DWORD* exitCode)
{
    ChildProcess child;
    return child.StartAsStandardUser(program, arguments) && RunChildToEnd(child, timeoutMs, exitCode);
}
