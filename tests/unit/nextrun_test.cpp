// Next-run computation at a fixed "now". The tests run with
// TZ=Europe/Berlin: CET is UTC+1, CEST UTC+2, summer time from the last
// Sunday of March to the last Sunday of October (in 2026: 29 March and
// 25 October), changing at 01:00 UTC.
#include "scheduler/nextrun.h"
#include "scheduler/schedulerwake.h"

#include "tasks/taskconfig.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <ctime>
#include <vector>

namespace {

constexpr bool IsLeap(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

constexpr int DaysInMonth(int year, int month)
{
    return month == 2 ? (IsLeap(year) ? 29 : 28) : (month == 4 || month == 6 || month == 9 || month == 11) ? 30 : 31;
}

// The instant of a UTC date and time, counted day by day.
constexpr std::int64_t Utc64(int year, int month, int day, int hour, int minute = 0, int second = 0)
{
    std::int64_t days = 0;
    for (int y = 1970; y < year; ++y) days += IsLeap(y) ? 366 : 365;
    for (int m = 1; m < month; ++m) days += DaysInMonth(year, m);
    days += day - 1;
    return days * 86400 + hour * 3600 + minute * 60 + second;
}
constexpr time32 Utc(int year, int month, int day, int hour, int minute = 0, int second = 0)
{
    return static_cast<time32>(Utc64(year, month, day, hour, minute, second));
}
// Berlin wall-clock times read with the winter (UTC+1) or summer (UTC+2) offset.
constexpr time32 Cet(int year, int month, int day, int hour, int minute = 0)
{
    return static_cast<time32>(Utc64(year, month, day, hour, minute) - 3600);
}
constexpr time32 Cest(int year, int month, int day, int hour, int minute = 0)
{
    return static_cast<time32>(Utc64(year, month, day, hour, minute) - 7200);
}

static_assert(Utc(2026, 1, 1, 0) == 1767225600, "2026-01-01 00:00 UTC");
static_assert(Utc(2038, 1, 19, 3, 14, 7) == INT32_MAX, "the last second of a 32-bit time_t");
static_assert(Cet(2006, 2, 6, 9, 5) == 1139213100, "2006-02-06 09:05 in Berlin");

const std::int64_t kHour = 3600;
const std::int64_t kDay = 86400;
const std::int64_t kWeek = 604800;

ScheduleFields Recurring(int unit, int number, time32 base)
{
    return ScheduleFields{true, 0, number, unit, base, 0};
}
ScheduleFields Monthly(time32 base, int number = 1) { return Recurring(3, number, base); }
ScheduleFields Once(time32 runOnce) { return ScheduleFields{true, 1, 1, 1, 0, runOnce}; }

time32 Plus(time32 t, std::int64_t seconds) { return static_cast<time32>(t + seconds); }

struct Case {
    const char* what;
    ScheduleFields schedule;
    time32 now;
    time32 expected;
};

void ExpectCases(const std::vector<Case>& cases)
{
    for (const Case& c : cases) EXPECT_EQ(CalcNextRunTimeAt(c.schedule, c.now), c.expected) << c.what;
}

const time32 kNow = Cet(2026, 2, 10, 12, 0);
const time32 kFuture = Cest(2026, 7, 15, 10, 0);
const time32 kPast = Cet(2026, 1, 15, 10, 0);

}  // namespace

TEST(NextRun, DisabledScheduleHasNoTimedRunWhateverItsFields)
{
    const std::vector<ScheduleFields> schedules = {Once(kFuture), Recurring(0, 1, kPast), Recurring(2, 1, kFuture),
                                                   Monthly(kPast), Monthly(kFuture)};
    for (ScheduleFields schedule : schedules) {
        ASSERT_NE(CalcNextRunTimeAt(schedule, kNow), 0) << "unit " << schedule.unit;  // due when enabled
        schedule.enabled = false;
        EXPECT_EQ(CalcNextRunTimeAt(schedule, kNow), 0) << "unit " << schedule.unit;
    }
}

TEST(NextRun, RunOnceIsDueOnlyWhenStrictlyLaterThanNow)
{
    ScheduleFields strayRecurringFields = Once(kFuture);
    strayRecurringFields.number = 0;
    strayRecurringFields.unit = 9;
    strayRecurringFields.base = Plus(kNow, kHour);
    ExpectCases({
        {"future", Once(kFuture), kNow, kFuture},
        {"one second ahead", Once(Plus(kNow, 1)), kNow, Plus(kNow, 1)},
        {"equal to now", Once(kNow), kNow, 0},
        {"past", Once(Plus(kNow, -1)), kNow, 0},
        {"recurring fields play no part", strayRecurringFields, kNow, kFuture},
    });
}

TEST(NextRun, ScheduleTypesOtherThanRecurringAndOnceHaveNoTimedRun)
{
    ScheduleFields schedule{true, 0, 1, 1, kFuture, kFuture};
    for (int type : {0, 1}) {
        schedule.type = type;
        ASSERT_EQ(CalcNextRunTimeAt(schedule, kNow), kFuture) << "type " << type;
    }
    for (int type : {2, -1, 100}) {
        schedule.type = type;
        EXPECT_EQ(CalcNextRunTimeAt(schedule, kNow), 0) << "type " << type;
    }
}

TEST(NextRun, FixedUnitsTakeTheFirstGridPointStrictlyAfterNow)
{
    const time32 base = Cet(2026, 2, 2, 8, 0);  // a Monday
    ExpectCases({
        {"hourly, 90 minutes after the base", Recurring(0, 1, Plus(kNow, -90 * 60)), kNow, Plus(kNow, 30 * 60)},
        {"every 2 weeks, 13 days on", Recurring(2, 2, base), Plus(base, 13 * kDay), Plus(base, 2 * kWeek)},
        {"every 2 weeks, same weekday a week on", Recurring(2, 2, base), Plus(base, kWeek), Plus(base, 2 * kWeek)},
        {"every 2 weeks, 17 days on", Recurring(2, 2, base), Plus(base, 17 * kDay + 3 * kHour),
         Plus(base, 4 * kWeek)},
        {"every 3 days", Recurring(1, 3, base), Plus(base, 7 * kDay + 5 * kHour), Plus(base, 9 * kDay)},
        {"every 5 hours", Recurring(0, 5, base), Plus(base, 11 * kHour), Plus(base, 15 * kHour)},
        {"one second before a grid point", Recurring(1, 1, base), Plus(base, 3 * kDay - 1), Plus(base, 3 * kDay)},
        {"hourly, exactly on the grid", Recurring(0, 1, base), Plus(base, 3 * kHour), Plus(base, 4 * kHour)},
        {"every 2 days, exactly on the grid", Recurring(1, 2, base), Plus(base, 4 * kDay), Plus(base, 6 * kDay)},
        {"weekly, exactly on the grid", Recurring(2, 1, base), Plus(base, 2 * kWeek), Plus(base, 3 * kWeek)},
        {"hourly at the base", Recurring(0, 1, base), base, Plus(base, kHour)},
        {"daily at the base", Recurring(1, 1, base), base, Plus(base, kDay)},
        {"every 2 weeks at the base", Recurring(2, 2, base), base, Plus(base, 2 * kWeek)},
        // Whole periods of seconds: across the change to summer time a daily
        // 10:00 run comes at 11:00 on the clock.
        {"daily across the March change", Recurring(1, 1, Cet(2026, 3, 1, 10)), Cest(2026, 3, 30, 9),
         Cest(2026, 3, 30, 11)},
    });
}

TEST(NextRun, BaseInTheFutureIsTheNextRunForEveryUnit)
{
    for (int unit = 0; unit <= 3; ++unit) {
        EXPECT_EQ(CalcNextRunTimeAt(Recurring(unit, 4, kFuture), kNow), kFuture) << "unit " << unit;
        EXPECT_EQ(CalcNextRunTimeAt(Recurring(unit, 1, Plus(kNow, 1)), kNow), Plus(kNow, 1)) << "unit " << unit;
    }
}

TEST(NextRun, MonthlyRunsOnTheBaseDayAndTime)
{
    const time32 jan31 = Cet(2026, 1, 31, 10);
    const time32 jan15 = Cet(2026, 1, 15, 10);
    const time32 leapDay = Cet(2028, 2, 29, 10);
    ExpectCases({
        {"at the base: the base itself", Monthly(jan31), jan31, jan31},
        {"on the base day and time of a later month: that moment", Monthly(jan15), Cet(2026, 3, 15, 10),
         Cet(2026, 3, 15, 10)},
        {"one second later: the next month", Monthly(jan15), Cet(2026, 3, 15, 10) + 1, Cet(2026, 4, 15, 10)},
        {"31 Jan on 10 Feb", Monthly(jan31), Cet(2026, 2, 10, 12), Cet(2026, 2, 28, 10)},
        // 31 March and 30 April are in summer time: 11:00 on the clock, see below.
        {"31 Jan on 1 Mar", Monthly(jan31), Cet(2026, 3, 1, 12), Cet(2026, 3, 31, 10)},
        {"31 Jan on 5 Apr", Monthly(jan31), Cest(2026, 4, 5, 12), Cet(2026, 4, 30, 10)},
        {"31 Jan after the 28 Feb run: 31 Mar", Monthly(jan31), Cet(2026, 2, 28, 10) + 1, Cet(2026, 3, 31, 10)},
        {"15 Jan on 20 Mar", Monthly(jan15), Cet(2026, 3, 20, 12), Cet(2026, 4, 15, 10)},
        {"15 Jan in December: January", Monthly(jan15), Cet(2026, 12, 20, 12), Cet(2027, 1, 15, 10)},
        {"31 Jan on 31 Dec noon: 31 Jan", Monthly(jan31), Cet(2026, 12, 31, 12), Cet(2027, 1, 31, 10)},
        {"every 3 months, in February: April", Monthly(jan15, 3), Cet(2026, 2, 20, 12), Cet(2026, 4, 15, 10)},
        {"every 3 months, on an April run: that run", Monthly(jan15, 3), Cet(2026, 4, 15, 10), Cet(2026, 4, 15, 10)},
        {"every 3 months, after the April run: July", Monthly(jan15, 3), Cet(2026, 4, 15, 10) + 1,
         Cet(2026, 7, 15, 10)},
        {"every 3 months, in December: January", Monthly(jan15, 3), Cet(2026, 12, 20, 12), Cet(2027, 1, 15, 10)},
        {"every 12 months across years", Monthly(jan31, 12), Cet(2027, 3, 1, 12), Cet(2028, 1, 31, 10)},
        {"every 2 months from the 31st: 31 March", Monthly(jan31, 2), Cet(2026, 2, 10, 12), Cet(2026, 3, 31, 10)},
        {"every 1000 months: past 2037, never", Monthly(jan15, 1000), Cet(2026, 2, 20, 12), 0},
        {"RunEveryNumber 0: never", Monthly(jan15, 0), Cet(2026, 2, 20, 12), 0},
        {"RunEveryNumber -2: never", Monthly(jan15, -2), Cet(2026, 2, 20, 12), 0},
        {"29 Feb 2028 in February 2029", Monthly(leapDay), Cet(2029, 2, 10, 12), Cet(2029, 2, 28, 10)},
        {"29 Feb 2028 in leap February 2032", Monthly(leapDay), Cet(2032, 2, 1, 12), Cet(2032, 2, 28, 10)},
        {"29 Feb 2028 in March 2029", Monthly(leapDay), Cet(2029, 3, 5, 12), Cet(2029, 3, 29, 10)},
    });
}

TEST(NextRun, MonthlyFromThe31stClampsToEveryShorterMonth)
{
    const int lastRunDay[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    for (int month = 2; month <= 12; ++month) {
        EXPECT_EQ(CalcNextRunTimeAt(Monthly(Cet(2026, 1, 31, 10)), Utc(2026, month, 5, 12)),
                  Cet(2026, month, lastRunDay[month - 1], 10))
            << "month " << month;
    }
}

TEST(NextRun, MonthlyKeepsTheDaylightSavingOffsetOfTheBase)
{
    ExpectCases({
        {"summer base, winter run: 09:00 on the clock", Monthly(Cest(2026, 7, 15, 10)), Cet(2026, 11, 20, 12),
         Cest(2026, 12, 15, 10)},
        {"winter base, summer run: 11:00 on the clock", Monthly(Cet(2026, 1, 15, 10)), Cest(2026, 6, 20, 12),
         Cet(2026, 7, 15, 10)},
        {"summer base, summer run", Monthly(Cest(2026, 7, 15, 10)), Cest(2026, 8, 20, 12), Cest(2026, 9, 15, 10)},
        {"winter base, winter run", Monthly(Cet(2026, 1, 15, 10)), Cet(2026, 11, 20, 12), Cet(2026, 12, 15, 10)},
    });
}

TEST(NextRun, MonthlyNeverGivesATimeThatIsNotLaterThanNowAndGoesOn)
{
    // From 1 July 00:30 summer time, the November run is 1 November 00:30
    // read with the summer offset: 31 October 23:30 on the clock, still in
    // October. Just after it, October's and November's dates have both
    // passed: the December run comes next.
    const ScheduleFields schedule = Monthly(Cest(2026, 7, 1, 0, 30));
    const time32 novemberRun = Cest(2026, 11, 1, 0, 30);
    const time32 decemberRun = Cest(2026, 12, 1, 0, 30);
    EXPECT_EQ(CalcNextRunTimeAt(schedule, novemberRun - 1), novemberRun);
    EXPECT_EQ(CalcNextRunTimeAt(schedule, novemberRun + 1), decemberRun);
    EXPECT_EQ(CalcNextRunTimeAt(schedule, decemberRun + 1), Cest(2027, 1, 1, 0, 30));
}

TEST(NextRun, PeriodOfZeroOrLessOrUnknownUnitHasNoTimedRun)
{
    const time32 past = Plus(kNow, -90 * 60);
    for (time32 base : {past, kFuture}) {
        for (int unit = 0; unit <= 2; ++unit) {
            ASSERT_NE(CalcNextRunTimeAt(Recurring(unit, 1, base), kNow), 0) << unit;
            for (int number : {0, -1, INT_MIN})
                EXPECT_EQ(CalcNextRunTimeAt(Recurring(unit, number, base), kNow), 0) << unit << " " << number;
        }
        for (int unit : {4, -1, 100}) EXPECT_EQ(CalcNextRunTimeAt(Recurring(unit, 1, base), kNow), 0) << unit;
    }
}

TEST(NextRun, ResultsBeyond2038HaveNoTimedRun)
{
    const time32 base2038 = Utc(2038, 1, 1, 0);
    const time32 base1973 = 100000000;
    const std::int64_t longPeriod = 3000 * kWeek;  // fits in 32 bits, twice it does not
    ExpectCases({
        {"weekly, last point before the end", Recurring(2, 1, base2038), Utc(2038, 1, 14, 0), Utc(2038, 1, 15, 0)},
        {"weekly, next point after the end", Recurring(2, 1, base2038), Utc(2038, 1, 16, 0), 0},
        {"hourly, ending on the last second", Recurring(0, 1, INT32_MAX - 7200), INT32_MAX - 1, INT32_MAX},
        {"hourly, one past the last second", Recurring(0, 1, INT32_MAX - 7200), INT32_MAX, 0},
        {"period beyond the end", Recurring(0, INT_MAX, kPast), Plus(kPast, 10), 0},
        {"3000 weeks, first period", Recurring(2, 3000, base1973), base1973 + 1, Plus(base1973, longPeriod)},
        {"3000 weeks, second period", Recurring(2, 3000, base1973), Plus(base1973, longPeriod + 1), 0},
        {"monthly, last month before the end", Monthly(Cet(2037, 12, 18, 10)), Cet(2038, 1, 10, 12),
         Cet(2038, 1, 18, 10)},
        {"monthly, next month after the end", Monthly(Cet(2037, 12, 18, 10)), Cet(2038, 1, 19, 0), 0},
        {"monthly, this month after the end", Monthly(Cet(2037, 12, 25, 10)), Cet(2038, 1, 19, 0), 0},
    });
}

TEST(NextRun, ATaskRecordKeepsItsScheduleAsTheValueTheArithmeticReads)
{
    CTaskConfig task;
    EXPECT_FALSE(task.Schedule.enabled);  // a record starts without timed runs
    EXPECT_EQ(CalcNextRunTimeAt(task.Schedule, kNow), 0);
    task.Schedule.enabled = true;
    task.Schedule.type = 1;
    task.Schedule.runOnce = kFuture;
    EXPECT_EQ(CalcNextRunTimeAt(task.Schedule, kNow), kFuture);
    task.Schedule.type = 0;
    task.Schedule.unit = 1;
    task.Schedule.number = 7;
    task.Schedule.base = kFuture;
    EXPECT_EQ(CalcNextRunTimeAt(task.Schedule, kNow), kFuture);
}

TEST(NextRun, CalcNextRunTimeReadsTheClock)
{
    const time32 start = static_cast<time32>(std::time(nullptr));
    CTaskConfig task;
    task.Schedule.enabled = true;
    task.Schedule.type = 1;
    task.Schedule.runOnce = Plus(start, kHour);
    EXPECT_EQ(CalcNextRunTime(task), Plus(start, kHour));
    task.Schedule.runOnce = Plus(start, -1);
    EXPECT_EQ(CalcNextRunTime(task), 0);

    // Hourly from 90 minutes ago: 30 minutes from now, for as long as the test runs.
    task.Schedule.type = 0;
    task.Schedule.unit = 0;
    task.Schedule.number = 1;
    task.Schedule.base = Plus(start, -90 * 60);
    EXPECT_EQ(CalcNextRunTime(task), Plus(start, 30 * 60));
    EXPECT_EQ(CalcNextRunTime(task.Schedule), Plus(start, 30 * 60));
}

TEST(SchedulerWake, TheEarliestRunIgnoresTasksWithoutOneAndWaitsAreHeldToADay)
{
    EXPECT_EQ(EarlierRun(0, 0), 0);
    EXPECT_EQ(EarlierRun(0, 500), 500);
    EXPECT_EQ(EarlierRun(500, 0), 500);
    EXPECT_EQ(EarlierRun(500, 400), 400);
    EXPECT_EQ(EarlierRun(400, 500), 400);

    EXPECT_EQ(MillisecondsUntil(1000, 999), 0u);
    EXPECT_EQ(MillisecondsUntil(1000, 1000), 0u);
    EXPECT_EQ(MillisecondsUntil(1000, 1003), 3000u);
    EXPECT_EQ(MillisecondsUntil(0, 0x7FFFFFFF), 86400000u);
    EXPECT_EQ(MillisecondsUntil(0x7FFFFFFF, -5), 0u);
}

TEST(SchedulerWake, TheRunTimerFiresOnceAtItsInstantAndNotWhenCleared)
{
    CRunTimer timer;
    ASSERT_TRUE(timer.Create());
    EXPECT_FALSE(timer.Armed());
    const time32 now = static_cast<time32>(std::time(nullptr));
    timer.SetFor(now + 1);
    ASSERT_TRUE(timer.Armed());
    const DWORD start = ::GetTickCount();
    ASSERT_EQ(::WaitForSingleObject(timer.Handle(), 5000), WAIT_OBJECT_0);
    EXPECT_LE(::GetTickCount() - start, 2500u);
    // Taken by the wait it ended: it does not wake the thread again.
    EXPECT_EQ(::WaitForSingleObject(timer.Handle(), 200), static_cast<DWORD>(WAIT_TIMEOUT));

    // An instant already past fires at once.
    timer.SetFor(now - 10);
    EXPECT_EQ(::WaitForSingleObject(timer.Handle(), 1000), WAIT_OBJECT_0);

    // Cleared before its instant, it stays quiet.
    timer.SetFor(static_cast<time32>(std::time(nullptr)) + 2);
    timer.SetFor(0);
    EXPECT_FALSE(timer.Armed());
    EXPECT_EQ(::WaitForSingleObject(timer.Handle(), 2500), static_cast<DWORD>(WAIT_TIMEOUT));
}
