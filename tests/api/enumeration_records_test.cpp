// enumeration_records_test.cpp - the EntryInfoRecords that UnzipFindFirst and
// UnzipFindNext deliver, field by field, for members that exercise every
// text of the record (sizes of encrypted members, method and attribute texts,
// the volume-label rewrite, long names), and the life of the record files
// (names that make the open fail, two handles at once, many members).
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "api_test_support.h"
#include "support/scratch_dir.h"
#include "support/zip_builder.h"
#include "tovra.h"

namespace tovra::apitest {
namespace {

// Host system codes in the high byte of "version made by".
constexpr uint16_t kMadeOnDos = 0x0014;
constexpr uint16_t kMadeOnUnix = 0x0314;

class EnumerationRecordsTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(platform::MakeDirectory(temp)); }

    std::string Write(const std::string& name, const test::ZipBuilder& zip) {
        EXPECT_TRUE(zip.WriteTo(dir / name));
        return dir / name;
    }

    test::ScratchDir dir;
    std::string temp = dir / "temp";
    ScopedTempDirectory redirect{temp};
};

// True when every byte of `field` after its text's zero is zero as well.
template <size_t N>
bool ZeroAfterText(const char (&field)[N]) {
    const size_t length = strnlen(field, N);
    if (length == N) return false;  // no terminating zero at all
    for (size_t i = length; i < N; ++i) {
        if (field[i] != 0) return false;
    }
    return true;
}

