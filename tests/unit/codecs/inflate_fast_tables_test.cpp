// inflate_fast_tables_test.cpp - the compact tables of the fast loop decode
// every symbol of a code as the canonical code says, whatever width its
// list's first level has.
#include "codecs/inflate_fast_tables.h"

#include <gtest/gtest.h>

#include <vector>

#include "inflate_test_helpers.h"

namespace tovra::codecs {
namespace {

// Literal/length lengths: 256 literals, end of block, and the length symbols,
// with the longest code `longest` bits (9 plus an even count): from a complete
// code of 8 and 9 bits, the last 9-bit code is split into one code of each
// length from 10 up and two of the longest, and the 9-bit codes this takes are
// made up by shortening 8-bit codes to 7.
std::vector<uint8_t> LiteralLengths(uint8_t longest) {
    std::vector<uint8_t> lengths(286, 9);
    for (size_t s = 0; s < 226; ++s) lengths[s] = 8;  // 226 * 2 + 60 = 512 nine-bit slots
    const unsigned deeper = longest - 9;
    for (unsigned i = 0; i < deeper; ++i) lengths[285 - i] = static_cast<uint8_t>(10 + i);
    if (deeper > 0) lengths[285 - deeper] = longest;
    for (unsigned i = 0; i < deeper / 2; ++i) lengths[i] = 7;
    return lengths;
}

TEST(FastTables, EverySymbolDecodesAsTheCanonicalCode) {
    for (uint8_t longest : {9, 11, 15}) {
        const std::vector<uint8_t> lengths = LiteralLengths(longest);
        HuffmanTableList list;
        int bits = 10;
        ASSERT_EQ(BuildHuffmanTables(lengths.data(), 286, 257, kLengthBase, kLengthExtra, list, bits), kBuildComplete);
        FastTable table;
        BuildFastTable(list, bits, FastCode::kLiteralLength, table);
        ASSERT_TRUE(table.usable);
        const std::vector<uint32_t> codes = test::CanonicalCodes(lengths);
        for (uint32_t s = 0; s < lengths.size(); ++s) {
            uint32_t stream = 0;  // the code's bits, first bit in bit 0
            for (int i = 0; i < lengths[s]; ++i) stream |= ((codes[s] >> (lengths[s] - 1 - i)) & 1) << i;
            uint32_t entry = table.slots[stream & ((1u << kFastLiteralRootBits) - 1)];
            unsigned used = 0;
            while ((entry & (kFastLiteral | kFastLink)) == kFastLink) {
                used += entry & 0xFF;
                entry = table.slots[(entry >> 16) + ((stream >> used) & ((1u << ((entry >> 8) & 31)) - 1))];
            }
            if (s < 256) {
                ASSERT_EQ(entry, kFastLiteral | (s << 16) | (lengths[s] - used)) << int{longest} << " " << s;
            } else if (s == 256) {
                ASSERT_EQ(entry, kFastExceptional) << int{longest};
            } else {
                const uint32_t extra = kLengthExtra[s - 257];
                const uint32_t own = lengths[s] - used;
                ASSERT_EQ(entry, (uint32_t{kLengthBase[s - 257]} << 16) | (own << 8) | (own + extra))
                    << int{longest} << " " << s;
            }
        }
    }
}

}  // namespace
}  // namespace tovra::codecs
