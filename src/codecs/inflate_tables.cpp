// inflate_tables.cpp - the Huffman table builder and the deflate format's
// constant tables.
//
// The builder is the canonical multi-level construction: codes are assigned
// in increasing order of (length, symbol); a code's bits are read least
// significant first, so the builder walks the codes with a bit-reversed
// counter and stores each code in every slot whose low bits equal it. Codes
// longer than a table's reach go to sub-tables opened on the way.
//
// An incomplete code leaves slots that no code reaches. Its tables are filled
// with invalid entries in one pass when they are allocated, and its first
// level is never wider than asked for: a lone 15-bit code must not make a
// 32768-slot table whose free slots are then walked one by one (an archive
// can repeat such a code in every 12-byte block). A complete code of a given
// shortest length has at least that many codes' worth of slots, so widening
// its first level to that length costs no more than the codes themselves.
#include "codecs/inflate_tables.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "codecs/inflate_fast_tables.h"

namespace tovra::codecs {

namespace {

// Length symbols 257..284 come in groups: eight with no extra bits, then
// groups of four whose extra bits grow by one, each base following the last
// one's range; 285 is 258 exactly; 286 and 287 have no meaning.
struct LengthTables {
    uint16_t base[kLengthSymbols] = {};
    uint8_t extra[kLengthSymbols] = {};
    constexpr LengthTables() {
        unsigned next = 3;
        for (unsigned i = 0; i < 28; ++i) {
            extra[i] = static_cast<uint8_t>(i < 8 ? 0 : (i - 4) / 4);
            base[i] = static_cast<uint16_t>(next);
            next += 1u << extra[i];
        }
        base[28] = 258;
        extra[28] = 0;
        for (unsigned i = 29; i < kLengthSymbols; ++i) {
            base[i] = 0;
            extra[i] = kOpInvalid;
        }
    }
};

// Distance symbols: four with no extra bits, then pairs whose extra bits grow
// by one, each base following the last one's range (1 .. 24577 + 8191).
struct DistanceTables {
    uint16_t base[kDistanceSymbols] = {};
    uint8_t extra[kDistanceSymbols] = {};
    constexpr DistanceTables() {
        unsigned next = 1;
        for (unsigned i = 0; i < kDistanceSymbols; ++i) {
            extra[i] = static_cast<uint8_t>(i < 4 ? 0 : (i - 2) / 2);
            base[i] = static_cast<uint16_t>(next);
            next += 1u << extra[i];
        }
    }
};

constexpr LengthTables kLengths;
constexpr DistanceTables kDistances;
static_assert(kLengths.base[27] == 227 && kLengths.extra[27] == 5);
static_assert(kDistances.base[29] == 24577 && kDistances.extra[29] == 13);

uint32_t entriesInUse = 0;
uint64_t slotsWritten = 0;

}  // namespace

const uint16_t (&kLengthBase)[kLengthSymbols] = kLengths.base;
const uint8_t (&kLengthExtra)[kLengthSymbols] = kLengths.extra;
const uint16_t (&kDistanceBase)[kDistanceSymbols] = kDistances.base;
const uint8_t (&kDistanceExtra)[kDistanceSymbols] = kDistances.extra;
const uint8_t kCodeLengthOrder[kCodeLengthSymbols] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};
const uint32_t kBitMask[17] = {0x0000, 0x0001, 0x0003, 0x0007, 0x000F, 0x001F, 0x003F, 0x007F, 0x00FF,
                               0x01FF, 0x03FF, 0x07FF, 0x0FFF, 0x1FFF, 0x3FFF, 0x7FFF, 0xFFFF};

uint32_t& HuffmanEntriesInUse() { return entriesInUse; }
uint64_t& HuffmanSlotsWritten() { return slotsWritten; }

void HuffmanTableList::Free() {
    std::free(entries_);
    entries_ = nullptr;
    size_ = 0;
    capacity_ = 0;
}

// Builds one code's tables into a list; see BuildHuffmanTables for the contract.
//
// With a compact table attached, every slot written into the list is written
// into the compact table too, as its FastWord: the list's first level (of
// 2^rootWidth slots, after the root's header) at the compact table's start,
// and every later list index i at i + shift, shift = 2^fastRootBits - (1 +
// 2^rootWidth), where BuildFastTable would put it. Each code's word is made
// once, not once per slot it fills.
class HuffmanTableBuilder {
public:
    HuffmanTableBuilder(HuffmanTableList& list) : list_(list) {}

