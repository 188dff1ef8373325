#pragma once
// Times are 32-bit seconds since 1 January 1970 UTC, in memory and in binary
// files. Local wall-clock conversions go through the Windows time zone rules
// (never the C runtime's TZ variable, which may not name a Windows zone).
#include <windows.h>
#include <cstdint>
#include <string>

using time32 = std::int32_t;

// Local broken-down time. month 1-12, day 1-31, hour 0-23.
struct LocalTime {
    int year = 1970;
    int month = 1;
    int day = 1;
    int hour = 0;
    int minute = 0;
    int second = 0;
    bool daylight = false;  // daylight saving time was in force
};

enum class DaylightHint { Auto, Standard, Daylight };

// The local time of t; false when t cannot be converted.
bool TimeToLocal(time32 t, LocalTime* local);
// The same as the system's structure, as date and time controls take it.
bool TimeToLocalSystemTime(time32 t, SYSTEMTIME* local);

// The instant of a local time, normalising out-of-range fields (month 13 is
// January of the next year, day 32 the first of the next month, ...).
// With DaylightHint::Auto the zone's rules decide; in the hour that is
// repeated at the end of daylight saving the first (daylight) pass is taken.
// An explicit hint applies that offset whatever the date. False when the
// result lies outside 1970 to January 2038.
bool LocalToTime(const LocalTime& local, DaylightHint hint, time32* t);

// The current time, taken through local broken-down time and back.
time32 GetLocalNow();

// FILETIME (100 ns since 1601) to seconds since 1970. Fails before 1970 and
// at 2^32 seconds or more; results from 2^31 up keep their low 32 bits.
bool FileTimeToTime(const FILETIME& fileTime, time32* t);
// FILETIME to seconds since 1970 in 64 bits, for every time a file can
// carry: negative before 1970, past 2038 as it is (never wrapped).
long long FileTimeToSeconds(const FILETIME& fileTime);

inline bool SameFileTime(const FILETIME& a, const FILETIME& b)
{
    return a.dwLowDateTime == b.dwLowDateTime && a.dwHighDateTime == b.dwHighDateTime;
}

// The user's short date, one blank, the user's time. Raises CError
// "Date formating error" or "Time formating error".
std::string FormatDateTime(time32 t);
