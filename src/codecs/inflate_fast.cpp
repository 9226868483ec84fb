// inflate_fast.cpp - the fast loops of inflate.
//
// InflateCodesFast decodes symbols straight from the source's buffered bytes
// with a 64-bit bit buffer refilled a whole word at a time, so it needs no
// check per bit and none per output byte. It runs only while the named margins
// below guarantee that no step can read past the buffered bytes or write past
// the window. A symbol is looked up in full (sub-tables included) before any
// of its bits are used, so an unusual one (end of block, an invalid code, a
// match near the window's end, which needs a flush) is left to the careful
// loop of inflate.cpp untouched. On return the state is exactly what the
// careful loop would have after the same symbols: whole bytes still in the bit
// buffer are handed back to the source (the careful loop never holds a whole
// unused byte either).
#include <algorithm>
#include <bit>
#include <cstring>

#include "codecs/inflate.h"
#include "codecs/inflate_copy.h"
#include "codecs/inflate_fast_tables.h"

namespace tovra::codecs {

namespace {

// A refill loads one 8-byte word and keeps at least this many valid bits.
constexpr unsigned kRefillBits = 56;
constexpr size_t kRefillReadBytes = 8;
constexpr size_t kRefillAdvanceMax = 7;  // bytes a refill can consume
// Refills in one step: at the top and after a match's distance code.
constexpr unsigned kRefillsPerStep = 2;

// Longest code (sub-tables included) and the most extra bits.
constexpr unsigned kMaxCodeBits = 15;
constexpr unsigned kMaxLengthExtra = 5;
constexpr unsigned kMaxDistanceExtra = 13;
// First-level width of a literal/length table at most (the next symbol's entry
// is looked up before the refill).
constexpr unsigned kMaxRootBits = 10;
// After a refill: a run of first-level literals and the first-level look-up
// of the next code.
constexpr uint32_t kLiteralsPerStep = 4;
static_assert(kRefillBits >= kLiteralsPerStep * kMaxRootBits + kMaxRootBits);
// After a refill: a literal, then a length code with its extra bits and the
// whole distance code, all looked up before any of them is used.
static_assert(kRefillBits >= kMaxCodeBits + kMaxCodeBits + kMaxLengthExtra + kMaxCodeBits);
// After the refill that follows a distance code: its extra bits and the next
// first-level look-up.
static_assert(kRefillBits >= kMaxDistanceExtra + kMaxRootBits);

// Buffered bytes needed at the top of a step: each refill of the step may
// start kRefillAdvanceMax bytes after the one before, and reads a word.
constexpr size_t kFastInputMargin = 16;
static_assert(kFastInputMargin >= (kRefillsPerStep - 1) * kRefillAdvanceMax + kRefillReadBytes);

// Window room needed at the top of a step: a run of literals, plus one byte so
// that the window never fills up inside this loop (filling it means a flush,
// which is the careful loop's job). A match is checked against the window's
// end on its own, before any of its bits are used, so the loop runs up to the
// last few bytes of the window.
constexpr uint32_t kFastOutputMargin = kLiteralsPerStep + 1;
// Bytes a match copy writes without a test (see CopyWords and FillWords):
// most matches are shorter, so most copies take no branch at all. A copy may
// write this many bytes past the match's end.
constexpr uint32_t kCopyWordsFirst = 40;
constexpr uint32_t kCopyOvershoot = kCopyWordsFirst;
static_assert(kFastOutputMargin < kWindowSize);

inline uint64_t LoadWord(const uint8_t* p) {
    uint64_t word;
    std::memcpy(&word, p, 8);
    return word;
}

// Fields of a compact table word (see inflate_fast_tables.h). The bit count
// is at most 28, so the low 6 bits of the word are the count (a shift by the
// word masked to 6 bits is one instruction).
inline unsigned StepBits(uint32_t entry) { return entry & 63; }
inline unsigned SecondField(uint32_t entry) { return (entry >> 8) & 31; }
inline uint32_t Value(uint32_t entry) { return (entry >> 16) & 0x7FFF; }
inline bool IsLiteral(uint32_t entry) { return static_cast<int32_t>(entry) < 0; }
inline bool IsUnusual(uint32_t entry) { return (entry & (kFastLink | kFastExceptional)) != 0; }
// The low n bits of x (n < 64): one instruction with BMI2.
inline uint64_t LowBits(uint64_t x, unsigned n) { return x & ((uint64_t{1} << n) - 1); }

// Copies a match of distance >= 8 in whole words, the first kCopyWordsFirst
// bytes without a test: up to kCopyOvershoot bytes past the match's end get
// written too. The bytes ahead of the write position are no one's history
// (the history lies before the window, see inflate.h) and are overwritten
// before a flush. Each word read lies before the word written, so it is final.
inline void CopyWords(uint8_t* dst, const uint8_t* src, uint32_t length) {
    for (uint32_t i = 0; i < kCopyWordsFirst; i += 8) std::memcpy(dst + i, src + i, 8);
    for (uint32_t i = kCopyWordsFirst; i < length; i += 8) std::memcpy(dst + i, src + i, 8);
}
static_assert(kCopyWordsFirst % 8 == 0 && kCopyOvershoot >= kCopyWordsFirst - 3 && kCopyOvershoot >= 7);

// Writes a match of distance 1 (a run of the byte before it) in whole words
// of that byte, in the same steps as CopyWords and with the same overshoot.
inline void FillWords(uint8_t* dst, uint8_t byte, uint32_t length) {
    const uint64_t word = byte * uint64_t{0x0101010101010101};
    for (uint32_t i = 0; i < kCopyWordsFirst; i += 8) std::memcpy(dst + i, &word, 8);
    for (uint32_t i = kCopyWordsFirst; i < length; i += 8) std::memcpy(dst + i, &word, 8);
}

// Copies a match of 3 to 16 bytes from at least 8 bytes back, writing
// exactly its bytes: two words (or two halves, or three bytes) that may
// overlap each other. The second part is read after the first is written, so
// a source overlapping the match's start reads final bytes.
inline void CopyShort(uint8_t* dst, const uint8_t* src, uint32_t length) {
    if (length >= 8) {
        std::memcpy(dst, src, 8);
        std::memcpy(dst + length - 8, src + length - 8, 8);
    } else if (length >= 4) {
        std::memcpy(dst, src, 4);
        std::memcpy(dst + length - 4, src + length - 4, 4);
    } else {
        dst[0] = src[0];
        dst[1] = src[1];
        dst[2] = src[2];
    }
}

// Follows links from `entry`, dropping their bits from the tentative `rest`
// and `restCount`: on return the entry is a symbol or exceptional.
inline uint32_t FollowLinks(const uint32_t* slots, uint32_t entry, uint64_t& rest, uint32_t& restCount) {
    while ((entry & (kFastLiteral | kFastLink)) == kFastLink) {
        rest >>= StepBits(entry);
        restCount -= entry;
        entry = slots[Value(entry) + LowBits(rest, SecondField(entry))];
    }
    return entry;
}

// The loop's state, loaded into locals by DecodeSymbols and stored back once.
//   bits   input bits, the next one in bit 0
//   count  valid bits of `bits` in its low byte (0..63); the bytes above are
//          left over from subtracting whole table words and ignored
struct FastState {
    const uint8_t* in;
    const uint8_t* inLimit;
    uint64_t bits;
    uint32_t count;
    uint8_t* window;
    uint32_t position;
    const uint8_t* historyStart;  // the earliest byte a distance may reach
    const uint32_t* literalSlots;
    const uint32_t* distanceSlots;
};

constexpr uint64_t kLiteralRootMask = (uint64_t{1} << kFastLiteralRootBits) - 1;
constexpr uint64_t kDistanceRootMask = (uint64_t{1} << kFastDistanceRootBits) - 1;
static_assert(kFastLiteralRootBits <= kMaxRootBits);

// Decodes symbols until one is left to the careful loop or a margin runs out;
// returns true at a distance beyond the bytes written. Compiled once for any
// processor and once for one with BMI2, whose shifts by a register need no
// fixed count register (the loop is mostly shifts by a table word's count).
[[gnu::always_inline]] inline bool DecodeSymbols(FastState& state) {
    const uint8_t* in = state.in;
    const uint8_t* const inLimit = state.inLimit;
    uint64_t bits = state.bits;
    uint32_t count = state.count;
    uint8_t* const window = state.window;
    uint8_t* out = window + state.position;
    uint8_t* const outLimit = window + (kWindowSize - kFastOutputMargin);
    const uint8_t* const historyStart = state.historyStart;
    const uint32_t* const literalSlots = state.literalSlots;
    const uint32_t* const distanceSlots = state.distanceSlots;
    bool badDistance = false;

    // Adds whole bytes above the valid bits: afterwards count is 56..63. Bits
    // above count are the stream's next bits, so adding them again is harmless.
    // A refill leaves the low bits, and so a looked-up entry, unchanged.
    auto refill = [&] {
        bits |= LoadWord(in) << (count & 63);
        in += 7 - ((count >> 3) & 7);
        count |= kRefillBits;
    };
    auto roomLeft = [&] { return in <= inLimit && out <= outLimit; };

    if (roomLeft()) {
        refill();
        // The next symbol's first-level entry is looked up as soon as its bits
        // are known, so the look-up overlaps the work on the current symbol.
        uint32_t entry = literalSlots[bits & kLiteralRootMask];
        do {
            refill();
            if (IsLiteral(entry)) {
                // Literals come in runs: up to kLiteralsPerStep from one
                // refill, each a first-level entry of at most kMaxRootBits.
                auto literal = [&] {
                    bits >>= StepBits(entry);
                    count -= entry;
                    *out++ = static_cast<uint8_t>(Value(entry));
                    entry = literalSlots[bits & kLiteralRootMask];
                };
                literal();
                if (IsLiteral(entry)) {
                    literal();
                    if (IsLiteral(entry)) {
                        literal();
                        if (IsLiteral(entry)) literal();
                    }
                    // After more than one literal the bits left may not hold
                    // a whole match: the next symbol starts after a refill.
                    continue;
                }
            }
            // The symbol's bits are dropped from a tentative copy until all
            // of it (a length with its distance code) is known to be ours.
            uint64_t rest = bits;
            uint32_t restCount = count;
            if (IsUnusual(entry)) {
                entry = FollowLinks(literalSlots, entry, rest, restCount);
                if (IsLiteral(entry)) {
                    bits = rest >> StepBits(entry);
                    count = restCount - entry;
                    *out++ = static_cast<uint8_t>(Value(entry));
                    entry = literalSlots[bits & kLiteralRootMask];
                    continue;
                }
                if ((entry & kFastExceptional) != 0) break;  // end of block or invalid: the careful loop's
            }
            // A length: its code and extra bits in one step, then the
            // distance code behind them.
            const uint32_t length =
                Value(entry) + static_cast<uint32_t>(LowBits(rest, StepBits(entry)) >> SecondField(entry));
            rest >>= StepBits(entry);
            restCount -= entry;
            const size_t position = static_cast<size_t>(out - window);
            if (length >= kWindowSize - position) break;  // the careful loop flushes within it
            uint32_t distanceEntry = distanceSlots[rest & kDistanceRootMask];
            if (IsUnusual(distanceEntry)) {
                distanceEntry = FollowLinks(distanceSlots, distanceEntry, rest, restCount);
                if ((distanceEntry & kFastExceptional) != 0) break;  // an invalid distance: the careful loop's
            }
            bits = rest >> StepBits(distanceEntry);
            count = restCount - distanceEntry;
            // Usually the step's first refill still covers the extra bits and
            // the next look-up; only long codes after a literal need another.
            if ((count & 0xFF) < kMaxDistanceExtra + kMaxRootBits) refill();
            const unsigned extra = SecondField(distanceEntry);
            const uint32_t distance = Value(distanceEntry) + static_cast<uint32_t>(LowBits(bits, extra));
            bits >>= extra;
            count -= extra;
            entry = literalSlots[bits & kLiteralRootMask];
            // At most 32 KiB back: within the buffer, before or in the window.
            const uint8_t* const from = out - distance;
            if (from < historyStart) {
                // Before bytes this member wrote: the stream is invalid, here
                // as in the careful loop, with the same bits used.
                badDistance = true;
                break;
            }
            const bool room = length + kCopyOvershoot <= kWindowSize - position;
            if (distance >= 8 && room) {
                CopyWords(out, from, length);
            } else if (distance == 1 && room) {
                FillWords(out, *from, length);
            } else if (distance >= 8 && length <= 16) {
                CopyShort(out, from, length);
            } else {
                CopyForward(out, from, length);
            }
            out += length;
        } while (roomLeft());
    }

    state.in = in;
    state.bits = bits;
    state.count = count;
    state.position = static_cast<uint32_t>(out - window);
    return badDistance;
}

bool DecodeSymbolsPlain(FastState& state) { return DecodeSymbols(state); }

using DecodeSymbolsFunction = bool (*)(FastState&);

#if defined(__x86_64__) && defined(__GNUC__)
[[gnu::target("bmi2")]] bool DecodeSymbolsBmi2(FastState& state) { return DecodeSymbols(state); }
DecodeSymbolsFunction ChooseDecodeSymbols() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("bmi2") ? DecodeSymbolsBmi2 : DecodeSymbolsPlain;
}
#else
DecodeSymbolsFunction ChooseDecodeSymbols() { return DecodeSymbolsPlain; }
#endif

}  // namespace

