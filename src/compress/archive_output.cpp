// archive_output.cpp - the buffered output of the archive being written.
#include "compress/archive_output.h"

#include <algorithm>
#include <cstring>

namespace tovra::compress {
namespace {

// The run's output buffer: writes reach the system in pieces of this size.
constexpr size_t kOutputBufferSize = 16384;

}  // namespace

ArchiveOutput::ArchiveOutput() = default;

ArchiveOutput::~ArchiveOutput() { Close(); }

bool ArchiveOutput::Open(const std::string& path, platform::OpenMode mode) {
    Close();
    buffer_.assign(kOutputBufferSize, 0);
    buffered_ = 0;
    position_ = 0;
    failed_ = false;
    return file_.Open(path, mode);
}

bool ArchiveOutput::IsOpen() const { return file_.IsOpen(); }

bool ArchiveOutput::Flush() {
    if (!file_.IsOpen()) return false;
    if (buffered_ > 0 && !failed_) {
        const int64_t n = file_.Write(buffer_.data(), buffered_);
        if (n != static_cast<int64_t>(buffered_)) failed_ = true;
    }
    buffered_ = 0;
    return !failed_;
}

bool ArchiveOutput::Close() {
    if (!file_.IsOpen()) return !failed_;
    const bool ok = Flush() && file_.Flush();
    file_.Close();
    buffer_.clear();
    buffer_.shrink_to_fit();
    return ok;
}

size_t ArchiveOutput::Write(const void* data, size_t n) {
    if (!file_.IsOpen() || failed_) return 0;
    const uint8_t* p = static_cast<const uint8_t*>(data);
    size_t done = 0;
    while (done < n) {
        if (buffered_ == buffer_.size() && !Flush()) return done;
        if (buffered_ == 0 && n - done >= buffer_.size()) {
            // A piece the buffer would only pass on goes to the system as it is.
            const size_t piece = n - done;
            if (file_.Write(p + done, piece) != static_cast<int64_t>(piece)) {
                failed_ = true;
                return done;
            }
            position_ += static_cast<int64_t>(piece);
            return n;
        }
        const size_t piece = std::min(n - done, buffer_.size() - buffered_);
        std::memcpy(buffer_.data() + buffered_, p + done, piece);
        buffered_ += piece;
        done += piece;
        position_ += static_cast<int64_t>(piece);
    }
    return done;
}

bool ArchiveOutput::TruncateHere() { return Flush() && file_.Truncate(); }

void ArchiveOutput::DiscardPending() {
    buffered_ = 0;
    failed_ = false;
}

bool ArchiveOutput::SeekAbsolute(int64_t offset) {
    if (!file_.IsOpen() || offset < 0 || !Flush()) return false;
    if (file_.Seek(offset, platform::SeekOrigin::kBegin) != offset) return false;
    position_ = offset;
    return true;
}

bool ArchiveOutput::SeekRelative(int64_t offset) { return SeekAbsolute(position_ + offset); }

int64_t ArchiveOutput::Position() const { return position_; }

ArchiveOutput*& OutputSlot() {
    static ArchiveOutput* slot = nullptr;
    return slot;
}

}  // namespace tovra::compress
