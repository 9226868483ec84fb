// special_exports_test.cpp - the exports that need no command line: the
// enumeration handle (records as a host receives them, rewinding, the end,
// and no record file left behind on any path), the archive check, extraction
// into a movable memory block, and extract-all with its flags.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "api_test_support.h"
#include "platform/platform.h"
#include "support/file_helpers.h"
#include "support/scratch_dir.h"
#include "tovra.h"

namespace tovra::apitest {
namespace {

class SpecialExportsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(platform::MakeDirectory(temp));
        callerDirectory = CurrentDirectory();
    }
    void TearDown() override { EXPECT_EQ(CurrentDirectory(), callerDirectory); }
    std::string Write(const std::string& name, const std::string& bytes) {
        EXPECT_TRUE(test::WriteWholeFile(dir / name, bytes));
        return dir / name;
    }

    test::ScratchDir dir;
    std::string temp = dir / "temp";
    ScopedTempDirectory redirect{temp};
    std::string callerDirectory;
};

TEST_F(SpecialExportsTest, EnumerationDeliversEveryMemberAndRewinds) {
    const std::string archive = Write("arc.zip", BuildStoredArchive({{"first.txt", "12345"}, {"dir/second.bin", ""}}));
    TovraArchive handle = UnzipOpenArchive(nullptr, archive.c_str(), 0);
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(EntryCount(temp), 1u);

    EntryInfoRecord record;
    std::memset(&record, 0xAA, sizeof record);
    ASSERT_EQ(UnzipFindFirst(handle, "*.*", &record), 0);
    EXPECT_EQ(record.uncompressedSize, 5u);
    EXPECT_EQ(record.compressedSize, 5u);
    EXPECT_EQ(record.crc, 0xCBF53A1Cu);  // CRC-32 of "12345"
    EXPECT_EQ(record.flag, 0u);
    EXPECT_EQ(record.osType, 0u);
    EXPECT_EQ(record.ratio, 0u);
    EXPECT_EQ(record.time, (12u << 11) | (30u << 5));
    EXPECT_EQ(record.date, ((2020u - 1980u) << 9) | (6u << 5) | 15u);
    EXPECT_STREQ(record.name, "first.txt");
    EXPECT_EQ(record.name[sizeof record.name - 1], 0);  // zero-filled behind the text
    EXPECT_STREQ(record.attribute, "a--w");
    EXPECT_STREQ(record.method, "Stored");
    EXPECT_EQ(std::memcmp(record.reserved, "\0\0\0", 3), 0);

    ASSERT_EQ(UnzipFindNext(handle, &record), 0);
    EXPECT_STREQ(record.name, "dir/second.bin");
    EXPECT_EQ(record.uncompressedSize, 0u);
    EXPECT_EQ(UnzipFindNext(handle, &record), -1);
    EXPECT_EQ(UnzipFindNext(handle, &record), -1);  // and stays at the end
    ASSERT_EQ(UnzipFindFirst(handle, nullptr, &record), 0);
    EXPECT_STREQ(record.name, "first.txt");

    EXPECT_EQ(UnzipCloseArchive(handle), 0);
    EXPECT_EQ(EntryCount(temp), 0u);
}

