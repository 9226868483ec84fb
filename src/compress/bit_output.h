// bit_output.h - packs the variable-length codes of the deflate compressor into
// bytes, least significant bit first, gathers them in a 1024-byte buffer and
// writes the buffer to the member's output stream. It also writes stored data
// (a stored deflate block, or a whole member the compressor decided to store)
// and answers whether the output can be repositioned.
//
// State (one member at a time; reset by Start):
//   out_       the output stream; null until Start.
//   buffer_    bytes waiting to be written; fill_ of them are valid (0..1024).
//   bitBuffer_ bits not yet stored as bytes, oldest bit in bit 0; only the low
//              16 bits are ever valid.
//   bitCount_  number of valid bits in bitBuffer_ (0..16). After any SendBits
//              it is 1..16: bytes leave the bit buffer in pairs, only when the
//              new bits would not fit into 16.
//   failed_    a write to the stream transferred fewer bytes than asked; from
//              then on nothing more is written (the run ends with error 5
//              "write error on zip file", which the compressor reports).
//   written_   bytes handed to the stream since Start (for the size check).
//
// The fill is always even between alignments (bytes enter in pairs), so the
// buffer goes out in whole 1024-byte writes except at an alignment.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "format/streams.h"

namespace tovra::compress {

// Returns the low `length` bits of `code` in reverse order (length 1..16).
constexpr uint32_t ReverseBits(uint32_t code, int length) {
    uint32_t result = 0;
    for (int i = 0; i < length; ++i) {
        result = (result << 1) | (code & 1);
        code >>= 1;
    }
    return result;
}

class BitOutput {
public:
    static constexpr uint32_t kBufferSize = 1024;
    static constexpr int kBitBufferBits = 16;

    // Starts a member on `out` (which must outlive the member): empties the bit
    // buffer and the output buffer, clears the failure flag and the byte count.
    void Start(format::OutputStream& out);

    // Appends the low `length` bits of `value` (length 1..16; higher bits of
    // value must be zero).
    void SendBits(uint32_t value, int length);

    // Pads with zero bits to a byte boundary and writes out everything buffered.
    void Align();

    // Aligns; with `header`, appends `count` and its ones' complement as two
    // 16-bit little-endian values (count must then fit in 16 bits); writes out
    // the buffer, then the bytes themselves with one write.
    void CopyBlock(const uint8_t* bytes, uint32_t count, bool header);

    // Yes when a relative seek of -1 and then +1 on the output both succeed.
    bool OutputRepositionable();

    // True once a write to the output has failed.
    bool Failed() const { return failed_; }
    // Bytes handed to the output since Start (buffered bytes not included).
    uint64_t BytesWritten() const { return written_; }
    // Bits waiting in the bit buffer and their count (for tests).
    uint32_t PendingBits() const { return bitBuffer_; }
    int PendingBitCount() const { return bitCount_; }
    uint32_t BufferedBytes() const { return fill_; }

    // Fast path for long runs of codes: keeps up to 64 bits in a register and
    // hands them to the output buffer in the same byte pairs as SendBits would,
    // so the bytes and the writes are identical. Build one, Put codes, then
    // Finish before any other call on the BitOutput.
    class Accumulator {
    public:
        explicit Accumulator(BitOutput& out) : out_(out), bits_(out.bitBuffer_), count_(out.bitCount_) {}
        // Appends the low `length` bits of value (length 0..32).
        void Put(uint64_t value, unsigned length) {
            bits_ |= value << count_;
            count_ += length;
            if (count_ > kDrainAbove) Drain();
        }
        // Stores the pending pairs and leaves 0..16 bits in the BitOutput.
        void Finish() {
            Drain();
            out_.bitBuffer_ = static_cast<uint32_t>(bits_);
            out_.bitCount_ = static_cast<int>(count_);
        }

    private:
        // Put adds at most 32 bits to at most kDrainAbove pending ones.
        static constexpr unsigned kDrainAbove = 32;
        static_assert(kDrainAbove + 32 <= 64, "pending bits must fit the register");
        static_assert(64 / 16 - 1 == 3, "at most three pairs leave at once, a shift below 64");
        void Drain() {
            if (out_.fill_ + 8 <= kBufferSize) {
                // Room for every whole pair: store eight bytes, keep the pairs.
                const unsigned pairs = count_ > 16 ? (count_ - 1) / 16 : 0;
                StoreLittleEndian64(out_.buffer_ + out_.fill_, bits_);
                out_.fill_ += 2 * pairs;
                bits_ >>= 16 * pairs;
                count_ -= 16 * pairs;
                return;
            }
            while (count_ > 16) {
                out_.PutShort(static_cast<uint16_t>(bits_));
                bits_ >>= 16;
                count_ -= 16;
            }
        }
        static void StoreLittleEndian64(uint8_t* p, uint64_t v) {
            static_assert(std::endian::native == std::endian::little, "a register store is little-endian bytes");
            std::memcpy(p, &v, sizeof v);
        }
        BitOutput& out_;
        uint64_t bits_;
        unsigned count_;
    };

private:
    void PutShort(uint16_t w) {
        if (fill_ > kBufferSize - 2) WriteBuffer();
        buffer_[fill_] = static_cast<uint8_t>(w);
        buffer_[fill_ + 1] = static_cast<uint8_t>(w >> 8);
        fill_ += 2;
    }
    void PutByte(uint8_t b);
    void WriteBuffer();
    void WriteOut(const uint8_t* bytes, size_t count);

    format::OutputStream* out_ = nullptr;
    uint8_t buffer_[kBufferSize] = {};
    uint32_t fill_ = 0;
    uint32_t bitBuffer_ = 0;
    int bitCount_ = 0;
    bool failed_ = false;
    uint64_t written_ = 0;
};

// The process-wide bit output of the archiving engine, part of the
// compressor's state (deflate.h); its reset point is Start, called before
// each deflated member.
BitOutput& TheBitOutput();

}  // namespace tovra::compress
