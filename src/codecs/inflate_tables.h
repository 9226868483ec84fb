// inflate_tables.h - multi-level Huffman lookup tables and the constant tables
// of the deflate format.
//
// BuildHuffmanTables turns a list of code lengths into lookup tables: a first
// level indexed by the next `bits` input bits (least significant bit first),
// whose entries are either a decoded symbol or a link to a sub-table indexed
// by the bits that follow. Inflate uses it for its three codes, explode for its
// Shannon-Fano trees (explode indexes with the complement of the input bits,
// because its codes are the complements of the canonical ones built here).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace tovra::codecs {

// Operation values of a table entry.
inline constexpr uint8_t kOpLiteral = 16;     // value is the byte (or simple symbol)
inline constexpr uint8_t kOpEndOfBlock = 15;  // symbol 256
inline constexpr uint8_t kOpInvalid = 99;     // no code reaches here, or a symbol without a meaning
// 0..13: a base symbol; value is the base, operation the number of extra bits
// that follow. Above kOpLiteral (and not kOpInvalid): a link; the sub-table is
// indexed by (operation - kOpLiteral) further bits.

// One slot of a lookup table. The bit count comes first, so that a decoder
// that reads an entry as one little-endian word finds it in the low byte and
// can shift its bit buffer by the word directly.
struct HuffmanEntry {
    uint8_t bits;  // bits of the code (or code prefix) at this table's level
    uint8_t operation;
    uint16_t value;  // literal or base
    uint32_t link;   // for a link: index of the sub-table's first slot in its list
};
static_assert(sizeof(HuffmanEntry) == 8);

// All tables of one code. The tables live in one heap block: each table is a
// header entry followed by its 2^k slots, the header holding the index of the
// previous table's header in its link field (kNoTable for the first), so the
// tables form a singly linked list; the list is freed as one block. A link
// entry holds the index of its sub-table's first slot, so a lookup never
// follows a pointer that could dangle. Building into a list that held tables
// reuses its block, so a decoder that keeps its lists allocates once, not
// once per block.
//
// An empty code (every length 0) has no tables; Root() then returns a single
// invalid entry of 0 bits, so a decoder that looks into an empty table meets
// an invalid code instead of memory it does not own.
class HuffmanTableList {
public:
    static constexpr uint32_t kNoTable = 0xFFFFFFFF;

    HuffmanTableList() = default;
    ~HuffmanTableList() { Free(); }
    HuffmanTableList(const HuffmanTableList&) = delete;
    HuffmanTableList& operator=(const HuffmanTableList&) = delete;

    // First-level table (2^bits slots, bits as returned by the builder).
    const HuffmanEntry* Root() const { return Base() + 1; }
    // All slots of the list; the sub-table of a link entry e starts at Base() + e.link.
    const HuffmanEntry* Base() const { return size_ != 0 ? entries_ : kEmptyTable; }
    const HuffmanEntry* SubTable(const HuffmanEntry& entry) const { return Base() + entry.link; }
    bool Empty() const { return size_ == 0; }
    // Number of entries held, headers included.
    uint32_t EntryCount() const { return size_; }
    // Drops every table but keeps the memory for the next build.
    void Clear() { size_ = 0; }
    // Releases every table and the memory; the list is empty afterwards.
    void Free();

private:
    friend class HuffmanTableBuilder;
    // An empty code's list: a header and one invalid slot of 0 bits.
    static constexpr HuffmanEntry kEmptyTable[2] = {{0, 0, 0, kNoTable}, {0, kOpInvalid, 0, 0}};
    HuffmanEntry* entries_ = nullptr;
    uint32_t size_ = 0;
    uint32_t capacity_ = 0;
};

// Result codes of BuildHuffmanTables.
inline constexpr int kBuildComplete = 0;
inline constexpr int kBuildIncomplete = 1;
inline constexpr int kBuildOversubscribed = 2;
inline constexpr int kBuildNoMemory = 3;

// Longest code length the builder accepts (explode's trees use 16).
inline constexpr unsigned kMaxCodeLength = 16;
// Most codes of one table (the literal/length code of inflate).
inline constexpr unsigned kMaxCodes = 288;

// Builds the lookup tables of a canonical prefix code into `list` (whatever
// tables it held are dropped first; its memory is reused).
//   lengths[0..count): code length of each symbol, 0 = unused, at most
//     kMaxCodeLength; count at most kMaxCodes.
//   simpleCount: symbols below it decode to themselves (operation kOpLiteral
//     below 256, kOpEndOfBlock for 256); symbol s at or above it decodes to
//     base[s - simpleCount] with operation extra[s - simpleCount]. A symbol
//     past the end of `base` or `extra` decodes to an invalid entry, so a table
//     never reads outside them.
//   bits: the wanted first-level width in; the width used out (clamped to the
//     shortest and longest length present; 0 for an empty code).
//     An incomplete code's first level is not widened to the shortest
//     length: it keeps the width asked for (or the longest length, if that
//     is narrower), and codes longer than it go to sub-tables.
// Returns kBuildComplete; kBuildIncomplete when codes are missing (and the
// longest length is not 1; missing codes decode to invalid entries);
// kBuildOversubscribed (nothing built); kBuildNoMemory (nothing kept, the
// list's memory released). An
// empty code gives kBuildComplete with no tables and width 0. Values outside
// these rules (a length above kMaxCodeLength, too many codes) give
// kBuildOversubscribed.
int BuildHuffmanTables(const uint8_t* lengths, unsigned count, unsigned simpleCount, std::span<const uint16_t> base,
                       std::span<const uint8_t> extra, HuffmanTableList& list, int& bits);

// The deflate format's constant tables.
inline constexpr unsigned kLengthSymbols = 31;    // length symbols 257..287
inline constexpr unsigned kDistanceSymbols = 30;  // distance symbols 0..29
inline constexpr unsigned kCodeLengthSymbols = 19;
extern const uint16_t (&kLengthBase)[kLengthSymbols];
extern const uint8_t (&kLengthExtra)[kLengthSymbols];  // 99 (invalid) for 286 and 287
extern const uint16_t (&kDistanceBase)[kDistanceSymbols];
extern const uint8_t (&kDistanceExtra)[kDistanceSymbols];
extern const uint8_t kCodeLengthOrder[kCodeLengthSymbols];
extern const uint32_t kBitMask[17];  // kBitMask[n] = 2^n - 1

// Entries of all tables built since the counter was last cleared (inflate
// clears it before each block); kept for diagnostics.
uint32_t& HuffmanEntriesInUse();

// Table slots the builder has written since the counter was last cleared (by
// whoever reads it; nothing else clears it): a code's entry counts once per
// slot it fills, the invalid fill of an incomplete code's table once per slot.
// Tests bound the builder's work per table with it.
uint64_t& HuffmanSlotsWritten();

}  // namespace tovra::codecs
