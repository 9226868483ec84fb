// deflate_tables.h - the constants and code tables of the deflate compressor:
// the level table, the deflate length and distance codes with their extra
// bits and base values, the order of the bit-length codes and the fixed
// Huffman trees. Every computed table is built at compile time by the code
// below, which says how.
#pragma once

#include <array>
#include <cstdint>

#include "compress/bit_output.h"

namespace tovra::compress {

// Window and matcher constants.
inline constexpr uint32_t kHalfWindow = 32768;             // one half of the window
inline constexpr uint32_t kWindowBytes = 2 * kHalfWindow;  // the whole sliding window
inline constexpr uint32_t kWindowMask = kHalfWindow - 1;   // previous links are indexed modulo 32768
inline constexpr uint32_t kMinMatch = 3;
inline constexpr uint32_t kMaxMatch = 258;
inline constexpr uint32_t kMinLookahead = kMaxMatch + kMinMatch + 1;  // 262
inline constexpr uint32_t kMaxDist = kHalfWindow - kMinLookahead;     // 32506
inline constexpr uint32_t kSlidePosition = kHalfWindow + kMaxDist;    // 65274
inline constexpr uint32_t kHashBits = 15;
inline constexpr uint32_t kHashSize = 1u << kHashBits;
inline constexpr uint32_t kHashMask = kHashSize - 1;
inline constexpr uint32_t kHashShift = 5;  // 3 bytes x 5 bits cover the 15 hash bits
static_assert(kHashShift * kMinMatch == kHashBits, "the hash must depend on exactly the last three bytes");
inline constexpr uint32_t kTooFar = 4096;  // a 3-byte match farther back than this is dropped (lazy matcher)

// Block buffers.
inline constexpr uint32_t kLitBufferSize = 32768;   // entries (a block holds at most one fewer)
inline constexpr uint32_t kDistBufferSize = 32768;  // matches
inline constexpr uint32_t kEstimateEvery = 4096;    // entries between two block estimates

// Deflate alphabets.
inline constexpr int kLengthCodes = 29;
inline constexpr int kLiterals = 256;
inline constexpr int kEndBlock = 256;
inline constexpr int kLitLenCodes = kLiterals + 1 + kLengthCodes;  // 286
inline constexpr int kDistCodes = 30;
inline constexpr int kBitLengthCodes = 19;
inline constexpr int kFixedLitLenCodes = 288;
inline constexpr int kMaxBits = 15;
inline constexpr int kMaxBitLengthBits = 7;
inline constexpr int kHeapSize = 2 * kLitLenCodes + 1;  // 573
inline constexpr int kRep3To6 = 16;
inline constexpr int kRepZero3To10 = 17;
inline constexpr int kRepZero11To138 = 18;

// The level table: the four matcher settings and the flag bits a level sets
// in the entry. Levels 1-3 use the fast matcher (lazyLimit is then the
// longest match whose inner positions still enter the hash chains), levels
// 4-9 the lazy matcher (lazyLimit is the match length from which no better
// match is searched).
struct LevelSettings {
    uint16_t goodLength;
    uint16_t lazyLimit;
    uint16_t niceLength;
    uint16_t chainLimit;
    uint16_t flagBits;
};
inline constexpr int kMinLevel = 1;
inline constexpr int kMaxLevel = 9;
inline constexpr int kLastFastLevel = 3;
inline constexpr LevelSettings kLevelTable[kMaxLevel + 1] = {
    {0, 0, 0, 0, 0},               // unused
    {4, 4, 8, 4, 0x0004},          // 1
    {4, 5, 16, 8, 0x0004},         // 2
    {4, 6, 32, 32, 0},             // 3
    {4, 4, 16, 16, 0},             // 4
    {8, 16, 32, 32, 0},            // 5
    {8, 16, 128, 128, 0},          // 6
    {8, 32, 128, 256, 0},          // 7
    {32, 128, 258, 1024, 0x0002},  // 8
    {32, 258, 258, 4096, 0x0002},  // 9
};

inline constexpr std::array<uint8_t, kLengthCodes> kExtraLengthBits = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                                                       2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
inline constexpr std::array<uint8_t, kDistCodes> kExtraDistBits = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                                                                   6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};
inline constexpr std::array<uint8_t, kBitLengthCodes> kExtraBitLengthBits = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                                                             0, 0, 0, 0, 0, 0, 2, 3, 7};
// The order in which the bit-length code lengths are sent.
inline constexpr std::array<uint8_t, kBitLengthCodes> kBitLengthOrder = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                                                         11, 4,  12, 3, 13, 2, 14, 1, 15};

