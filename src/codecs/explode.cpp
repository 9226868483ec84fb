// explode.cpp - Shannon-Fano tree reading and the LZ77 loop of explode.
//
// State (locals of Decode):
//   in          the bit input (legacy_bit_input.h): bits from the low end;
//               missing bits after the member's end read as zeros until one
//               of them is used, then a further need is the end of the input.
//   position    bytes in the window not flushed yet (0..32767 between steps).
//   flushed     a full window has been handed on; before that a match that
//               reaches before the member's first byte yields zeros.
//   remaining   bytes still to produce; may go below 0 by the last match.
// Codes: the trees' codes are the complements of the canonical codes that
// BuildHuffmanTables assigns, so every look-up indexes with the complement of
// the input bits. Distances are at most 8192 and lengths at most 321, and the
// window is 32768 bytes: every copy is split at the window's end for source
// and destination and indexed modulo its size, so no value read from the
// member can reach outside it.
#include "codecs/explode.h"

#include <algorithm>
#include <cstring>

#include "codecs/inflate_tables.h"
#include "codecs/legacy_bit_input.h"

namespace tovra::codecs {
namespace {

constexpr unsigned kLiteralCodes = 256;
constexpr unsigned kLengthCodes = 64;
constexpr unsigned kDistanceCodes = 64;
constexpr int kLiteralBits = 9;
constexpr int kLengthBits = 7;
constexpr int kDistanceBits = 7;
constexpr int kLargeDistanceBits = 8;
constexpr unsigned kLongLengthSymbol = 63;  // followed by 8 bits added to the length
constexpr int kLongLengthExtra = 8;

// Bases and extra bits of the four variants, built by rule: length symbol i
// is base + i (base 2 without a literal tree, 3 with one), distance symbol i
// covers 64 (4 KiB) or 128 (8 KiB) distances from 1 + i times that.
struct ExplodeTables {
    uint16_t length2[kLengthCodes] = {};
    uint16_t length3[kLengthCodes] = {};
    uint16_t distance4k[kDistanceCodes] = {};
    uint16_t distance8k[kDistanceCodes] = {};
    uint8_t lengthExtra[kLengthCodes] = {};
    uint8_t distanceExtra[kDistanceCodes] = {};
    constexpr ExplodeTables() {
        for (unsigned i = 0; i < kLengthCodes; ++i) {
            length2[i] = static_cast<uint16_t>(2 + i);
            length3[i] = static_cast<uint16_t>(3 + i);
            distance4k[i] = static_cast<uint16_t>(1 + 64 * i);
            distance8k[i] = static_cast<uint16_t>(1 + 128 * i);
        }
        lengthExtra[kLongLengthSymbol] = kLongLengthExtra;
    }
};
constexpr ExplodeTables kTables;
static_assert(kTables.distance4k[63] == 4033 && kTables.distance8k[63] == 8065);
// The largest match never spans more than the window.
static_assert(66 + 255 + 127 + 8065 < kWindowSize);

// Decodes one code, or returns false (invalid code, input exhausted).
inline bool DecodeCode(LegacyBitInput& in, const HuffmanTableList& table, int bits, HuffmanEntry& entry) {
    if (!in.Need(bits)) return false;
    entry = table.Root()[~in.Peek(bits) & kBitMask[bits]];
    while (entry.operation > kOpLiteral) {
        if (entry.operation == kOpInvalid) return false;
        in.Drop(entry.bits);
        const int subBits = entry.operation - kOpLiteral;
        if (!in.Need(subBits)) return false;
        entry = table.SubTable(entry)[~in.Peek(subBits) & kBitMask[subBits]];
    }
    if (entry.operation == kOpInvalid) return false;
    in.Drop(entry.bits);
    return true;
}

int BuildResult(int built) {
    switch (built) {
        case kBuildComplete:
            return kExplodeOk;
        case kBuildIncomplete:
            return kExplodeBadData;
        case kBuildNoMemory:
            return kExplodeNoMemory;
        default:
            return kExplodeOversubscribed;
    }
}

}  // namespace

Exploder::Exploder(CodecSource& source, CodecSink& sink, uint8_t* window, uint16_t flags, int64_t compressedSize,
                   int64_t uncompressedSize)
    : source_(source),
      sink_(sink),
      window_(window),
      flags_(flags),
      compressedSize_(compressedSize),
      uncompressedSize_(uncompressedSize) {}

// A tree description: one byte n, then n + 1 bytes each giving a run of
// ((high 4 bits) + 1) codes of length (low 4 bits) + 1. A byte past the
// member's end reads as 0xFF.
int Exploder::ReadTree(uint8_t* lengths, unsigned expected) {
    auto next = [this]() {
        const int byte = source_.NextByte();
        ++treeBytes_;
        return byte < 0 ? 0xFF : byte;
    };
    const unsigned runs = static_cast<unsigned>(next()) + 1;
    unsigned filled = 0;
    for (unsigned i = 0; i < runs; ++i) {
        const unsigned byte = static_cast<unsigned>(next());
        const unsigned length = (byte & 0x0F) + 1;
        const unsigned repeat = (byte >> 4) + 1;
        if (filled + repeat > expected) return kExplodeBadTree;
        std::memset(lengths + filled, static_cast<int>(length), repeat);
        filled += repeat;
    }
    return filled == expected ? kExplodeOk : kExplodeBadTree;
}

int Exploder::Explode() {
    const bool literalTree = (flags_ & kImplodeFlagLiteralTree) != 0;
    return Decode(literalTree);
}

int Exploder::Decode(bool hasLiteralTree) {
    const bool largeWindow = (flags_ & kImplodeFlagLargeWindow) != 0;
    const int distanceLowBits = largeWindow ? 7 : 6;
    uint8_t lengths[kLiteralCodes];

    HuffmanTableList literals;
    int literalBits = kLiteralBits;
    if (hasLiteralTree) {
        if (int r = ReadTree(lengths, kLiteralCodes); r != kExplodeOk) return r;
        if (int r =
                BuildResult(BuildHuffmanTables(lengths, kLiteralCodes, kLiteralCodes, {}, {}, literals, literalBits));
            r != kExplodeOk)
            return r;
    }
    HuffmanTableList lengthTable;
    int lengthBits = kLengthBits;
    if (int r = ReadTree(lengths, kLengthCodes); r != kExplodeOk) return r;
    if (int r =
            BuildResult(BuildHuffmanTables(lengths, kLengthCodes, 0, hasLiteralTree ? kTables.length3 : kTables.length2,
                                           kTables.lengthExtra, lengthTable, lengthBits));
        r != kExplodeOk)
        return r;
    HuffmanTableList distanceTable;
    int distanceBits = compressedSize_ > kExplodeLargeMember ? kLargeDistanceBits : kDistanceBits;
    if (int r = ReadTree(lengths, kDistanceCodes); r != kExplodeOk) return r;
    if (int r = BuildResult(BuildHuffmanTables(lengths, kDistanceCodes, 0,
                                               largeWindow ? kTables.distance8k : kTables.distance4k,
                                               kTables.distanceExtra, distanceTable, distanceBits));
        r != kExplodeOk)
        return r;

    LegacyBitInput in(source_);
    uint8_t* const window = window_;
    uint32_t position = 0;
    bool flushed = false;
    int64_t remaining = uncompressedSize_;
    HuffmanEntry entry;

    while (remaining > 0) {
        if (!in.Need(1)) return kExplodeBadData;
        const bool literal = in.Peek(1) != 0;
        in.Drop(1);
        if (literal) {
            uint32_t byte;
            if (hasLiteralTree) {
                if (!DecodeCode(in, literals, literalBits, entry)) return kExplodeBadData;
                byte = entry.value;
            } else if (!in.Take(8, byte)) {
                return kExplodeBadData;
            }
            window[position++] = static_cast<uint8_t>(byte);
            --remaining;
            if (position == kWindowSize) {
                position = 0;
                flushed = true;
                if (int r = sink_.FlushWindow(window, kWindowSize); r != 0) return r;
            }
            continue;
        }

        uint32_t low;
        if (!in.Take(distanceLowBits, low)) return kExplodeBadData;
        if (!DecodeCode(in, distanceTable, distanceBits, entry)) return kExplodeBadData;
        const uint32_t distance = low + entry.value;
        if (!DecodeCode(in, lengthTable, lengthBits, entry)) return kExplodeBadData;
        uint32_t length = entry.value;
        if (entry.operation == kLongLengthExtra) {
            uint32_t extra;
            if (!in.Take(kLongLengthExtra, extra)) return kExplodeBadData;
            length += extra;
        }
        remaining -= length;

        uint32_t from = (position - distance) & (kWindowSize - 1);
        while (length > 0) {
            const uint32_t run = std::min(
                {length, static_cast<uint32_t>(kWindowSize) - position, static_cast<uint32_t>(kWindowSize) - from});
            if (!flushed && from >= position) {
                std::memset(window + position, 0, run);
            } else if (from + run <= position || from > position) {
                std::memmove(window + position, window + from, run);
            } else {
                for (uint32_t i = 0; i < run; ++i) window[position + i] = window[from + i];
            }
            position += run;
            from = (from + run) & (kWindowSize - 1);
            length -= run;
            if (position == kWindowSize) {
                position = 0;
                flushed = true;
                if (int r = sink_.FlushWindow(window, kWindowSize); r != 0) return r;
            }
        }
    }
    if (int r = sink_.FlushWindow(window, position); r != 0) return r;

    // Bytes of the member used: the tree descriptions, the bytes pulled for
    // bits, less the whole bytes still unused in the bit input; bits used
    // beyond the end count as bytes read past it.
    const int held = in.BitCount();
    int64_t used = treeBytes_ + in.BytesPulled() - (held > 0 ? held / 8 : 0);
    if (held < 0) used += (-held + 7) / 8;
    difference_ = compressedSize_ - used;
    return difference_ != 0 ? kExplodeInputMismatch : kExplodeOk;
}

}  // namespace tovra::codecs
