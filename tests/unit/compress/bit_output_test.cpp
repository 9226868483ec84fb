// Tests of the compressor's bit output: the LSB-first packing through the
// 16-bit bit buffer, alignment, stored-data writes, the repositionable test,
// write failures, and the register fast path producing the same bytes.
#include "compress/bit_output.h"

#include <gtest/gtest.h>

#include "compress/deflate_memory.h"
#include "deflate_test_data.h"

namespace tovra::compress {
namespace {

using testing::Bytes;

TEST(BitOutput, PacksLeastSignificantBitFirst) {
    MemoryOutputStream stream(false);
    BitOutput out;
    out.Start(stream);
    out.SendBits(5, 3);
    out.SendBits(0, 7);
    EXPECT_EQ(out.PendingBitCount(), 10);
    EXPECT_EQ(out.PendingBits() & 0xFF, 0x05u);
    out.Align();
    EXPECT_EQ(stream.bytes, (Bytes{0x05, 0x00}));

    // A code that crosses the 16-bit boundary: 15 bits, then 3 more.
    out.SendBits(0x7FFF, 15);
    out.SendBits(0x5, 3);
    EXPECT_EQ(out.PendingBitCount(), 2);
    EXPECT_EQ(out.BufferedBytes(), 2u);
    out.Align();
    EXPECT_EQ(stream.bytes, (Bytes{0x05, 0x00, 0xFF, 0xFF, 0x02}));
}

TEST(BitOutput, AlignWritesWholeBytesOnly) {
    for (auto [bits, expected] : {std::pair{9, 2u}, std::pair{8, 1u}, std::pair{1, 1u}, std::pair{0, 0u}}) {
        MemoryOutputStream stream(false);
        BitOutput out;
        out.Start(stream);
        if (bits > 0) out.SendBits((1u << bits) - 1, bits);
        out.Align();
        EXPECT_EQ(stream.bytes.size(), expected) << bits << " bits";
        EXPECT_EQ(out.PendingBitCount(), 0);
        EXPECT_EQ(out.BufferedBytes(), 0u);
    }
}

TEST(BitOutput, CopyBlockWithAndWithoutHeader) {
    MemoryOutputStream stream(false);
    BitOutput out;
    out.Start(stream);
    out.CopyBlock(nullptr, 0, true);
    EXPECT_EQ(stream.bytes, (Bytes{0x00, 0x00, 0xFF, 0xFF}));

    const Bytes data{1, 2, 3};
    out.SendBits(1, 3);  // a block header in flight is aligned first
    out.CopyBlock(data.data(), 3, true);
    out.CopyBlock(data.data(), 3, false);
    EXPECT_EQ(stream.bytes, (Bytes{0x00, 0x00, 0xFF, 0xFF, 0x01, 0x03, 0x00, 0xFC, 0xFF, 1, 2, 3, 1, 2, 3}));
    EXPECT_EQ(out.BytesWritten(), stream.bytes.size());
}

TEST(BitOutput, BufferGoesOutInWholeKilobytes) {
    MemoryOutputStream stream(false);
    BitOutput out;
    out.Start(stream);
    for (int i = 0; i < 1500; ++i) out.SendBits(static_cast<uint32_t>(i & 0x1FFF), 13);
    EXPECT_EQ(stream.writeCalls, 2u);
    EXPECT_EQ(stream.bytes.size(), 2048u);
    out.Align();
    EXPECT_EQ(stream.bytes.size(), (1500u * 13 + 7) / 8);
}

TEST(BitOutput, RepositionableTestLeavesThePositionAlone) {
    MemoryOutputStream fixed(false, 30);
    BitOutput out;
    out.Start(fixed);
    EXPECT_FALSE(out.OutputRepositionable());

    MemoryOutputStream seekable(true, 30);
    out.Start(seekable);
    EXPECT_TRUE(out.OutputRepositionable());
    EXPECT_EQ(seekable.Position(), 30);

    MemoryOutputStream atStart(true, 0);  // nothing before the data: -1 is out of reach
    out.Start(atStart);
    EXPECT_FALSE(out.OutputRepositionable());
}

TEST(BitOutput, FailedWriteStopsFurtherOutput) {
    MemoryOutputStream stream(false, 0, 1500);
    BitOutput out;
    out.Start(stream);
    for (int i = 0; i < 2000; ++i) out.SendBits(0xABCD, 16);
    EXPECT_TRUE(out.Failed());
    const size_t calls = stream.writeCalls;
    out.Align();
    EXPECT_EQ(stream.writeCalls, calls);
    EXPECT_EQ(stream.bytes.size(), 1500u);
}

TEST(BitOutput, AccumulatorMatchesSendBits) {
    Bytes r = testing::RandomBytes(40000, 7);
    MemoryOutputStream a(false), b(false);
    BitOutput slow, fast;
    slow.Start(a);
    fast.Start(b);
    size_t i = 0;
    while (i + 3 < r.size()) {
        // Runs of codes of 1..28 bits, interleaved with ordinary calls.
        BitOutput::Accumulator acc(fast);
        for (int k = 0; k < 50 && i + 3 < r.size(); ++k, i += 4) {
            const unsigned len = 1 + r[i] % 28;
            const uint32_t value =
                (uint32_t{r[i + 1]} | uint32_t{r[i + 2]} << 8 | uint32_t{r[i + 3]} << 16) & ((1u << len) - 1);
            acc.Put(value, len);
            if (len > 16) {
                slow.SendBits(value & 0xFFFF, 16);
                slow.SendBits(value >> 16, static_cast<int>(len - 16));
            } else {
                slow.SendBits(value, static_cast<int>(len));
            }
        }
        acc.Finish();
        ASSERT_EQ(slow.PendingBitCount(), fast.PendingBitCount());
        ASSERT_EQ(slow.PendingBits(), fast.PendingBits());
        ASSERT_EQ(slow.BufferedBytes(), fast.BufferedBytes());
        slow.SendBits(3, 2);
        fast.SendBits(3, 2);
    }
    slow.Align();
    fast.Align();
    EXPECT_EQ(a.bytes, b.bytes);
    EXPECT_EQ(a.writeCalls, b.writeCalls);
}

TEST(BitOutput, ReverseBits) {
    EXPECT_EQ(ReverseBits(0b1, 1), 0b1u);
    EXPECT_EQ(ReverseBits(0b110, 3), 0b011u);
    EXPECT_EQ(ReverseBits(0b1000000000000001, 16), 0b1000000000000001u);
    EXPECT_EQ(ReverseBits(0x1234, 16), 0x2C48u);
}

}  // namespace
}  // namespace tovra::compress
