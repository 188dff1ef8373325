#include "plugin/jobs/builtinitems.h"

#include "common/handles.h"
#include "common/strformat.h"
#include "common/tracer.h"

#include <windows.h>

#include <algorithm>
#include <cctype>
#include <string>

namespace {

const char kCache[] = "the DNS resolver cache";
const char kService[] = "the DNS Client service";
const wchar_t kServiceKey[] = L"SYSTEM\\CurrentControlSet\\Services\\Dnscache";

// The DNS client flushes at once; a command that runs longer has hung.
constexpr DWORD kFlushTimeoutMs = 30000;
constexpr DWORD kPollMs = 50;
// ipconfig says one line; more than this is not read.
constexpr size_t kOutputLimit = 64 * 1024;

bool DnsClientServiceExists()
{
    UniqueRegKey key;
    const LONG opened = ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kServiceKey, 0, KEY_QUERY_VALUE, key.Receive());
    // A key the user may not read still means the service is there.
    return opened != ERROR_FILE_NOT_FOUND && opened != ERROR_PATH_NOT_FOUND;
}

// The system's own ipconfig, by its full path: never one found on PATH.
std::wstring IpconfigPath()
{
    wchar_t folder[MAX_PATH] = {};
    const UINT length = ::GetSystemDirectoryW(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return std::wstring();
    return std::wstring(folder, length) + L"\\ipconfig.exe";
}

// Moves what the pipe holds now into output, without waiting for more.
void DrainPipe(HANDLE pipe, std::string& output)
{
    DWORD available = 0;
    while (::PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr) && available > 0) {
        char buffer[4096];
        DWORD read = 0;
        if (!::ReadFile(pipe, buffer, std::min<DWORD>(available, sizeof buffer), &read, nullptr) || read == 0) return;
        if (output.size() < kOutputLimit) output.append(buffer, read);
    }
}

std::string Lowered(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::string FirstLine(const std::string& text)
{
    const size_t start = text.find_first_not_of("\r\n \t");
    if (start == std::string::npos) return std::string();
    const size_t end = text.find_first_of("\r\n", start);
    return text.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

struct FlushOutcome {
    bool ran = false;       // the command started and ended by itself
    DWORD exitCode = 0;
    std::string output;     // what it wrote, in the console's code page
    std::string failure;    // why it did not run or end, when it did not
};

// Runs "ipconfig /flushdns" without a window, its output to a pipe, and
// ends it when it outlasts the limit.
FlushOutcome RunFlushCommand()
{
    FlushOutcome outcome;
    const std::wstring program = IpconfigPath();
    if (program.empty()) {
        outcome.failure = StrFormat("the system folder is unknown (error %lu)", ::GetLastError());
        return outcome;
    }
    SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, nullptr, TRUE};
    UniqueHandle readEnd;
    UniqueHandle writeEnd;
    if (!::CreatePipe(readEnd.Receive(), writeEnd.Receive(), &inheritable, 0) ||
        !::SetHandleInformation(readEnd.Get(), HANDLE_FLAG_INHERIT, 0)) {
        outcome.failure = StrFormat("no pipe for its output (error %lu)", ::GetLastError());
        return outcome;
    }
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = nullptr;
    startup.hStdOutput = writeEnd.Get();
    startup.hStdError = writeEnd.Get();
    std::wstring commandLine = L"\"" + program + L"\" /flushdns";
    PROCESS_INFORMATION info = {};
    if (!::CreateProcessW(program.c_str(), &commandLine[0], nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                          nullptr, &startup, &info)) {
        outcome.failure = StrFormat("ipconfig did not start (error %lu)", ::GetLastError());
        return outcome;
    }
    const UniqueHandle process(info.hProcess);
    const UniqueHandle thread(info.hThread);
    // Only the command holds the write end now: the pipe ends when it does.
    writeEnd.Reset();

    const ULONGLONG deadline = ::GetTickCount64() + kFlushTimeoutMs;
    DWORD waited = WAIT_TIMEOUT;
    while (waited == WAIT_TIMEOUT && ::GetTickCount64() < deadline) {
        DrainPipe(readEnd.Get(), outcome.output);
        waited = ::WaitForSingleObject(process.Get(), kPollMs);
    }
    DrainPipe(readEnd.Get(), outcome.output);
    if (waited != WAIT_OBJECT_0) {
        ::TerminateProcess(process.Get(), 1);
        ::WaitForSingleObject(process.Get(), kPollMs * 20);
        outcome.failure = StrFormat("ipconfig did not end within %lu seconds and was stopped",
                                    static_cast<unsigned long>(kFlushTimeoutMs / 1000));
        return outcome;
    }
    ::GetExitCodeProcess(process.Get(), &outcome.exitCode);
    outcome.ran = true;
    return outcome;
}

}  // namespace

void CDnsCacheItem::DoRun()
{
    TRACE(20, "CDnsCacheItem::Run");
    if (!DnsClientServiceExists()) {
        TRACE(20, "CDnsCacheItem::Run - no DNS client service");
        ReportNotPresent(kService);
        return;
    }
    // The service flushes all or nothing: a preview only says so.
    if (IsPreview()) {
        CountRemoved(Removed::Operation, kCache);
        return;
    }
    const FlushOutcome outcome = RunFlushCommand();
    if (!outcome.ran) {
        LogWarning("The DNS resolver cache was not flushed: " + outcome.failure + ".");
        CountNotRemoved(NotRemoved::Failed);
        return;
    }
    // The exit code is what counts; its words are read too, so that an
    // ipconfig that reports the service's refusal but ends with 0 is not
    // taken at its code. (Translated systems word it otherwise.)
    const bool refused = Lowered(outcome.output).find("could not flush") != std::string::npos;
    if (outcome.exitCode != 0 || refused) {
        const std::string said = FirstLine(outcome.output);
        LogWarning(StrFormat("The DNS resolver cache was not flushed: ipconfig ended with %lu%s%s",
                             static_cast<unsigned long>(outcome.exitCode), said.empty() ? "." : ": ", said.c_str()));
        CountNotRemoved(NotRemoved::Failed);
        return;
    }
    CountRemoved(Removed::Operation, kCache);
    TRACE(20, "CDnsCacheItem::Run - done");
}
