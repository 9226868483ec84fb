// CRC-32: known values, the table built from the term list, and the bulk
// paths (slicing, folding) held against the byte-at-a-time reference and
// against zlib on random data of many lengths and alignments.
#include "format/crc32.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <random>
#include <string_view>
#include <vector>

#include "format/crc32_paths.h"

namespace tovra::format {
namespace {

const uint8_t* Bytes(std::string_view s) { return reinterpret_cast<const uint8_t*>(s.data()); }

std::vector<uint8_t> RandomBytes(size_t n, uint32_t seed) {
    std::mt19937 rng(seed);
    std::vector<uint8_t> v(n);
    for (auto& b : v) b = static_cast<uint8_t>(rng());
    return v;
}

uint32_t Reference(const uint8_t* p, size_t n, uint32_t crc = 0) {
    uint32_t table[kCrcTableSize];
    BuildCrcTable(table);
    return UpdateCrcBytewise(table, crc, p, n);
}

uint32_t Zlib(const uint8_t* p, size_t n, uint32_t crc = 0) { return static_cast<uint32_t>(crc32_z(crc, p, n)); }

TEST(Crc32, KnownValues) {
    uint32_t table[kCrcTableSize];
    BuildCrcTable(table);
    EXPECT_EQ(UpdateCrcBytewise(table, 0, Bytes("123456789"), 9), 0xCBF43926u);
    EXPECT_EQ(Crc32(0, "123456789", 9), 0xCBF43926u);
    EXPECT_EQ(UpdateCrcBytewise(table, 0, nullptr, 0), 0u);
    EXPECT_EQ(Crc32(0, nullptr, 0), 0u);
    EXPECT_EQ(Crc32(0, "a", 1), 0xE8B7BE43u);
    // 64 bytes of zeros (the shortest input of the folding path) and 64 of 0xFF.
    std::vector<uint8_t> zeros(64, 0), ones(64, 0xFF);
    EXPECT_EQ(Crc32(0, zeros.data(), zeros.size()), Zlib(zeros.data(), zeros.size()));
    EXPECT_EQ(Crc32(0, ones.data(), ones.size()), Zlib(ones.data(), ones.size()));
}

TEST(Crc32, TableFromTermsEqualsZlibTable) {
    uint32_t table[kCrcTableSize];
    BuildCrcTable(table);
    EXPECT_EQ(table[0x80], 0xEDB88320u);  // the reflected polynomial itself
    const z_crc_t* zlibTable = get_crc_table();
    for (size_t n = 0; n < kCrcTableSize; n++) ASSERT_EQ(table[n], zlibTable[n]) << "entry " << n;
}

// Every length from 0 to 300 at every alignment 0-15, every length from 1000
// to 1600, then larger odd sizes:
// each bulk path agrees with the reference and with zlib.
TEST(Crc32, BulkPathsAgreeWithReferenceAndZlib) {
    const std::vector<uint8_t> data = RandomBytes(70000, 1);
    auto check = [&](size_t offset, size_t n) {
        const uint8_t* p = data.data() + offset;
        const uint32_t expected = Reference(p, n);
        ASSERT_EQ(expected, Zlib(p, n)) << offset << "+" << n;
        ASSERT_EQ(Crc32(0, p, n), expected) << offset << "+" << n;
        ASSERT_EQ(~crc_detail::UpdateSliced(~0u, p, n), expected) << offset << "+" << n;
        const size_t whole = n - n % crc_detail::kFoldBlock;
        if (whole < crc_detail::kFoldMinimum) return;
        // Every width this processor has, not only the widest that Crc32 takes.
        for (const auto width :
             {crc_detail::FoldWidth::k128, crc_detail::FoldWidth::k256, crc_detail::FoldWidth::k512}) {
            if (!crc_detail::FoldingAvailable(width)) continue;
            ASSERT_EQ(~crc_detail::UpdateFoldedAt(width, ~0u, p, whole), Reference(p, whole))
                << "width " << static_cast<int>(width) << " at " << offset << "+" << whole;
        }
    };
    for (size_t offset = 0; offset < 16; offset++) {
        for (size_t n = 0; n <= 300; n++) check(offset, n);
    }
    // Around the least length of the wide paths and their 128- and 256-byte steps.
    for (size_t n = 1000; n <= 1600; n++) check(n % 64, n);
    std::mt19937 rng(2);
    for (int i = 0; i < 300; i++) check(rng() % 64, rng() % (data.size() - 64));
    check(0, data.size());
}

// Chained calls over any split equal one call over the whole, and the same
// holds for a running CRC passed in from a previous buffer.
TEST(Crc32, ChainsAcrossSplits) {
    const std::vector<uint8_t> data = RandomBytes(5000, 3);
    const uint32_t whole = Crc32(0, data.data(), data.size());
    std::mt19937 rng(4);
    for (int i = 0; i < 200; i++) {
        const size_t cut = rng() % data.size();
        const uint32_t first = Crc32(0, data.data(), cut);
        ASSERT_EQ(Crc32(first, data.data() + cut, data.size() - cut), whole) << cut;
        ASSERT_EQ(Reference(data.data() + cut, data.size() - cut, first), whole) << cut;
    }
    EXPECT_EQ(Zlib(data.data(), data.size()), whole);
}

}  // namespace
}  // namespace tovra::format
