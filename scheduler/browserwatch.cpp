#include "scheduler/browserwatch.h"

#include "common/strparse.h"
#include "common/tracer.h"

#include <tlhelp32.h>

#include <algorithm>

namespace {

// How often the browsers with no process known are looked for: a browser
// process that never makes a window is seen at the latest this long after
// it starts. One process list costs a few milliseconds.
const ULONGLONG kLookPeriodMs = 5000;

// The one watch of the thread that installed the hook: the system calls
// the hook's function without a context.
thread_local CBrowserWatch* t_watch = nullptr;

std::string NarrowName(const wchar_t* wide)
{
    const int length = ::WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
    if (length <= 1) return std::string();
    std::string text(static_cast<size_t>(length - 1), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, wide, -1, &text[0], length, nullptr, nullptr);
    return text;
}

// The file name of a full image path, lower case.
std::string ImageFileName(const std::string& path)
{
    const size_t slash = path.find_last_of("\\/");
    return ToLowerAscii(slash == std::string::npos ? path : path.substr(slash + 1));
}

bool HasEnded(const UniqueHandle& process)
{
    return ::WaitForSingleObject(process.Get(), 0) != WAIT_TIMEOUT;
}

}  // namespace

CBrowserWatch::~CBrowserWatch()
{
    Hook(false);
}

void CBrowserWatch::Watch(const std::map<std::string, std::vector<std::string>>& browsers)
{
    for (auto it = m_browsers.begin(); it != m_browsers.end();) {
        if (browsers.count(it->first) == 0) {
            TRACE(20, "CBrowserWatch: no longer watching %s", it->first.c_str());
            it = m_browsers.erase(it);
        } else {
            ++it;
        }
    }
    std::vector<std::string> added;
    for (const auto& [key, images] : browsers) {
        Browser& browser = m_browsers[key];
        if (browser.images == images) continue;
        browser.images = images;
        browser.processes.clear();
        added.push_back(key);
    }
    // The hook first: a process that starts during the snapshot is not missed.
    Hook(!m_browsers.empty());
    m_nextLook = ::GetTickCount64() + kLookPeriodMs;
    for (const std::string& key : added) {
        TakeSnapshot(key);
        TRACE(20, "CBrowserWatch: watching %s, %d processes running", key.c_str(),
              static_cast<int>(ProcessCount(key)));
    }
}

void CBrowserWatch::Hook(bool on)
{
    if (on == (m_hook != nullptr)) return;
    if (!on) {
        ::UnhookWinEvent(m_hook);
        m_hook = nullptr;
        t_watch = nullptr;
        return;
    }
    t_watch = this;
    // Creation only: Wine sends no show events for other processes' windows,
    // and every window is created before it is shown.
    m_hook = ::SetWinEventHook(EVENT_OBJECT_CREATE, EVENT_OBJECT_CREATE, nullptr, &CBrowserWatch::OnWindowEvent, 0, 0,
                               WINEVENT_OUTOFCONTEXT | WINEVENT_SKIPOWNPROCESS);
    if (m_hook == nullptr) {
        // The browsers started later go unseen; those of the snapshots are still waited on.
        TRACE(40, "CBrowserWatch: SetWinEventHook failed - %d", static_cast<int>(::GetLastError()));
        t_watch = nullptr;
    }
}

void CALLBACK CBrowserWatch::OnWindowEvent(HWINEVENTHOOK, DWORD event, HWND window, LONG object, LONG child, DWORD,
                                           DWORD)
{
    if (t_watch == nullptr || event != EVENT_OBJECT_CREATE || object != OBJID_WINDOW || child != CHILDID_SELF) return;
    // Top-level windows only: a browser's child windows and controls come by the hundred.
    if (window == nullptr || ::GetAncestor(window, GA_PARENT) != ::GetDesktopWindow()) return;
    DWORD processId = 0;
    ::GetWindowThreadProcessId(window, &processId);
    if (processId != 0) t_watch->m_announced.push_back(processId);
}

