// byte_cursor.h - little-endian access to record bytes.
//
// Reading: ByteCursor walks a byte range and takes 1-, 2- and 4-byte
// little-endian integers from it. A read past the end does not fault: it
// yields 0, leaves the cursor failed, and every later read yields 0 as well.
// A record parser therefore reads all its fields and tests Ok() once at the
// end, instead of checking every field.
//
// Writing: ByteBuilder fills a caller-owned byte range the same way, so a
// record can be assembled in memory and handed to a stream in one write.
//
// ReadLE16 and ReadLE32 are the two plain readers for code that already
// knows its buffer is long enough.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tovra::format {

// Little-endian 16-bit value at p. p must point at 2 readable bytes.
inline uint16_t ReadLE16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

// Little-endian 32-bit value at p, assembled from four single bytes (no
// alignment needed). p must point at 4 readable bytes.
inline uint32_t ReadLE32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
           (static_cast<uint32_t>(p[3]) << 24);
}

// Stores v at p in little-endian order; p must point at 2 or 4 writable bytes.
inline void StoreLE16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
inline void StoreLE32(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
    p[2] = static_cast<uint8_t>(v >> 16);
    p[3] = static_cast<uint8_t>(v >> 24);
}

// Bounds-checked reader over [data, data + size). The range is borrowed and
// must outlive the cursor. Once a read runs past the end, Ok() stays false
// and all reads return 0 / nullptr.
class ByteCursor {
public:
    ByteCursor(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    bool Ok() const { return ok_; }
    size_t Offset() const { return offset_; }
    size_t Remaining() const { return ok_ ? size_ - offset_ : 0; }

    uint8_t U8() {
        const uint8_t* p = Take(1);
        return p ? p[0] : 0;
    }
    uint16_t U16() {
        const uint8_t* p = Take(2);
        return p ? ReadLE16(p) : 0;
    }
    uint32_t U32() {
        const uint8_t* p = Take(4);
        return p ? ReadLE32(p) : 0;
    }
    // The next n bytes (borrowed from the range), or nullptr when fewer remain.
    const uint8_t* Bytes(size_t n) { return Take(n); }
    void Skip(size_t n) { (void)Take(n); }

private:
    const uint8_t* Take(size_t n) {
        if (!ok_ || n > size_ - offset_) {
            ok_ = false;
            return nullptr;
        }
        const uint8_t* p = data_ + offset_;
        offset_ += n;
        return p;
    }

    const uint8_t* data_;
    size_t size_;
    size_t offset_ = 0;
    bool ok_ = true;
};

// Bounds-checked writer into [data, data + size), the counterpart of
// ByteCursor: a put past the end writes nothing and leaves Ok() false.
class ByteBuilder {
public:
    ByteBuilder(uint8_t* data, size_t size) : data_(data), size_(size) {}

    bool Ok() const { return ok_; }
    size_t Size() const { return used_; }

    void U16(uint16_t v) {
        if (uint8_t* p = Take(2)) StoreLE16(p, v);
    }
    void U32(uint32_t v) {
        if (uint8_t* p = Take(4)) StoreLE32(p, v);
    }

private:
    uint8_t* Take(size_t n) {
        if (!ok_ || n > size_ - used_) {
            ok_ = false;
            return nullptr;
        }
        uint8_t* p = data_ + used_;
        used_ += n;
        return p;
    }

    uint8_t* data_;
    size_t size_;
    size_t used_ = 0;
    bool ok_ = true;
};

}  // namespace tovra::format
