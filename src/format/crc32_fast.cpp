// crc32_fast.cpp - Crc32(), the bulk CRC-32, and its portable path,
// slicing-by-16.
//
// Crc32() hands whole 16-byte blocks to the folding path when the processor
// has carry-less multiplication (crc32_fold.cpp), and everything else to the
// slicing path.
//
// Slicing: table k holds, for each byte value b, the CRC register change of
// b followed by k zero bytes. Table 0 is the reference table of
// BuildCrcTable; table k is table k-1 advanced by one zero byte. One step
// combines sixteen independent lookups, one per input byte, instead of
// sixteen dependent byte steps. The tables are built once per process.
#include <array>

#include "format/byte_cursor.h"
#include "format/crc32.h"
#include "format/crc32_paths.h"

namespace tovra::format {
namespace crc_detail {
namespace {

// Bytes consumed by one step of the slicing loop; it reads exactly this many.
constexpr size_t kSliceBytes = 16;
using SliceTables = std::array<std::array<uint32_t, kCrcTableSize>, kSliceBytes>;
static_assert(kSliceBytes % 4 == 0, "the step loads whole 32-bit words");

SliceTables BuildSliceTables() {
    SliceTables t;
    BuildCrcTable(t[0].data());
    for (size_t k = 1; k < kSliceBytes; k++) {
        for (size_t n = 0; n < kCrcTableSize; n++) t[k][n] = (t[k - 1][n] >> 8) ^ t[0][t[k - 1][n] & 0xFF];
    }
    return t;
}

const SliceTables& Tables() {
    static const SliceTables tables = BuildSliceTables();
    return tables;
}

}  // namespace

uint32_t UpdateSliced(uint32_t c, const uint8_t* p, size_t size) {
    const SliceTables& t = Tables();
    // Fast loop: whole 16-byte steps only, so every load below is in bounds.
    while (size >= kSliceBytes) {
        const uint32_t w0 = ReadLE32(p) ^ c;
        const uint32_t w1 = ReadLE32(p + 4);
        const uint32_t w2 = ReadLE32(p + 8);
        const uint32_t w3 = ReadLE32(p + 12);
        c = t[15][w0 & 0xFF] ^ t[14][(w0 >> 8) & 0xFF] ^ t[13][(w0 >> 16) & 0xFF] ^ t[12][w0 >> 24] ^ t[11][w1 & 0xFF] ^
            t[10][(w1 >> 8) & 0xFF] ^ t[9][(w1 >> 16) & 0xFF] ^ t[8][w1 >> 24] ^ t[7][w2 & 0xFF] ^
            t[6][(w2 >> 8) & 0xFF] ^ t[5][(w2 >> 16) & 0xFF] ^ t[4][w2 >> 24] ^ t[3][w3 & 0xFF] ^
            t[2][(w3 >> 8) & 0xFF] ^ t[1][(w3 >> 16) & 0xFF] ^ t[0][w3 >> 24];
        p += kSliceBytes;
        size -= kSliceBytes;
    }
    // Careful loop: the remaining 0-15 bytes one at a time with table 0.
    while (size-- > 0) c = t[0][(c ^ *p++) & 0xFF] ^ (c >> 8);
    return c;
}

}  // namespace crc_detail

uint32_t Crc32(uint32_t crc, const void* data, size_t size) {
    const uint8_t* p = static_cast<const uint8_t*>(data);
    uint32_t reg = ~crc;
    if (size >= crc_detail::kFoldMinimum && crc_detail::FoldingAvailable()) {
        const size_t whole = size - size % crc_detail::kFoldBlock;
        reg = crc_detail::UpdateFolded(reg, p, whole);
        p += whole;
        size -= whole;
    }
    if (size != 0) reg = crc_detail::UpdateSliced(reg, p, size);
    return ~reg;
}

}  // namespace tovra::format
