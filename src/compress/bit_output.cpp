// bit_output.cpp - the bit packing, the output buffer and the stored-data
// writes of the compressor's output (see bit_output.h for the state).
#include "compress/bit_output.h"

namespace tovra::compress {

void BitOutput::Start(format::OutputStream& out) {
    out_ = &out;
    fill_ = 0;
    bitBuffer_ = 0;
    bitCount_ = 0;
    failed_ = false;
    written_ = 0;
}

void BitOutput::SendBits(uint32_t value, int length) {
    if (bitCount_ > kBitBufferBits - length) {
        // The low part of value completes 16 bits; they leave as two bytes and
        // the high part of value starts the next 16.
        bitBuffer_ |= (value << bitCount_) & 0xFFFF;
        PutShort(static_cast<uint16_t>(bitBuffer_));
        bitBuffer_ = (value >> (kBitBufferBits - bitCount_)) & 0xFFFF;
        bitCount_ += length - kBitBufferBits;
    } else {
        bitBuffer_ |= value << bitCount_;
        bitCount_ += length;
    }
}

void BitOutput::PutByte(uint8_t b) {
    if (fill_ > kBufferSize - 1) WriteBuffer();
    buffer_[fill_++] = b;
}

void BitOutput::WriteOut(const uint8_t* bytes, size_t count) {
    if (failed_ || count == 0) return;
    size_t done = out_ != nullptr ? out_->Write(bytes, count) : 0;
    written_ += done;
    if (done != count) failed_ = true;
}

void BitOutput::WriteBuffer() {
    WriteOut(buffer_, fill_);
    fill_ = 0;
}

void BitOutput::Align() {
    if (bitCount_ > 8) {
        PutShort(static_cast<uint16_t>(bitBuffer_));
    } else if (bitCount_ > 0) {
        PutByte(static_cast<uint8_t>(bitBuffer_));
    }
    WriteBuffer();
    bitBuffer_ = 0;
    bitCount_ = 0;
}

void BitOutput::CopyBlock(const uint8_t* bytes, uint32_t count, bool header) {
    Align();
    if (header) {
        PutShort(static_cast<uint16_t>(count));
        PutShort(static_cast<uint16_t>(~count));
    }
    WriteBuffer();
    WriteOut(bytes, count);
}

bool BitOutput::OutputRepositionable() {
    if (out_ == nullptr || !out_->SeekRelative(-1)) return false;
    return out_->SeekRelative(1);
}

}  // namespace tovra::compress
