// record_writers.cpp - the archiving side's four record writers. Each checks
// first that every value fits its field and that the entry's buffers hold
// the lengths it states, so a record with a truncated count, size or offset
// is never written; then it writes the fixed part in one piece and the
// variable parts after it.
#include "format/records.h"

namespace tovra::format {
namespace {

bool Fits32(uint64_t v) { return v <= kMaxFieldValue32; }
bool Fits16(uint64_t v) { return v <= kMaxFieldValue16; }
size_t ExtraSize(const ExtraField& extra) { return extra ? extra->size() : 0; }

// Writes n bytes unless n is 0; false on a short write.
bool WriteAll(OutputStream& out, const void* data, size_t n) { return n == 0 || out.Write(data, n) == n; }

}  // namespace

int CheckLocalHeaderLimits(const ZipEntry& e) {
    if (!Fits32(e.compressedSize) || !Fits32(e.uncompressedSize) || !Fits16(e.nameLength) ||
        !Fits16(e.localExtraLength)) {
        return kWriteEntryTooBig;
    }
    if (e.nameLength > e.internalName.size() || e.localExtraLength > ExtraSize(e.localExtra)) {
        return kWriteInconsistentEntry;
    }
    return kWriteOk;
}

int CheckCentralHeaderLimits(const ZipEntry& e) {
    if (!Fits32(e.compressedSize) || !Fits32(e.uncompressedSize) || !Fits32(e.localHeaderOffset) ||
        !Fits16(e.nameLength) || !Fits16(e.centralExtraLength) || !Fits16(e.commentLength)) {
        return kWriteEntryTooBig;
    }
    if (e.nameLength > e.internalName.size() || e.centralExtraLength > ExtraSize(e.centralExtra) ||
        e.commentLength > e.comment.size()) {
        return kWriteInconsistentEntry;
    }
    return kWriteOk;
}

int WriteLocalHeader(const ZipEntry& e, OutputStream& out) {
    if (int check = CheckLocalHeaderLimits(e); check != kWriteOk) return check;
    LocalHeader h;
    h.versionNeeded = e.versionNeeded;
    h.flags = e.localFlags;
    h.method = e.method;
    h.dosDateTime = e.dosDateTime;
    h.crc32 = e.crc32;
    h.compressedSize = static_cast<uint32_t>(e.compressedSize);
    h.uncompressedSize = static_cast<uint32_t>(e.uncompressedSize);
    h.nameLength = static_cast<uint16_t>(e.nameLength);
    h.extraLength = static_cast<uint16_t>(e.localExtraLength);
    uint8_t fixed[kLocalHeaderSize];
    EncodeLocalHeader(h, fixed);
    if (!WriteAll(out, fixed, sizeof fixed) || !WriteAll(out, e.internalName.data(), e.nameLength) ||
        (e.localExtraLength != 0 && !WriteAll(out, e.localExtra->data(), e.localExtraLength))) {
        return kWriteFailure;
    }
    return kWriteOk;
}

int WriteCentralHeader(const ZipEntry& e, OutputStream& out) {
    if (int check = CheckCentralHeaderLimits(e); check != kWriteOk) return check;
    CentralHeader h;
    h.versionMadeBy = e.versionMadeBy;
    h.versionNeeded = e.versionNeeded;
    h.flags = e.flags;
    h.method = e.method;
    h.dosDateTime = e.dosDateTime;
    h.crc32 = e.crc32;
    h.compressedSize = static_cast<uint32_t>(e.compressedSize);
    h.uncompressedSize = static_cast<uint32_t>(e.uncompressedSize);
    h.nameLength = static_cast<uint16_t>(e.nameLength);
    h.extraLength = static_cast<uint16_t>(e.centralExtraLength);
    h.commentLength = static_cast<uint16_t>(e.commentLength);
    h.diskNumberStart = e.diskNumberStart;
    h.internalAttributes = e.internalAttributes;
    h.externalAttributes = e.externalAttributes;
    h.localHeaderOffset = static_cast<uint32_t>(e.localHeaderOffset);
    uint8_t fixed[kCentralHeaderSize];
    EncodeCentralHeader(h, fixed);
    if (!WriteAll(out, fixed, sizeof fixed) || !WriteAll(out, e.internalName.data(), e.nameLength) ||
        (e.centralExtraLength != 0 && !WriteAll(out, e.centralExtra->data(), e.centralExtraLength)) ||
        !WriteAll(out, e.comment.data(), e.commentLength)) {
        return kWriteFailure;
    }
    return kWriteOk;
}

int WriteDataDescriptor(const ZipEntry& e, OutputStream& out) {
    if (!Fits32(e.compressedSize) || !Fits32(e.uncompressedSize)) return kWriteEntryTooBig;
    DataDescriptor d;
    d.crc32 = e.crc32;
    d.compressedSize = static_cast<uint32_t>(e.compressedSize);
    d.uncompressedSize = static_cast<uint32_t>(e.uncompressedSize);
    uint8_t fixed[kDataDescriptorSize];
    EncodeDataDescriptor(d, fixed);
    return WriteAll(out, fixed, sizeof fixed) ? kWriteOk : kWriteFailure;
}

int WriteEndRecord(uint64_t memberCount, uint64_t centralDirSize, uint64_t centralDirOffset, const uint8_t* comment,
                   size_t commentLength, OutputStream& out) {
    if (!Fits16(memberCount) || !Fits32(centralDirSize) || !Fits32(centralDirOffset) || !Fits16(commentLength)) {
        return kWriteEntryTooBig;
    }
    if (commentLength != 0 && comment == nullptr) return kWriteInconsistentEntry;
    EndRecord r;
    r.entriesOnDisk = static_cast<uint16_t>(memberCount);
    r.totalEntries = static_cast<uint16_t>(memberCount);
    r.centralDirSize = static_cast<uint32_t>(centralDirSize);
    r.centralDirOffset = static_cast<uint32_t>(centralDirOffset);
    r.commentLength = static_cast<uint16_t>(commentLength);
    uint8_t fixed[kEndRecordSize];
    EncodeEndRecord(r, fixed);
    if (!WriteAll(out, fixed, sizeof fixed) || !WriteAll(out, comment, commentLength)) return kWriteFailure;
    return kWriteOk;
}

}  // namespace tovra::format
