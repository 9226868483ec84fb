// archive_input.h - the old archive as an archiving run reads it to copy its
// preamble and unchanged members: a read-ahead stream over one file.
//
// Members are copied in file order, one after the other, so the bytes of the
// next member are usually already in the buffer: positioning inside what was
// read costs no system call, and the file is read in large blocks however
// small its members are. A position outside the buffer goes to the system
// at once, so a failure to position is seen where it happens.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace tovra::compress {

class ArchiveInput {
public:
    // Opens `path` for reading; false (closed) on failure.
    bool Open(const std::string& path);
    void Close();
    bool IsOpen() const { return file_.IsOpen(); }
    const std::string& Path() const { return file_.Path(); }

    // Positions the next read at `offset` from the start of the file; false
    // when the system refuses (the position is then unknown until the next
    // successful Seek).
    bool Seek(int64_t offset);
    // Hands out up to `want` bytes from the current position without copying
    // them: `*data` points into the buffer and stays valid until the next call.
    // Returns the count (at least 1 while `want` > 0 and bytes remain), 0 at
    // the end of the file, kReadFailed, or kNoMemory when the buffer (taken at
    // the first read) cannot be allocated.
    static constexpr int64_t kReadFailed = -1;
    static constexpr int64_t kNoMemory = -2;
    int64_t Next(const uint8_t** data, size_t want);

private:
    platform::File file_;
    std::vector<uint8_t> buffer_;
    int64_t bufferStart_ = 0;  // file offset of buffer_[0]; the system's position is bufferStart_ + filled_
    size_t filled_ = 0;        // bytes of buffer_ read from the file
    size_t cursor_ = 0;        // the next byte handed out, at most filled_
};

}  // namespace tovra::compress
