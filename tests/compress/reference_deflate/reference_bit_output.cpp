// reference_bit_output.cpp - see reference_bit_output.h.
#include "compress/reference_deflate/reference_bit_output.h"

namespace tovra::reference {

void ReferenceBitOutput::Start(format::OutputStream& out) {
    out_ = &out;
    fill_ = 0;
    bitBuffer_ = 0;
    bitCount_ = 0;
    written_ = 0;
}

void ReferenceBitOutput::SendBits(uint32_t value, int length) {
    if (bitCount_ > 16 - length) {
        bitBuffer_ = static_cast<uint16_t>(bitBuffer_ | (value << bitCount_));
        PutShort(bitBuffer_);
        bitBuffer_ = static_cast<uint16_t>(value >> (16 - bitCount_));
        bitCount_ += length - 16;
    } else {
        bitBuffer_ = static_cast<uint16_t>(bitBuffer_ | (value << bitCount_));
        bitCount_ += length;
    }
}

uint32_t ReferenceBitOutput::ReverseBits(uint32_t code, int length) {
    uint32_t result = 0;
    do {
        result |= code & 1;
        code >>= 1;
        result <<= 1;
    } while (--length > 0);
    return result >> 1;
}

void ReferenceBitOutput::PutByte(uint8_t b) {
    if (fill_ + 1 > kBufferSize) WriteBuffer();
    buffer_[fill_++] = b;
}

void ReferenceBitOutput::PutShort(uint16_t w) {
    if (fill_ + 2 > kBufferSize) WriteBuffer();
    buffer_[fill_++] = static_cast<uint8_t>(w & 0xFF);
    buffer_[fill_++] = static_cast<uint8_t>(w >> 8);
}

void ReferenceBitOutput::Write(const uint8_t* bytes, uint32_t count) {
    if (count == 0) return;
    const size_t done = out_->Write(bytes, count);
    written_ += done;
    if (done != count) throw WriteFailed{};
}

void ReferenceBitOutput::WriteBuffer() {
    Write(buffer_, fill_);
    fill_ = 0;
}

void ReferenceBitOutput::Align() {
    if (bitCount_ > 8) {
        PutShort(bitBuffer_);
    } else if (bitCount_ > 0) {
        PutByte(static_cast<uint8_t>(bitBuffer_));
    }
    WriteBuffer();
    bitBuffer_ = 0;
    bitCount_ = 0;
}

void ReferenceBitOutput::CopyBlock(const uint8_t* bytes, uint32_t count, bool header) {
    Align();
    if (header) {
        PutShort(static_cast<uint16_t>(count));
        PutShort(static_cast<uint16_t>(~count));
    }
    WriteBuffer();
    Write(bytes, count);
}

bool ReferenceBitOutput::OutputRepositionable() { return out_->SeekRelative(-1) && out_->SeekRelative(1); }

}  // namespace tovra::reference