TEST_F(EnumerationRecordsTest, RecordsCarryTheTextsAndSizesOfEachMember) {
    const uint32_t when =
        (44u << 25) | (2u << 21) | (29u << 16) | (23u << 11) | (59u << 5) | 29u;  // 2024-02-29 23:59:58
    const std::string longName = std::string(256, 'n') + ".txt";                  // 260 bytes: the longest that fits
    const struct {
        std::string name;
        uint16_t method;
        uint16_t flags;
        uint32_t attributes;
        uint16_t madeBy;
        uint32_t compressed;  // as written in the central header
        uint32_t uncompressed;
        std::string listedName, attributeText, methodText;
        uint32_t listedCompressed;
    } cases[] = {
        {"enc.bin", 0, 0x0001, 0x20, kMadeOnDos, 112, 100, "enc.bin", "a--w", "Stored", 100},
        {"enc-damaged.bin", 0, 0x0001, 0x20, kMadeOnDos, 5, 0, "enc-damaged.bin", "a--w", "Stored", 0},
        {"plain.txt", 8, 0x0000, 0x20, kMadeOnDos, 7, 9, "plain.txt", "a--w", "DeflatN", 7},
        {"max.txt", 8, 0x0002, 0x03, kMadeOnDos, 7, 9, "max.txt", "--hr", "DeflatX", 7},
        {"fast.txt", 8, 0x0004, 0x27, kMadeOnDos, 7, 9, "fast.txt", "ashr", "DeflatF", 7},
        {"super.txt", 8, 0x0006 | 0x0001, 0x04, kMadeOnDos, 19, 9, "super.txt", "-s-w", "DeflatS", 7},
        {"shrunk", 1, 0, 0x00, kMadeOnDos, 3, 3, "shrunk", "---w", "Shrunk", 3},
        {"reduced", 5, 0, 0x01, kMadeOnDos, 3, 3, "reduced", "---r", "Reduce4", 3},
        {"imploded", 6, 0, 0x20, kMadeOnDos, 3, 3, "imploded", "a--w", "Implode", 3},
        {"m12", 12, 0, 0x20, kMadeOnDos, 3, 3, "m12", "a--w", "Unk:012", 3},
        {"m1000", 1000, 0, 0x20, kMadeOnDos, 3, 3, "m1000", "a--w", "Unk:100", 3},
        {"m65535", 65535, 0, 0x20, kMadeOnDos, 3, 3, "m65535", "a--w", "Unk:655", 3},
        {"DISKNAME.LBL", 0, 0, 0x08, kMadeOnDos, 0, 0, "DISKNAMELBL", "---w", "Stored", 0},
        {"UNIXNAME.LBL", 0, 0, 0x08, kMadeOnUnix, 0, 0, "UNIXNAME.LBL", "---w", "Stored", 0},
        {"SHORT.L", 0, 0, 0x08, kMadeOnDos, 0, 0, "SHORT.L", "---w", "Stored", 0},
        {"dir\\back/slash.txt", 0, 0, 0x20, kMadeOnDos, 0, 0, "dir\\back/slash.txt", "a--w", "Stored", 0},
        {longName, 0, 0, 0x20, kMadeOnDos, 0, 0, longName, "a--w", "Stored", 0},
    };
    test::ZipBuilder zip;
    for (const auto& c : cases) {
        // The listing reads the central headers only, so the data need not
        // decode: a run of bytes of the declared size stands for it.
        test::ZipMember& member =
            zip.AddRaw(c.name, c.method, std::string(c.compressed, 'd'), std::string(c.uncompressed, 'u'));
        member.flags = c.flags;
        member.externalAttributes = c.attributes;
        member.versionMadeBy = c.madeBy;
        member.dosDateTime = when;
    }
    // Comments are read between the name and the record's write: they must
    // not end up in the name.
    zip.members[2].comment = "a member comment, longer than the member's name";
    zip.archiveComment = "the archive's comment";
    TovraArchive handle = UnzipOpenArchive(nullptr, Write("texts.zip", zip).c_str(), 0);
    ASSERT_NE(handle, nullptr);

    EntryInfoRecord record;
    int found = -1;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::memset(&record, 0xAA, sizeof record);
        found = &c == &cases[0] ? UnzipFindFirst(handle, "ignored", &record) : UnzipFindNext(handle, &record);
        ASSERT_EQ(found, 0);
        EXPECT_EQ(std::string(record.name), c.listedName);
        EXPECT_EQ(record.uncompressedSize, c.uncompressed);
        EXPECT_EQ(record.compressedSize, c.listedCompressed);
        EXPECT_EQ(record.crc, test::ZipCrc32(std::string(c.uncompressed, 'u')));
        EXPECT_STREQ(record.attribute, c.attributeText.c_str());
        EXPECT_STREQ(record.method, c.methodText.c_str());
        EXPECT_EQ(record.date, when >> 16);
        EXPECT_EQ(record.time, when & 0xFFFF);
        EXPECT_EQ(record.flag, 0u);
        EXPECT_EQ(record.osType, 0u);
        EXPECT_EQ(record.ratio, 0u);
        EXPECT_TRUE(ZeroAfterText(record.name));
        EXPECT_TRUE(ZeroAfterText(record.attribute));
        EXPECT_TRUE(ZeroAfterText(record.method));
        EXPECT_EQ(std::memcmp(record.reserved, "\0\0\0", 3), 0);
    }
    EXPECT_EQ(UnzipFindNext(handle, &record), -1);
    EXPECT_EQ(UnzipCloseArchive(handle), 0);
    EXPECT_EQ(EntryCount(temp), 0u);
}

TEST_F(EnumerationRecordsTest, AnOverlongNameMakesTheOpenFailWithoutARecordFile) {
    test::ZipBuilder zip;
    zip.AddStored("short.txt", "s");
    zip.AddStored(std::string(300, 'x'), "long");
    EXPECT_EQ(UnzipOpenArchive(nullptr, Write("long.zip", zip).c_str(), 0), nullptr);
    EXPECT_EQ(EntryCount(temp), 0u);
}

TEST_F(EnumerationRecordsTest, ASelfExtractorWhoseOffsetsNeedRepairCannotBeEnumerated) {
    test::ZipBuilder zip;
    zip.AddStored("a.txt", "alpha");
    zip.preamble = std::string(5000, 'M');
    zip.offsetsIncludePreamble = false;  // repaired with a warning: not clean
    EXPECT_EQ(UnzipOpenArchive(nullptr, Write("sfx.zip", zip).c_str(), 0), nullptr);
    EXPECT_EQ(EntryCount(temp), 0u);

    // Offsets counted from the start of the file need no repair.
    zip.offsetsIncludePreamble = true;
    TovraArchive handle = UnzipOpenArchive(nullptr, Write("sfx-adjusted.zip", zip).c_str(), 0);
    ASSERT_NE(handle, nullptr);
    EntryInfoRecord record;
    ASSERT_EQ(UnzipFindFirst(handle, nullptr, &record), 0);
    EXPECT_STREQ(record.name, "a.txt");
    EXPECT_EQ(UnzipCloseArchive(handle), 0);
    EXPECT_EQ(EntryCount(temp), 0u);
}

