#include "common/openurl.h"

#include "common/handles.h"
#include "common/paths.h"
#include "common/pathtext.h"
#include "common/settings.h"
#include "common/strformat.h"
#include "common/taskfilenames.h"
#include "common/tracer.h"

#include <shellapi.h>

#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

namespace {

// How long the shell may take over a target before the user is told to
// open it by hand.
const DWORD kShellAnswerMs = 15000;

// Every step that fails skips the rest: the message follows regardless.
void CopyTextToClipboard(HWND owner, const char* text)
{
    if (!::OpenClipboard(owner)) return;
    if (::EmptyClipboard()) {
        const size_t size = std::strlen(text) + 1;
        HGLOBAL memory = ::GlobalAlloc(GMEM_MOVEABLE, size);
        if (memory != nullptr) {
            void* target = ::GlobalLock(memory);
            if (target != nullptr) {
                std::memcpy(target, text, size);
                ::GlobalUnlock(memory);
                // On success the clipboard owns the memory.
                if (::SetClipboardData(CF_TEXT, memory) == nullptr) ::GlobalFree(memory);
            } else {
                ::GlobalFree(memory);
            }
        }
    }
    ::CloseClipboard();
}

// A preview report of the data folder: "<data folder>\<task>.preview.txt".
bool IsPreviewReport(const std::string& target)
{
    const size_t slash = target.rfind('\\');
    if (slash == std::string::npos) return false;
    const std::string name = target.substr(slash + 1);
    const size_t suffix = sizeof kPreviewReportSuffix - 1;
    return name.size() > suffix && GetDataFilePath(name) == target && IsTrustworthyName(name) &&
           SamePath(name.substr(name.size() - suffix), kPreviewReportSuffix);
}

// Runs the open role for target and waits for it within the time limit;
// the shell's answer, WAIT_TIMEOUT, or how the process ended.
int OpenInProcess(const std::string& target)
{
    std::string commandLine = StrFormat("\"%s\" %s \"%s\"", GetModulePath().c_str(), kOpenSwitch, target.c_str());
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    if (!::CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
        return static_cast<int>(::GetLastError());
    }
    const UniqueHandle process(info.hProcess);
    const UniqueHandle thread(info.hThread);
    // A process that does not end in time is left to end by itself: the
    // shell may still open the target, later than the user was told.
    if (::WaitForSingleObject(process.Get(), kShellAnswerMs) != WAIT_OBJECT_0) return WAIT_TIMEOUT;
    DWORD exitCode = 0;
    if (!::GetExitCodeProcess(process.Get(), &exitCode)) return static_cast<int>(::GetLastError());
    return static_cast<int>(exitCode);
}

// The replies posted and not yet taken, by number: only a number travels in
// the message, which any program may post.
std::mutex g_repliesLock;
std::map<WPARAM, ShellNotOpened> g_replies;
WPARAM g_lastReply = 0;

void PostNotOpened(HWND owner, UINT replyMessage, const std::string& target, int code)
{
    TRACE(30, "OpenInBackground - the shell did not open it (%d)", code);
    std::lock_guard<std::mutex> hold(g_repliesLock);
    const WPARAM reply = ++g_lastReply;
    g_replies[reply] = ShellNotOpened{target, code};
    if (!::PostMessageA(owner, replyMessage, reply, 0)) g_replies.erase(reply);
}

}  // namespace

void OpenInBackground(HWND owner, const std::string& target, UINT replyMessage)
{
    try {
        std::thread([owner, replyMessage, target] {
            const int code = OpenInProcess(target);
            if (code != 0) PostNotOpened(owner, replyMessage, target, code);
        }).detach();
    } catch (const std::exception& error) {
        TRACE(40, "OpenInBackground - %s", error.what());
        PostNotOpened(owner, replyMessage, target, ERROR_NOT_ENOUGH_MEMORY);
    }
}

bool TakeShellNotOpened(WPARAM reply, ShellNotOpened* failed)
{
    std::lock_guard<std::mutex> hold(g_repliesLock);
    const auto found = g_replies.find(reply);
    if (found == g_replies.end()) return false;
    *failed = found->second;
    g_replies.erase(found);
    return true;
}

int OpenWithShell(const std::string& target)
{
    if (!IsUsableWebAddress(target) && !IsPreviewReport(target)) {
        TRACE(40, "OpenWithShell - refused");
        return ERROR_INVALID_PARAMETER;
    }
    // The process ends right after: the shell is asked to finish its work first.
    SHELLEXECUTEINFOA execute = {};
    execute.cbSize = sizeof execute;
    execute.fMask = SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
    execute.lpFile = target.c_str();
    execute.nShow = SW_SHOWNORMAL;
    if (::ShellExecuteExA(&execute)) return 0;
    const int answer = static_cast<int>(reinterpret_cast<INT_PTR>(execute.hInstApp));
    // 0 is the shell's "out of memory", never a success.
    return answer > 0 && answer <= 32 ? answer : ERROR_NOT_ENOUGH_MEMORY;
}

UINT UrlNotOpenedMessage()
{
    static const UINT message = ::RegisterWindowMessageA("Hollowmere_Tidewhistle_UrlNotOpened");
    return message;
}

void OpenUrl(HWND owner, const char* url)
{
    OpenInBackground(owner, url != nullptr ? url : "", UrlNotOpenedMessage());
}

void ReportUrlNotOpened(HWND owner, const std::string& url)
{
    CopyTextToClipboard(owner, url.c_str());
    const std::string message = StrFormat(
        "An error occured while opening the %s.\nPlease start your web browser and open it manually.\n\n"
        "URL text is already in clipboard for your convenience.",
        url.c_str());
    ::MessageBoxA(owner, message.c_str(), nullptr, MB_OK | MB_ICONERROR);
}