void CBrowserWatch::PumpEvents()
{
    MSG message;
    while (::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageA(&message);
    std::vector<DWORD> announced;
    announced.swap(m_announced);
    std::sort(announced.begin(), announced.end());
    announced.erase(std::unique(announced.begin(), announced.end()), announced.end());
    for (DWORD processId : announced) ConsiderProcess(processId);
}

DWORD CBrowserWatch::MillisecondsUntilLook() const
{
    const bool needed = std::any_of(m_browsers.begin(), m_browsers.end(),
                                    [](const auto& entry) { return entry.second.processes.empty(); });
    if (!needed) return INFINITE;
    const ULONGLONG now = ::GetTickCount64();
    return now >= m_nextLook ? 0 : static_cast<DWORD>(m_nextLook - now);
}

void CBrowserWatch::LookWhenDue()
{
    if (MillisecondsUntilLook() != 0) return;
    m_nextLook = ::GetTickCount64() + kLookPeriodMs;
    for (const auto& [key, browser] : m_browsers) {
        if (browser.processes.empty()) TakeSnapshot(key);
    }
}

void CBrowserWatch::ConsiderProcess(DWORD processId)
{
    // A process already held keeps its id: nothing to look up.
    for (const auto& [key, browser] : m_browsers) {
        for (const Process& known : browser.processes) {
            if (known.id == processId && !HasEnded(known.handle)) return;
        }
    }
    UniqueHandle process(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
    if (!process) return;  // ended already, or another account's
    wchar_t path[MAX_PATH * 2] = {};
    DWORD length = static_cast<DWORD>(sizeof path / sizeof path[0]);
    if (!::QueryFullProcessImageNameW(process.Get(), 0, path, &length)) return;
    Consider(processId, ImageFileName(NarrowName(path)), std::string());
}

void CBrowserWatch::TakeSnapshot(const std::string& onlyKey)
{
    UniqueHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) {
        TRACE(40, "CBrowserWatch: CreateToolhelp32Snapshot failed - %d", static_cast<int>(::GetLastError()));
        return;
    }
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Process32FirstW(snapshot.Get(), &entry); more; more = ::Process32NextW(snapshot.Get(), &entry)) {
        Consider(entry.th32ProcessID, ImageFileName(NarrowName(entry.szExeFile)), onlyKey);
    }
}

void CBrowserWatch::Consider(DWORD processId, const std::string& imageName, const std::string& onlyKey)
{
    for (auto& [key, browser] : m_browsers) {
        if (!onlyKey.empty() && key != onlyKey) continue;
        if (std::find(browser.images.begin(), browser.images.end(), imageName) == browser.images.end()) continue;
        const bool known = std::any_of(browser.processes.begin(), browser.processes.end(), [&](const Process& p) {
            return p.id == processId && !HasEnded(p.handle);
        });
        if (known) continue;
        Process process;
        process.id = processId;
        process.handle.Reset(::OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
        // Ended already (a process list still names a process that is
        // ending), or another account's.
        if (!process.handle || HasEnded(process.handle)) continue;
        TRACE(20, "CBrowserWatch: %s process %d (%s)", key.c_str(), static_cast<int>(processId), imageName.c_str());
        // Those that ended behind the waited one go now, so that a long
        // session's handles do not pile up; the waited one stays first.
        browser.processes.erase(std::remove_if(browser.processes.begin() + (browser.processes.empty() ? 0 : 1),
                                               browser.processes.end(),
                                               [](const Process& p) { return HasEnded(p.handle); }),
                                browser.processes.end());
        browser.processes.push_back(std::move(process));
    }
}

void CBrowserWatch::AppendWaitHandles(std::vector<HANDLE>* handles, size_t room) const
{
    for (const auto& [key, browser] : m_browsers) {
        if (browser.processes.empty() || room == 0) continue;
        handles->push_back(browser.processes.front().handle.Get());
        --room;
    }
}

std::vector<std::string> CBrowserWatch::TakeClosed()
{
    std::vector<std::string> closed;
    for (auto& [key, browser] : m_browsers) {
        // Only the waited handle is looked at first: an idle browser costs
        // one wait that returns at once.
        if (browser.processes.empty() || !HasEnded(browser.processes.front().handle)) continue;
        browser.processes.erase(std::remove_if(browser.processes.begin(), browser.processes.end(),
                                               [](const Process& p) { return HasEnded(p.handle); }),
                                browser.processes.end());
        // Its processes started since the last look (helpers that make no
        // window) keep it open; they are waited on now.
        if (browser.processes.empty()) TakeSnapshot(key);
        if (browser.processes.empty()) {
            TRACE(20, "CBrowserWatch: %s closed", key.c_str());
            closed.push_back(key);
            m_nextLook = ::GetTickCount64() + kLookPeriodMs;
        }
    }
    return closed;
}

size_t CBrowserWatch::ProcessCount(const std::string& key) const
{
    const auto found = m_browsers.find(key);
    return found == m_browsers.end() ? 0 : found->second.processes.size();
}