bool Inflater::InflateCodesFast(const FastTable& literals, const FastTable& distances) {
    if (bitCount_ < 0 || windowPosition_ > kWindowSize - kFastOutputMargin) return false;
    size_t available = 0;
    const uint8_t* const start = source_.Buffered(available);
    if (available < kFastInputMargin) return false;

    FastState state{start,
                    start + (available - kFastInputMargin),
                    bitBuffer_,
                    static_cast<uint32_t>(bitCount_),
                    window_,
                    windowPosition_,
                    windowFilled_ ? history_ : window_,
                    literals.slots,
                    distances.slots};
    static const DecodeSymbolsFunction decodeSymbols = ChooseDecodeSymbols();
    const bool badDistance = decodeSymbols(state);
    const uint8_t* in = state.in;
    uint64_t bits = state.bits;
    const uint32_t count = state.count;
    const uint32_t position = state.position;

    // Hand whole unused bytes back (only those taken from this block).
    uint32_t valid = count & 0xFF;
    const size_t taken = static_cast<size_t>(in - start);
    const size_t giveBack = std::min<size_t>(valid / 8, taken);
    in -= giveBack;
    valid -= static_cast<uint32_t>(giveBack * 8);
    bits &= (uint64_t{1} << valid) - 1;
    source_.Consume(static_cast<size_t>(in - start));
    bitBuffer_ = bits;
    bitCount_ = static_cast<int32_t>(valid);
    windowPosition_ = position;
    return badDistance;
}

