// block_reader.cpp - the block reader of the entry writer (see block_reader.h).
#include "compress/block_reader.h"

#include <cstring>

#include "format/crc32.h"
#include "platform/ui_host.h"

namespace tovra::compress {
namespace {

constexpr size_t kRawBufferSize = 32768;
constexpr uint8_t kCr = 0x0D, kLf = 0x0A, kCtrlZ = 0x1A;

}  // namespace

size_t FileInputStream::Read(void* data, size_t n) {
    const int64_t got = file_.Read(data, n);
    if (got < 0) {
        failed_ = true;
        return 0;
    }
    return static_cast<size_t>(got);
}

BlockReader::BlockReader(format::InputStream& in, int lineEndConversion, ArchivingReports& reports,
                         std::string progressName, uint64_t progressTotal)
    : in_(in),
      lineEndConversion_(lineEndConversion),
      reports_(reports),
      progressName_(std::move(progressName)),
      progressTotal_(progressTotal) {
    if (lineEndConversion_ != 0) raw_.resize(kRawBufferSize);
}

void BlockReader::Warn(const char* text) { reports_.ReportWarning(platform::Utf8ToAnsi(text), ""); }

void BlockReader::CountRead(size_t n) {
    bytesRead_ += n;
    platform::CurrentUiHost().Progress(progressName_, bytesRead_, progressTotal_);
}

bool BlockReader::FillRaw() {
    if (endOfInput_) return false;
    if (rawPos_ > 0) {
        std::memmove(raw_.data(), raw_.data() + rawPos_, rawEnd_ - rawPos_);
        rawEnd_ -= rawPos_;
        rawPos_ = 0;
    }
    const size_t got = in_.Read(raw_.data() + rawEnd_, raw_.size() - rawEnd_);
    if (got == 0) {
        endOfInput_ = true;
        readFailed_ = in_.Failed();
        return false;
    }
    CountRead(got);
    rawEnd_ += got;
    return true;
}

size_t BlockReader::Convert(uint8_t* out, size_t size) {
    size_t n = 0;
    while (n < size) {
        if (pendingLf_) {
            out[n++] = kLf;
            pendingLf_ = false;
            continue;
        }
        if (rawPos_ == rawEnd_ && !FillRaw()) break;
        const uint8_t b = raw_[rawPos_];
        if (lineEndConversion_ == 1) {
            ++rawPos_;
            if (b == kLf) {
                out[n++] = kCr;
                pendingLf_ = true;
            } else {
                out[n++] = b;
            }
            continue;
        }
        if (b == kCr || b == kCtrlZ) {
            // The byte after it decides; it may have to be read first.
            if (rawPos_ + 1 == rawEnd_) FillRaw();
            const bool last = rawPos_ + 1 == rawEnd_;
            ++rawPos_;
            if (b == kCr && !last && raw_[rawPos_] == kLf) continue;
            if (b == kCtrlZ && last && !readFailed_) continue;
        } else {
            ++rawPos_;
        }
        out[n++] = b;
    }
    return n;
}

int32_t BlockReader::ReadInputBlock(uint8_t* buffer, uint32_t size) {
    if (cancelled_ || reports_.CancelRequested()) {
        cancelled_ = true;
        return 0;
    }
    if (size > INT32_MAX) size = INT32_MAX;
    size_t n;
    if (lineEndConversion_ == 0) {
        n = readFailed_ ? 0 : in_.Read(buffer, size);
        if (n == 0) readFailed_ = in_.Failed();
        if (n > 0) CountRead(n);
    } else {
        n = Convert(buffer, size);
    }
    if (n == 0) return readFailed_ ? -1 : 0;
    crc_ = format::Crc32(crc_, buffer, n);
    delivered_ += n;
    return static_cast<int32_t>(n);
}

}  // namespace tovra::compress
