// reference_bit_output.h - a plain, independent bit output for the reference
// compressor: a 16-bit bit buffer, a 1024-byte output buffer written whole to
// the stream, stored data written directly. Written for clarity, not speed;
// it shares nothing with the library's bit output, so a test comparing the
// two proves the library's packing tricks change no byte.
#pragma once

#include <cstdint>

#include "format/streams.h"

namespace tovra::reference {

// Thrown when a write to the output fails; the compressor turns it into run
// error 5 "write error on zip file".
struct WriteFailed {};

class ReferenceBitOutput {
public:
    static constexpr uint32_t kBufferSize = 1024;

    void Start(format::OutputStream& out);
    // Appends the low `length` bits of value (1..16), oldest bit first.
    void SendBits(uint32_t value, int length);
    // The low `length` bits of `code`, reversed.
    static uint32_t ReverseBits(uint32_t code, int length);
    // Pads to a byte boundary and writes out the buffer.
    void Align();
    // Aligns; with `header` adds LEN and NLEN; writes the buffer, then the bytes.
    void CopyBlock(const uint8_t* bytes, uint32_t count, bool header);
    // A relative seek of -1 and then +1 both succeed.
    bool OutputRepositionable();
    uint64_t BytesWritten() const { return written_; }

private:
    void PutByte(uint8_t b);
    void PutShort(uint16_t w);
    void WriteBuffer();
    void Write(const uint8_t* bytes, uint32_t count);

    format::OutputStream* out_ = nullptr;
    uint8_t buffer_[kBufferSize] = {};
    uint32_t fill_ = 0;
    uint16_t bitBuffer_ = 0;
    int bitCount_ = 0;
    uint64_t written_ = 0;
};

}  // namespace tovra::reference
