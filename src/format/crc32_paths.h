// crc32_paths.h - the bulk CRC-32 implementations behind Crc32(), exposed so
// that tests can hold each of them against the reference separately.
//
// All work on the CRC register itself (the inverted CRC), not on finished
// CRC values: Crc32() inverts on entry and on exit.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tovra::format::crc_detail {

// Slicing-by-16 with tables derived from the reference table. Any length.
uint32_t UpdateSliced(uint32_t reg, const uint8_t* data, size_t size);

// Carry-less multiplication folding: bytes consumed per step of its main loop
// and the least length it accepts.
inline constexpr size_t kFoldBlock = 16;
inline constexpr size_t kFoldMinimum = 4 * kFoldBlock;

// The widths of vector the folding can run with. Every width gives the same
// register; a wider one takes more bytes per step where the processor has it.
enum class FoldWidth {
    k128,  // PCLMULQDQ and SSE4.1
    k256,  // VPCLMULQDQ and AVX2
    k512,  // VPCLMULQDQ and AVX-512
};

// True when this processor (and this build) can run the folding at `width`;
// always false on targets other than x86-64.
bool FoldingAvailable(FoldWidth width = FoldWidth::k128);

// Folding update over size bytes with the widest available width; size must
// be at least kFoldMinimum and a multiple of kFoldBlock, and
// FoldingAvailable() must be true.
uint32_t UpdateFolded(uint32_t reg, const uint8_t* data, size_t size);

// The same with at most `width`; FoldingAvailable(width) must be true. Inputs
// too short for the wide steps go through the 128-bit steps alone.
uint32_t UpdateFoldedAt(FoldWidth width, uint32_t reg, const uint8_t* data, size_t size);

}  // namespace tovra::format::crc_detail
