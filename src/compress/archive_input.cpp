// archive_input.cpp - the read-ahead stream over the old archive.
#include "compress/archive_input.h"

#include <algorithm>
#include <new>

namespace tovra::compress {
namespace {

// Large enough that a copy of a tree of small members reads the archive in a
// few dozen blocks; small beside the run's other buffers.
constexpr size_t kInputBufferSize = 262144;

}  // namespace

bool ArchiveInput::Open(const std::string& path) {
    Close();
    return file_.Open(path, platform::OpenMode::kRead);
}

void ArchiveInput::Close() {
    file_.Close();
    buffer_.clear();
    buffer_.shrink_to_fit();
    bufferStart_ = 0;
    filled_ = cursor_ = 0;
}

bool ArchiveInput::Seek(int64_t offset) {
    if (!file_.IsOpen() || offset < 0) return false;
    if (offset >= bufferStart_ && offset <= bufferStart_ + static_cast<int64_t>(filled_)) {
        cursor_ = static_cast<size_t>(offset - bufferStart_);
        return true;
    }
    filled_ = cursor_ = 0;
    if (file_.Seek(offset, platform::SeekOrigin::kBegin) != offset) {
        bufferStart_ = -1;  // matches no offset: the next Seek goes to the system
        return false;
    }
    bufferStart_ = offset;
    return true;
}

int64_t ArchiveInput::Next(const uint8_t** data, size_t want) {
    if (!file_.IsOpen() || bufferStart_ < 0) return kReadFailed;
    if (want == 0) return 0;
    if (buffer_.empty()) {
        try {
            buffer_.resize(kInputBufferSize);
        } catch (const std::bad_alloc&) {
            return kNoMemory;
        }
    }
    if (cursor_ == filled_) {
        const int64_t got = file_.Read(buffer_.data(), buffer_.size());
        if (got < 0) return kReadFailed;
        bufferStart_ += static_cast<int64_t>(filled_);
        filled_ = static_cast<size_t>(got);
        cursor_ = 0;
        if (got == 0) return 0;
    }
    const size_t n = std::min(want, filled_ - cursor_);
    *data = buffer_.data() + cursor_;
    cursor_ += n;
    return static_cast<int64_t>(n);
}

}  // namespace tovra::compress
