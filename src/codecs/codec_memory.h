// codec_memory.h - CodecSource and CodecSink over plain memory, for tests,
// fuzzers and benchmarks that drive a decoder without an archive.
//
// MemorySource behaves like the extraction engine's member reader: it hands
// out the bytes in blocks of a chosen size (the engine reads 8192 at a time),
// counts the bytes left down past zero at the end, and returns -1 from then
// on. MemorySink appends every flush to a vector and can be told to fail.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "codecs/codec_io.h"

namespace tovra::codecs {

class MemorySource : public CodecSource {
public:
    // data/size: the member's compressed bytes (not copied; must outlive the
    // source). blockSize: bytes made available per refill (at least 1).
    MemorySource(const uint8_t* data, size_t size, size_t blockSize = 8192)
        : data_(data), size_(size), blockSize_(std::max<size_t>(blockSize, 1)), left_(static_cast<int64_t>(size)) {}

    int NextByte() override {
        if (left_ <= 0) {
            --left_;
            return -1;
        }
        --left_;
        if (position_ == blockEnd_) blockEnd_ = std::min(size_, position_ + blockSize_);
        return data_[position_++];
    }
    const uint8_t* Buffered(size_t& count) override {
        count = blockEnd_ - position_;
        return data_ + position_;
    }
    void Consume(size_t n) override {
        position_ += n;
        left_ -= static_cast<int64_t>(n);
    }

    // Compressed bytes not read yet; negative after reads past the end.
    int64_t BytesLeft() const { return left_; }

private:
    const uint8_t* data_;
    size_t size_;
    size_t blockSize_;
    int64_t left_;
    size_t position_ = 0;
    size_t blockEnd_ = 0;
};

class MemorySink : public CodecSink {
public:
    int FlushWindow(const uint8_t* data, size_t count) override {
        if (failAfter_ == 0) return failResult_;
        if (failAfter_ > 0) --failAfter_;
        output.insert(output.end(), data, data + count);
        ++flushes;
        return 0;
    }
    // Makes the flush after `n` successful ones return `result`.
    void FailAfter(int n, int result) {
        failAfter_ = n;
        failResult_ = result;
    }

    std::vector<uint8_t> output;
    int flushes = 0;

private:
    int failAfter_ = -1;
    int failResult_ = 0;
};

}  // namespace tovra::codecs
