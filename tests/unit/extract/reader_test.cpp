// reader_test.cpp - the block-aligned archive reader and the backward search
// for the end record: block sizes around 8192, a signature split between two
// blocks, the nearer of two end records, the search range, files too short to
// hold a record, and reads and seeks checked against the file's bytes.
#include <gtest/gtest.h>

#include <string>

#include "extract/Cunzip.h"
#include "support/file_helpers.h"
#include "support/scratch_dir.h"
#include "support/zip_builder.h"

namespace tovra::extract {
namespace {

class Reader : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(context.AllocateRunBuffers()); }

    // Opens `bytes` as the archive with the signatures of a run in place.
    void Open(const std::string& bytes) {
        const std::string path = scratch / "a.zip";
        ASSERT_TRUE(test::WriteWholeFile(path, bytes));
        context.Close();
        ASSERT_TRUE(context.Open(path, platform::OpenMode::kRead));
        context.ReaderForTest().archiveSize = static_cast<int64_t>(bytes.size());
        context.ResetReader();
        const uint8_t end[4] = {'P', 'K', 5, 6};
        std::copy(end, end + 4, context.ReaderForTest().endSignature);
    }
    int Find(const std::string& bytes, int64_t searchLength = -1) {
        Open(bytes);
        return context.FindEndRecord(searchLength < 0 ? std::min<int64_t>(bytes.size(), 66000) : searchLength);
    }

    // A file of `size` bytes whose end record (with no members) starts at
    // `position`, followed by a comment that fills the rest.
    static std::string EndRecordAt(size_t position, size_t size) {
        std::string bytes(position, 'x');
        bytes += test::EndRecordBytes(0, 0, static_cast<uint32_t>(position), std::string(size - position - 22, 'c'));
        return bytes;
    }

    test::ScratchDir scratch;
    Cunzip context;
};

TEST_F(Reader, FindsTheEndRecordAroundTheFirstBlockSize) {
    // 8192 bytes are read whole; 8193 has a tail of 1 byte and is searched block by block.
    for (size_t size : {22u, 8191u, 8192u, 8193u, 8213u, 8214u, 16384u, 16385u, 30000u}) {
        for (size_t position : {size_t{0}, size - 22, (size - 22) / 2}) {
            SCOPED_TRACE(testing::Message() << "size " << size << " record at " << position);
            ASSERT_EQ(Find(EndRecordAt(position, size)), 0);
            EXPECT_EQ(context.Reader().endRecordPosition, static_cast<int64_t>(position));
            EXPECT_EQ(context.Reader().endRecord.centralDirOffset, position);
            EXPECT_EQ(context.Reader().expectedEndRecordPosition, static_cast<int64_t>(position));
            // The reader stands right behind the record.
            EXPECT_EQ(context.ReaderPosition(), static_cast<int64_t>(position + 22));
        }
    }
}

TEST_F(Reader, FindsASignatureSplitBetweenTwoBlocks) {
    // The signature starts 1, 2 or 3 bytes before a block boundary; the rest
    // is seen through the hold area. Tails from 19 to a whole comment.
    for (size_t before : {1u, 2u, 3u}) {
        for (size_t tailAfter : {19u, 20u, 21u, 500u}) {
            const size_t position = 2 * 8192 - before;
            const size_t size = 2 * 8192 + tailAfter + (22 - before > tailAfter ? 22 - before - tailAfter : 0);
            SCOPED_TRACE(testing::Message() << "before " << before << " size " << size);
            ASSERT_EQ(Find(EndRecordAt(position, size)), 0);
            EXPECT_EQ(context.Reader().endRecordPosition, static_cast<int64_t>(position));
            EXPECT_EQ(context.Reader().endRecord.centralDirOffset, position);
        }
    }
}

TEST_F(Reader, TheEndRecordNearerTheEndWins) {
    std::string bytes = EndRecordAt(100, 9000);
    bytes += test::EndRecordBytes(0, 0, 7777);
    ASSERT_EQ(Find(bytes), 0);
    EXPECT_EQ(context.Reader().endRecordPosition, 9000);
    EXPECT_EQ(context.Reader().endRecord.centralDirOffset, 7777u);
}

TEST_F(Reader, SearchesOnlyTheGivenRangeUnlessAskedForTheWholeFile) {
    // The range is searched in whole blocks, so the record must lie a few
    // blocks further back than 66000 bytes to be out of reach.
    const std::string bytes = EndRecordAt(1000, 1000 + 22 + 65535) + std::string(20000, 'g');
    EXPECT_EQ(Find(bytes), 2);
    ASSERT_EQ(Find(bytes, static_cast<int64_t>(bytes.size())), 0);
    EXPECT_EQ(context.Reader().endRecordPosition, 1000);
}

TEST_F(Reader, RejectsFilesWithoutACompleteRecord) {
    EXPECT_EQ(Find(""), 2);
    EXPECT_EQ(Find(test::EndRecordBytes(0, 0, 0).substr(0, 21)), 2);
    EXPECT_EQ(Find(std::string(20000, 'P')), 2);
    // A signature in the last bytes of a large file, with the record cut short.
    std::string cut = std::string(8192 * 2 - 2, 'x') + "PK\x05\x06" + std::string(10, 0);
    EXPECT_NE(Find(cut), 0);
}

TEST_F(Reader, ReadsAndSeeksMatchTheFileContent) {
    const std::string bytes = test::PatternBytes(3 * 8192 + 1234, 7);
    Open(bytes);
    auto expectAt = [&](int64_t position, uint32_t count) {
        SCOPED_TRACE(testing::Message() << "at " << position << " count " << count);
        ASSERT_EQ(context.SeekArchive(position), 0);
        std::string got(count, '\0');
        uint32_t n = context.ReadArchiveBytes(got.data(), count);
        const size_t expected = std::min<size_t>(count, bytes.size() - static_cast<size_t>(position));
        ASSERT_EQ(n, expected);
        EXPECT_EQ(got.substr(0, n), bytes.substr(static_cast<size_t>(position), n));
        EXPECT_EQ(context.ReaderPosition(), position + static_cast<int64_t>(n));
    };
    expectAt(0, 10);
    expectAt(8190, 5);               // across a block boundary
    expectAt(100, 20000);            // across several blocks
    expectAt(8192, 8192);            // one whole block
    expectAt(3 * 8192 + 1200, 100);  // runs into the end of the file
    expectAt(5, 1);                  // back into an earlier block

    EXPECT_EQ(context.SeekArchive(-1), 3);
    EXPECT_EQ(context.SeekArchive(10 * 8192), 51);
    // Inside the last, short block but past the end: nothing to read.
    ASSERT_EQ(context.SeekArchive(static_cast<int64_t>(bytes.size()) + 10), 0);
    char c;
    EXPECT_EQ(context.ReadArchiveBytes(&c, 1), 0u);
    EXPECT_EQ(context.RefillInput(), 0);
}

}  // namespace
}  // namespace tovra::extract
