// DOS date and time: rounding of odd seconds, the 1980 floor and the 2107
// ceiling, round trips through the platform's local time, normalising of
// out-of-range fields.
#include "format/dos_time.h"

#include <gtest/gtest.h>

namespace tovra::format {
namespace {

int64_t LocalSeconds(int year, int month, int day, int hour, int minute, int second) {
    platform::CalendarTime t;
    t.year = year, t.month = month, t.day = day, t.hour = hour, t.minute = minute, t.second = second;
    int64_t seconds = 0;
    EXPECT_TRUE(platform::FromLocalTime(t, &seconds));
    return seconds;
}

uint32_t Dos(int year, int month, int day, int hour, int minute, int second) {
    platform::CalendarTime t;
    t.year = year, t.month = month, t.day = day, t.hour = hour, t.minute = minute, t.second = second;
    return PackDosTime(t);
}

TEST(DosTime, OddSecondsRoundUpEvenStay) {
    EXPECT_EQ(UnixToDosTime(LocalSeconds(2021, 6, 15, 12, 0, 1)), Dos(2021, 6, 15, 12, 0, 2));
    EXPECT_EQ(UnixToDosTime(LocalSeconds(2021, 6, 15, 12, 0, 2)), Dos(2021, 6, 15, 12, 0, 2));
    // 23:59:59 on New Year's Eve rounds into the next year.
    EXPECT_EQ(UnixToDosTime(LocalSeconds(2020, 12, 31, 23, 59, 59)), Dos(2021, 1, 1, 0, 0, 0));
}

TEST(DosTime, FloorAndCeiling) {
    EXPECT_EQ(UnixToDosTime(LocalSeconds(1975, 3, 1, 8, 30, 0)), kDosTimeMinimum);
    EXPECT_EQ(UnixToDosTime(0), kDosTimeMinimum);
    EXPECT_EQ(UnixToDosTime(-86400LL * 365 * 100), kDosTimeMinimum);
    EXPECT_EQ(UnixToDosTime(LocalSeconds(1980, 1, 1, 0, 0, 0)), 0x00210000u);
    EXPECT_EQ(kDosTimeMinimum, Dos(1980, 1, 1, 0, 0, 0));
    EXPECT_EQ(DosDatePart(kDosTimeMinimum), 0x0021);
    EXPECT_EQ(DosTimePart(kDosTimeMinimum), 0);
    // The last valid date, and later times held there instead of wrapping to 1980.
    EXPECT_EQ(UnixToDosTime(LocalSeconds(2107, 12, 31, 23, 59, 58)), kDosTimeMaximum);
    EXPECT_EQ(kDosTimeMaximum, Dos(2107, 12, 31, 23, 59, 58));
    EXPECT_EQ(UnixToDosTime(LocalSeconds(2107, 12, 31, 23, 59, 59)), kDosTimeMaximum);
    EXPECT_EQ(UnixToDosTime(LocalSeconds(2150, 7, 1, 0, 0, 0)), kDosTimeMaximum);
    EXPECT_EQ(UnixToDosTime(INT64_MAX), kDosTimeMaximum);
    EXPECT_EQ(UnixToDosTime(INT64_MIN), kDosTimeMinimum);
}

TEST(DosTime, RoundTrips) {
    const uint32_t dates[] = {Dos(1980, 1, 1, 0, 0, 0), Dos(1999, 12, 31, 23, 59, 58), Dos(2000, 2, 29, 12, 34, 56),
                              Dos(2024, 7, 4, 6, 7, 8), Dos(2107, 12, 31, 23, 59, 58)};
    for (uint32_t dos : dates) {
        int64_t seconds = 0;
        ASSERT_TRUE(DosTimeToUnix(dos, &seconds)) << std::hex << dos;
        EXPECT_EQ(UnixToDosTime(seconds), dos) << std::hex << dos;
        EXPECT_EQ(PackDosTime(UnpackDosTime(dos)), dos);
    }
    int64_t seconds = 0;
    ASSERT_TRUE(DosTimeToUnix(Dos(2000, 2, 29, 12, 34, 56), &seconds));
    EXPECT_EQ(seconds, LocalSeconds(2000, 2, 29, 12, 34, 56));
}

// Fields a valid date never holds are normalised by the local-time conversion.
TEST(DosTime, OutOfRangeFieldsNormalise) {
    int64_t seconds = 0;
    // Seconds field 30 (= 60 s) is the next minute; month 13 is January of the next year.
    ASSERT_TRUE(DosTimeToUnix(Dos(2010, 5, 5, 10, 20, 0) | 30, &seconds));
    EXPECT_EQ(seconds, LocalSeconds(2010, 5, 5, 10, 21, 0));
    ASSERT_TRUE(DosTimeToUnix(Dos(2010, 13, 5, 10, 20, 0), &seconds));
    EXPECT_EQ(seconds, LocalSeconds(2011, 1, 5, 10, 20, 0));
    // Day 0 is the last day of the previous month.
    ASSERT_TRUE(DosTimeToUnix(Dos(2010, 3, 0, 0, 0, 0), &seconds));
    EXPECT_EQ(seconds, LocalSeconds(2010, 2, 28, 0, 0, 0));
}

}  // namespace
}  // namespace tovra::format
