// zip_builder.h - a test-only writer of ZIP archives, sound or deliberately
// broken, built in memory.
//
// Tests describe each member (name, the bytes stored as its data, method,
// flags, attributes, host system, versions, times, extra fields, comment) and
// the archive around them (preamble, archive comment, bytes after the end
// record), then override any field of any record to break one rule at a time.
// Nothing here uses the library: CRC-32 is computed by the builder's own
// bitwise routine, so the builder is an independent second opinion.
//
//     tovra::test::ZipBuilder zip;
//     zip.AddStored("a.txt", "hello");
//     zip.AddStored("b.bin", data).method = 9;     // any field can be changed
//     zip.preamble = std::string(100, 'x');         // a self-extractor's stub
//     std::string bytes = zip.Build();
//
// Offsets: by default every offset counts from the first byte of the file,
// the preamble included, as a sound self-extracting archive has them.
// offsetsIncludePreamble = false writes them as if the preamble were not
// there (the form the extraction engine repairs).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tovra::test {

// A DOS date and time (2015-06-20 13:45:30), the default of every member.
inline constexpr uint32_t kDefaultDosTime = (35u << 25) | (6u << 21) | (20u << 16) | (13u << 11) | (45u << 5) | 15u;

// CRC-32 of the ZIP format (reflected 0xEDB88320, all ones in and out).
uint32_t ZipCrc32(const std::string& data);

// A valid raw deflate stream (RFC 1951) that carries `data` in stored blocks:
// method 8 members without a compressor.
std::string DeflateStoredBlocks(const std::string& data);

struct ZipMember {
    std::string name;          // central and (unless localName is set) local name
    std::string data;          // the bytes stored as the member's data, exactly as given
    std::string uncompressed;  // what `data` expands to (CRC and uncompressed size); = data when stored
    uint16_t method = 0;
    uint16_t flags = 0;
    uint16_t versionMadeBy = 20;  // low byte version, high byte host system
    uint16_t versionNeeded = 10;
    uint32_t dosDateTime = kDefaultDosTime;
    uint16_t internalAttributes = 0;
    uint32_t externalAttributes = 0x20;
    std::string localExtra;
    std::string centralExtra;
    std::string comment;
    // Flag bit 3 is set, the local header carries zero CRC and sizes, and a
    // 16-byte data descriptor with its signature follows the data.
    bool dataDescriptor = false;

    // Overrides, for archives that break a rule. Unset: the sound value.
    std::optional<std::string> localName;
    std::optional<uint32_t> crc32;              // both headers (and the descriptor)
    std::optional<uint32_t> compressedSize;     // both headers
    std::optional<uint32_t> uncompressedSize;   // both headers
    std::optional<uint32_t> localHeaderOffset;  // as written in the central header
    std::optional<uint16_t> centralNameLength;  // the length field only; the name bytes stay
    std::optional<uint16_t> localFlags;         // local flags differing from the central ones
};

class ZipBuilder {
public:
    std::vector<ZipMember> members;
    std::string preamble;                // bytes before the first local header
    bool offsetsIncludePreamble = true;  // false: offsets as if the preamble were absent
    std::string archiveComment;
    std::string trailing;  // bytes after the archive comment

    // End-record overrides. Unset: the sound value.
    std::optional<uint16_t> diskNumber;
    std::optional<uint16_t> centralDirDisk;
    std::optional<uint16_t> entriesOnDisk;
    std::optional<uint16_t> totalEntries;
    std::optional<uint32_t> centralDirSize;
    std::optional<uint32_t> centralDirOffset;
    std::optional<uint16_t> commentLength;

    // Adds a stored member and returns it for further changes (valid until
    // the next Add).
    ZipMember& AddStored(const std::string& name, const std::string& content);
    // Adds a method 8 member whose data is `content` in stored deflate blocks.
    ZipMember& AddDeflated(const std::string& name, const std::string& content);
    // Adds a member with the given method and already encoded data.
    ZipMember& AddRaw(const std::string& name, uint16_t method, const std::string& data,
                      const std::string& uncompressed);

    // The whole archive.
    std::string Build() const;
    // Where Build() puts the central directory and the end record (file
    // positions, preamble included).
    uint64_t CentralDirectoryPosition() const;
    uint64_t EndRecordPosition() const;
    // Builds and writes the archive to `path`; false when it cannot be written.
    bool WriteTo(const std::string& path) const;
};

// The archive `zip` builds (no preamble), with the central header of its last
// member written `copies` more times: every copy points at that member's
// local header, so their data overlap. A few kilobytes of data can so declare
// gigabytes. The entry count must stay within 65535.
std::string BuildWithRepeatedLastHeader(const ZipBuilder& zip, size_t copies);

// A bare 22-byte end record followed by `comment` (for archives with two end
// records, or an end record alone).
std::string EndRecordBytes(uint16_t entries, uint32_t centralSize, uint32_t centralOffset,
                           const std::string& comment = "", uint16_t diskNumber = 0, uint16_t centralDisk = 0);

}  // namespace tovra::test