TEST_F(SpecialExportsTest, ArchivesThatCannotBeListedCleanlyGiveNoHandleAndNoFile) {
    const std::string sound = BuildStoredArchive({{"a.txt", "alpha"}});
    const struct {
        const char* what;
        std::string path;
    } cases[] = {
        {"missing", dir / "missing.zip"},
        {"not an archive", Write("text.zip", std::string(3000, 't'))},
        {"no members", Write("empty.zip", BuildStoredArchive({}))},
        {"preamble", Write("sfx.zip", std::string(100, 'p') + sound)},
        {"directory", dir.Path()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(UnzipOpenArchive(nullptr, c.path.c_str(), 0), nullptr);
        EXPECT_EQ(EntryCount(temp), 0u);
    }
    EXPECT_EQ(UnzipOpenArchive(nullptr, nullptr, 0), nullptr);
    EXPECT_EQ(EntryCount(temp), 0u);
}

TEST_F(SpecialExportsTest, NullArgumentsOfTheRecordCallsFail) {
    const std::string archive = Write("arc.zip", BuildStoredArchive({{"a.txt", "alpha"}}));
    EntryInfoRecord record;
    EXPECT_EQ(UnzipFindFirst(nullptr, nullptr, &record), -1);
    EXPECT_EQ(UnzipFindNext(nullptr, &record), -1);
    TovraArchive handle = UnzipOpenArchive(nullptr, archive.c_str(), 0);
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(UnzipFindFirst(handle, nullptr, nullptr), -1);
    EXPECT_EQ(UnzipFindFirst(handle, nullptr, &record), 0);
    EXPECT_EQ(UnzipCloseArchive(handle), 0);
}

TEST_F(SpecialExportsTest, CheckArchiveAcceptsOnlyCleanArchives) {
    const std::string sound = BuildStoredArchive({{"a.txt", "alpha"}});
    const std::string good = Write("good.zip", sound);
    for (int mode : {0, 1, 2, 3, -1}) {
        EXPECT_EQ(UnzipCheckArchive(good.c_str(), mode), 1) << mode;
    }
    EXPECT_EQ(UnzipCheckArchive((dir / "missing.zip").c_str(), 0), 0);
    EXPECT_EQ(UnzipCheckArchive(Write("text.txt", "just text").c_str(), 0), 0);
    EXPECT_EQ(UnzipCheckArchive(Write("empty.zip", BuildStoredArchive({})).c_str(), 0), 0);
    EXPECT_EQ(UnzipCheckArchive(nullptr, 0), 0);
    const std::string sfx = Write("sfx.zip", std::string(100, 'p') + sound);
    for (int mode : {0, 2}) {
        EXPECT_EQ(UnzipCheckArchive(sfx.c_str(), mode), 0) << mode;
    }
    // Beyond the normal end-record search range (66000 bytes, rounded up to
    // whole 8192-byte blocks) only the whole-file search finds it.
    const std::string trailed = Write("trailed.zip", sound + std::string(80000, 'z'));
    for (int mode : {0, 1, 3}) {
        EXPECT_EQ(UnzipCheckArchive(trailed.c_str(), mode), 0) << mode;
    }
    EXPECT_EQ(UnzipCheckArchive(trailed.c_str(), 2), 1);
}

TEST_F(SpecialExportsTest, ExtractToMemoryHandsOverAZeroPaddedBlock) {
    const std::string archive =
        Write("arc.zip", BuildStoredArchive({{"ten.txt", "0123456789"}, {"empty.txt", ""}, {"d/Deep.txt", "deep"}}));
    const struct {
        const char* member;
        std::string data;
        size_t blockSize;
    } cases[] = {{"ten.txt", "0123456789", 12}, {"empty.txt", "", 4}, {"D/DEEP.TXT", "deep", 8}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.member);
        TovraMemory block = nullptr;
        uint32_t size = 77;
        ASSERT_EQ(UnzipExtractToMem(nullptr, archive.c_str(), c.member, &block, &size), 0);
        ASSERT_NE(block, nullptr);
        EXPECT_EQ(size, c.data.size());
        ASSERT_EQ(BlockSize(block), c.blockSize);
        const char* bytes = static_cast<const char*>(LockBlock(block));
        ASSERT_NE(bytes, nullptr);
        EXPECT_EQ(std::string(bytes, c.data.size()), c.data);
        EXPECT_EQ(std::string(bytes + c.data.size(), c.blockSize - c.data.size()),
                  std::string(c.blockSize - c.data.size(), '\0'));
        UnlockBlock(block);
        FreeBlock(block);
    }
    EXPECT_EQ(EntryCount(dir.Path()), 2u);  // arc.zip and temp: nothing was written to disk
}

TEST_F(SpecialExportsTest, ExtractToMemoryFailuresGiveNoBlock) {
    const std::string archive = Write("arc.zip", BuildStoredArchive({{"a.txt", "alpha"}}));
    TovraMemory block = reinterpret_cast<TovraMemory>(&block);
    uint32_t size = 77;
    EXPECT_EQ(UnzipExtractToMem(nullptr, archive.c_str(), "b.txt", &block, &size), 11);
    EXPECT_EQ(block, nullptr);
    EXPECT_EQ(size, 1u);
    size = 77;
    EXPECT_EQ(UnzipExtractToMem(nullptr, (dir / "missing.zip").c_str(), "a.txt", &block, &size), 9);
    EXPECT_EQ(block, nullptr);
    EXPECT_EQ(size, 1u);
    EXPECT_NE(UnzipExtractToMem(nullptr, archive.c_str(), nullptr, &block, &size), 0);
    EXPECT_EQ(block, nullptr);
}

TEST_F(SpecialExportsTest, ExtractAllCreatesTheDirectoryAndFollowsTheFlags) {
    const std::string archive = Write("arc.zip", BuildStoredArchive({{"a.txt", "alpha"}, {"d/b.txt", "beta"}}));
    // No trailing separator: the directory itself is created.
    EXPECT_EQ(UnzipExtractAll(nullptr, archive.c_str(), (dir / "flat").c_str(), 0), 0);
    EXPECT_EQ(test::ReadWholeFile(dir / "flat/a.txt").value_or("<missing>"), "alpha");
    EXPECT_EQ(test::ReadWholeFile(dir / "flat/b.txt").value_or("<missing>"), "beta");

    EXPECT_EQ(UnzipExtractAll(nullptr, archive.c_str(), (dir / "tree\\").c_str(), 16), 0);
    EXPECT_EQ(test::ReadWholeFile(dir / "tree/d/b.txt").value_or("<missing>"), "beta");

    // No existence check: the existing file is replaced without a question.
    ASSERT_TRUE(test::WriteWholeFile(dir / "flat/a.txt", "old"));
    EXPECT_EQ(UnzipExtractAll(nullptr, archive.c_str(), (dir / "flat").c_str(), 8), 0);
    EXPECT_EQ(test::ReadWholeFile(dir / "flat/a.txt").value_or("<missing>"), "alpha");
}

TEST_F(SpecialExportsTest, ExtractAllWithoutADirectoryDoesNotStart) {
    const std::string archive = Write("arc.zip", BuildStoredArchive({{"a.txt", "alpha"}}));
    EXPECT_EQ(UnzipExtractAll(nullptr, archive.c_str(), "", 0), -1);
    EXPECT_EQ(UnzipExtractAll(nullptr, archive.c_str(), nullptr, 0), -1);
    // A string-table number that names no entry.
    EXPECT_EQ(UnzipExtractAll(nullptr, archive.c_str(), reinterpret_cast<const char*>(uintptr_t{60000}), 0), -1);
    EXPECT_EQ(EntryCount(dir.Path()), 2u);
}

}  // namespace
}  // namespace tovra::apitest
