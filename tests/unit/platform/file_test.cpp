// Tests of platform::File: open modes, reads and writes, 64-bit seeking,
// and the Windows rules the native build keeps (no directories, no writing to
// read-only files).
#include <gtest/gtest.h>

#include "platform/platform.h"
#include "support/file_helpers.h"
#include "support/scratch_dir.h"

namespace tovra::platform {
namespace {

TEST(FileTest, OpenModesCreateTruncateAndRequireExistence) {
    test::ScratchDir dir;
    const std::string path = dir / "data.bin";
    File file;
    EXPECT_FALSE(file.Open(path, OpenMode::kRead));
    EXPECT_FALSE(file.Open(path, OpenMode::kReadWrite));
    EXPECT_FALSE(file.IsOpen());

    ASSERT_TRUE(file.Open(path, OpenMode::kCreate));
    EXPECT_EQ(file.Write("hello world", 11), 11);
    EXPECT_EQ(file.Read(nullptr, 0), 0);
    char byte;
    EXPECT_EQ(file.Read(&byte, 1), -1);  // write-only
    file.Close();
    EXPECT_FALSE(file.IsOpen());
    EXPECT_EQ(file.Path(), path);  // kept after Close

    ASSERT_TRUE(file.Open(path, OpenMode::kReadWrite));
    EXPECT_EQ(file.Size(), 11);
    EXPECT_EQ(file.Write("HELLO", 5), 5);  // overwrites in place, no truncation
    file.Close();
    EXPECT_EQ(test::ReadWholeFile(path), "HELLO world");

    ASSERT_TRUE(file.Open(path, OpenMode::kCreateReadWrite));
    EXPECT_EQ(file.Size(), 0);
    EXPECT_EQ(file.Write("abc", 3), 3);
    EXPECT_EQ(file.Seek(0, SeekOrigin::kBegin), 0);
    char back[8] = {};
    EXPECT_EQ(file.Read(back, sizeof back), 3);
    EXPECT_STREQ(back, "abc");
    EXPECT_EQ(file.Read(back, sizeof back), 0);  // end of file
}

TEST(FileTest, ClosedFileFailsEverythingWithoutSideEffects) {
    File file;
    char buffer[4];
    EXPECT_EQ(file.Read(buffer, 4), -1);
    EXPECT_EQ(file.Write("x", 1), -1);
    EXPECT_EQ(file.Seek(0, SeekOrigin::kBegin), -1);
    EXPECT_EQ(file.Tell(), -1);
    EXPECT_EQ(file.Size(), -1);
    EXPECT_FALSE(file.Flush());
    EXPECT_FALSE(file.SetModificationTime(0));
    file.Close();
}

TEST(FileTest, SeekUsesSixtyFourBitPositionsAndRejectsNegativeOnes) {
    test::ScratchDir dir;
    File file;
    ASSERT_TRUE(file.Open(dir / "sparse.bin", OpenMode::kCreateReadWrite));
    constexpr int64_t kBeyond4G = (int64_t{5} << 30) + 7;
    ASSERT_EQ(file.Seek(kBeyond4G, SeekOrigin::kBegin), kBeyond4G);
    ASSERT_EQ(file.Write("Z", 1), 1);  // sparse: costs no space
    EXPECT_EQ(file.Size(), kBeyond4G + 1);
    EXPECT_EQ(file.Tell(), kBeyond4G + 1);
    EXPECT_EQ(file.Seek(-1, SeekOrigin::kEnd), kBeyond4G);
    char byte = 0;
    EXPECT_EQ(file.Read(&byte, 1), 1);
    EXPECT_EQ(byte, 'Z');
    EXPECT_EQ(file.Seek(-2, SeekOrigin::kCurrent), kBeyond4G - 1);
    EXPECT_EQ(file.Read(&byte, 1), 1);
    EXPECT_EQ(byte, '\0');  // the hole reads as zeros
    // A position before the start fails and leaves the position alone.
    EXPECT_EQ(file.Seek(-kBeyond4G - 100, SeekOrigin::kCurrent), -1);
    EXPECT_EQ(file.Tell(), kBeyond4G);
}

TEST(FileTest, DirectoriesAndReadOnlyFilesFollowWindowsRules) {
    test::ScratchDir dir;
    File file;
    EXPECT_FALSE(file.Open(dir.Path(), OpenMode::kRead));
    EXPECT_FALSE(file.IsOpen());

    const std::string path = dir / "locked.txt";
    ASSERT_TRUE(test::WriteWholeFile(path, "keep me"));
    ASSERT_TRUE(SetAttributes(path, kAttrReadOnly));
    EXPECT_FALSE(file.Open(path, OpenMode::kCreate));
    EXPECT_FALSE(file.Open(path, OpenMode::kReadWrite));
    EXPECT_FALSE(DeletePath(path));
    EXPECT_TRUE(file.Open(path, OpenMode::kRead));
    file.Close();
    EXPECT_EQ(test::ReadWholeFile(path), "keep me");
    ASSERT_TRUE(SetAttributes(path, kAttrNormal));
    EXPECT_TRUE(DeletePath(path));
    EXPECT_FALSE(FileExists(path));

    // Hidden and system files are replaced like any other and keep those attributes.
    const std::string hidden = dir / ".hidden";
    ASSERT_TRUE(test::WriteWholeFile(hidden, "old contents"));
    ASSERT_TRUE(SetAttributes(hidden, kAttrHidden | kAttrSystem));
    ASSERT_TRUE(test::WriteWholeFile(hidden, "new"));
    EXPECT_EQ(test::ReadWholeFile(hidden), "new");
    EXPECT_EQ(GetAttributes(hidden) & kAttrHidden, kAttrHidden);
}

TEST(FileTest, ModificationTimeIsSetThroughTheHandleAndByName) {
    test::ScratchDir dir;
    const std::string path = dir / "t.txt";
    File file;
    ASSERT_TRUE(file.Open(path, OpenMode::kCreate));
    EXPECT_TRUE(file.SetModificationTime(1'000'000'000));
    file.Close();
    FileStatus status;
    ASSERT_TRUE(GetFileStatus(path, &status));
    EXPECT_EQ(status.modificationTime, 1'000'000'000);
    // Beyond 2038 and before 1980 (a DOS date's limits do not apply here).
    for (int64_t when : {int64_t{4'102'444'800}, int64_t{86'400}}) {
        ASSERT_TRUE(SetModificationTime(path, when));
        ASSERT_TRUE(GetFileStatus(path, &status));
        EXPECT_EQ(status.modificationTime, when);
    }
}

TEST(FileTest, LargeTransfersArriveWhole) {
    test::ScratchDir dir;
    const std::string bytes = test::PatternBytes(3 << 20, 7);
    ASSERT_TRUE(test::WriteWholeFile(dir / "big.bin", bytes));
    EXPECT_EQ(test::ReadWholeFile(dir / "big.bin"), bytes);
}

}  // namespace
}  // namespace tovra::platform
