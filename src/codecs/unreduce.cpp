// unreduce.cpp - follower-set decoding and the run-length / back-reference
// stage of the reduce methods.
//
// Per factor f (1..4): the length mask is 127 >> (f - 1) and a back-reference
// takes its distance's high part from the top f bits of its first byte V
// (shift 8 - f, mask (1 << f) - 1). The stage's states:
//   0  literal bytes; 144 escapes;
//   1  after 144: 0 means the byte 144 itself, anything else is V;
//   2  V's length part was all ones: the next byte adds to the length;
//   3  the next byte is the distance's low part; then the copy.
// Window: positions wrap at 16384. Until the first flush, a reference to
// before the member's first byte yields zeros. Follower sets: count_[x] bytes
// in row x of 64; an index is at most 6 bits, so it always falls inside the
// row, members beyond the count reading as the row's zeros.
#include "codecs/unreduce.h"

#include <algorithm>
#include <cstring>

#include "codecs/legacy_bit_input.h"

namespace tovra::codecs {
namespace {

constexpr size_t kSetRow = 64;
static_assert(256 * kSetRow + kReduceWindowSize <= kWindowSize);

// Bits of a follower index for a set of n members (n = 1..63).
constexpr int IndexBits(unsigned n) {
    int bits = 1;
    while ((1u << bits) < n) ++bits;
    return bits;
}
static_assert(IndexBits(1) == 1 && IndexBits(2) == 1 && IndexBits(3) == 2 && IndexBits(8) == 3 && IndexBits(9) == 4 &&
              IndexBits(33) == 6 && IndexBits(63) == 6);

// Missing bits read as zeros after the member's end for this many bits, then
// decoding stops: a whole member never needs them.
constexpr int kZeroBitsAfterEnd = 64;

}  // namespace

Unreducer::Unreducer(CodecSource& source, CodecSink& sink, uint8_t* window, int factor, int64_t uncompressedSize)
    : source_(source),
      sink_(sink),
      window_(window),
      factor_(std::clamp(factor, kReduceMinFactor, kReduceMaxFactor)),
      size_(uncompressedSize) {}

int Unreducer::Unreduce() {
    uint8_t* const out = window_;
    uint8_t* const sets = window_ + kReduceWindowSize;
    uint8_t count[256];
    std::memset(sets, 0, 256 * kSetRow);
    LegacyBitInput in(source_);
    int zeroBits = 0;
    // Reads n bits; false once the member ended and the zero allowance is used.
    auto take = [&](int n, uint32_t& value) {
        if (!in.Have(n)) {
            if (!in.Ended()) return false;
            zeroBits += n;
            if (zeroBits > kZeroBitsAfterEnd) return false;
            value = in.BitCount() > 0 ? in.Peek(in.BitCount()) : 0;
            if (in.BitCount() > 0) in.Drop(in.BitCount());
            return true;
        }
        value = in.Peek(n);
        in.Drop(n);
        return true;
    };

    for (int x = 255; x >= 0; --x) {
        uint32_t n = 0;
        if (!take(6, n)) n = 0;
        count[x] = static_cast<uint8_t>(n);
        for (uint32_t i = 0; i < n; ++i) {
            uint32_t b = 0;
            take(8, b);
            sets[x * kSetRow + i] = static_cast<uint8_t>(b);
        }
    }

    const uint32_t lengthMask = 127u >> (factor_ - 1);
    const int distanceShift = 8 - factor_;
    const uint32_t distanceHighMask = (1u << factor_) - 1;

    size_t position = 0;
    bool flushed = false;
    int64_t produced = 0;
    int state = 0;
    uint32_t v = 0;
    uint32_t length = 0;
    uint32_t previous = 0;

    auto wrap = [&]() -> int {
        position = 0;
        flushed = true;
        return sink_.FlushWindow(out, kReduceWindowSize);
    };

    while (produced < size_) {
        uint32_t c = 0;
        const unsigned n = count[previous];
        if (n == 0) {
            if (!take(8, c)) break;
        } else {
            uint32_t literal = 0;
            if (!take(1, literal)) break;
            if (literal != 0) {
                if (!take(8, c)) break;
            } else {
                uint32_t index = 0;
                if (!take(IndexBits(n), index)) break;
                c = sets[previous * kSetRow + index];
            }
        }
        previous = c;

        switch (state) {
            case 0:
                if (c != kReduceEscape) {
                    out[position++] = static_cast<uint8_t>(c);
                    ++produced;
                    if (position == kReduceWindowSize) {
                        if (int r = wrap(); r != 0) return r;
                    }
                } else {
                    state = 1;
                }
                continue;
            case 1:
                if (c == 0) {
                    out[position++] = kReduceEscape;
                    ++produced;
                    state = 0;
                    if (position == kReduceWindowSize) {
                        if (int r = wrap(); r != 0) return r;
                    }
                } else {
                    v = c;
                    length = v & lengthMask;
                    state = length == lengthMask ? 2 : 3;
                }
                continue;
            case 2:
                length += c;
                state = 3;
                continue;
            default:
                break;
        }
        // State 3: the copy.
        state = 0;
        const size_t distance = ((v >> distanceShift) & distanceHighMask) * 256 + c + 1;
        size_t left = length + 3;
        produced += static_cast<int64_t>(left);
        size_t from = (position + kReduceWindowSize - distance) % kReduceWindowSize;
        while (left > 0) {
            const size_t run = std::min({left, kReduceWindowSize - position, kReduceWindowSize - from});
            if (!flushed && from >= position) {
                std::memset(out + position, 0, run);
            } else if (from + run <= position || from > position) {
                std::memmove(out + position, out + from, run);
            } else {
                for (size_t i = 0; i < run; ++i) out[position + i] = out[from + i];
            }
            position += run;
            from = (from + run) % kReduceWindowSize;
            left -= run;
            if (position == kReduceWindowSize) {
                if (int r = wrap(); r != 0) return r;
            }
        }
    }
    return sink_.FlushWindow(out, position);
}

}  // namespace tovra::codecs
