#include "plugin/engines/system/dnscache.h"

#include "common/handles.h"
#include "common/strformat.h"
#include "common/strparse.h"

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

const wchar_t kServiceKey[] = L"SYSTEM\\CurrentControlSet\\Services\\Dnscache";

// The DNS client flushes at once; a command that runs longer has hung.
constexpr DWORD kFlushTimeoutMs = 30000;
constexpr DWORD kPollMs = 50;
// ipconfig says one line; more than this is not read.
constexpr size_t kOutputLimit = 64 * 1024;

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

// A console program writes to a pipe in the OEM code page; the session's
// records are in the ANSI one.
std::string OemToAnsi(const std::string& text)
{
    if (text.empty()) return text;
    const int length = static_cast<int>(text.size());
    const int wideLength = ::MultiByteToWideChar(CP_OEMCP, 0, text.data(), length, nullptr, 0);
    if (wideLength <= 0) return text;
    std::wstring wide(static_cast<size_t>(wideLength), L'\0');
    ::MultiByteToWideChar(CP_OEMCP, 0, text.data(), length, &wide[0], wideLength);
    const int bytes = ::WideCharToMultiByte(CP_ACP, 0, wide.data(), wideLength, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0) return text;
    std::string narrow(static_cast<size_t>(bytes), '\0');
    ::WideCharToMultiByte(CP_ACP, 0, wide.data(), wideLength, &narrow[0], bytes, nullptr, nullptr);
    return narrow;
}

std::string FirstLine(const std::string& text)
{
    const size_t start = text.find_first_not_of("\r\n \t");
    if (start == std::string::npos) return std::string();
    const size_t end = text.find_first_of("\r\n", start);
    return text.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

// A start-up attribute that gives the command the one handle named and no
// other the task process may have made inheritable.
class InheritOnly {
public:
    explicit InheritOnly(HANDLE handle) : m_handle(handle)
    {
        SIZE_T size = 0;
        ::InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
        m_buffer.resize(size);
        if (size == 0 || !::InitializeProcThreadAttributeList(List(), 1, 0, &size)) return;
        m_initialised = true;
        m_ready = ::UpdateProcThreadAttribute(List(), 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, &m_handle,
                                              sizeof m_handle, nullptr, nullptr) != FALSE;
    }
    ~InheritOnly()
    {
        if (m_initialised) ::DeleteProcThreadAttributeList(List());
    }
    InheritOnly(const InheritOnly&) = delete;
    InheritOnly& operator=(const InheritOnly&) = delete;

    bool IsReady() const { return m_ready; }
    LPPROC_THREAD_ATTRIBUTE_LIST List() { return reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(m_buffer.data()); }

private:
    HANDLE m_handle;  // the attribute points at it: it lives as long as the list
    std::vector<unsigned char> m_buffer;
    bool m_initialised = false;
    bool m_ready = false;
};

// Runs "ipconfig /flushdns" without a window, its output to a pipe, and
// ends it when it outlasts the limit. Empty when it started and ended by
// itself (output is what it wrote, in the console's code page), else why not.
std::string RunFlushCommand(DWORD& exitCode, std::string& output)
{
    const std::wstring program = IpconfigPath();
    if (program.empty()) return StrFormat("the system folder is unknown (error %lu)", ::GetLastError());
    SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, nullptr, TRUE};
    UniqueHandle readEnd;
    UniqueHandle writeEnd;
    if (!::CreatePipe(readEnd.Receive(), writeEnd.Receive(), &inheritable, 0) ||
        !::SetHandleInformation(readEnd.Get(), HANDLE_FLAG_INHERIT, 0)) {
        return StrFormat("no pipe for its output (error %lu)", ::GetLastError());
    }
    InheritOnly inherited(writeEnd.Get());
    if (!inherited.IsReady()) return StrFormat("its start-up could not be prepared (error %lu)", ::GetLastError());
    STARTUPINFOEXW startup = {};
    startup.StartupInfo.cb = sizeof startup;
    startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
    startup.StartupInfo.hStdOutput = writeEnd.Get();
    startup.StartupInfo.hStdError = writeEnd.Get();
    startup.lpAttributeList = inherited.List();
    std::wstring commandLine = L"\"" + program + L"\" /flushdns";
    PROCESS_INFORMATION info = {};
    if (!::CreateProcessW(program.c_str(), &commandLine[0], nullptr, nullptr, TRUE,
                          CREATE_NO_WINDOW | EXTENDED_STARTUPINFO_PRESENT, nullptr, nullptr, &startup.StartupInfo,
                          &info)) {
        return StrFormat("ipconfig did not start (error %lu)", ::GetLastError());
    }
    const UniqueHandle process(info.hProcess);
    const UniqueHandle thread(info.hThread);
    // Only the command holds the write end now: the pipe ends when it does.
    writeEnd.Reset();

    const ULONGLONG deadline = ::GetTickCount64() + kFlushTimeoutMs;
    DWORD waited = WAIT_TIMEOUT;
    while (waited == WAIT_TIMEOUT && ::GetTickCount64() < deadline) {
        DrainPipe(readEnd.Get(), output);
        waited = ::WaitForSingleObject(process.Get(), kPollMs);
    }
    DrainPipe(readEnd.Get(), output);
    if (waited != WAIT_OBJECT_0) {
        ::TerminateProcess(process.Get(), 1);
        ::WaitForSingleObject(process.Get(), kPollMs * 20);
        return StrFormat("ipconfig did not end within %lu seconds and was stopped",
                         static_cast<unsigned long>(kFlushTimeoutMs / 1000));
    }
    // An exit code that cannot be read is no success.
    if (!::GetExitCodeProcess(process.Get(), &exitCode)) {
        return StrFormat("its exit code cannot be read (error %lu)", ::GetLastError());
    }
    return std::string();
}

}  // namespace

bool DnsClientServiceExists()
{
    UniqueRegKey key;
    const LONG opened = ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kServiceKey, 0, KEY_QUERY_VALUE, key.Receive());
    // A key the user may not read still means the service is there.
    return opened != ERROR_FILE_NOT_FOUND && opened != ERROR_PATH_NOT_FOUND;
}

std::string FlushDnsResolverCache()
{
    DWORD exitCode = 0;
    std::string output;
    const std::string failure = RunFlushCommand(exitCode, output);
    if (!failure.empty()) return failure + ".";
    // The exit code is what counts; its words are read too, so that an
    // ipconfig that reports the service's refusal but ends with 0 is not
    // taken at its code. (Translated systems word it otherwise.)
    const bool refused = ToLowerAscii(output).find("could not flush") != std::string::npos;
    if (exitCode == 0 && !refused) return std::string();
    const std::string said = OemToAnsi(FirstLine(output));
    return StrFormat("ipconfig ended with %lu%s%s", static_cast<unsigned long>(exitCode),
                     said.empty() ? "." : ": ", said.c_str());
}
