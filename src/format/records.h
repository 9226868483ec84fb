// records.h - the four ZIP records: their fixed parts as structs, parsers
// that read them from bytes, encoders that lay them out, and the writers
// that the archiving side calls with a ZipEntry.
//
// Parsers take the bytes that FOLLOW the 4-byte signature (both engines read
// and test the signature first, then read the rest of the record), so each
// parser needs the record's body size below. Encoders produce the whole
// fixed part, signature included. Variable parts (name, extra field,
// comment) are neither parsed nor encoded here; their lengths are.
#pragma once

#include <cstddef>
#include <cstdint>

#include "format/streams.h"
#include "format/zip_entry.h"
#include "format/zip_values.h"

namespace tovra::format {

// Bytes of each record after its signature.
inline constexpr size_t kLocalHeaderBodySize = kLocalHeaderSize - kSignatureSize;        // 26
inline constexpr size_t kCentralHeaderBodySize = kCentralHeaderSize - kSignatureSize;    // 42
inline constexpr size_t kEndRecordBodySize = kEndRecordSize - kSignatureSize;            // 18
inline constexpr size_t kDataDescriptorBodySize = kDataDescriptorSize - kSignatureSize;  // 12

struct LocalHeader {
    uint16_t versionNeeded = 0;
    uint16_t flags = 0;
    uint16_t method = 0;
    uint32_t dosDateTime = 0;
    uint32_t crc32 = 0;
    uint32_t compressedSize = 0;
    uint32_t uncompressedSize = 0;
    uint16_t nameLength = 0;
    uint16_t extraLength = 0;
    bool operator==(const LocalHeader&) const = default;
};

struct CentralHeader {
    uint16_t versionMadeBy = 0;
    uint16_t versionNeeded = 0;
    uint16_t flags = 0;
    uint16_t method = 0;
    uint32_t dosDateTime = 0;
    uint32_t crc32 = 0;
    uint32_t compressedSize = 0;
    uint32_t uncompressedSize = 0;
    uint16_t nameLength = 0;
    uint16_t extraLength = 0;
    uint16_t commentLength = 0;
    uint16_t diskNumberStart = 0;
    uint16_t internalAttributes = 0;
    uint32_t externalAttributes = 0;
    uint32_t localHeaderOffset = 0;
    bool operator==(const CentralHeader&) const = default;
};

struct EndRecord {
    uint16_t diskNumber = 0;
    uint16_t centralDirDisk = 0;
    uint16_t entriesOnDisk = 0;
    uint16_t totalEntries = 0;
    uint32_t centralDirSize = 0;
    uint32_t centralDirOffset = 0;
    uint16_t commentLength = 0;
    bool operator==(const EndRecord&) const = default;
};

struct DataDescriptor {
    uint32_t crc32 = 0;
    uint32_t compressedSize = 0;
    uint32_t uncompressedSize = 0;
    bool operator==(const DataDescriptor&) const = default;
};

// ---------------------------------------------------------------- parsing

// Each parser reads the record body (the bytes after the signature) from
// [body, body + size). Returns false, leaving *out unchanged, when size is
// smaller than the body size; extra bytes beyond the body are ignored. Every
// field value is accepted: judging them is the caller's business.
bool ParseLocalHeader(const uint8_t* body, size_t size, LocalHeader* out);
bool ParseCentralHeader(const uint8_t* body, size_t size, CentralHeader* out);
bool ParseEndRecord(const uint8_t* body, size_t size, EndRecord* out);
bool ParseDataDescriptor(const uint8_t* body, size_t size, DataDescriptor* out);

// ---------------------------------------------------------------- encoding

// Lays out the whole fixed part, signature first, into out.
void EncodeLocalHeader(const LocalHeader& header, uint8_t (&out)[kLocalHeaderSize]);
void EncodeCentralHeader(const CentralHeader& header, uint8_t (&out)[kCentralHeaderSize]);
void EncodeEndRecord(const EndRecord& record, uint8_t (&out)[kEndRecordSize]);
void EncodeDataDescriptor(const DataDescriptor& descriptor, uint8_t (&out)[kDataDescriptorSize]);

// ---------------------------------------------------------------- writing

// Result codes of the writers (values of the archiving error table).
enum : int {
    kWriteOk = 0,
    // An entry's length field asks for more bytes than its buffer holds
    // (name, extra field or comment): "Internal logic error". Nothing is written.
    kWriteInconsistentEntry = 5,
    // A size or offset above 0xFFFFFFFF, a length or member count above 0xFFFF:
    // the record cannot hold it. "Entry too big to split". Nothing is written.
    kWriteEntryTooBig = 6,
    // The stream took fewer bytes than asked: "Temporary file failure".
    kWriteFailure = 10,
};

// Checks that `entry` fits a local header (sizes, name and local extra
// lengths) and that its buffers hold the stated lengths. Returns kWriteOk,
// kWriteEntryTooBig or kWriteInconsistentEntry.
int CheckLocalHeaderLimits(const ZipEntry& entry);
// The same for a central header: additionally the local header offset, the
// central extra field and the comment.
int CheckCentralHeaderLimits(const ZipEntry& entry);

// Writes the local header of `entry` (fixed part with the local flags, then
// nameLength bytes of internalName and localExtraLength bytes of localExtra).
// Returns kWriteOk; kWriteEntryTooBig / kWriteInconsistentEntry before any
// byte is written; kWriteFailure when the stream takes fewer bytes than asked
// (the record may then be partly written).
int WriteLocalHeader(const ZipEntry& entry, OutputStream& out);
// Writes the central header of `entry` (fixed part with the central flags,
// then the name, centralExtraLength bytes of centralExtra, commentLength bytes
// of comment). Results as WriteLocalHeader.
int WriteCentralHeader(const ZipEntry& entry, OutputStream& out);
// Writes the 16-byte data descriptor (signature, CRC-32, sizes) of `entry`.
// Returns kWriteOk, kWriteEntryTooBig (a size above 32 bits), kWriteFailure.
int WriteDataDescriptor(const ZipEntry& entry, OutputStream& out);
// Writes the end record: memberCount in both count fields, the central
// directory size and offset, then commentLength bytes of comment (comment may
// be null when commentLength is 0). Returns kWriteOk, kWriteEntryTooBig
// (count or comment length above 0xFFFF, size or offset above 32 bits) before
// any byte is written, or kWriteFailure.
int WriteEndRecord(uint64_t memberCount, uint64_t centralDirSize, uint64_t centralDirOffset, const uint8_t* comment,
                   size_t commentLength, OutputStream& out);

}  // namespace tovra::format
