// update_input.h - the buffered byte source through which the update reader
// reads an existing archive: a file opened for binary reading, or a block of
// memory (fuzzers and tests).
//
// The reader scans for signatures one byte at a time, so reads are served
// from a 32 KiB buffer. Positions are absolute file offsets. A seek past the
// end of the data stops at the end (so "where the file is now" tells how far
// the data really reaches); a read there delivers nothing. Failed() turns
// true when the system reported a read error, which tells a short read caused
// by an error (code 11) from one caused by the end of the file (code 2).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace tovra::compress {

class UpdateInput {
public:
    UpdateInput() = default;
    UpdateInput(const UpdateInput&) = delete;
    UpdateInput& operator=(const UpdateInput&) = delete;

    // Opens `path` for binary reading; false when it cannot be opened. Throws
    // std::bad_alloc when the buffer cannot be allocated.
    bool OpenFile(const std::string& path);
    // Reads from [data, data + size), which must outlive the input.
    void OpenMemory(const uint8_t* data, size_t size);

    // Reads up to n bytes; returns the count (short only at the end or on an
    // error).
    size_t Read(void* data, size_t n);
    // The next byte, or -1 at the end or on an error.
    int ReadByte() {
        if (next_ < end_) return *next_++;
        return Refill() ? *next_++ : -1;
    }
    // Moves to `offset` (stopping at the end of the data); false on a seek error.
    bool Seek(uint64_t offset);
    uint64_t Position() const { return bufferStart_ + static_cast<uint64_t>(next_ - begin_); }
    uint64_t Size() const { return size_; }
    bool Failed() const { return failed_; }

private:
    bool Refill();

    platform::File file_;
    bool fromFile_ = false;
    std::vector<uint8_t> buffer_;
    const uint8_t* begin_ = nullptr;  // first byte held (file position bufferStart_)
    const uint8_t* next_ = nullptr;   // next byte to deliver
    const uint8_t* end_ = nullptr;    // one past the last byte held
    uint64_t bufferStart_ = 0;
    uint64_t size_ = 0;
    bool failed_ = false;
};

}  // namespace tovra::compress
