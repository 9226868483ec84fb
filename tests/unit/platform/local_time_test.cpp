// Tests of local calendar time conversion: round trips, daylight saving and
// the normalisation of out-of-range fields (as packed DOS dates can hold).
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

#include "platform/platform.h"

namespace tovra::platform {
namespace {

#ifndef _WIN32
// Puts a POSIX TZ rule in force for one test.
class ScopedTimeZone {
public:
    explicit ScopedTimeZone(const char* rule) {
        if (const char* old = std::getenv("TZ")) saved_ = old;
        setenv("TZ", rule, 1);
        tzset();
    }
    ~ScopedTimeZone() {
        if (saved_)
            setenv("TZ", saved_->c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }

private:
    std::optional<std::string> saved_;
};

// Central Europe: UTC+1, daylight saving UTC+2 from the last Sunday of March
// 02:00 to the last Sunday of October 03:00.
constexpr char kCentralEurope[] = "CET-1CEST,M3.5.0,M10.5.0/3";
#endif

int64_t FromLocal(int year, int month, int day, int hour, int minute, int second) {
    CalendarTime local;
    local.year = year, local.month = month, local.day = day;
    local.hour = hour, local.minute = minute, local.second = second;
    int64_t seconds = 0;
    EXPECT_TRUE(FromLocalTime(local, &seconds));
    return seconds;
}

TEST(LocalTimeTest, RoundTripsThroughTheLocalZone) {
    // Every full hour across two years passes through both conversions unchanged.
    for (int64_t t = 1'600'000'000; t < 1'600'000'000 + 2 * 366 * 86'400; t += 3'600 + 2) {
        CalendarTime local;
        ASSERT_TRUE(ToLocalTime(t, &local));
        int64_t back = 0;
        ASSERT_TRUE(FromLocalTime(local, &back));
        // The repeated hour at the end of daylight saving may map to either instance.
        EXPECT_TRUE(back == t || back == t - 3'600 || back == t + 3'600) << t;
    }
}

#ifndef _WIN32
TEST(LocalTimeTest, DaylightSavingIsDecidedByTheZone) {
    ScopedTimeZone zone(kCentralEurope);
    CalendarTime local;
    ASSERT_TRUE(ToLocalTime(1'625'140'800, &local));  // 2021-07-01 12:00:00 UTC
    EXPECT_EQ(local.year, 2021);
    EXPECT_EQ(local.month, 7);
    EXPECT_EQ(local.day, 1);
    EXPECT_EQ(local.hour, 14);
    ASSERT_TRUE(ToLocalTime(1'609'502'400, &local));  // 2021-01-01 12:00:00 UTC
    EXPECT_EQ(local.hour, 13);
    EXPECT_EQ(FromLocal(2021, 7, 1, 14, 0, 0), 1'625'140'800);
    EXPECT_EQ(FromLocal(1980, 1, 1, 0, 0, 0), 315'529'200);  // the first DOS date
}

#endif

TEST(LocalTimeTest, OutOfRangeFieldsAreNormalised) {
#ifndef _WIN32
    ScopedTimeZone zone("JST-9");
#endif
    // None of these dates is near a daylight saving change in any zone.
    EXPECT_EQ(FromLocal(2020, 13, 1, 0, 0, 0), FromLocal(2021, 1, 1, 0, 0, 0));
    EXPECT_EQ(FromLocal(2021, 2, 30, 0, 0, 0), FromLocal(2021, 3, 2, 0, 0, 0));
    EXPECT_EQ(FromLocal(2021, 1, 0, 0, 0, 0), FromLocal(2020, 12, 31, 0, 0, 0));
    EXPECT_EQ(FromLocal(2021, 5, 5, 24, 60, 62), FromLocal(2021, 5, 6, 1, 1, 2));
    EXPECT_EQ(FromLocal(2021, 5, 6, 1, 1, 2) - FromLocal(2021, 5, 6, 0, 0, 0), 3'662);
    // The largest values five- and six-bit DOS fields can hold.
    EXPECT_EQ(FromLocal(2107, 15, 31, 31, 63, 62), FromLocal(2108, 4, 1, 8, 4, 2));
#ifndef _WIN32
    CalendarTime local;
    ASSERT_TRUE(ToLocalTime(0, &local));
    EXPECT_EQ(local.year, 1970);
    EXPECT_EQ(local.hour, 9);
#endif
}

}  // namespace
}  // namespace tovra::platform
