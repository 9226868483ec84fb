// Values the archiving side derives for a member: flag bits per deflate
// level, the DOS-compatible test of version made by, the attribute words.
#include "format/zip_values.h"

#include <gtest/gtest.h>

namespace tovra::format {
namespace {

TEST(ZipValues, LevelFlagsAndAttributes) {
    const uint16_t levelFlags[10] = {0, 4, 4, 0, 0, 0, 0, 0, 2, 2};
    for (int level = 1; level <= 9; level++) EXPECT_EQ(DeflateLevelFlags(level), levelFlags[level]) << level;
    EXPECT_TRUE(IsDosCompatible(20));
    EXPECT_TRUE(IsDosCompatible(255));
    EXPECT_FALSE(IsDosCompatible(256));
    EXPECT_FALSE(IsDosCompatible(0x0B15));

    // A regular file rw-r--r-- with the archive bit; a read-only hidden directory.
    const uint32_t file = FileAttributeValue(0100644, 0x20);
    EXPECT_EQ(file, 0x81A40020u);
    EXPECT_EQ(ExternalAttributes(file, false), 0x81A40020u);
    EXPECT_EQ(ExternalAttributes(file, true), 0x20u);
    const uint32_t dir = FileAttributeValue(040555, 0x13);
    EXPECT_EQ(ExternalAttributes(dir, false), 0x416D0013u);
    EXPECT_EQ(ExternalAttributes(dir, true), 0x13u);
    // Only the attribute byte reaches bits 0-7; bits 8-15 stay zero.
    EXPECT_EQ(FileAttributeValue(0100600, 0x1A5), 0x81800000u | 0xA5u);
}

}  // namespace
}  // namespace tovra::format
