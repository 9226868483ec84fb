// deflate_memory.h - adapters for driving the compressor without an archiving
// run: a block reader over any format::InputStream, one over a byte buffer,
// an output stream into a growable buffer (optionally repositionable,
// optionally failing after a given number of bytes), and one call that
// compresses a buffer as one member. Tests, fuzzers and benchmarks drive the
// compressor through these; the archiving run uses its own block reader
// (with line-end conversion, CRC-32 and progress) over the member's file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "compress/deflate.h"
#include "format/streams.h"

namespace tovra::compress {

// Delivers the bytes of `in` (not owned) unchanged: a read of 0 bytes is the
// end of the input, or a read error (-1) when the stream reports one.
class StreamDeflateHost : public DeflateHost {
public:
    explicit StreamDeflateHost(format::InputStream& in) : in_(in) {}
    int32_t ReadInputBlock(uint8_t* buffer, uint32_t size) override {
        const size_t n = in_.Read(buffer, size);
        if (n == 0) return in_.Failed() ? -1 : 0;
        return static_cast<int32_t>(n);
    }

private:
    format::InputStream& in_;
};

// Delivers `size` bytes from `data` (not owned), at most `maxRead` per call
// when maxRead is nonzero (to imitate short reads). Warnings are kept.
class MemoryDeflateHost : public DeflateHost {
public:
    MemoryDeflateHost(const uint8_t* data, size_t size, uint32_t maxRead = 0, int lineEndConversion = 0)
        : data_(data), size_(size), maxRead_(maxRead), lineEndConversion_(lineEndConversion) {}
    int32_t ReadInputBlock(uint8_t* buffer, uint32_t size) override;
    int LineEndConversion() const override { return lineEndConversion_; }
    void Warn(const char* text) override { warnings.emplace_back(text); }

    std::vector<std::string> warnings;

private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
    uint32_t maxRead_;
    int lineEndConversion_;
};

// Collects written bytes. Positions count from `start` (as if the bytes
// followed that many bytes already in a file, such as a local header); when
// repositionable, seeks may move anywhere from 0 to the end, and a write at a
// position before `start` fails. Writes fail once `failAfter` bytes have been
// accepted (when nonzero).
class MemoryOutputStream : public format::OutputStream {
public:
    explicit MemoryOutputStream(bool repositionable, int64_t start = 0, uint64_t failAfter = 0)
        : repositionable_(repositionable), start_(start), pos_(start), failAfter_(failAfter) {}
    size_t Write(const void* data, size_t n) override;
    bool SeekRelative(int64_t offset) override { return SeekAbsolute(pos_ + offset); }
    bool SeekAbsolute(int64_t offset) override;
    int64_t Position() const override { return pos_; }

    std::vector<uint8_t> bytes;  // the bytes from `start` on
    size_t writeCalls = 0;

private:
    bool repositionable_;
    int64_t start_;
    int64_t pos_;
    uint64_t failAfter_;
};

// The outcome of compressing one buffer as a member.
struct DeflateResult {
    int error = 0;  // 0, or the run error code (5)
    const char* errorText = nullptr;
    std::vector<uint8_t> data;                       // the member's data: raw deflate, or the input when stored
    int64_t compressedSize = 0;                      // the compressor's count
    uint16_t method = 8;                             // 8, or 0 when the member was stored
    uint16_t flags = 0;                              // the level's flag bits
    uint16_t internalAttributes = kUnknownFileType;  // 0 binary, 1 text
    uint64_t bytesWritten = 0;                       // bytes the bit output handed to the stream
};

// Compresses `size` bytes at `level` with `deflater` and `out` (which must
// belong together) as the entry writer would. With `repositionable` the
// output acts like a file after a local header, so an incompressible member
// may be stored.
DeflateResult DeflateToMemory(Deflater& deflater, BitOutput& out, const uint8_t* data, size_t size, int level,
                              bool repositionable, uint32_t maxRead = 0);

}  // namespace tovra::compress
