// inflate_fast_tables.h - the fast loop's compact copy of a code's tables.
//
// The careful decoder reads HuffmanTableList entries of 8 bytes whose fields
// need unpacking. The fast loop reads a 4-byte word per slot instead, laid
// out so that its common steps take one or two instructions each:
//   bits 0..7   bits to drop for this step: the code's bits at this level,
//               plus a length's extra bits (so one shift takes a whole length)
//   bits 8..12  a length's code bits (its extra bits start there), a
//               distance's extra bits, or a link's sub-table width
//   bit 13      link to a sub-table
//   bit 14      end of block or no valid code: left to the careful loop
//   bit 31      literal
//   bits 16..30 literal byte, base, or index of the sub-table's first slot
// The first level always has 2^kFastLiteralRootBits (literal/length code) or
// 2^kFastDistanceRootBits (distance code) slots, a narrower first level of
// the list being repeated to fill it, so the fast loop indexes it with a
// constant mask. The list's sub-tables follow it, in the list's order.
#pragma once

#include <cstdint>

#include "codecs/inflate_tables.h"

namespace tovra::codecs {

inline constexpr uint32_t kFastLink = 1u << 13;
inline constexpr uint32_t kFastExceptional = 1u << 14;
inline constexpr uint32_t kFastLiteral = 1u << 31;

// The widest first levels inflate builds (wider ones are impossible: a
// complete code with no code shorter than 11 bits needs 2048 symbols).
inline constexpr int kFastLiteralRootBits = 10;
inline constexpr int kFastDistanceRootBits = 6;

// Most slots a compact table holds; a code whose lists need more (far above
// what a 10-bit first level gives for 288 symbols) is decoded by the careful
// loop alone. Indices must fit the 15-bit value field.
inline constexpr uint32_t kFastTableCapacity = 4096;
static_assert(kFastTableCapacity <= 0x8000);

// Which code a table is for: a length's extra bits join its code bits in one
// step; a distance's extra bits are taken in a step of their own, after a
// refill (a long length and a long distance do not fit one refill).
enum class FastCode { kLiteralLength, kDistance };

struct FastTable {
    uint32_t slots[kFastTableCapacity];
    bool usable = false;  // false: the careful loop decodes this code alone
};

// The compact word of one list entry. `shift` moves a list index to the
// compact table's index of the same slot.
inline uint32_t FastWord(const HuffmanEntry& entry, FastCode code, uint32_t shift) {
    const uint32_t bits = entry.bits;
    const uint32_t value = uint32_t{entry.value} << 16;
    if (entry.operation == kOpLiteral) return kFastLiteral | value | bits;
    if (entry.operation < kOpEndOfBlock - 1) {
        // A base; operation is the number of extra bits.
        const uint32_t extra = entry.operation;
        if (code == FastCode::kLiteralLength) return value | (bits << 8) | (bits + extra);
        return value | (extra << 8) | bits;
    }
    if (entry.operation > kOpLiteral && entry.operation != kOpInvalid) {
        const uint32_t width = entry.operation - kOpLiteral;
        return ((entry.link + shift) << 16) | kFastLink | (width << 8) | bits;
    }
    return kFastExceptional;  // end of block, or no valid code
}

// Fills `table` from `list`, whose first level is `rootBits` wide (as the
// builder returned it); leaves the table unusable when the list does not fit
// or its first level is wider than the compact one. Inflate has the builder
// write the compact words as it goes (BuildHuffmanTables with a FastTable),
// which gives the same table without a second pass over every slot; this
// translation is the plain statement of what that table must hold.
void BuildFastTable(const HuffmanTableList& list, int rootBits, FastCode code, FastTable& table);

// BuildHuffmanTables (same arguments, same lists, same result) that also
// fills `*fast`, when it is not null, as BuildFastTable(list, bits, code,
// *fast) would, word for word.
int BuildHuffmanTables(const uint8_t* lengths, unsigned count, unsigned simpleCount, std::span<const uint16_t> base,
                       std::span<const uint8_t> extra, HuffmanTableList& list, int& bits, FastCode code,
                       FastTable* fast);

}  // namespace tovra::codecs
