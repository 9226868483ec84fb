// Tests of the dialogs' computed texts: the size rule at each of its edges,
// the time-and-size line (also for a time that cannot be converted), the bar
// percentage, the counter, '\' for '/' by whole characters and the steps of
// the move's progress routine.
#include "ui/dialog_texts.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "support/code_page.h"

namespace tovra::ui {
namespace {

constexpr const char* kBytes = " \xE3\x83\x90\xE3\x82\xA4\xE3\x83\x88";  // " バイト"

TEST(DialogTextsTest, SizeRule) {
    const struct {
        uint64_t size;
        std::string text;
    } cases[] = {
        {0, std::string("0") + kBytes},
        {999, std::string("999") + kBytes},
        {123456, std::string("123,456") + kBytes},
        {999999, std::string("999,999") + kBytes},
        {1000000, "976KB"},
        {1048576, "1,024KB"},
        {1048577, "1.00MB"},
        {1572864, "1.50MB"},
        {52428800, "50.0MB"},
        {104857599, "99.9MB"},
        {104857600, "100MB"},
        {1073741824, "1,024MB"},
        {UINT64_MAX, "17,592,186,044,415MB"},
    };
    for (const auto& c : cases) EXPECT_EQ(SizeText(c.size), c.text) << c.size;
}

TEST(DialogTextsTest, TimeAndSizeLine) {
    const platform::CalendarTime time{2007, 3, 5, 14, 7, 8};
    EXPECT_EQ(TimeAndSizeLine(&time, 123456), std::string(" 2007-03-05  14:07:08   123,456") + kBytes);
    // A time that could not be converted still gives a line with the size.
    EXPECT_EQ(TimeAndSizeLine(nullptr, 1048576), " \?\?\?\?-\?\?-\?\?  \?\?:\?\?:\?\?   1,024KB");
}

TEST(DialogTextsTest, ProgressPercent) {
    const struct {
        uint64_t done, total;
        int percent;
    } cases[] = {
        {1, 3, 33},  {2, 3, 67},  {0, 3, 0},
        {3, 3, 100}, {5, 0, 0},   {7, 3, 100},
        {1, 200, 1}, {1, 201, 0}, {UINT64_MAX / 2, UINT64_MAX, 50},
    };
    for (const auto& c : cases) EXPECT_EQ(ProgressPercent(c.done, c.total), c.percent) << c.done << "/" << c.total;
}

TEST(DialogTextsTest, CounterKeepsItsWidthsAndLargeSizes) {
    EXPECT_EQ(CounterText(0, 0), "      0/       0");
    EXPECT_EQ(CounterText(12, 345), "     12/     345");
    // Past 2 GiB the counter stays positive.
    EXPECT_EQ(CounterText(3000000000u, 5000000000u), "3000000000/5000000000");
}

TEST(DialogTextsTest, BackslashesStepWholeCharacters) {
    test::ScopedCodePage codePage(932);
    EXPECT_EQ(WithBackslashes("dir/sub/file.txt"), "dir\\sub\\file.txt");
    // 0x83 0x2F is one Shift JIS character whose second byte is '/'.
    EXPECT_EQ(WithBackslashes("a\x83/b/c"), "a\x83/b\\c");
    EXPECT_EQ(WithBackslashes(""), "");
}

TEST(DialogTextsTest, MoveThresholdSteps) {
    int threshold = 4;
    EXPECT_FALSE(AdvanceMoveThreshold(4, &threshold));
    EXPECT_TRUE(AdvanceMoveThreshold(5, &threshold));
    EXPECT_EQ(threshold, 9);
    EXPECT_FALSE(AdvanceMoveThreshold(9, &threshold));
    EXPECT_TRUE(AdvanceMoveThreshold(97, &threshold));
    EXPECT_EQ(threshold, 100);
    // The step that ends at 96 or more leaves the final 100 undrawn.
    EXPECT_FALSE(AdvanceMoveThreshold(100, &threshold));
}

}  // namespace
}  // namespace tovra::ui
