#pragma once
// The moment of a task's next timed run, from its schedule fields and the
// current time. 0 means that no timed run is due.
#include "common/timeutil.h"
#include "tasks/taskconfig.h"

// The next timed run after now, or 0:
// - disabled, or a ScheduleType other than 0 and 1: 0;
// - once: RunOnceTime when it is later than now, else 0;
// - hours, days, weeks: BaseScheduleTime while it is later than now, else the
//   first point of the grid BaseScheduleTime + k * period strictly after now;
//   a period of zero or less, or a unit outside 0 to 3, gives 0;
// - months: the day and wall-clock time of BaseScheduleTime in now's month,
//   or in the next month when that has passed (BaseScheduleTime itself when
//   it equals now), the day clamped to 28 in February and to 30 in 30-day
//   months, read with the daylight-saving offset of BaseScheduleTime.
// A result beyond January 2038, or a monthly result that would not lie
// after now, gives 0.
time32 CalcNextRunTimeAt(const ScheduleFields& schedule, time32 now);

// The same at the current time.
time32 CalcNextRunTime(const ScheduleFields& schedule);
time32 CalcNextRunTime(const CTaskConfig& task);
