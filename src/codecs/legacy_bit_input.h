// legacy_bit_input.h - the bit input shared by explode, unshrink and
// unreduce: bits are taken from the low end of a buffer, each input byte added
// above the bits present.
//
// State:
//   buffer_     input bits not used yet, the next one in bit 0; bits at and
//               above count_ are zero.
//   count_      valid bits in buffer_ (0..63). Once the member's bytes are
//               used up, missing bits read as zeros: using them drives the
//               count below 0, and from then on Need fails.
//   ended_      the source has reported the end of the member.
//   pulled_     bytes taken from the source that belonged to the member
//               (reads past the end are not counted).
// Bytes come from the source's buffered block a word at a time where it can,
// otherwise one by one through NextByte; both count the same.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "codecs/codec_io.h"

namespace tovra::codecs {

class LegacyBitInput {
public:
    explicit LegacyBitInput(CodecSource& source) : source_(source) {}

    // Makes n (at most 32) bits available. Returns false when the member has
    // ended and bits beyond its end were already used; otherwise true, the
    // missing bits (if any) reading as zeros.
    bool Need(int n) {
        if (count_ >= n) return true;
        Refill();
        return count_ >= n || (ended_ && count_ >= 0);
    }
    // True when n bits are present without zero filling.
    bool Have(int n) {
        if (count_ < n) Refill();
        return count_ >= n;
    }
    uint32_t Peek(int n) const { return static_cast<uint32_t>(buffer_) & ((uint32_t{1} << n) - 1); }
    void Drop(int n) {
        buffer_ >>= n;
        count_ -= n;
    }
    // Need + Peek + Drop; false as Need.
    bool Take(int n, uint32_t& value) {
        if (!Need(n)) return false;
        value = Peek(n);
        Drop(n);
        return true;
    }

    int BitCount() const { return count_; }
    bool Ended() const { return ended_; }
    int64_t BytesPulled() const { return pulled_; }

private:
    void Refill() {
        if (ended_ || count_ < 0) return;
        size_t available = 0;
        const uint8_t* block = source_.Buffered(available);
        if (available >= 8) {
            uint64_t word;
            std::memcpy(&word, block, 8);
            const int take = (63 - count_) >> 3;  // whole bytes that fit
            buffer_ |= (word & ((uint64_t{1} << (take * 8)) - 1)) << count_;
            count_ += take * 8;
            source_.Consume(static_cast<size_t>(take));
            pulled_ += take;
            return;
        }
        while (count_ <= 55) {
            const int byte = source_.NextByte();
            if (byte < 0) {
                ended_ = true;
                return;
            }
            buffer_ |= static_cast<uint64_t>(byte) << count_;
            count_ += 8;
            ++pulled_;
            // Stop at the refill's need when the buffer is not empty: a byte
            // pulled is a byte the member must hold.
            if (count_ >= 32) return;
        }
    }

    CodecSource& source_;
    uint64_t buffer_ = 0;
    int count_ = 0;
    bool ended_ = false;
    int64_t pulled_ = 0;
};

}  // namespace tovra::codecs
