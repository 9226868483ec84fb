// inflate_fast.cpp - the fast loops of inflate.
//
// InflateCodesFast decodes symbols straight from the source's buffered bytes
// with a 64-bit bit buffer refilled a whole word at a time, so it needs no
// check per bit and none per output byte. It runs only while the named margins
// below guarantee that no step can read past the buffered bytes or write past
// the window, and it leaves every unusual symbol (end of block, an invalid
// code, a distance beyond the bytes written, a match that reaches the window's
// end and so needs a flush) to the careful loop of
// inflate.cpp by stopping just before it. On return the state is exactly what
// the careful loop would have after the same symbols: whole bytes still in the
// bit buffer are handed back to the source.
#include <algorithm>
#include <bit>
#include <cstring>

#include "codecs/inflate.h"
#include "codecs/inflate_copy.h"

namespace tovra::codecs {

namespace {

// A refill loads one 8-byte word and keeps at least this many valid bits.
constexpr unsigned kRefillBits = 56;
constexpr size_t kRefillReadBytes = 8;
constexpr size_t kRefillAdvanceMax = 7;  // bytes a refill can consume
// Refills in one step: at the top and after a length.
constexpr unsigned kRefillsPerStep = 2;

// Longest code (sub-tables included) and the most extra bits.
constexpr unsigned kMaxCodeBits = 15;
constexpr unsigned kMaxLengthExtra = 5;
constexpr unsigned kMaxDistanceExtra = 13;
// After a refill: two literals and the look-up of the next code.
static_assert(kRefillBits >= 3 * kMaxCodeBits);
// After a refill: a literal, then a length code with its extra bits and the
// first-level look-up of the distance code.
static_assert(kRefillBits >= kMaxCodeBits + kMaxCodeBits + kMaxLengthExtra + kMaxCodeBits);
// After the refill that follows a length: the distance and the next look-up.
static_assert(kRefillBits >= kMaxCodeBits + kMaxDistanceExtra + kMaxCodeBits);

// Buffered bytes needed at the top of a step: each refill of the step may
// start kRefillAdvanceMax bytes after the one before, and reads a word.
constexpr size_t kFastInputMargin = 16;
static_assert(kFastInputMargin >= (kRefillsPerStep - 1) * kRefillAdvanceMax + kRefillReadBytes);

// Window room needed at the top of a step: two literals, plus one byte so that
// the window never fills up inside this loop (filling it means a flush, which
// is the careful loop's job). A match is checked against the window's end on
// its own, so the loop runs up to the last few bytes of the window.
constexpr uint32_t kLiteralsPerStep = 2;
constexpr uint32_t kFastOutputMargin = kLiteralsPerStep + 1;
static_assert(kFastOutputMargin < kWindowSize);

inline uint64_t LoadWord(const uint8_t* p) {
    uint64_t word;
    std::memcpy(&word, p, 8);
    return word;
}

// A table entry as one little-endian word: bits, operation, value, link.
// The bit count is at most 16, so the low 6 bits of the word are the count
// (a shift by the word masked to 6 bits is one instruction).
static_assert(std::endian::native == std::endian::little);
static_assert(kMaxCodeLength < 64);
inline uint64_t EntryWord(const HuffmanEntry& entry) { return std::bit_cast<uint64_t>(entry); }
inline unsigned EntryBits(uint64_t entry) { return entry & 63; }
inline unsigned Operation(uint64_t entry) { return (entry >> 8) & 0xFF; }
inline uint32_t Value(uint64_t entry) { return (entry >> 16) & 0xFFFF; }
inline uint32_t Link(uint64_t entry) { return static_cast<uint32_t>(entry >> 32); }

}  // namespace

void Inflater::InflateCodesFast(const HuffmanTableList& literals, const HuffmanTableList& distances, int literalBits,
                                int distanceBits) {
    if (bitCount_ < 0 || windowPosition_ > kWindowSize - kFastOutputMargin) return;
    size_t available = 0;
    const uint8_t* const start = source_.Buffered(available);
    if (available < kFastInputMargin) return;

    // Few values stay live across the loop, so the bit buffer and the stream
    // position stay in registers; table entries are handled as one word.
    const uint8_t* in = start;
    const uint8_t* const inLimit = start + (available - kFastInputMargin);
    uint64_t bits = bitBuffer_;
    unsigned count = static_cast<unsigned>(bitCount_);
    uint8_t* const window = window_;
    uint32_t position = windowPosition_;
    const HuffmanEntry* const literalTables = literals.Base();
    const HuffmanEntry* const distanceTables = distances.Base();
    const uint64_t literalMask = kBitMask[literalBits];
    const uint32_t distanceMask = kBitMask[distanceBits];

    // The stream position at the start of the current symbol, for stopping
    // before a symbol the careful loop must handle.
    struct Mark {
        const uint8_t* in;
        uint64_t bits;
        unsigned count;
    } mark{in, bits, count};

    // Adds whole bytes above the valid bits: afterwards count is 56..63. Bits
    // above count are the stream's next bits, so adding them again is harmless.
    // A refill leaves the low bits, and so a looked-up entry, unchanged.
    auto refill = [&] {
        bits |= LoadWord(in) << count;
        in += (63 - count) >> 3;
        count |= kRefillBits;
    };
    auto drop = [&](unsigned n) {
        bits >>= n;
        count -= n;
    };
    auto roomLeft = [&] { return in <= inLimit && position <= kWindowSize - kFastOutputMargin; };

    if (!roomLeft()) return;
    refill();
    // The next symbol's first-level entry is looked up as soon as its bits are
    // known, so the look-up overlaps the work on the current symbol.
    uint64_t entry = EntryWord(literalTables[1 + (bits & literalMask)]);
    do {
        refill();
        if (Operation(entry) == kOpLiteral) {
            // Literals come in runs: up to two from one refill.
            drop(EntryBits(entry));
            window[position++] = static_cast<uint8_t>(Value(entry));
            entry = EntryWord(literalTables[1 + (bits & literalMask)]);
            if (Operation(entry) == kOpLiteral) {
                drop(EntryBits(entry));
                window[position++] = static_cast<uint8_t>(Value(entry));
                entry = EntryWord(literalTables[1 + (bits & literalMask)]);
                continue;
            }
        }
        // Any other symbol may be one to leave to the careful loop: remember
        // where it starts.
        mark = Mark{in, bits, count};
        while (Operation(entry) > kOpLiteral) {
            if (Operation(entry) == kOpInvalid) goto stop;
            drop(EntryBits(entry));
            entry = EntryWord(literalTables[Link(entry) + (bits & kBitMask[Operation(entry) - kOpLiteral])]);
        }
        if (Operation(entry) == kOpLiteral) {
            drop(EntryBits(entry));
            window[position++] = static_cast<uint8_t>(Value(entry));
            entry = EntryWord(literalTables[1 + (bits & literalMask)]);
            continue;
        }
        if (Operation(entry) == kOpEndOfBlock) goto stop;
        {
            // Code and extra bits leave the buffer with one shift.
            uint64_t saved = bits;
            drop(EntryBits(entry) + Operation(entry));
            const uint32_t length =
                Value(entry) + static_cast<uint32_t>((saved >> EntryBits(entry)) & kBitMask[Operation(entry)]);
            // The distance's first-level look-up needs no refill yet, so it
            // overlaps the refill.
            entry = EntryWord(distanceTables[1 + (bits & distanceMask)]);
            refill();
            while (Operation(entry) > kOpLiteral) {
                if (Operation(entry) == kOpInvalid) goto stop;
                drop(EntryBits(entry));
                entry = EntryWord(distanceTables[Link(entry) + (bits & kBitMask[Operation(entry) - kOpLiteral])]);
            }
            saved = bits;
            drop(EntryBits(entry) + Operation(entry));
            const uint32_t distance =
                Value(entry) + static_cast<uint32_t>((saved >> EntryBits(entry)) & kBitMask[Operation(entry)]);
            if (distance > position && !windowFilled_) goto stop;  // the careful loop rejects it
            if (length >= kWindowSize - position) goto stop;       // the careful loop flushes within it
            entry = EntryWord(literalTables[1 + (bits & literalMask)]);
            if (distance <= position) {
                CopyForward(window + position, window + position - distance, length);
            } else {
                CopyMatch(window, position, distance, length);
            }
            position += length;
        }
    } while (roomLeft());
    goto done;

stop:
    in = mark.in;
    bits = mark.bits;
    count = mark.count;

done:
    // Hand whole unused bytes back (only those taken from this block).
    const size_t taken = static_cast<size_t>(in - start);
    const size_t giveBack = std::min<size_t>(count / 8, taken);
    in -= giveBack;
    count -= static_cast<unsigned>(giveBack * 8);
    bits &= (uint64_t{1} << count) - 1;
    source_.Consume(static_cast<size_t>(in - start));
    bitBuffer_ = bits;
    bitCount_ = static_cast<int32_t>(count);
    windowPosition_ = position;
}

int Inflater::CopyStoredFast(uint32_t& left) {
    // Whole bytes still in the bit buffer come first.
    while (left > 0 && bitCount_ >= 8) {
        window_[windowPosition_++] = static_cast<uint8_t>(bitBuffer_);
        Drop(8);
        --left;
        if (windowPosition_ == kWindowSize) {
            const int result = WrapWindow();
            if (result != kInflateOk) return result;
        }
    }
    if (bitCount_ != 0) return kInflateOk;
    while (left > 0) {
        size_t available = 0;
        const uint8_t* bytes = source_.Buffered(available);
        if (available == 0) break;
        const uint32_t n = static_cast<uint32_t>(
            std::min<size_t>({static_cast<size_t>(left), available, kWindowSize - windowPosition_}));
        std::memcpy(window_ + windowPosition_, bytes, n);
        source_.Consume(n);
        windowPosition_ += n;
        left -= n;
        if (windowPosition_ == kWindowSize) {
            const int result = WrapWindow();
            if (result != kInflateOk) return result;
        }
    }
    return kInflateOk;
}

}  // namespace tovra::codecs
