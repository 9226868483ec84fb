// Tests of the file facts and disk names of the archiving side: the DOS time
// of a file (odd seconds round up, dates before 1980), its size and
// attributes, and the 8.3 reduction of stored names that name no file,
// stepping by whole Shift JIS characters.
#include "compress/file_names.h"

#include <gtest/gtest.h>

#include "format/dos_time.h"
#include "support/code_page.h"
#include "support/file_helpers.h"
#include "support/scratch_dir.h"

namespace tovra::compress {
namespace {

TEST(FileDosTime, RoundsOddSecondsUpAndClampsEarlyDates) {
    test::ScratchDir dir;
    const std::string path = dir / "f.txt";
    ASSERT_TRUE(test::WriteWholeFile(path, "12345"));
    platform::CalendarTime noon{2020, 5, 17, 12, 0, 1};
    int64_t t = 0;
    ASSERT_TRUE(platform::FromLocalTime(noon, &t));
    ASSERT_TRUE(platform::SetModificationTime(path, t));
    FileFacts facts;
    const uint32_t dos = FileDosTime(path, &facts);
    EXPECT_EQ(format::UnpackDosTime(dos).second, 2);
    EXPECT_EQ(facts.size, 5);
    EXPECT_FALSE(facts.isDirectory);
    EXPECT_EQ(facts.attributes >> 16 & 0xF000, 0x8000u);
    ASSERT_TRUE(platform::SetModificationTime(path, t + 1));
    EXPECT_EQ(format::UnpackDosTime(FileDosTime(path, nullptr)).second, 2);
    platform::CalendarTime old{1975, 3, 1, 10, 0, 0};
    ASSERT_TRUE(platform::FromLocalTime(old, &t));
    ASSERT_TRUE(platform::SetModificationTime(path, t));
    EXPECT_EQ(FileDosTime(path, nullptr), 0x00210000u);
}

TEST(FileDosTime, DirectoriesAndMissingFiles) {
    test::ScratchDir dir;
    FileFacts facts;
    EXPECT_NE(FileDosTime(dir.Path() + "/", &facts), 0u);
    EXPECT_TRUE(facts.isDirectory);
    EXPECT_EQ(facts.size, -1);
    EXPECT_NE(facts.attributes & 0x10, 0u);
    EXPECT_EQ(FileDosTime(dir / "missing", &facts), 0u);
}

TEST(ToDiskName, ReducesNamesThatNameNoFile) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"file.tar.gz", "file_tar.gz"},
        {"readme.markdown", "readme.mar"},
        {"ab.markdown", "ab_markd"},
        {"my_long_filename", "my_long.fil"},
        {"short.c", "short.c"},
        {"averyverylongname", "averyver"},
        {"dir.d/sub dir/x;y=z.txt", "dir.d/sub_dir/x_y_z.txt"},
        {"C:/a[1].txt", "C:/a_1_.txt"},
        {".profile", "_profile"},
        {"/abs/.", "/abs/."},
        {"dir/", "dir/"},
    };
    for (const auto& [stored, disk] : cases) EXPECT_EQ(ToDiskName(stored), disk) << stored;
}

TEST(ToDiskName, KeepsTheNameOfAnExistingFile) {
    test::ScratchDir dir;
    const std::string path = dir.Path() + "/readme.markdown";
    ASSERT_TRUE(test::WriteWholeFile(path, "x"));
    EXPECT_EQ(ToDiskName(path), path);
}

TEST(ToDiskName, StepsByShiftJisCharacters) {
    test::ScopedCodePage sjis(932);
    if (!sjis.Active()) GTEST_SKIP() << "needs code page 932";
    // 0x95 0x5C and 0x83 0x7C: trail bytes that read as '\' and '|' alone.
    EXPECT_EQ(ToDiskName("\x95\x5C.txt"), "\x95\x5C.txt");
    EXPECT_EQ(ToDiskName("\x83\x7C\x83\x7C.txt"), "\x83\x7C\x83\x7C.txt");
}

}  // namespace
}  // namespace tovra::compress
