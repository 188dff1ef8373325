#include "scheduler/nextrun.h"

#include "tasks/taskconfig.h"

#include <cstdint>
#include <ctime>

namespace {

const int kTypeRecurring = 0;
const int kTypeOnce = 1;
const int kUnitMonths = 3;

// Seconds of the fixed units, by RunEveryUnit 0 (hours), 1 (days), 2 (weeks).
const std::int64_t kUnitSeconds[] = {3600, 86400, 604800};

// An instant within the range of a 32-bit time_t, or 0.
time32 InRangeOrNever(std::int64_t t)
{
    return t >= 0 && t <= INT32_MAX ? static_cast<time32>(t) : 0;
}

// February never runs past the 28th, leap years included; April, June,
// September and November never past the 30th.
int ClampDay(int month, int day)
{
    if (month == 2 && day > 28) return 28;
    if ((month == 4 || month == 6 || month == 9 || month == 11) && day > 30) return 30;
    return day;
}

// The base day and time, every months months after BaseScheduleTime's month
// (months beyond 2037 give false).
bool MonthlyPoint(LocalTime local, int baseDay, long long months, DaylightHint hint, time32* t)
{
    const long long monthIndex = static_cast<long long>(local.month - 1) + months;
    const long long year = local.year + monthIndex / 12;
    if (year > 2100) return false;
    local.year = static_cast<int>(year);
    local.month = static_cast<int>(monthIndex % 12) + 1;
    local.day = ClampDay(local.month, baseDay);
    return LocalToTime(local, hint, t);
}

time32 NextMonthlyRun(time32 base, time32 now, int every)
{
    LocalTime local;
    if (!TimeToLocal(base, &local)) return 0;
    // Every conversion uses the offset in force at BaseScheduleTime, also on
    // dates of the other season: a summer schedule runs one hour earlier by
    // the clock in winter, a winter one an hour later in summer.
    const DaylightHint hint = local.daylight ? DaylightHint::Daylight : DaylightHint::Standard;
    const int baseDay = local.day;

    // The last month of the schedule's grid (every "every" months from the
    // base's month) that is not after now's month.
    long long months = 0;
    if (base < now) {
        LocalTime current;
        if (!TimeToLocal(now, &current)) return 0;
        const long long gone = (current.year - local.year) * 12LL + (current.month - local.month);
        if (gone > 0) months = gone - gone % every;
    }

    time32 t = 0;
    if (!MonthlyPoint(local, baseDay, months, hint, &t)) return 0;  // past January 2038
    if (t >= now) return t;                                          // BaseScheduleTime itself when it equals now

    // Passed in that month: the same day of the next month of the grid. The
    // day is clamped from BaseScheduleTime's own day, not from the one clamped
    // for this month: a schedule from the 31st that ran on 28 February runs on
    // 31 March, not on the 28th and again on the 31st.
    // With a summer offset, the 1st of a winter month shortly after midnight
    // still lies in the month before by the clock and may not be later than
    // now: then the month after it is taken, so that the schedule goes on and
    // never starts the task on every pass.
    for (int advance = 0; advance < 2; ++advance) {
        months += every;
        if (!MonthlyPoint(local, baseDay, months, hint, &t)) return 0;
        if (t > now) return t;
    }
    return 0;
}

}  // namespace

time32 CalcNextRunTimeAt(const ScheduleFields& schedule, time32 now)
{
    if (!schedule.enabled) return 0;
    if (schedule.type == kTypeOnce) return schedule.runOnce > now ? schedule.runOnce : 0;
    if (schedule.type != kTypeRecurring) return 0;

    // A unit outside 0 to 3 or a period of zero or less has no timed run,
    // whether BaseScheduleTime has passed or not.
    if (schedule.unit < 0 || schedule.unit > kUnitMonths) return 0;
    if (schedule.number <= 0) return 0;

    // "Run every N Month(s)": every N months from BaseScheduleTime's month.
    if (schedule.unit == kUnitMonths) return NextMonthlyRun(schedule.base, now, schedule.number);

    if (schedule.base > now) return schedule.base;

    // In 64 bits: the period or the next grid point may lie beyond January
    // 2038, which gives 0.
    const std::int64_t period = kUnitSeconds[schedule.unit] * schedule.number;
    const std::int64_t base = schedule.base;
    return InRangeOrNever(base + ((std::int64_t(now) - base) / period + 1) * period);
}

time32 CalcNextRunTime(const ScheduleFields& schedule)
{
    return CalcNextRunTimeAt(schedule, static_cast<time32>(std::time(nullptr)));
}

time32 CalcNextRunTime(const CTaskConfig& task)
{
    return CalcNextRunTime(task.Schedule);
}
