#include "app/singleinstance.h"

#include "app/traywnd.h"
#include "common/namedevent.h"
#include "common/resstring.h"
#include "common/stringids.h"
#include "common/tracer.h"
#include "ui/appmessagebox.h"

const char kInstanceEventName[] = "HOTW_53E27782CE9741EDB43D91DD650C79D6";
const char kShutdownEventName[] = "HOTW_0865EA3F109A463ABAE12F396F3A08B7";

bool CInstanceGuard::CheckSingleInstance()
{
    NameOutcome outcome = NameOutcome::Failed;
    m_instanceEvent = CreateNamedEvent(kInstanceEventName, false, false, &outcome);
    if (outcome == NameOutcome::HeldByAnother) {
        // Not this user's instance: nothing of it is trusted, nor signalled.
        TRACE(40, "CheckSingleInstance: the name is held by another account");
        AppMessageBox(nullptr, FormatResString(IDS_INSTANCE_NAME_HELD, UserObjectName(kInstanceEventName).c_str()),
                      MB_OK | MB_ICONERROR);
        return false;
    }
    if (!m_instanceEvent) {
        // Without the event the instance runs unprotected.
        TRACE(40, "CheckSingleInstance: CreateEvent failed - %d", static_cast<int>(::GetLastError()));
        return true;
    }
    if (outcome == NameOutcome::Existed) {
        AppMessageBox(nullptr, LoadResString(IDS_ALREADY_RUNNING), MB_OK | MB_ICONEXCLAMATION);
        ::SetEvent(m_instanceEvent.Get());
        return false;
    }

    m_shutdownEvent = CreateNamedEvent(kShutdownEventName, false, false, &outcome);
    if (outcome == NameOutcome::HeldByAnother) {
        TRACE(40, "CheckSingleInstance: the name is held by another account");
        AppMessageBox(nullptr, FormatResString(IDS_INSTANCE_NAME_HELD, UserObjectName(kShutdownEventName).c_str()),
                      MB_OK | MB_ICONERROR);
        return false;
    }
    if (!m_shutdownEvent) {
        TRACE(40, "CheckSingleInstance: CreateEvent(stop) failed - %d", static_cast<int>(::GetLastError()));
        return true;
    }

    m_watcher.Reset(::CreateThread(nullptr, 0, &CInstanceGuard::WatcherEntry, this, CREATE_SUSPENDED, nullptr));
    if (m_watcher) ::ResumeThread(m_watcher.Get());
    return true;
}

void CInstanceGuard::StopWatcher()
{
    if (!m_watcher) return;
    ::SetEvent(m_shutdownEvent.Get());
    ::WaitForSingleObject(m_watcher.Get(), 10000);
    m_watcher.Reset();
}

DWORD WINAPI CInstanceGuard::WatcherEntry(void* guard)
{
    static_cast<CInstanceGuard*>(guard)->Watch();
    return 0;
}

// Only waits and posts messages: the tray window handles them on the main thread.
void CInstanceGuard::Watch()
{
    const HANDLE events[2] = {m_instanceEvent.Get(), m_shutdownEvent.Get()};
    for (;;) {
        const DWORD result = ::WaitForMultipleObjects(2, events, FALSE, INFINITE);
        if (result == WAIT_OBJECT_0) {
            ::PostMessageA(g_trayWnd.GetHwnd(), WM_COMMAND, CTrayWnd::kCommandConfigure, 0);
        } else if (result == WAIT_OBJECT_0 + 1) {
            ::PostMessageA(g_trayWnd.GetHwnd(), WM_CLOSE, 0, 0);
            return;
        } else if (result == WAIT_FAILED) {
            return;  // the handles are gone: nothing left to watch
        }
    }
}

const DWORD kResidentEndWaitMs = 30000;

void ShutdownInstances()
{
    UniqueHandle event = OpenNamedEvent(EVENT_MODIFY_STATE, kShutdownEventName);
    if (!event || !::SetEvent(event.Get())) {
        TRACE(40, "ShutdownInstances: OpenEvent(stop) failed - %d", static_cast<int>(::GetLastError()));
        return;
    }
    event.Reset();
    // The instance event lives as long as the resident instance holds it;
    // an event cannot be waited on for its end, so its name is looked up.
    const DWORD started = ::GetTickCount();
    while (OpenNamedEvent(SYNCHRONIZE, kInstanceEventName)) {
        if (::GetTickCount() - started >= kResidentEndWaitMs) {
            TRACE(40, "ShutdownInstances: the resident instance is still running");
            return;
        }
        ::Sleep(100);
    }
}
