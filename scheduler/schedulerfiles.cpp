#include "scheduler/schedulerfiles.h"

#include "common/error.h"
#include "common/namedevent.h"
#include "common/ownfile.h"
#include "common/tracer.h"
#include "tasks/taskfiles.h"

#include <cerrno>

const char kConfigChangeEventName[] = "1012C031_D0A9_456A_A69D_120947AA48E9";

void CTaskSchedulerFiles::SignalScheduleChange()
{
    TRACE(20, "CTaskScheduler::SignalScheduleChange");
    UniqueHandle event = OpenNamedEvent(EVENT_MODIFY_STATE, kConfigChangeEventName);
    if (!event) RaiseSystemError(kConfigChangeEventNotOpened, "Can't open event - %d");
    if (!::SetEvent(event.Get())) RaiseSystemError(kConfigChangeEventNotSet, "Can't set event - %d");
    TRACE(20, "CTaskScheduler::SignalScheduleChange - done");
}

time32 CTaskSchedulerFiles::GetLastRunTime(const std::string& taskName)
{
    TRACE(10, "CTaskScheduler::GetLastRunTime");
    UniqueHandle file(::CreateFileA(TaskFiles(taskName).Path(TaskFiles::LastRun).c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                    nullptr));
    if (!file) {
        const DWORD error = ::GetLastError();
        if (error == ERROR_FILE_NOT_FOUND) return 0;
        RaiseSystemError(kLastRunFileNotOpened, nullptr, error);
    }
    TRACE(10, "read last run time from file");
    std::int32_t value = 0;
    DWORD got = 0;
    if (!::ReadFile(file.Get(), &value, sizeof value, &got, nullptr)) RaiseSystemError(kLastRunFileNotRead, nullptr);
    if (got < sizeof value) return 0;
    TRACE(10, "CTaskScheduler::GetLastRunTime - done");
    return value;
}

void CTaskSchedulerFiles::SetLastRunTime(const std::string& taskName, time32 t)
{
    TRACE(10, "CTaskScheduler::SetLastRunTime");
    UniqueHandle file = OpenOwnFile(TaskFiles(taskName).Path(TaskFiles::LastRun), GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, OwnFileMode::Replace, FILE_ATTRIBUTE_HIDDEN);
    if (!file) RaiseSystemError(kLastRunFileNotCreated, nullptr);
    TRACE(10, "write last run time to file");
    const std::int32_t value = t;
    DWORD written = 0;
    if (!::WriteFile(file.Get(), &value, sizeof value, &written, nullptr) || written != sizeof value) {
        RaiseSystemError(kLastRunFileNotWritten, nullptr);
    }
    TRACE(10, "CTaskScheduler::SetLastRunTime - done");
}
