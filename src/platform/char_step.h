// char_step.h - stepping through multibyte text, shared by both builds.
//
// Pure functions on bytes: the Shift JIS (code page 932) and UTF-8 rules that
// the two implementations of NextChar and IsLeadByte choose between. Every
// step stops at the terminating zero: a two-byte character whose second byte
// is zero counts as one byte.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace tovra::platform {

// Shift JIS lead bytes: 0x81-0x9F and 0xE0-0xFC.
constexpr bool IsShiftJisLeadByte(unsigned char byte) {
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

// The character after p in Shift JIS (p itself at the terminating zero).
const char* StepShiftJis(const char* p);

// Length of the well-formed UTF-8 sequence at p (1-4), or 0 when the bytes at
// p do not form one (stray continuation byte, overlong form, surrogate, value
// above U+10FFFF, or a sequence cut short by the terminating zero or by `end`).
// `end` bounds the read; null means "up to the terminating zero".
size_t Utf8SequenceLength(const char* p, const char* end = nullptr);

// The character of the well-formed UTF-8 sequence of `length` bytes at p
// (`length` as Utf8SequenceLength gave it).
uint32_t DecodeUtf8(const char* p, size_t length);

// The character after p in UTF-8: a well-formed sequence steps whole, any
// other byte steps one (p itself at the terminating zero).
const char* StepUtf8(const char* p);

// `text` with every byte that is not part of a well-formed UTF-8 sequence
// replaced by `replacement` (zero bytes are kept).
std::string CleanUtf8(const std::string& text, char replacement = '?');

// UTF-8 `text` in code page 932, by the exact mappings of cp932_table.h
// only: every character without one, and every byte that is not part of a
// well-formed sequence, becomes `replacement`.
std::string Utf8ToCp932(const std::string& text, char replacement);

}  // namespace tovra::platform
