// inflate_fast_tables_test.cpp - the compact tables of the fast loop decode
// every symbol of a code as the canonical code says, whatever width its
// list's first level has.
#include "codecs/inflate_fast_tables.h"

#include <gtest/gtest.h>

#include <random>
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

// A random complete code of `count` symbols: starting from two 1-bit codes,
// a random code shorter than 15 bits is split in two until every symbol has
// one; symbols are then shuffled.
std::vector<uint8_t> RandomCompleteLengths(std::mt19937& rng, unsigned count) {
    std::vector<uint8_t> lengths = {1, 1};
    while (lengths.size() < count) {
        const size_t pick = rng() % lengths.size();
        if (lengths[pick] >= 15) continue;
        ++lengths[pick];
        lengths.push_back(lengths[pick]);
    }
    std::shuffle(lengths.begin(), lengths.end(), rng);
    return lengths;
}

// The builder's compact output equals the translation of its lists, word for
// word, for complete, incomplete, single, empty and over-subscribed codes of
// both kinds and every first-level width asked for.
TEST(FastTables, BuilderWritesWhatTheTranslationGives) {
    std::mt19937 rng(11);
    int compared = 0;
    for (int trial = 0; trial < 3000; ++trial) {
        const bool literal = trial % 2 == 0;
        const unsigned count = literal ? 257 + rng() % 31 : 1 + rng() % 30;
        std::vector<uint8_t> lengths(count, 0);
        switch (trial % 10) {
            case 0:
                lengths[rng() % count] = static_cast<uint8_t>(1 + rng() % 15);
                break;  // one code
            case 1:
                break;  // empty
            case 2:
                for (auto& length : lengths) length = static_cast<uint8_t>(rng() % 16);  // mostly over-subscribed
                break;
            default:
                if (count < 2) break;
                lengths = RandomCompleteLengths(rng, count);
                if (trial % 10 >= 7) lengths[rng() % count] = 0;  // incomplete
        }
        const FastCode code = literal ? FastCode::kLiteralLength : FastCode::kDistance;
        const int asked = literal ? 1 + static_cast<int>(rng() % 11) : 1 + static_cast<int>(rng() % 7);
        const unsigned simple = literal ? 257 : 0;
        const std::span<const uint16_t> base = literal ? std::span<const uint16_t>(kLengthBase) : kDistanceBase;
        const std::span<const uint8_t> extra = literal ? std::span<const uint8_t>(kLengthExtra) : kDistanceExtra;

        HuffmanTableList plainList, list;
        int plainBits = asked, bits = asked;
        const int plain = BuildHuffmanTables(lengths.data(), count, simple, base, extra, plainList, plainBits);
        FastTable direct;
        direct.usable = true;  // the builder must clear it when it fails
        const int result = BuildHuffmanTables(lengths.data(), count, simple, base, extra, list, bits, code, &direct);
        ASSERT_EQ(result, plain) << trial;
        ASSERT_EQ(bits, plainBits) << trial;
        ASSERT_EQ(list.EntryCount(), plainList.EntryCount()) << trial;
        ASSERT_TRUE(std::equal(list.Base(), list.Base() + list.EntryCount(), plainList.Base(),
                               [](const HuffmanEntry& a, const HuffmanEntry& b) {
                                   return a.bits == b.bits && a.operation == b.operation && a.value == b.value &&
                                          a.link == b.link;
                               }))
            << trial;
        if (result > kBuildIncomplete) {
            ASSERT_FALSE(direct.usable) << trial;
            continue;
        }
        FastTable translated;
        BuildFastTable(plainList, plainBits, code, translated);
        ASSERT_EQ(direct.usable, translated.usable) << trial;
        if (!translated.usable) continue;
        const uint32_t root = 1u << (literal ? kFastLiteralRootBits : kFastDistanceRootBits);
        const uint32_t used = root + (plainList.Empty() ? 0 : plainList.EntryCount() - 1 - (1u << plainBits));
        for (uint32_t i = 0; i < used; ++i) ASSERT_EQ(direct.slots[i], translated.slots[i]) << trial << " slot " << i;
        ++compared;
    }
    EXPECT_GT(compared, 1500);
}

}  // namespace
}  // namespace tovra::codecs
