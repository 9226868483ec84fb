// inflate_tables_test.cpp - the Huffman table builder against an independent
// canonical-code computation, its result codes, and the constant tables.
#include "codecs/inflate_tables.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "codecs/inflate.h"
#include "inflate_test_helpers.h"

namespace tovra::codecs {
namespace {

using test::CanonicalCodes;

// Follows a code through the tables, reading its bits first bit first.
HuffmanEntry Walk(const HuffmanTableList& list, int rootBits, uint32_t code, int length, int& used) {
    uint32_t stream = 0;
    for (int i = 0; i < length; ++i) stream |= ((code >> (length - 1 - i)) & 1) << i;
    HuffmanEntry entry = list.Root()[stream & kBitMask[rootBits]];
    used = 0;
    while (entry.operation > kOpLiteral && entry.operation != kOpInvalid) {
        used += entry.bits;
        stream >>= entry.bits;
        entry = list.SubTable(entry)[stream & kBitMask[entry.operation - kOpLiteral]];
    }
    used += entry.bits;
    return entry;
}

// Every symbol with a code decodes to itself with exactly its code's length.
void ExpectDecodesEverySymbol(const std::vector<uint8_t>& lengths, const HuffmanTableList& list, int rootBits,
                              unsigned simpleCount) {
    const std::vector<uint32_t> codes = CanonicalCodes(lengths);
    for (size_t s = 0; s < lengths.size(); ++s) {
        if (lengths[s] == 0) continue;
        int used = 0;
        const HuffmanEntry entry = Walk(list, rootBits, codes[s], lengths[s], used);
        ASSERT_EQ(used, lengths[s]) << "symbol " << s;
        if (s < simpleCount) {
            ASSERT_EQ(entry.operation, s < 256 ? kOpLiteral : kOpEndOfBlock) << "symbol " << s;
            ASSERT_EQ(entry.value, s) << "symbol " << s;
        }
    }
}

TEST(HuffmanTables, RandomCodesDecodeLikeTheCanonicalCode) {
    std::mt19937 rng(3);
    uint32_t largest = 0;
    for (int round = 0; round < 3000; ++round) {
        // Lengths from a random complete code (split leaves), sometimes with
        // codes removed to make it incomplete.
        const unsigned count = 2 + rng() % 287;
        const int maxLength = round % 2 ? 15 : 16;
        std::vector<uint8_t> lengths(count, 0);
        std::vector<unsigned> leaves = {0};  // symbols holding a code
        lengths[0] = 0;
        std::vector<uint8_t> depth(count, 0);
        unsigned used = 1;
        while (used < count && rng() % 64 != 0) {
            const unsigned leaf = leaves[rng() % leaves.size()];
            if (depth[leaf] >= maxLength) continue;
            ++depth[leaf];
            depth[used] = depth[leaf];
            leaves.push_back(used++);
        }
        for (unsigned s : leaves) lengths[s] = depth[s] == 0 ? 1 : depth[s];
        std::shuffle(lengths.begin(), lengths.end(), rng);
        const bool dropSome = rng() % 3 == 0;
        if (dropSome) {
            for (auto& len : lengths)
                if (rng() % 5 == 0) len = 0;
        }
        int bits = 1 + static_cast<int>(rng() % 12);
        HuffmanTableList list;
        const unsigned simple = rng() % 2 ? count : 0;
        const int result = BuildHuffmanTables(lengths.data(), count, simple, kLengthBase, kLengthExtra, list, bits);
        ASSERT_LE(result, kBuildIncomplete);
        ExpectDecodesEverySymbol(lengths, list, bits, simple);
        largest = std::max(largest, list.EntryCount());
    }
    EXPECT_LT(largest, 1u << 20);
}

// A list keeps its memory from build to build; what it held before must not
// show through a later, smaller or empty code.
TEST(HuffmanTables, RebuiltListShowsOnlyTheNewCode) {
    HuffmanTableList list;
    std::vector<uint8_t> large(288, 9);
    std::fill(large.begin(), large.begin() + 224, 8);  // 224 x 8 + 64 x 9 bits: complete
    int bits = 7;
    ASSERT_EQ(BuildHuffmanTables(large.data(), 288, 257, kLengthBase, kLengthExtra, list, bits), kBuildComplete);
    const std::vector<uint8_t> small = {1, 2, 2};
    bits = 7;
    ASSERT_EQ(BuildHuffmanTables(small.data(), 3, 3, {}, {}, list, bits), kBuildComplete);
    EXPECT_EQ(bits, 2);
    ExpectDecodesEverySymbol(small, list, bits, 3);
    const std::vector<uint8_t> none(19, 0);
    bits = 7;
    ASSERT_EQ(BuildHuffmanTables(none.data(), 19, 19, {}, {}, list, bits), kBuildComplete);
    EXPECT_EQ(bits, 0);
    EXPECT_TRUE(list.Empty());
    EXPECT_EQ(list.Root()[0].operation, kOpInvalid);
}

TEST(HuffmanTables, ResultCodes) {
    HuffmanTableList list;
    int bits = 9;
    const std::vector<uint8_t> empty(19, 0);
    EXPECT_EQ(BuildHuffmanTables(empty.data(), 19, 19, {}, {}, list, bits), kBuildComplete);
    EXPECT_EQ(bits, 0);
    EXPECT_TRUE(list.Empty());
    EXPECT_EQ(list.Root()->operation, kOpInvalid);  // a look-up in an empty table finds an invalid code

    const std::vector<uint8_t> oversubscribed = {1, 1, 1};
    bits = 9;
    EXPECT_EQ(BuildHuffmanTables(oversubscribed.data(), 3, 3, {}, {}, list, bits), kBuildOversubscribed);

    const std::vector<uint8_t> incomplete = {2, 2, 2};  // one 2-bit code missing
    bits = 9;
    EXPECT_EQ(BuildHuffmanTables(incomplete.data(), 3, 3, {}, {}, list, bits), kBuildIncomplete);
    EXPECT_EQ(bits, 2);  // clamped to the longest length
    int used = 0;
    EXPECT_EQ(Walk(list, bits, 3, 2, used).operation, kOpInvalid);  // the missing code

    const std::vector<uint8_t> single = {0, 1};  // a lone 1-bit code counts as complete
    bits = 9;
    EXPECT_EQ(BuildHuffmanTables(single.data(), 2, 2, {}, {}, list, bits), kBuildComplete);
    EXPECT_EQ(Walk(list, bits, 0, 1, used).value, 1);
    EXPECT_EQ(Walk(list, bits, 1, 1, used).operation, kOpInvalid);

    const std::vector<uint8_t> tooLong = {17, 1};
    EXPECT_EQ(BuildHuffmanTables(tooLong.data(), 2, 2, {}, {}, list, bits), kBuildOversubscribed);

    const std::vector<uint8_t> longCodes(4, 2);  // width clamped up to the shortest length
    bits = 1;
    EXPECT_EQ(BuildHuffmanTables(longCodes.data(), 4, 4, {}, {}, list, bits), kBuildComplete);
    EXPECT_EQ(bits, 2);
}

// An incomplete code keeps the first-level width asked for, however long its
// codes are, and every code it lacks decodes as invalid; the builder's work
// stays within a few small tables.
TEST(HuffmanTables, IncompleteCodesKeepTheRequestedWidth) {
    struct Case {
        std::vector<uint8_t> lengths;
        int requested;
        int width;
    };
    const Case cases[] = {
        {{15}, 6, 6},         // a lone 15-bit distance code
        {{0, 15, 14}, 6, 6},  // two long codes
        {{9, 9, 9}, 10, 9},   // narrower than asked: the longest length
    };
    for (const Case& c : cases) {
        HuffmanTableList list;
        int bits = c.requested;
        HuffmanSlotsWritten() = 0;
        const auto count = static_cast<unsigned>(c.lengths.size());
        ASSERT_EQ(BuildHuffmanTables(c.lengths.data(), count, 0, kDistanceBase, kDistanceExtra, list, bits),
                  kBuildIncomplete);
        EXPECT_EQ(bits, c.width);
        EXPECT_LE(HuffmanSlotsWritten(), 4u << c.width);
        const std::vector<uint32_t> codes = CanonicalCodes(c.lengths);
        const int longest = *std::max_element(c.lengths.begin(), c.lengths.end());
        // Every code of the longest length: the symbols' codes (and the
        // longer codes that start with them) decode, everything else is invalid.
        for (uint32_t code = 0; code < (1u << longest); ++code) {
            int used = 0;
            const HuffmanEntry entry = Walk(list, bits, code, longest, used);
            bool reaches = false;
            for (size_t s = 0; s < c.lengths.size(); ++s) {
                if (c.lengths[s] != 0 && (code >> (longest - c.lengths[s])) == codes[s]) reaches = true;
            }
            ASSERT_EQ(entry.operation != kOpInvalid, reaches) << "code " << code;
        }
    }
}

TEST(HuffmanTables, SymbolsWithoutBaseDecodeAsInvalid) {
    // 32 distance codes of 5 bits: symbols 30 and 31 have no base.
    const std::vector<uint8_t> lengths(32, 5);
    HuffmanTableList list;
    int bits = 6;
    ASSERT_EQ(BuildHuffmanTables(lengths.data(), 32, 0, kDistanceBase, kDistanceExtra, list, bits), kBuildComplete);
    int used = 0;
    EXPECT_EQ(Walk(list, bits, 29, 5, used).value, 24577);
    EXPECT_EQ(Walk(list, bits, 29, 5, used).operation, 13);
    EXPECT_EQ(Walk(list, bits, 30, 5, used).operation, kOpInvalid);
    EXPECT_EQ(Walk(list, bits, 31, 5, used).operation, kOpInvalid);
}

TEST(HuffmanTables, ConstantTablesFollowTheFormat) {
    EXPECT_EQ(kLengthBase[0], 3);
    EXPECT_EQ(kLengthBase[7], 10);
    EXPECT_EQ(kLengthBase[8], 11);
    EXPECT_EQ(kLengthExtra[8], 1);
    EXPECT_EQ(kLengthBase[12], 19);
    EXPECT_EQ(kLengthExtra[12], 2);
    EXPECT_EQ(kLengthBase[27], 227);
    EXPECT_EQ(kLengthBase[28], 258);
    EXPECT_EQ(kLengthExtra[28], 0);
    EXPECT_EQ(kLengthExtra[29], kOpInvalid);
    EXPECT_EQ(kLengthExtra[30], kOpInvalid);
    EXPECT_EQ(kDistanceBase[4], 5);
    EXPECT_EQ(kDistanceExtra[4], 1);
    EXPECT_EQ(kDistanceBase[29] + (1 << kDistanceExtra[29]) - 1, 32768);
    for (unsigned i = 0; i + 1 < 28; ++i) EXPECT_EQ(kLengthBase[i] + (1 << kLengthExtra[i]), kLengthBase[i + 1]);
    for (unsigned i = 0; i + 1 < kDistanceSymbols; ++i)
        EXPECT_EQ(kDistanceBase[i] + (1 << kDistanceExtra[i]), kDistanceBase[i + 1]);
}

TEST(HuffmanTables, FixedTablesAreBuiltOncePerRun) {
    ReleaseInflateFixedTables();
    // Two members made of one fixed block each ("a" and "b").
    const uint8_t first[] = {0x4B, 0x04, 0x00};
    const uint8_t second[] = {0x4B, 0x02, 0x00};
    uint8_t window[kInflateBufferSize];
    const uint32_t before = FixedTables().buildCount;
    for (const auto* stream : {first, second}) {
        class Source : public CodecSource {
        public:
            explicit Source(const uint8_t* p) : p_(p) {}
            int NextByte() override { return n_ < 3 ? p_[n_++] : -1; }

        private:
            const uint8_t* p_;
            int n_ = 0;
        } source(stream);
        class Sink : public CodecSink {
        public:
            int FlushWindow(const uint8_t*, size_t) override { return 0; }
        } sink;
        Inflater inflater(source, sink, window, 1);
        ASSERT_EQ(inflater.Inflate(), kInflateOk);
    }
    EXPECT_EQ(FixedTables().buildCount, before + 1);
    // Nine bits reach every fixed literal/length code from the first level.
    EXPECT_EQ(FixedTables().literalBits, 9);
    EXPECT_EQ(FixedTables().distanceBits, 5);

    // The fixed code itself: every literal/length symbol decodes.
    std::vector<uint8_t> lengths(288, 8);
    std::fill(lengths.begin() + 144, lengths.begin() + 256, 9);
    std::fill(lengths.begin() + 256, lengths.begin() + 280, 7);
    ExpectDecodesEverySymbol(lengths, FixedTables().literals, FixedTables().literalBits, 257);

    ReleaseInflateFixedTables();
    EXPECT_TRUE(FixedTables().literals.Empty());
    EXPECT_TRUE(FixedTables().distances.Empty());
}

}  // namespace
}  // namespace tovra::codecs