    // Attaches `fast`, whose first level will be filled from a list first
    // level of 2^rootWidth slots. The table stays unusable (and is no longer
    // written) when the list's first level is wider than the compact one or
    // a sub-table would not fit.
    void AttachFast(FastTable& fast, FastCode code, int rootWidth) {
        fast.usable = false;
        const int fastRootBits = code == FastCode::kLiteralLength ? kFastLiteralRootBits : kFastDistanceRootBits;
        if (rootWidth > fastRootBits) return;
        fast_ = &fast;
        code_ = code;
        listRoot_ = 1u << rootWidth;
        fastRoot_ = 1u << fastRootBits;
        shift_ = fastRoot_ - (1 + listRoot_);
    }

    // Repeats the compact first level from `filled` slots up to its full
    // width and marks the table usable.
    void FinishFast(uint32_t filled) {
        if (fast_ == nullptr) return;
        for (; filled < fastRoot_; filled *= 2)
            std::memcpy(fast_->slots + filled, fast_->slots, filled * sizeof(fast_->slots[0]));
        fast_->usable = true;
    }

    // Writes `entry` into list slot `index` and its word into the compact one.
    void Write(uint32_t index, const HuffmanEntry& entry) {
        list_.entries_[index] = entry;
        if (fast_ != nullptr) fast_->slots[FastIndex(index)] = FastWord(entry, code_, shift_);
    }

    // Writes one code's entry into every `step`-th slot of the table whose
    // first slot is `start`, from `first` below `end`.
    void WriteEvery(uint32_t start, uint32_t first, uint32_t end, uint32_t step, const HuffmanEntry& entry) {
        HuffmanEntry* const table = list_.entries_ + start;
        for (uint32_t slot = first; slot < end; slot += step) table[slot] = entry;
        if (fast_ == nullptr) return;
        uint32_t* const fastTable = fast_->slots + FastIndex(start);
        const uint32_t word = FastWord(entry, code_, shift_);
        for (uint32_t slot = first; slot < end; slot += step) fastTable[slot] = word;
    }

    // Doubles the first `span` slots of the first level (list and compact).
    void DoubleRoot(uint32_t rootStart, uint32_t span) {
        HuffmanEntry* const root = list_.entries_ + rootStart;
        std::copy(root, root + span, root + span);
        if (fast_ != nullptr) std::memcpy(fast_->slots + span, fast_->slots, span * sizeof(fast_->slots[0]));
    }

    // Appends a table of 2^width slots (after its header) and returns the
    // index of its first slot, or kNoTable when memory is short. With
    // `fillInvalid` every slot starts as an invalid entry.
    uint32_t AllocateTable(int width, bool fillInvalid) {
        const uint32_t need = (1u << width) + 1;
        if (list_.size_ + need > list_.capacity_) {
            uint32_t capacity = std::max<uint32_t>(list_.capacity_ * 2, 1024);
            while (capacity < list_.size_ + need) capacity *= 2;
            void* grown = std::realloc(list_.entries_, capacity * sizeof(HuffmanEntry));
            if (grown == nullptr) return HuffmanTableList::kNoTable;
            list_.entries_ = static_cast<HuffmanEntry*>(grown);
            list_.capacity_ = capacity;
        }
        const uint32_t header = list_.size_;
        list_.entries_[header] = HuffmanEntry{0, 0, 0, lastHeader_};
        lastHeader_ = header;
        list_.size_ += need;
        entriesInUse += need;
        if (fast_ != nullptr && header != 0) {
            // A sub-table, with its header as BuildFastTable copies it.
            if (header + need + shift_ > kFastTableCapacity) {
                fast_ = nullptr;
            } else {
                fast_->slots[header + shift_] = FastWord(list_.entries_[header], code_, shift_);
            }
        }
        if (fillInvalid) {
            std::fill(list_.entries_ + header + 1, list_.entries_ + header + need, HuffmanEntry{0, kOpInvalid, 0, 0});
            if (fast_ != nullptr) {
                uint32_t* const first = fast_->slots + FastIndex(header + 1);
                std::fill(first, first + (need - 1), kFastExceptional);
            }
            slotsWritten += need - 1;
        }
        return header + 1;
    }

private:
    uint32_t FastIndex(uint32_t index) const { return index < 1 + listRoot_ ? index - 1 : index + shift_; }

