// cp932_table.h - the characters of code page 932 (Shift JIS as Windows has
// it), for converting Unicode text into that page where the system has no
// conversion of its own that can be trusted to avoid best-fit guesses.
//
// The table lists only exact (round-trip) mappings: a character is present
// when a byte sequence of the code page decodes to it, with the sequence that
// Windows' WideCharToMultiByte writes for it. Approximations that Windows and
// iconv apply without being asked (U+00A5 yen sign -> 0x5C '\', U+203E
// overline -> 0x7E '~', U+301C wave dash -> 0x81 0x60, ...) are absent, so a
// character can never turn into a separator, a dot or a drive letter.
// cp932_table.cpp is written by scripts/gen-cp932-table.py; a test runs the
// script and compares.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tovra::platform {

struct Cp932Mapping {
    uint16_t unicode;  // a character of the Basic Multilingual Plane
    uint16_t code;     // below 0x100: one byte; else lead byte * 256 + trail byte
};

inline constexpr size_t kCp932TableSize = 9401;
// Sorted by `unicode`, each character once.
extern const Cp932Mapping kCp932Table[kCp932TableSize];

// The code of `unicode` in code page 932 (as in Cp932Mapping::code), or -1
// when the page holds no exact equivalent (U+0000 gives 0).
int Cp932Code(uint32_t unicode);

}  // namespace tovra::platform