TEST_F(EnumerationRecordsTest, FindNextRightAfterTheOpenStartsAtTheFirstMember) {
    test::ZipBuilder zip;
    zip.AddStored("one", "1");
    zip.AddStored("two", "22");
    TovraArchive handle = UnzipOpenArchive(nullptr, Write("two.zip", zip).c_str(), 0);
    ASSERT_NE(handle, nullptr);
    EntryInfoRecord record;
    ASSERT_EQ(UnzipFindNext(handle, &record), 0);
    EXPECT_STREQ(record.name, "one");
    ASSERT_EQ(UnzipFindNext(handle, &record), 0);
    EXPECT_STREQ(record.name, "two");
    // FindFirst in the middle of the list starts it again.
    ASSERT_EQ(UnzipFindFirst(handle, nullptr, &record), 0);
    EXPECT_STREQ(record.name, "one");
    EXPECT_EQ(UnzipCloseArchive(handle), 0);
}

TEST_F(EnumerationRecordsTest, TwoHandlesKeepTheirOwnRecordFiles) {
    test::ZipBuilder first;
    first.AddStored("first-a", "a");
    first.AddStored("first-b", "b");
    test::ZipBuilder second;
    second.AddStored("second-a", "a");
    TovraArchive a = UnzipOpenArchive(nullptr, Write("first.zip", first).c_str(), 0);
    TovraArchive b = UnzipOpenArchive(nullptr, Write("second.zip", second).c_str(), 0);
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(EntryCount(temp), 2u);

    EntryInfoRecord record;
    ASSERT_EQ(UnzipFindFirst(a, nullptr, &record), 0);
    EXPECT_STREQ(record.name, "first-a");
    ASSERT_EQ(UnzipFindFirst(b, nullptr, &record), 0);
    EXPECT_STREQ(record.name, "second-a");
    ASSERT_EQ(UnzipFindNext(a, &record), 0);
    EXPECT_STREQ(record.name, "first-b");
    EXPECT_EQ(UnzipFindNext(b, &record), -1);

    EXPECT_EQ(UnzipCloseArchive(a), 0);
    EXPECT_EQ(EntryCount(temp), 1u);
    ASSERT_EQ(UnzipFindFirst(b, nullptr, &record), 0);
    EXPECT_STREQ(record.name, "second-a");
    EXPECT_EQ(UnzipCloseArchive(b), 0);
    EXPECT_EQ(EntryCount(temp), 0u);
}

TEST_F(EnumerationRecordsTest, EveryMemberOfALargeDirectoryIsDeliveredInOrder) {
    // More members than one batch of the member loop holds.
    constexpr int kMembers = 150;
    test::ZipBuilder zip;
    for (int i = 0; i < kMembers; ++i) {
        zip.AddStored("m" + std::to_string(i), std::string(static_cast<size_t>(i), 'z'));
    }
    TovraArchive handle = UnzipOpenArchive(nullptr, Write("many.zip", zip).c_str(), 0);
    ASSERT_NE(handle, nullptr);
    EntryInfoRecord record;
    int count = 0;
    for (int found = UnzipFindFirst(handle, nullptr, &record); found == 0; found = UnzipFindNext(handle, &record)) {
        ASSERT_LT(count, kMembers);
        EXPECT_EQ(std::string(record.name), "m" + std::to_string(count));
        EXPECT_EQ(record.uncompressedSize, static_cast<uint32_t>(count));
        ++count;
    }
    EXPECT_EQ(count, kMembers);
    EXPECT_EQ(UnzipCloseArchive(handle), 0);
}

}  // namespace
}  // namespace tovra::apitest