    HuffmanTableList& list_;
    uint32_t lastHeader_ = HuffmanTableList::kNoTable;
    FastTable* fast_ = nullptr;
    FastCode code_ = FastCode::kLiteralLength;
    uint32_t listRoot_ = 0;
    uint32_t fastRoot_ = 0;
    uint32_t shift_ = 0;
};

namespace {

int BuildTables(const uint8_t* lengths, unsigned count, unsigned simpleCount, std::span<const uint16_t> base,
                std::span<const uint8_t> extra, HuffmanTableList& list, int& bits, FastTable* fast, FastCode fastCode) {
    list.Clear();
    if (count > kMaxCodes) return kBuildOversubscribed;

    // 1. Codes of each length.
    unsigned counts[kMaxCodeLength + 1] = {};
    for (unsigned i = 0; i < count; ++i) {
        if (lengths[i] > kMaxCodeLength) return kBuildOversubscribed;
        ++counts[lengths[i]];
    }
    if (counts[0] == count) {
        bits = 0;
        if (fast != nullptr) {
            // As BuildFastTable gives for an empty list: no valid code anywhere.
            const int fastRootBits =
                fastCode == FastCode::kLiteralLength ? kFastLiteralRootBits : kFastDistanceRootBits;
            std::fill(fast->slots, fast->slots + (1u << fastRootBits), kFastExceptional);
            fast->usable = true;
        }
        return kBuildComplete;
    }

    // 2. The lengths present, and the first-level width within them.
    int minLength = 1;
    while (counts[minLength] == 0) ++minLength;
    int maxLength = kMaxCodeLength;
    while (counts[maxLength] == 0) --maxLength;

    // 3. Over-subscription: at each length, no more codes than free slots.
    // What stays free at the longest length makes the code incomplete.
    int32_t freeSlots = 1;
    for (int len = 1; len <= maxLength; ++len) {
        freeSlots = freeSlots * 2 - static_cast<int32_t>(counts[len]);
        if (freeSlots < 0) return kBuildOversubscribed;
    }
    const bool incomplete = freeSlots != 0;

    // An incomplete code's first level is not widened past the width asked
    // for (see the top of this file).
    const int rootWidth = std::clamp(bits, incomplete ? 1 : minLength, maxLength);

    // 4. Symbols sorted by length, equal lengths in symbol order.
    uint16_t sorted[kMaxCodes];
    unsigned next[kMaxCodeLength + 1] = {};
    for (int len = 2; len <= maxLength; ++len) next[len] = next[len - 1] + counts[len - 1];
    for (unsigned i = 0; i < count; ++i) {
        if (lengths[i] != 0) sorted[next[lengths[i]]++] = static_cast<uint16_t>(i);
    }

    // The end-of-block code's length: a sub-table is cut to end there, so the
    // block's last code never needs a deeper lookup than necessary.
    const int endOfBlockLength = count > 256 ? lengths[256] : 16;

    // 5./6. Walk the codes in canonical order.
    struct Level {
        int offset;       // code bits consumed by the tables above
        int width;        // index bits of this table
        uint32_t start;   // first slot in the list
        uint32_t prefix;  // the code bits (offset of them) that lead here
    };
    Level levels[kMaxCodeLength + 1];
    int top = 0;
    HuffmanTableBuilder builder(list);
    if (fast != nullptr) builder.AttachFast(*fast, fastCode, rootWidth);
    uint32_t rootStart = builder.AllocateTable(rootWidth, incomplete);
    if (rootStart == HuffmanTableList::kNoTable) {
        list.Free();
        return kBuildNoMemory;
    }
    levels[0] = Level{0, rootWidth, rootStart, 0};

    // Codes that end in the first level are stored once, in the first 2^len
    // slots, and that prefix is doubled (copied after itself) as the length
    // grows: a code of length len repeats every 2^len slots, so the copies
    // are its other slots. The doubling reaches the whole first level before
    // any link to a sub-table is written.
    // (The list's block may move when a sub-table is allocated, so the
    // builder finds the first level afresh each time.)
    uint32_t rootSpan = 1u << std::min(minLength, rootWidth);
    auto growRoot = [&](int len) {
        const uint32_t span = 1u << std::min(len, rootWidth);
        for (; rootSpan < span; rootSpan *= 2) builder.DoubleRoot(rootStart, rootSpan);
    };

    uint32_t code = 0;  // current code, bit-reversed (first bit in bit 0)
    unsigned position = 0;
    for (int len = minLength; len <= maxLength; ++len) {
        growRoot(len);
        for (unsigned left = counts[len]; left > 0; --left) {
            // Leave tables whose prefix this code no longer has.
            while (top > 0 && (code & kBitMask[levels[top].offset]) != levels[top].prefix) --top;
            // Open sub-tables until the code ends inside the current table.
            while (len > levels[top].offset + levels[top].width) {
                const int offset = levels[top].offset + levels[top].width;
                const int limit = std::min(maxLength - offset, rootWidth);
                int width = len - offset;
                if (width >= limit) {
                    width = limit;
                } else {
                    // Grow while the codes of the next lengths would leave
                    // slots of a narrower table unused.
                    int32_t unused = (1 << width) - static_cast<int32_t>(left);
                    int nextLength = len;
                    while (unused > 0 && width < limit) {
                        ++width;
                        ++nextLength;
                        unused *= 2;
                        if (unused <= static_cast<int32_t>(counts[nextLength])) break;
                        unused -= static_cast<int32_t>(counts[nextLength]);
                    }
                }
                if (offset < endOfBlockLength && offset + width > endOfBlockLength) width = endOfBlockLength - offset;
                const uint32_t start = builder.AllocateTable(width, incomplete);
                if (start == HuffmanTableList::kNoTable) {
                    list.Free();
                    return kBuildNoMemory;
                }
                const Level& parent = levels[top];
                const uint32_t slot = (code >> parent.offset) & kBitMask[parent.width];
                builder.Write(parent.start + slot, HuffmanEntry{static_cast<uint8_t>(parent.width),
                                                                static_cast<uint8_t>(kOpLiteral + width), 0, start});
                ++top;
                levels[top] = Level{offset, width, start, code & kBitMask[offset]};
            }

            // The code's entry, in every slot whose low bits are the code.
            const Level& level = levels[top];
            // (The entry is made whole from locals: filling in a copy on the
            // stack field by field made every read of it wait for the stores.)
            const unsigned symbol = sorted[position++];
            uint8_t operation = kOpInvalid;
            uint16_t value = 0;
            if (symbol < simpleCount) {
                operation = symbol < 256 ? kOpLiteral : kOpEndOfBlock;
                value = static_cast<uint16_t>(symbol);
            } else if (symbol - simpleCount < base.size() && symbol - simpleCount < extra.size()) {
                operation = extra[symbol - simpleCount];
                value = base[symbol - simpleCount];
            }
            const HuffmanEntry entry{static_cast<uint8_t>(len - level.offset), operation, value, 0};
            if (len <= rootWidth) {
                builder.Write(rootStart + code, entry);
            } else {
                builder.WriteEvery(level.start, code >> level.offset, 1u << level.width, 1u << (len - level.offset),
                                   entry);
            }
            slotsWritten += (1u << level.width) >> (len - level.offset);

            // Next code in bit-reversed order.
            uint32_t bit = 1u << (len - 1);
            while (bit != 0 && (code & bit) != 0) {
                code ^= bit;
                bit >>= 1;
            }
            code ^= bit;
        }
    }

    growRoot(rootWidth);
    builder.FinishFast(1u << rootWidth);
    bits = rootWidth;
    // 7. Incomplete unless nothing was left free (a lone one-bit code counts
    // as complete).
    return incomplete && maxLength != 1 ? kBuildIncomplete : kBuildComplete;
}

}  // namespace

int BuildHuffmanTables(const uint8_t* lengths, unsigned count, unsigned simpleCount, std::span<const uint16_t> base,
                       std::span<const uint8_t> extra, HuffmanTableList& list, int& bits) {
    return BuildTables(lengths, count, simpleCount, base, extra, list, bits, nullptr, FastCode::kLiteralLength);
}

int BuildHuffmanTables(const uint8_t* lengths, unsigned count, unsigned simpleCount, std::span<const uint16_t> base,
                       std::span<const uint8_t> extra, HuffmanTableList& list, int& bits, FastCode code,
                       FastTable* fast) {
    if (fast != nullptr) fast->usable = false;
    return BuildTables(lengths, count, simpleCount, base, extra, list, bits, fast, code);
}

}  // namespace tovra::codecs
