#include "common/timeutil.h"

#include "common/error.h"

#include <ctime>
#include <map>
#include <mutex>

namespace {

const std::uint64_t kUnixEpochAsFileTime = 116444736000000000ULL;
const std::int64_t kTicksPerSecond = 10000000;

// Days since 1970-01-01 of a proleptic Gregorian date; month may be any
// value already folded into 1-12, day may overflow or underflow freely.
std::int64_t DaysFromCivil(std::int64_t year, int month, std::int64_t day)
{
    year -= month <= 2;
    const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
    const std::int64_t yearOfEra = year - era * 400;
    const std::int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const std::int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

std::int64_t FloorDiv(std::int64_t value, std::int64_t divisor)
{
    return value >= 0 ? value / divisor : -((divisor - 1 - value) / divisor);
}

// Seconds since 1970 of the wall-clock fields read as if they were UTC.
std::int64_t NaiveSeconds(const LocalTime& local)
{
    const std::int64_t month0 = local.month - 1;
    const std::int64_t yearCarry = FloorDiv(month0, 12);
    const int month = static_cast<int>(month0 - yearCarry * 12) + 1;
    const std::int64_t days = DaysFromCivil(local.year + yearCarry, month, local.day);
    return days * 86400 + std::int64_t(local.hour) * 3600 + std::int64_t(local.minute) * 60 + local.second;
}

bool SecondsToFileTime(std::int64_t seconds, FILETIME* fileTime)
{
    if (seconds < 0) return false;
    const std::uint64_t ticks = kUnixEpochAsFileTime + std::uint64_t(seconds) * kTicksPerSecond;
    fileTime->dwLowDateTime = static_cast<DWORD>(ticks & 0xFFFFFFFFu);
    fileTime->dwHighDateTime = static_cast<DWORD>(ticks >> 32);
    return true;
}

// The zone's rules for a year. Asking Windows costs registry reads (under
// Wine about half a millisecond), and every task file, schedule and session
// time converts several times: the answer is kept a few seconds, so that a
// change of the time zone still shows almost at once.
bool ZoneForYear(USHORT year, TIME_ZONE_INFORMATION* zone)
{
    struct Kept {
        TIME_ZONE_INFORMATION zone;
        ULONGLONG takenAt;
    };
    const ULONGLONG kKeepMs = 5000;
    static std::mutex lock;
    static std::map<USHORT, Kept> kept;

    const ULONGLONG now = ::GetTickCount64();
    {
        std::lock_guard<std::mutex> guard(lock);
        const auto found = kept.find(year);
        if (found != kept.end() && now - found->second.takenAt < kKeepMs) {
            *zone = found->second.zone;
            return true;
        }
    }
    if (!::GetTimeZoneInformationForYear(year, nullptr, zone)) return false;
    std::lock_guard<std::mutex> guard(lock);
    if (kept.size() > 64) kept.clear();  // a few years are ever asked for
    kept[year] = Kept{*zone, now};
    return true;
}

bool ToLocalSystemTime(time32 t, SYSTEMTIME* localTime, LONG* utcMinusLocalMinutes)
{
    FILETIME utcFileTime;
    SYSTEMTIME utc;
    if (!SecondsToFileTime(t, &utcFileTime) || !::FileTimeToSystemTime(&utcFileTime, &utc)) return false;

    TIME_ZONE_INFORMATION zone;
    if (!ZoneForYear(utc.wYear, &zone)) return false;
    if (!::SystemTimeToTzSpecificLocalTime(&zone, &utc, localTime)) return false;

    FILETIME localFileTime;
    if (!::SystemTimeToFileTime(localTime, &localFileTime)) return false;
    const std::int64_t utcTicks = (std::int64_t(utcFileTime.dwHighDateTime) << 32) | utcFileTime.dwLowDateTime;
    const std::int64_t localTicks = (std::int64_t(localFileTime.dwHighDateTime) << 32) | localFileTime.dwLowDateTime;
    *utcMinusLocalMinutes = static_cast<LONG>((utcTicks - localTicks) / (kTicksPerSecond * 60));
    return true;
}

}  // namespace

bool TimeToLocal(time32 t, LocalTime* local)
{
    SYSTEMTIME st;
    LONG offsetMinutes = 0;
    if (!ToLocalSystemTime(t, &st, &offsetMinutes)) return false;

    *local = LocalTime{st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond};

    TIME_ZONE_INFORMATION zone;
    local->daylight = false;
    if (ZoneForYear(st.wYear, &zone) && zone.DaylightDate.wMonth != 0 &&
        zone.DaylightBias != zone.StandardBias) {
        local->daylight = offsetMinutes == zone.Bias + zone.DaylightBias;
    }
    return true;
}

bool LocalToTime(const LocalTime& local, DaylightHint hint, time32* t)
{
    const std::int64_t naive = NaiveSeconds(local);

    // The zone's rules of the year the wall-clock date falls in.
    const std::int64_t naiveDays = FloorDiv(naive, 86400);
    std::int64_t year = 1970 + naiveDays / 365;  // first guess, corrected below
    while (DaysFromCivil(year, 1, 1) > naiveDays) --year;
    while (DaysFromCivil(year + 1, 1, 1) <= naiveDays) ++year;
    if (year < 1601 || year > 30827) return false;

    TIME_ZONE_INFORMATION zone;
    if (!ZoneForYear(static_cast<USHORT>(year), &zone)) return false;
    const bool zoneHasDaylight = zone.DaylightDate.wMonth != 0;
    const std::int64_t standardUtc = naive + std::int64_t(zone.Bias + zone.StandardBias) * 60;
    const std::int64_t daylightUtc =
        naive + std::int64_t(zone.Bias + (zoneHasDaylight ? zone.DaylightBias : zone.StandardBias)) * 60;

    std::int64_t result;
    if (hint == DaylightHint::Standard) {
        result = standardUtc;
    } else if (hint == DaylightHint::Daylight) {
        result = daylightUtc;
    } else {
        // A candidate is right when it reads back as the same wall-clock time.
        auto readsBack = [&](std::int64_t candidate) {
            if (candidate < 0 || candidate > INT32_MAX) return false;
            LocalTime check;
            return TimeToLocal(static_cast<time32>(candidate), &check) && NaiveSeconds(check) == naive;
        };
        if (readsBack(daylightUtc)) result = daylightUtc;        // also the first pass of a repeated hour
        else if (readsBack(standardUtc)) result = standardUtc;
        else result = standardUtc;                               // a skipped hour: read on standard time
    }

    if (result < 0 || result > INT32_MAX) return false;
    *t = static_cast<time32>(result);
    return true;
}

time32 GetLocalNow()
{
    const std::time_t now = std::time(nullptr);
    const time32 now32 = static_cast<time32>(now);
    LocalTime local;
    time32 roundTrip;
    if (TimeToLocal(now32, &local) &&
        LocalToTime(local, local.daylight ? DaylightHint::Daylight : DaylightHint::Standard, &roundTrip)) {
        return roundTrip;
    }
    return now32;
}

bool FileTimeToTime(const FILETIME& fileTime, time32* t)
{
    const std::uint64_t ticks = (std::uint64_t(fileTime.dwHighDateTime) << 32) | fileTime.dwLowDateTime;
    if (ticks < kUnixEpochAsFileTime) return false;
    const std::uint64_t seconds = (ticks - kUnixEpochAsFileTime) / kTicksPerSecond;
    if (seconds >= (std::uint64_t(1) << 32)) return false;
    *t = static_cast<time32>(static_cast<std::uint32_t>(seconds));
    return true;
}

long long FileTimeToSeconds(const FILETIME& fileTime)
{
    const std::uint64_t ticks = (std::uint64_t(fileTime.dwHighDateTime) << 32) | fileTime.dwLowDateTime;
    // Whole seconds, rounded down on both sides of 1970.
    const long long sinceEpoch = static_cast<long long>(ticks / kTicksPerSecond) -
                                 static_cast<long long>(kUnixEpochAsFileTime / kTicksPerSecond);
    return sinceEpoch;
}

bool TimeToLocalSystemTime(time32 t, SYSTEMTIME* local)
{
    LONG offsetMinutes = 0;
    return ToLocalSystemTime(t, local, &offsetMinutes);
}

std::string FormatDateTime(time32 t)
{
    SYSTEMTIME local;
    LONG offsetMinutes = 0;
    if (!ToLocalSystemTime(t, &local, &offsetMinutes)) throw CError("Date formating error");

    char date[128];
    if (::GetDateFormatA(LOCALE_USER_DEFAULT, 0, &local, nullptr, date, sizeof date) == 0)
        throw CError("Date formating error");
    char time[128];
    if (::GetTimeFormatA(LOCALE_USER_DEFAULT, 0, &local, nullptr, time, sizeof time) == 0)
        throw CError("Time formating error");
    return std::string(date) + " " + time;
}
