// Tests of the read-ahead stream over the old archive: any mix of positions
// inside and outside the buffered block, and reads across its ends, gives
// back the file's own bytes; failures stay failures.
#include "compress/archive_input.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/file_helpers.h"
#include "support/scratch_dir.h"

namespace tovra::compress {
namespace {

constexpr size_t kFileSize = 700000;  // well over two buffered blocks

// Reads `count` bytes from the current position in pieces of at most `piece`.
std::string ReadBytes(ArchiveInput& in, size_t count, size_t piece) {
    std::string out;
    while (out.size() < count) {
        const uint8_t* data = nullptr;
        const int64_t n = in.Next(&data, std::min(piece, count - out.size()));
        if (n <= 0) break;
        out.append(reinterpret_cast<const char*>(data), static_cast<size_t>(n));
    }
    return out;
}

struct Step {
    int64_t seek;  // -1: read on from where the last step ended
    size_t count;
    size_t piece;
};

TEST(ArchiveInput, EveryMixOfSeeksAndReadsGivesTheFilesBytes) {
    test::ScratchDir dir;
    const std::string path = dir / "old.zip";
    const std::string bytes = test::PatternBytes(kFileSize, 9);
    ASSERT_TRUE(test::WriteWholeFile(path, bytes));
    const std::vector<std::vector<Step>> cases = {
        {{0, kFileSize, 32768}},                            // the whole file in copy chunks
        {{0, 100, 100}, {-1, 300000, 7}, {-1, 50, 50}},     // small pieces across the first block's end
        {{262100, 200, 200}},                               // a first read that straddles a block end
        {{5000, 10, 10}, {100, 10, 10}, {200000, 10, 10}},  // backwards and forwards inside the block
        {{0, 10, 10}, {600000, 10, 10}, {10, 10, 10}},      // out of the block and back again
        {{262144, 10, 10}, {262144 + 10, 5, 5}},            // exactly at the block boundary
        {{kFileSize - 3, 10, 10}},                          // a read that meets the end
    };
    for (size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(i);
        ArchiveInput in;
        ASSERT_TRUE(in.Open(path));
        int64_t position = 0;
        for (const Step& step : cases[i]) {
            if (step.seek >= 0) {
                ASSERT_TRUE(in.Seek(step.seek));
                position = step.seek;
            }
            const std::string got = ReadBytes(in, step.count, step.piece);
            EXPECT_EQ(got, bytes.substr(static_cast<size_t>(position), step.count)) << "at " << position;
            position += static_cast<int64_t>(got.size());
        }
    }
}

TEST(ArchiveInput, EndAndFailuresAreReported) {
    test::ScratchDir dir;
    const std::string path = dir / "short";
    ASSERT_TRUE(test::WriteWholeFile(path, "abc"));
    ArchiveInput in;
    const uint8_t* data = nullptr;
    EXPECT_EQ(in.Next(&data, 1), ArchiveInput::kReadFailed);  // not open
    EXPECT_FALSE(in.Open(dir / "missing"));
    ASSERT_TRUE(in.Open(path));
    EXPECT_FALSE(in.Seek(-1));
    ASSERT_TRUE(in.Seek(3));
    EXPECT_EQ(in.Next(&data, 10), 0);  // at the end
    ASSERT_TRUE(in.Seek(1));
    ASSERT_EQ(in.Next(&data, 10), 2);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(data), 2), "bc");
    in.Close();
    EXPECT_FALSE(in.Seek(0));
}

}  // namespace
}  // namespace tovra::compress
