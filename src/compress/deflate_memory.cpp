// deflate_memory.cpp - the memory block reader, the memory output stream and
// the one-call compression of a buffer (see deflate_memory.h).
#include "compress/deflate_memory.h"

#include <algorithm>
#include <cstring>

namespace tovra::compress {

int32_t MemoryDeflateHost::ReadInputBlock(uint8_t* buffer, uint32_t size) {
    size_t n = std::min<size_t>(size, size_ - pos_);
    if (maxRead_ != 0) n = std::min<size_t>(n, maxRead_);
    if (n > 0) std::memcpy(buffer, data_ + pos_, n);
    pos_ += n;
    return static_cast<int32_t>(n);
}

size_t MemoryOutputStream::Write(const void* data, size_t n) {
    ++writeCalls;
    if (pos_ < start_) return 0;
    size_t allowed = n;
    if (failAfter_ != 0) {
        const uint64_t end = static_cast<uint64_t>(pos_ - start_);
        allowed = end >= failAfter_ ? 0 : static_cast<size_t>(std::min<uint64_t>(n, failAfter_ - end));
    }
    const size_t at = static_cast<size_t>(pos_ - start_);
    if (bytes.size() < at + allowed) bytes.resize(at + allowed);
    if (allowed > 0) std::memcpy(bytes.data() + at, data, allowed);
    pos_ += static_cast<int64_t>(allowed);
    return allowed;
}

bool MemoryOutputStream::SeekAbsolute(int64_t offset) {
    if (!repositionable_ || offset < 0 || offset > start_ + static_cast<int64_t>(bytes.size())) return false;
    pos_ = offset;
    return true;
}

DeflateResult DeflateToMemory(Deflater& deflater, BitOutput& out, const uint8_t* data, size_t size, int level,
                              bool repositionable, uint32_t maxRead) {
    // A notional 30-byte local header precedes the data, as in an archive.
    constexpr int64_t kHeaderBytes = 30;
    DeflateResult result;
    MemoryOutputStream stream(repositionable, repositionable ? kHeaderBytes : 0);
    MemoryDeflateHost host(data, size, maxRead);
    out.Start(stream);
    deflater.StartTrees(result.internalAttributes, result.method);
    if (deflater.StartMatcher(host, level, result.flags) != 0) {
        result.error = deflater.Error().code;
        result.errorText = deflater.Error().text;
        return result;
    }
    result.compressedSize = deflater.Compress(host);
    if (result.compressedSize < 0) {
        result.error = deflater.Error().code;
        result.errorText = deflater.Error().text;
    }
    result.bytesWritten = out.BytesWritten();
    result.data = std::move(stream.bytes);
    return result;
}

}  // namespace tovra::compress
