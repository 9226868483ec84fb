// update_input.cpp - the buffered archive source of the update reader.
#include "compress/update_input.h"

#include <algorithm>
#include <cstring>

namespace tovra::compress {
namespace {

constexpr size_t kInputBufferSize = 32768;

}  // namespace

bool UpdateInput::OpenFile(const std::string& path) {
    if (!file_.Open(path, platform::OpenMode::kRead)) return false;
    const int64_t size = file_.Size();
    if (size < 0) {
        file_.Close();
        return false;
    }
    buffer_.resize(kInputBufferSize);
    fromFile_ = true;
    size_ = static_cast<uint64_t>(size);
    begin_ = next_ = end_ = buffer_.data();
    bufferStart_ = 0;
    failed_ = false;
    return true;
}

void UpdateInput::OpenMemory(const uint8_t* data, size_t size) {
    file_.Close();
    fromFile_ = false;
    size_ = size;
    begin_ = next_ = data;
    end_ = data + size;
    bufferStart_ = 0;
    failed_ = false;
}

bool UpdateInput::Refill() {
    if (!fromFile_ || failed_) return false;
    const uint64_t position = Position();
    if (position >= size_) return false;
    if (file_.Seek(static_cast<int64_t>(position), platform::SeekOrigin::kBegin) < 0) {
        failed_ = true;
        return false;
    }
    const int64_t got = file_.Read(buffer_.data(), buffer_.size());
    if (got <= 0) {
        // The file was said to reach further: it shrank, or the system failed.
        if (got < 0) failed_ = true;
        return false;
    }
    begin_ = next_ = buffer_.data();
    end_ = begin_ + got;
    bufferStart_ = position;
    return true;
}

size_t UpdateInput::Read(void* data, size_t n) {
    auto* out = static_cast<uint8_t*>(data);
    size_t done = 0;
    while (done < n) {
        if (next_ == end_ && !Refill()) break;
        const size_t piece = std::min(n - done, static_cast<size_t>(end_ - next_));
        std::memcpy(out + done, next_, piece);
        next_ += piece;
        done += piece;
    }
    return done;
}

bool UpdateInput::Seek(uint64_t offset) {
    offset = std::min(offset, size_);
    if (offset >= bufferStart_ && offset <= bufferStart_ + static_cast<uint64_t>(end_ - begin_)) {
        next_ = begin_ + (offset - bufferStart_);
        return true;
    }
    if (!fromFile_) return false;  // memory holds everything: never reached
    // Forget the buffer; the next read fills it at the new position.
    begin_ = next_ = end_ = buffer_.data();
    bufferStart_ = offset;
    return true;
}

}  // namespace tovra::compress
