// member_batch.h - the record of one selected member on the extraction side
// and the process-wide batch of up to 64 of them.
//
// The member loop fills the batch while it walks the central directory
// (ReadCentralHeader and AcceptMember set the fields), then visits each
// member's local header and hands the member to ExtractMember, which reads
// the record through Cunzip::currentMember. The listing uses slot 0 as its
// scratch record. The batch is one array for the whole process, not part of
// a context: extraction runs must not overlap.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace tovra::extract {

// One selected member: eleven 32-bit fields, in this order, then the central
// uncompressed size and the directory-by-attribute mark.
struct MemberInfo {
    uint32_t localHeaderOffset = 0;  // from the central header, not corrected for a preamble
    uint32_t compressedSize = 0;     // central value
    uint32_t crc32 = 0;              // central value
    uint32_t hostSystem = 0;         // host byte of version made by, capped at kMaxHostSystem
    uint32_t attributeByte = 0;      // low byte of the external attributes with 0x20 (archive) forced on
    uint32_t encrypted = 0;          // flag bit 0
    uint32_t hasDataDescriptor = 0;  // flag bit 3
    uint32_t textFile = 0;           // internal attributes bit 0
    uint32_t textMode = 0;           // always 0: output bytes are written unchanged
    uint32_t lowercaseName = 0;      // option L and a host of 0, 2, 4, 5, 9 or 10 (shown by the listing only)
    uint32_t volumeLabel = 0;        // external attribute 0x08 on a host of 0, 5, 6 or 11
    // Central uncompressed size: sizes the memory block when the local header's
    // size is unusable (data descriptor, or 0).
    uint32_t uncompressedSize = 0;
    // 1 for a directory that DOS-family systems (hosts 0, 11 and 14) mark by
    // the external attribute 0x10 without a trailing '/' in its name: no data
    // (both central sizes 0). The member loop treats it as a directory entry.
    uint32_t directoryByAttribute = 0;
};
static_assert(sizeof(MemberInfo) == 13 * sizeof(uint32_t));

inline constexpr size_t kMemberBatchSize = 64;
inline constexpr uint32_t kMaxHostSystem = 14;

// The process-wide batch. Slots are valid from the start of a batch fill up
// to the number of members selected for it.
std::array<MemberInfo, kMemberBatchSize>& MemberBatch();

// Set by the member loop at the start of every run; the password step clears
// it at the run's first encrypted member (which starts from an empty password).
bool& FirstEncryptedMemberFlag();

}  // namespace tovra::extract
