// streams.h - the small byte-stream interfaces through which the codecs, the
// record writers and the compressor reach their input and output, so the same
// code runs on files (the archiving run), on memory (tests, fuzzers,
// benchmarks) and on anything else a caller adapts.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tovra::format {

// A sink of bytes, optionally repositionable.
class OutputStream {
public:
    virtual ~OutputStream() = default;
    // Writes n bytes; returns the number written (less than n only on failure).
    virtual size_t Write(const void* data, size_t n) = 0;
    // Moves the write position relative to the current one; false when the
    // stream cannot be repositioned (then nothing moved).
    virtual bool SeekRelative(int64_t offset) {
        (void)offset;
        return false;
    }
    // Moves the write position to an absolute offset; false when not possible.
    virtual bool SeekAbsolute(int64_t offset) {
        (void)offset;
        return false;
    }
    // Current write position (bytes from the start), or -1 when unknown.
    virtual int64_t Position() const { return -1; }
};

// A source of bytes.
class InputStream {
public:
    virtual ~InputStream() = default;
    // Reads up to n bytes; returns the count read, 0 at the end; a read error
    // also returns 0 and sets Failed().
    virtual size_t Read(void* data, size_t n) = 0;
    virtual bool Failed() const { return false; }
};

}  // namespace tovra::format
