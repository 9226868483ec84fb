// crc32_paths.h - the two bulk CRC-32 implementations behind Crc32(), exposed
// so that tests can hold each of them against the reference separately.
//
// Both work on the CRC register itself (the inverted CRC), not on finished
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

// True when this processor can run UpdateFolded (x86-64 with PCLMULQDQ and
// SSE4.1); always false on other targets.
bool FoldingAvailable();

// Folding update over size bytes; size must be at least kFoldMinimum and a
// multiple of kFoldBlock, and FoldingAvailable() must be true.
uint32_t UpdateFolded(uint32_t reg, const uint8_t* data, size_t size);

}  // namespace tovra::format::crc_detail
