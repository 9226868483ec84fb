// Tests of the block reader: both line-end conversions give, for every
// block size and every size of the file's reads, exactly what converting the
// whole file at once gives; CRC-32 and count follow the delivered bytes;
// cancel ends the input; a read error is -1 after the bytes read before it.
#include "compress/block_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "support/scripted_ui_host.h"
#include "support/zip_builder.h"

namespace tovra::compress {
namespace {

// Delivers `data` at most `chunk` bytes per read; fails (once the data is
// used up) when `failAtEnd`.
class ChunkedInput : public format::InputStream {
public:
    ChunkedInput(std::string data, size_t chunk, bool failAtEnd = false)
        : data_(std::move(data)), chunk_(chunk), failAtEnd_(failAtEnd) {}
    size_t Read(void* out, size_t n) override {
        const size_t k = std::min({n, chunk_, data_.size() - pos_});
        std::memcpy(out, data_.data() + pos_, k);
        pos_ += k;
        if (k == 0 && failAtEnd_) failed_ = true;
        return k;
    }
    bool Failed() const override { return failed_; }

private:
    std::string data_;
    size_t chunk_, pos_ = 0;
    bool failAtEnd_, failed_ = false;
};

class NullReports : public ArchivingReports {
public:
    int ReportError(int code, const std::string&) override { return code; }
    void ReportWarning(const std::string& text, const std::string& name) override { warnings.push_back(text + name); }
    bool CancelRequested() override { return cancel; }
    std::vector<std::string> warnings;
    bool cancel = false;
};

// The whole file converted at once.
std::string Reference(const std::string& in, int conversion) {
    std::string out;
    for (size_t i = 0; i < in.size(); ++i) {
        const char c = in[i];
        if (conversion == 1) {
            if (c == '\n') out += '\r';
            out += c;
        } else if (conversion >= 2) {
            if (c == '\r' && i + 1 < in.size() && in[i + 1] == '\n') continue;
            if (c == '\x1A' && i + 1 == in.size()) continue;
            out += c;
        } else {
            out += c;
        }
    }
    return out;
}

std::string ReadAll(BlockReader& reader, uint32_t blockSize, int32_t* lastResult = nullptr) {
    std::string out;
    std::vector<uint8_t> buffer(blockSize);
    for (;;) {
        const int32_t n = reader.ReadInputBlock(buffer.data(), blockSize);
        if (n > static_cast<int32_t>(blockSize)) ADD_FAILURE() << "more than the buffer: " << n;
        if (n <= 0) {
            if (lastResult) *lastResult = n;
            return out;
        }
        out.append(reinterpret_cast<const char*>(buffer.data()), static_cast<size_t>(n));
    }
}

TEST(BlockReader, ConversionsDoNotDependOnBlockOrReadSizes) {
    const std::vector<std::string> inputs = {
        "a\nb\n",
        "a\r\nb\x1A",
        "\r\n\r\n",
        "\r\r\n\n\r",
        "x\x1A\x1Ay",
        "\x1A",
        "\r",
        "end\r\n\x1A",
        "\x1A\r\n",
        "\n\n\n\n\n\n\n\n",
        "lone\rcr\r",
        "",
        "\r\n\x1A\r",
        std::string(70000, '\n') + "\r",
        "mid\x1A\x1A" + std::string(40000, '\r') + "\n\x1A",
    };
    test::ScriptedUiHost ui;
    for (int conversion : {0, 1, 2}) {
        for (const std::string& in : inputs) {
            const std::string expected = Reference(in, conversion);
            for (uint32_t block = 1; block <= 5; ++block) {
                for (size_t chunk : {size_t{1}, size_t{2}, size_t{3}, size_t{65536}}) {
                    if (in.size() > 1000 && (block < 4 || chunk < 3)) continue;  // keep the long inputs quick
                    ChunkedInput input(in, chunk);
                    NullReports reports;
                    BlockReader reader(input, conversion, reports, "f", in.size());
                    ASSERT_EQ(ReadAll(reader, block), expected)
                        << "conversion " << conversion << " block " << block << " chunk " << chunk << " input "
                        << testing::PrintToString(in.substr(0, 20));
                    EXPECT_EQ(reader.BytesDelivered(), expected.size());
                    EXPECT_EQ(reader.Crc(), test::ZipCrc32(expected));
                    EXPECT_EQ(reader.BytesRead(), in.size());
                }
            }
        }
    }
}

TEST(BlockReader, LargeBlocksDeliverTheWholeStreamToo) {
    std::string in;
    for (int i = 0; i < 20000; ++i) in += (i % 7 == 0) ? "\r\n" : (i % 13 == 0 ? "\r" : "text\n");
    test::ScriptedUiHost ui;
    for (int conversion : {1, 2}) {
        for (uint32_t block : {4096u, 65536u, 16384u}) {
            ChunkedInput input(in, 5000);
            NullReports reports;
            BlockReader reader(input, conversion, reports, "f", in.size());
            EXPECT_EQ(ReadAll(reader, block), Reference(in, conversion)) << conversion << " " << block;
        }
    }
}

TEST(BlockReader, ProgressCountsTheFileBytes) {
    test::ScriptedUiHost ui;
    ChunkedInput input(std::string(10, '\n'), 4);
    NullReports reports;
    BlockReader reader(input, 1, reports, "name.txt", 10);
    ReadAll(reader, 64);
    ASSERT_FALSE(ui.progressCalls.empty());
    EXPECT_EQ(ui.progressCalls.back().itemName, "name.txt");
    EXPECT_EQ(ui.progressCalls.back().done, 10u);
    EXPECT_EQ(ui.progressCalls.back().total, 10u);
}

TEST(BlockReader, CancelEndsTheInput) {
    test::ScriptedUiHost ui;
    ChunkedInput input("abcdef", 2);
    NullReports reports;
    BlockReader reader(input, 0, reports, "f", 6);
    uint8_t buffer[2];
    EXPECT_EQ(reader.ReadInputBlock(buffer, 2), 2);
    reports.cancel = true;
    EXPECT_EQ(reader.ReadInputBlock(buffer, 2), 0);
    EXPECT_TRUE(reader.Cancelled());
    EXPECT_EQ(reader.BytesDelivered(), 2u);
}

TEST(BlockReader, ReadErrorComesAfterTheBytesBeforeIt) {
    test::ScriptedUiHost ui;
    for (int conversion : {0, 1, 2}) {
        ChunkedInput input("ab\r", 1, true);
        NullReports reports;
        BlockReader reader(input, conversion, reports, "f", 3);
        int32_t last = 0;
        const std::string got = ReadAll(reader, 8, &last);
        EXPECT_EQ(last, -1) << conversion;
        EXPECT_EQ(got.substr(0, 2), "ab") << conversion;
        EXPECT_TRUE(reader.ReadFailed());
    }
}

}  // namespace
}  // namespace tovra::compress
