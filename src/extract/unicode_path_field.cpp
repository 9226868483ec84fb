// unicode_path_field.cpp - finding and checking the Unicode path extra field.
#include "extract/unicode_path_field.h"

#include "format/byte_cursor.h"
#include "format/crc32.h"

namespace tovra::extract {
namespace {

inline constexpr uint8_t kUnicodePathVersion = 1;
inline constexpr size_t kUnicodePathFixedSize = 5;  // version and CRC-32

}  // namespace

std::optional<std::string> UnicodePathName(const uint8_t* extra, size_t length, const std::string& storedName) {
    if (extra == nullptr) return std::nullopt;
    format::ByteCursor cursor(extra, length);
    // Each block: 2 bytes header ID, 2 bytes data size, the data.
    while (cursor.Remaining() >= 4) {
        const uint16_t id = cursor.U16();
        const uint16_t size = cursor.U16();
        const uint8_t* data = cursor.Bytes(size);
        if (data == nullptr) return std::nullopt;
        if (id != kUnicodePathFieldId) continue;
        if (size < kUnicodePathFixedSize || data[0] != kUnicodePathVersion) return std::nullopt;
        const uint32_t crc = format::ReadLE32(data + 1);
        if (crc != format::Crc32(0, storedName.data(), storedName.size())) return std::nullopt;
        return std::string(reinterpret_cast<const char*>(data) + kUnicodePathFixedSize, size - kUnicodePathFixedSize);
    }
    return std::nullopt;
}

}  // namespace tovra::extract
