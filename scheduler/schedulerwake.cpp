#include "scheduler/schedulerwake.h"

#include "common/tracer.h"

namespace {

const time32 kLongestWaitSeconds = 86400;
// Seconds from 1601 (FILETIME) to 1970 (time32).
const long long kEpochDifference = 11644473600LL;

}  // namespace

time32 EarlierRun(time32 earliest, time32 nextRun)
{
    if (nextRun == 0) return earliest;
    if (earliest == 0 || nextRun < earliest) return nextRun;
    return earliest;
}

DWORD MillisecondsUntil(time32 now, time32 when)
{
    const long long seconds = static_cast<long long>(when) - now;
    if (seconds <= 0) return 0;
    return static_cast<DWORD>((seconds < kLongestWaitSeconds ? seconds : kLongestWaitSeconds) * 1000);
}

bool CRunTimer::Create()
{
    // Auto-reset: a wait it ends takes its signal, so a fired timer never
    // wakes the thread twice for one run.
    m_timer.Reset(::CreateWaitableTimerA(nullptr, FALSE, nullptr));
    if (!m_timer) TRACE(40, "CRunTimer: CreateWaitableTimer failed - %d", static_cast<int>(::GetLastError()));
    return static_cast<bool>(m_timer);
}

void CRunTimer::SetFor(time32 when)
{
    if (!m_timer || when == m_when) return;
    m_when = when;
    if (when == 0) {
        ::CancelWaitableTimer(m_timer.Get());
        return;
    }
    // A positive due time is absolute, in FILETIME units (UTC).
    LARGE_INTEGER due;
    due.QuadPart = (static_cast<LONGLONG>(when) + kEpochDifference) * 10000000LL;
    if (!::SetWaitableTimer(m_timer.Get(), &due, 0, nullptr, nullptr, FALSE)) {
        TRACE(40, "CRunTimer: SetWaitableTimer failed - %d", static_cast<int>(::GetLastError()));
        m_when = 0;
    }
}

bool CFolderWatch::Watch(const std::string& folder)
{
    m_handle = ::FindFirstChangeNotificationA(folder.c_str(), FALSE,
                                              FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_LAST_WRITE);
    if (m_handle == INVALID_HANDLE_VALUE) {
        TRACE(40, "CFolderWatch: cannot watch %s - %d", folder.c_str(), static_cast<int>(::GetLastError()));
        return false;
    }
    return true;
}

void CFolderWatch::Rearm()
{
    if (m_handle != INVALID_HANDLE_VALUE && !::FindNextChangeNotification(m_handle)) {
        TRACE(40, "CFolderWatch: FindNextChangeNotification failed - %d", static_cast<int>(::GetLastError()));
        ::FindCloseChangeNotification(m_handle);
        m_handle = INVALID_HANDLE_VALUE;
    }
}

CFolderWatch::~CFolderWatch()
{
    if (m_handle != INVALID_HANDLE_VALUE) ::FindCloseChangeNotification(m_handle);
}