// Code tables derived from the extra bits: each length code covers
// 2^extra consecutive match lengths starting at its base (length 258 has
// a code of its own, the last); each distance code likewise covers
// 2^extra distances. Distances below 256 are looked up directly, larger
// ones by their value divided by 128 (every code from 16 on spans a
// multiple of 128).
struct CodeTables {
    uint8_t lengthCode[256] = {};  // match length - 3 -> length code index 0..28
    uint16_t baseLength[kLengthCodes] = {};
    uint8_t distCode[512] = {};  // see DistCode
    uint16_t baseDist[kDistCodes] = {};
};

constexpr CodeTables MakeCodeTables() {
    CodeTables t;
    int length = 0;
    int code = 0;
    for (code = 0; code < kLengthCodes - 1; ++code) {
        t.baseLength[code] = static_cast<uint16_t>(length);
        for (int n = 0; n < (1 << kExtraLengthBits[code]); ++n) t.lengthCode[length++] = static_cast<uint8_t>(code);
    }
    // Length 258 (index 255) would fit the last slot of code 27; it has
    // code 28 of its own instead.
    t.lengthCode[255] = static_cast<uint8_t>(kLengthCodes - 1);
    t.baseLength[kLengthCodes - 1] = 255;
    int dist = 0;
    for (code = 0; code < 16; ++code) {
        t.baseDist[code] = static_cast<uint16_t>(dist);
        for (int n = 0; n < (1 << kExtraDistBits[code]); ++n) t.distCode[dist++] = static_cast<uint8_t>(code);
    }
    dist >>= 7;
    for (; code < kDistCodes; ++code) {
        t.baseDist[code] = static_cast<uint16_t>(dist << 7);
        for (int n = 0; n < (1 << (kExtraDistBits[code] - 7)); ++n) {
            t.distCode[256 + dist++] = static_cast<uint8_t>(code);
        }
    }
    return t;
}
inline constexpr CodeTables kCodes = MakeCodeTables();
static_assert(kCodes.lengthCode[254] == 27 && kCodes.baseDist[29] == 24576);

// Distance code of (distance - 1), 0..32767. The table index is chosen
// with a mask rather than a branch: near and far distances alternate with
// no pattern a predictor could learn.
inline uint32_t DistCode(uint32_t dist) {
    const uint32_t farIndex = 256 + (dist >> 7);
    const uint32_t index = dist < 256 ? dist : farIndex;
    return kCodes.distCode[index];
}

// The fixed Huffman trees: literal/length lengths 8 (0-143), 9 (144-255),
// 7 (256-279), 8 (280-287); distance codes all 5 bits. Codes are canonical
// and stored bit-reversed, ready to send.
struct FixedTrees {
    uint8_t litLenLength[kFixedLitLenCodes] = {};
    uint16_t litLenCode[kFixedLitLenCodes] = {};
    uint8_t distLength[kDistCodes] = {};
    uint16_t distCode[kDistCodes] = {};
};

constexpr FixedTrees MakeFixedTrees() {
    FixedTrees t;
    int count[kMaxBits + 1] = {};
    for (int n = 0; n < kFixedLitLenCodes; ++n) {
        int len = n < 144 ? 8 : n < 256 ? 9 : n < 280 ? 7 : 8;
        t.litLenLength[n] = static_cast<uint8_t>(len);
        ++count[len];
    }
    uint32_t next[kMaxBits + 1] = {};
    uint32_t code = 0;
    for (int bits = 1; bits <= kMaxBits; ++bits) {
        code = (code + count[bits - 1]) << 1;
        next[bits] = code;
    }
    for (int n = 0; n < kFixedLitLenCodes; ++n) {
        int len = t.litLenLength[n];
        t.litLenCode[n] = static_cast<uint16_t>(ReverseBits(next[len]++, len));
    }
    for (int n = 0; n < kDistCodes; ++n) {
        t.distLength[n] = 5;
        t.distCode[n] = static_cast<uint16_t>(ReverseBits(static_cast<uint32_t>(n), 5));
    }
    return t;
}
inline constexpr FixedTrees kFixed = MakeFixedTrees();
static_assert(kFixed.litLenCode[256] == 0 && kFixed.litLenLength[256] == 7, "end of block is the all-zero 7-bit code");

}  // namespace tovra::compress
