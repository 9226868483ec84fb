// archive_output.h - the archive an archiving run writes: a buffered,
// repositionable output stream over one file, with the running offset of the
// next byte written (writeOffset).
//
// The run opens it and registers it as the process-wide output slot; the
// entry writer writes through it; the error report closes it. Writes are
// buffered; Flush or Close hands them to the system, and a failed write
// makes every later write fail too.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "format/streams.h"
#include "platform/platform.h"

namespace tovra::compress {

class ArchiveOutput : public format::OutputStream {
public:
    ArchiveOutput();
    ~ArchiveOutput() override;  // closes (flushing) when still open

    // Opens `path`: kCreate for a new temporary archive, kReadWrite for an
    // archive appended in place (then positioned by SeekAbsolute). false on failure.
    bool Open(const std::string& path, platform::OpenMode mode);
    // Flushes and closes; false when a write or the flush failed.
    bool Close();
    bool IsOpen() const;

    size_t Write(const void* data, size_t n) override;
    bool SeekRelative(int64_t offset) override;
    bool SeekAbsolute(int64_t offset) override;
    int64_t Position() const override;  // == writeOffset
    bool Failed() const { return failed_; }
    bool Flush();
    // Flushes and cuts the file at the current position; false on failure.
    bool TruncateHere();
    // Drops the bytes not yet written and forgets an earlier write failure,
    // so that an archive appended in place can still be put back after the
    // failure that ended the run (the dropped bytes belong to that run).
    void DiscardPending();

private:
    platform::File file_;
    std::vector<uint8_t> buffer_;
    size_t buffered_ = 0;
    int64_t position_ = 0;
    bool failed_ = false;
};

// The process-wide slot that holds the open output of the running archive
// write (null when none); the error report closes what it finds there.
ArchiveOutput*& OutputSlot();

}  // namespace tovra::compress
