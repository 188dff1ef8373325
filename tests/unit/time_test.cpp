#include "common/timeutil.h"

#include "common/error.h"

#include <gtest/gtest.h>

namespace {

FILETIME MakeFileTime(unsigned long long ticks)
{
    FILETIME ft;
    ft.dwLowDateTime = static_cast<DWORD>(ticks & 0xFFFFFFFFu);
    ft.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
    return ft;
}

const unsigned long long kEpoch = 116444736000000000ULL;

}  // namespace

TEST(FileTimeToTime, StartsAtTheUnixEpochAndTruncates)
{
    time32 t = -1;
    EXPECT_TRUE(FileTimeToTime(MakeFileTime(kEpoch), &t));
    EXPECT_EQ(t, 0);
    EXPECT_FALSE(FileTimeToTime(MakeFileTime(kEpoch - 1), &t));
    EXPECT_TRUE(FileTimeToTime(MakeFileTime(kEpoch + 19999999), &t));
    EXPECT_EQ(t, 1);
}

TEST(FileTimeToTime, KeepsTheLow32BitsUpTo2Pow32Seconds)
{
    time32 t = 0;
    EXPECT_TRUE(FileTimeToTime(MakeFileTime(kEpoch + 0x7FFFFFFFULL * 10000000), &t));
    EXPECT_EQ(t, 0x7FFFFFFF);
    EXPECT_TRUE(FileTimeToTime(MakeFileTime(kEpoch + 0x80000000ULL * 10000000), &t));
    EXPECT_EQ(static_cast<std::uint32_t>(t), 0x80000000u);
    EXPECT_FALSE(FileTimeToTime(MakeFileTime(kEpoch + 0x100000000ULL * 10000000), &t));
}

TEST(LocalTime, EveryHourOfAYearReadsBackAsTheSameInstantOrItsRepeatedHourTwin)
{
    // 2026-01-01 00:00 UTC onwards, hour by hour, in whatever zone the test runs.
    const time32 start = 1767225600;
    for (time32 t = start; t < start + 366 * 86400; t += 3600) {
        LocalTime local;
        ASSERT_TRUE(TimeToLocal(t, &local)) << t;
        time32 back = 0;
        ASSERT_TRUE(LocalToTime(local, DaylightHint::Auto, &back)) << t;
        if (back != t) {
            // Only the second pass through a repeated hour may differ: it reads
            // back as the first pass, one daylight-saving offset earlier.
            LocalTime again;
            ASSERT_TRUE(TimeToLocal(back, &again));
            EXPECT_EQ(again.hour, local.hour) << t;
            EXPECT_LT(back, t) << t;
            EXPECT_LE(t - back, 7200) << t;
        }
    }
}

TEST(LocalTime, NormalisesFieldsOutOfRange)
{
    LocalTime january31;
    january31.year = 2026;
    january31.month = 1;
    january31.day = 31;
    january31.hour = 12;
    LocalTime february31 = january31;
    february31.month = 2;  // 31 February is 3 March
    LocalTime march3 = january31;
    march3.month = 3;
    march3.day = 3;
    time32 a = 0;
    time32 b = 0;
    ASSERT_TRUE(LocalToTime(february31, DaylightHint::Auto, &a));
    ASSERT_TRUE(LocalToTime(march3, DaylightHint::Auto, &b));
    EXPECT_EQ(a, b);

    LocalTime month13 = january31;
    month13.year = 2025;
    month13.month = 13;
    ASSERT_TRUE(LocalToTime(month13, DaylightHint::Auto, &a));
    ASSERT_TRUE(LocalToTime(january31, DaylightHint::Auto, &b));
    EXPECT_EQ(a, b);
}

TEST(LocalTime, YearsOutside1970To2038AreRefused)
{
    LocalTime local;
    local.year = 2040;
    time32 t = 0;
    EXPECT_FALSE(LocalToTime(local, DaylightHint::Auto, &t));
    local.year = 1969;
    local.month = 6;
    EXPECT_FALSE(LocalToTime(local, DaylightHint::Auto, &t));
    local.year = 2037;
    local.month = 12;
    local.day = 31;
    EXPECT_TRUE(LocalToTime(local, DaylightHint::Auto, &t));
}

TEST(LocalTime, NowRoundTripsThroughLocalTime)
{
    const time32 before = static_cast<time32>(std::time(nullptr));
    const time32 now = GetLocalNow();
    const time32 after = static_cast<time32>(std::time(nullptr));
    // Equal to the clock except inside a repeated hour, where it is the first pass.
    EXPECT_LE(now, after);
    EXPECT_GE(now, before - 3600);
}

TEST(FormatDateTime, JoinsTheUserDateAndTimeWithOneBlank)
{
    const std::string text = FormatDateTime(1767268800);  // 2026-01-01 12:00 UTC
    EXPECT_NE(text.find("2026"), std::string::npos) << text;
    EXPECT_NE(text.find(' '), std::string::npos) << text;
    EXPECT_NE(text.find(':'), std::string::npos) << text;
    EXPECT_THROW(FormatDateTime(-5), CError);
}