bool Inflater::ReadCodeLengthsFast(const HuffmanTableList& table, int tableBits, uint8_t* lengths, unsigned total) {
    // A length takes at most a 7-bit code and 7 extra bits; a refill reads a
    // word beyond the bytes it consumes.
    constexpr size_t kMaxLengthBits = 7 + 7;
    constexpr size_t kInputNeeded = (kMaxCodes + 32) * kMaxLengthBits / 8 + 2 * kRefillReadBytes;
    if (bitCount_ < 0 || bitCount_ >= 8 || tableBits > 7) return false;
    size_t available = 0;
    const uint8_t* const start = source_.Buffered(available);
    if (available < kInputNeeded) return false;

    const uint8_t* in = start;
    uint64_t bits = bitBuffer_;
    uint32_t count = static_cast<uint32_t>(bitCount_);  // exact, 0..63
    const HuffmanEntry* const root = table.Root();
    const uint64_t mask = kBitMask[tableBits];
    unsigned previous = 0;
    for (unsigned i = 0; i < total;) {
        if (count < kMaxLengthBits) {
            bits |= LoadWord(in) << count;
            in += 7 - (count >> 3);
            count |= kRefillBits;
        }
        const HuffmanEntry entry = root[bits & mask];
        if (entry.operation != kOpLiteral || entry.bits == 0) return false;
        bits >>= entry.bits;
        count -= entry.bits;
        const unsigned symbol = entry.value;
        if (symbol < 16) {
            lengths[i++] = static_cast<uint8_t>(symbol);
            previous = symbol;
            continue;
        }
        unsigned repeat;
        unsigned length = 0;
        if (symbol == 16) {
            repeat = 3 + static_cast<unsigned>(bits & 3);
            bits >>= 2;
            count -= 2;
            length = previous;
        } else if (symbol == 17) {
            repeat = 3 + static_cast<unsigned>(bits & 7);
            bits >>= 3;
            count -= 3;
        } else {
            repeat = 11 + static_cast<unsigned>(bits & 0x7F);
            bits >>= 7;
            count -= 7;
        }
        if (i + repeat > total) return false;
        std::fill(lengths + i, lengths + i + repeat, static_cast<uint8_t>(length));
        i += repeat;
        previous = length;
    }

    // Hand whole unused bytes back, as the careful loop holds none.
    const size_t giveBack = std::min<size_t>(count / 8, static_cast<size_t>(in - start));
    in -= giveBack;
    count -= static_cast<uint32_t>(giveBack * 8);
    bits &= (uint64_t{1} << count) - 1;
    source_.Consume(static_cast<size_t>(in - start));
    bitBuffer_ = bits;
    bitCount_ = static_cast<int32_t>(count);
    return true;
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
