// inflate_fast.cpp - the fast loops of inflate.
//
// InflateCodesFast decodes symbols straight from the source's buffered bytes
// with a 64-bit bit buffer refilled a whole word at a time, so it needs no
// check per bit and none per output byte. It runs only while the named margins
// below guarantee that no step can read past the buffered bytes or write past
// the window, and it leaves every unusual symbol (end of block, an invalid
// code, a distance beyond the bytes written) to the careful loop of
// inflate.cpp by stopping just before it. On return the state is exactly what
// the careful loop would have after the same symbols: whole bytes still in the
// bit buffer are handed back to the source.
#include <algorithm>
#include <cstring>

#include "codecs/inflate.h"
#include "codecs/inflate_copy.h"

namespace tovra::codecs {

namespace {

// A refill loads one 8-byte word and keeps at least this many valid bits.
constexpr unsigned kRefillBits = 56;
constexpr size_t kRefillReadBytes = 8;
constexpr size_t kRefillAdvanceMax = 7;  // bytes a refill can consume
constexpr unsigned kRefillsPerStep = 2;  // one at the top, one after a lone literal

// Worst case bits of one length/distance pair: the longest code (15 bits,
// sub-tables included), 5 length extra bits, the longest distance code and
// 13 distance extra bits. One refill must cover it.
constexpr unsigned kMaxCodeBits = 15;
constexpr unsigned kMaxPairBits = kMaxCodeBits + 5 + kMaxCodeBits + 13;
static_assert(kRefillBits >= kMaxPairBits, "one refill must cover a length/distance pair");
// Two literals are decoded after one refill.
static_assert(kRefillBits >= 2 * kMaxCodeBits);

// Buffered bytes needed at the top of a step: the last refill of the step may
// start kRefillAdvanceMax bytes further per refill before it, and reads a word.
constexpr size_t kFastInputMargin = 16;
static_assert(kFastInputMargin >= (kRefillsPerStep - 1) * kRefillAdvanceMax + kRefillReadBytes);

// Window room needed at the top of a step: a literal followed by the longest
// match.
constexpr uint32_t kMaxMatch = 258;
constexpr uint32_t kFastOutputMargin = 1 + kMaxMatch;
static_assert(kFastOutputMargin < kWindowSize);

inline uint64_t LoadWord(const uint8_t* p) {
    uint64_t word;
    std::memcpy(&word, p, 8);
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    word = __builtin_bswap64(word);
#endif
    return word;
}

}  // namespace

void Inflater::InflateCodesFast(const HuffmanTableList& literals, const HuffmanTableList& distances, int literalBits,
                                int distanceBits) {
    if (bitCount_ < 0 || windowPosition_ > kWindowSize - kFastOutputMargin) return;
    size_t available = 0;
    const uint8_t* const start = source_.Buffered(available);
    if (available < kFastInputMargin) return;

    const uint8_t* in = start;
    const uint8_t* const inLimit = start + (available - kFastInputMargin);
    uint64_t bits = bitBuffer_;
    unsigned count = static_cast<unsigned>(bitCount_);
    uint8_t* const window = window_;
    uint32_t position = windowPosition_;
    const HuffmanEntry* const literalRoot = literals.Root();
    const HuffmanEntry* const literalBase = literals.Base();
    const HuffmanEntry* const distanceRoot = distances.Root();
    const HuffmanEntry* const distanceBase = distances.Base();
    const uint64_t literalMask = kBitMask[literalBits];
    const uint64_t distanceMask = kBitMask[distanceBits];
    const bool windowFilled = windowFilled_;

    // The stream position at the start of the current symbol, for stopping
    // before a symbol the careful loop must handle.
    const uint8_t* symbolIn = in;
    uint64_t symbolBits = bits;
    unsigned symbolCount = count;

    // Adds whole bytes above the valid bits: afterwards count is 56..63. Bits
    // above count are the stream's next bits, so adding them again is harmless.
    auto refill = [&] {
        bits |= LoadWord(in) << count;
        in += (63 - count) >> 3;
        count |= kRefillBits;
    };
    auto drop = [&](unsigned n) {
        bits >>= n;
        count -= n;
    };

    while (in <= inLimit && position <= kWindowSize - kFastOutputMargin) {
        refill();
        symbolIn = in;
        symbolBits = bits;
        symbolCount = count;
        HuffmanEntry entry = literalRoot[bits & literalMask];
        if (entry.operation == kOpLiteral) {
            // Literals usually come in runs: take a second one from the same refill.
            drop(entry.bits);
            window[position++] = static_cast<uint8_t>(entry.value);
            symbolIn = in;
            symbolBits = bits;
            symbolCount = count;
            entry = literalRoot[bits & literalMask];
            if (entry.operation == kOpLiteral) {
                drop(entry.bits);
                window[position++] = static_cast<uint8_t>(entry.value);
                continue;
            }
            refill();  // the low bits, and so the entry, stay the same
        }
        while (entry.operation > kOpLiteral) {
            if (entry.operation == kOpInvalid) goto stop;
            drop(entry.bits);
            entry = literalBase[entry.link + (bits & kBitMask[entry.operation - kOpLiteral])];
        }
        if (entry.operation == kOpLiteral) {
            drop(entry.bits);
            window[position++] = static_cast<uint8_t>(entry.value);
            continue;
        }
        if (entry.operation == kOpEndOfBlock) goto stop;
        {
            drop(entry.bits);
            const uint32_t length = entry.value + static_cast<uint32_t>(bits & kBitMask[entry.operation]);
            drop(entry.operation);
            entry = distanceRoot[bits & distanceMask];
            while (entry.operation > kOpLiteral) {
                if (entry.operation == kOpInvalid) goto stop;
                drop(entry.bits);
                entry = distanceBase[entry.link + (bits & kBitMask[entry.operation - kOpLiteral])];
            }
            drop(entry.bits);
            const uint32_t distance = entry.value + static_cast<uint32_t>(bits & kBitMask[entry.operation]);
            drop(entry.operation);
            if (distance <= position) {
                CopyForward(window + position, window + position - distance, length);
            } else {
                if (!windowFilled) goto stop;  // the careful loop rejects it
                CopyMatch(window, position, distance, length);
            }
            position += length;
        }
    }
    goto done;

stop:
    in = symbolIn;
    bits = symbolBits;
    count = symbolCount;

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
