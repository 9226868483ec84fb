// zip_entry.h - ZipEntry, the archiving side's in-memory record of one member.
//
// The update reader fills one per member of an existing archive, the file
// collection adds one per new file, the entry writer fills in the values it
// writes, and the record writers (records.h) turn an entry into a local or
// central header. Fields follow the central header; the local header's own
// flags are kept separately in localFlags.
//
// Sizes and the local header offset are 64 bits wide so that a run can count
// past 4 GiB without wrapping; the record writers refuse (kResultEntryTooBig)
// to store a value that does not fit the 32-bit fields.
//
// Ownership: the archiving context owns every entry (and the list order is
// kept through `next`, which does not own). Extra fields are shared pointers:
// when the central extra field is byte-for-byte the local one, both may point
// at the same buffer (test with SharesExtraField()).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tovra::format {

using ExtraField = std::shared_ptr<std::vector<uint8_t>>;

struct ZipEntry {
    uint16_t versionMadeBy = 0;     // central version made by: low byte version x 10, high byte host system
    uint16_t versionNeeded = 0;     // version needed to extract
    uint16_t flags = 0;             // central general-purpose flags
    uint16_t method = 0;            // compression method
    uint32_t dosDateTime = 0;       // DOS date (high 16 bits) and time (low 16 bits)
    uint32_t crc32 = 0;             // CRC-32 of the uncompressed data
    uint64_t compressedSize = 0;    // must fit 32 bits when a record is written
    uint64_t uncompressedSize = 0;  // must fit 32 bits when a record is written
    size_t nameLength = 0;          // bytes of internalName stored in the records
    size_t localExtraLength = 0;    // bytes of localExtra stored in the local header
    size_t centralExtraLength = 0;  // bytes of centralExtra stored in the central header
    size_t commentLength = 0;       // bytes of comment stored in the central header
    uint16_t diskNumberStart = 0;
    uint16_t internalAttributes = 0;  // bit 0: text
    uint16_t localFlags = 0;          // flags as the local header holds them
    uint32_t externalAttributes = 0;  // see ExternalAttributes() in zip_values.h
    uint64_t localHeaderOffset = 0;   // from the first byte of the file; must fit 32 bits when written
    std::string externalName;         // the name in the file system's form
    ExtraField localExtra;            // local extra field, or null
    ExtraField centralExtra;          // central extra field, or null; may be the localExtra buffer
    std::vector<uint8_t> comment;     // member comment (empty when none)
    std::string internalName;         // the name as stored in the archive ('/' separators)
    uint32_t actionMark = 0;          // what the run does with the member; 0 after reading
    uint32_t removeSourceMark = 0;    // whether the run deletes the source afterwards; 0 after reading
    uint32_t dosCompatible = 0;       // 1: DOS-style version made by and external attributes
    ZipEntry* next = nullptr;         // next entry in file order (not owned)

    // True when the central extra field is the very buffer of the local one.
    bool SharesExtraField() const { return localExtra && localExtra == centralExtra; }
};

}  // namespace tovra::format
