// unicode_path_field.h - the Unicode path extra field (header ID 0x7075) of a
// member: a UTF-8 copy of the member's name that writers add beside a name
// stored in some other encoding.
//
// Layout of the field's data: 1 byte version (1), 4 bytes CRC-32 of the name
// field as stored in the same header, then the UTF-8 name up to the end of
// the field. The CRC ties the copy to the name it was made from: a tool that
// renamed the member without knowing the field leaves a copy whose CRC no
// longer matches, and such a copy is ignored.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace tovra::extract {

inline constexpr uint16_t kUnicodePathFieldId = 0x7075;

// The UTF-8 name of the first Unicode path field in the extra field
// `extra[0..length)`, when that field is version 1, holds at least its
// version and CRC, and its CRC equals the CRC-32 of `storedName` (the name
// field's bytes exactly as stored). std::nullopt otherwise, and when the
// extra field's blocks run past its end before such a field is found.
std::optional<std::string> UnicodePathName(const uint8_t* extra, size_t length, const std::string& storedName);

}  // namespace tovra::extract
