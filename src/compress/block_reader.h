// block_reader.h - the block reader through which every byte of a new
// member's file enters the archiving engine: optional line-end conversion,
// the running CRC-32 and byte count of what it delivers, the progress of the
// file and the cancel check. The stored path of the entry writer and the
// compressor (as its DeflateHost) both read through it.
//
// The conversions treat the file as one stream, whatever the block sizes the
// caller asks for:
//   1  LF -> CR LF. When a buffer has room for the CR only, the LF is kept
//      and delivered first by the next call.
//   2+ CR LF -> LF. A CR is dropped only when the next byte of the file is
//      an LF (a CR that ends one read waits for the next read to decide), and
//      a Ctrl-Z (0x1A) is dropped only when it is the file's last byte.
// Converted input goes through a 32 KiB buffer of raw bytes; without
// conversion the caller's buffer is filled straight from the file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "compress/archiving_reports.h"
#include "compress/deflate.h"
#include "format/streams.h"
#include "platform/platform.h"

namespace tovra::compress {

// An InputStream over an open platform::File (not owned).
class FileInputStream : public format::InputStream {
public:
    explicit FileInputStream(platform::File& file) : file_(file) {}
    size_t Read(void* data, size_t n) override;
    bool Failed() const override { return failed_; }

private:
    platform::File& file_;
    bool failed_ = false;
};

class BlockReader : public DeflateHost {
public:
    // Reads `in` (not owned) with `lineEndConversion` (0 none, 1, 2+);
    // `progressName` and `progressTotal` are shown through the UI host as the
    // file's bytes are read; `reports` answers the cancel question and shows
    // the compressor's warnings.
    BlockReader(format::InputStream& in, int lineEndConversion, ArchivingReports& reports, std::string progressName,
                uint64_t progressTotal);

    // Places up to `size` bytes in `buffer` (size > 0) and returns their count;
    // 0 at the end of the file or once the run is cancelled; -1 on a read
    // error (bytes converted before the error are delivered first).
    int32_t ReadInputBlock(uint8_t* buffer, uint32_t size) override;
    int LineEndConversion() const override { return lineEndConversion_; }
    void Warn(const char* text) override;

    uint32_t Crc() const { return crc_; }
    uint64_t BytesDelivered() const { return delivered_; }
    uint64_t BytesRead() const { return bytesRead_; }
    bool Cancelled() const { return cancelled_; }
    bool ReadFailed() const { return readFailed_; }

private:
    // Reads more raw bytes after the unconsumed ones; false when none came.
    bool FillRaw();
    size_t Convert(uint8_t* out, size_t size);
    void CountRead(size_t n);

    format::InputStream& in_;
    int lineEndConversion_;
    ArchivingReports& reports_;
    std::string progressName_;
    uint64_t progressTotal_;
    uint32_t crc_ = 0;
    uint64_t delivered_ = 0;
    uint64_t bytesRead_ = 0;
    bool cancelled_ = false;
    bool readFailed_ = false;  // the file reported an error (sticky)
    // Conversion state: raw_[rawPos_, rawEnd_) not yet converted; the input
    // has ended (or failed) once endOfInput_; pendingLf_: an LF whose CR has
    // been delivered.
    std::vector<uint8_t> raw_;
    size_t rawPos_ = 0, rawEnd_ = 0;
    bool endOfInput_ = false;
    bool pendingLf_ = false;
};

}  // namespace tovra::compress
