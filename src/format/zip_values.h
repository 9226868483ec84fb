// zip_values.h - the fixed values of the ZIP records: signatures, record
// sizes, flag bits, methods, the version fields the archiving side writes,
// the form of the external attributes, and the limits that the field widths
// impose.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tovra::format {

// ---------------------------------------------------------------- signatures and sizes

inline constexpr uint32_t kLocalHeaderSignature = 0x04034b50;     // "PK\3\4"
inline constexpr uint32_t kCentralHeaderSignature = 0x02014b50;   // "PK\1\2"
inline constexpr uint32_t kEndRecordSignature = 0x06054b50;       // "PK\5\6"
inline constexpr uint32_t kDataDescriptorSignature = 0x08074b50;  // "PK\7\8"

inline constexpr size_t kSignatureSize = 4;
// Whole fixed part of each record, signature included.
inline constexpr size_t kLocalHeaderSize = 30;
inline constexpr size_t kCentralHeaderSize = 46;
inline constexpr size_t kEndRecordSize = 22;
inline constexpr size_t kDataDescriptorSize = 16;

// ---------------------------------------------------------------- flags and methods

enum : uint16_t {
    kFlagEncrypted = 0x0001,           // traditional encryption
    kFlagMaximum = 0x0002,             // deflate levels 8-9 (implode: 8 KiB dictionary)
    kFlagFast = 0x0004,                // deflate levels 1-2 (implode: three trees)
    kFlagDataDescriptor = 0x0008,      // CRC and sizes follow the data
    kFlagStrongEncryption = 0x0040,    // encryption this library cannot read
    kFlagEncryptedDirectory = 0x2000,  // central directory encrypted, its values masked
    kFlagsUndefined = 0xFFF0,
};

// Bit 11: the member's name and comment are UTF-8 (not the ANSI code page).
inline constexpr uint16_t kFlagUtf8 = 0x0800;

enum : uint16_t {
    kMethodStored = 0,
    kMethodShrunk = 1,
    kMethodReduced1 = 2,
    kMethodReduced4 = 5,
    kMethodImploded = 6,
    kMethodDeflated = 8,
};

// Flag bits a deflated member carries for its compression level: bit 1 at
// levels 8 and 9, bit 2 at levels 1 and 2, neither at levels 3 to 7.
constexpr uint16_t DeflateLevelFlags(int level) {
    return level >= 8 ? kFlagMaximum : (level >= 1 && level <= 2) ? kFlagFast : 0;
}

// ---------------------------------------------------------------- versions

inline constexpr uint16_t kHostDos = 0;
inline constexpr uint16_t kHostNative = 11;
// Version made by for members the archiving side compresses itself.
inline constexpr uint16_t kVersionMadeByDos = 20;                          // host 0, version 2.0
inline constexpr uint16_t kVersionMadeByNative = (kHostNative << 8) | 21;  // 0x0B15: host 11, version 2.1
static_assert(kVersionMadeByNative == 2837);
inline constexpr uint16_t kVersionNeededStored = 10;
inline constexpr uint16_t kVersionNeededDeflated = 20;

constexpr uint16_t VersionMadeBy(bool dosCompatible) {
    return dosCompatible ? kVersionMadeByDos : kVersionMadeByNative;
}
// Version needed for a member written with `method`: 10 for stored (directories
// and empty files included), 20 otherwise (deflated).
constexpr uint16_t VersionNeeded(uint16_t method) {
    return method == kMethodStored ? kVersionNeededStored : kVersionNeededDeflated;
}
// A member read from an archive counts as DOS-compatible when the host system
// byte of its version made by is 0.
constexpr bool IsDosCompatible(uint16_t versionMadeBy) { return versionMadeBy < 256; }

// ---------------------------------------------------------------- attributes

// A file's attribute value: Unix-style mode word in bits 16-31 (0x8000 regular
// file, 0x4000 directory, plus permission bits), bits 8-15 zero, Windows
// attribute byte in bits 0-7.
constexpr uint32_t FileAttributeValue(uint32_t modeWord, uint32_t windowsAttributes) {
    return ((modeWord & 0xFFFF) << 16) | (windowsAttributes & 0xFF);
}
// External attributes stored for a member: only the attribute byte for a
// DOS-compatible member, the whole value otherwise.
constexpr uint32_t ExternalAttributes(uint32_t attributeValue, bool dosCompatible) {
    return dosCompatible ? (attributeValue & 0xFF) : attributeValue;
}

// ---------------------------------------------------------------- limits

inline constexpr uint64_t kMaxFieldValue32 = 0xFFFFFFFF;  // sizes, offsets, central directory size
inline constexpr uint64_t kMaxFieldValue16 = 0xFFFF;      // member count, name/extra/comment lengths
// A field holding its largest value says "the real value is in the Zip64
// extra field" (sizes and offsets; the disk number start).
inline constexpr uint32_t kZip64Placeholder32 = 0xFFFFFFFF;
inline constexpr uint16_t kZip64Placeholder16 = 0xFFFF;

}  // namespace tovra::format
