#pragma once
// What the console asks of the scheduler without a scheduler object: the
// resident scheduler's wake-up signal and the last-run-time files "TS_LRT_<task>.dat".
#include "common/timeutil.h"

#include <string>

// The name of the event that wakes the resident scheduler for a rescan.
extern const char kConfigChangeEventName[];

class CTaskSchedulerFiles {
public:
    // Asks the resident scheduler to rescan the task files now; raises
    // internal error 21 when no resident instance runs.
    static void SignalScheduleChange();
    // The time stored in the task's last-run-time file, 0 when it has none.
    static time32 GetLastRunTime(const std::string& taskName);
    static void SetLastRunTime(const std::string& taskName, time32 t);
};
