// record_layout.cpp - the byte layout of the four ZIP records: parsing their
// fixed parts through the bounds-checked cursor and encoding them back. The
// field order here is the on-disk order; everything is little-endian and
// packed.
#include <cassert>

#include "format/byte_cursor.h"
#include "format/records.h"

namespace tovra::format {

bool ParseLocalHeader(const uint8_t* body, size_t size, LocalHeader* out) {
    ByteCursor in(body, size);
    LocalHeader h;
    h.versionNeeded = in.U16();
    h.flags = in.U16();
    h.method = in.U16();
    h.dosDateTime = in.U32();
    h.crc32 = in.U32();
    h.compressedSize = in.U32();
    h.uncompressedSize = in.U32();
    h.nameLength = in.U16();
    h.extraLength = in.U16();
    if (!in.Ok()) return false;
    *out = h;
    return true;
}

bool ParseCentralHeader(const uint8_t* body, size_t size, CentralHeader* out) {
    ByteCursor in(body, size);
    CentralHeader h;
    h.versionMadeBy = in.U16();
    h.versionNeeded = in.U16();
    h.flags = in.U16();
    h.method = in.U16();
    h.dosDateTime = in.U32();
    h.crc32 = in.U32();
    h.compressedSize = in.U32();
    h.uncompressedSize = in.U32();
    h.nameLength = in.U16();
    h.extraLength = in.U16();
    h.commentLength = in.U16();
    h.diskNumberStart = in.U16();
    h.internalAttributes = in.U16();
    h.externalAttributes = in.U32();
    h.localHeaderOffset = in.U32();
    if (!in.Ok()) return false;
    *out = h;
    return true;
}

bool ParseEndRecord(const uint8_t* body, size_t size, EndRecord* out) {
    ByteCursor in(body, size);
    EndRecord r;
    r.diskNumber = in.U16();
    r.centralDirDisk = in.U16();
    r.entriesOnDisk = in.U16();
    r.totalEntries = in.U16();
    r.centralDirSize = in.U32();
    r.centralDirOffset = in.U32();
    r.commentLength = in.U16();
    if (!in.Ok()) return false;
    *out = r;
    return true;
}

bool ParseDataDescriptor(const uint8_t* body, size_t size, DataDescriptor* out) {
    ByteCursor in(body, size);
    DataDescriptor d;
    d.crc32 = in.U32();
    d.compressedSize = in.U32();
    d.uncompressedSize = in.U32();
    if (!in.Ok()) return false;
    *out = d;
    return true;
}

// The encoders fill exactly the array they are given; the assert documents
// that the field list and the record size agree.
void EncodeLocalHeader(const LocalHeader& h, uint8_t (&out)[kLocalHeaderSize]) {
    ByteBuilder b(out, sizeof out);
    b.U32(kLocalHeaderSignature);
    b.U16(h.versionNeeded);
    b.U16(h.flags);
    b.U16(h.method);
    b.U32(h.dosDateTime);
    b.U32(h.crc32);
    b.U32(h.compressedSize);
    b.U32(h.uncompressedSize);
    b.U16(h.nameLength);
    b.U16(h.extraLength);
    assert(b.Ok() && b.Size() == kLocalHeaderSize);
}

void EncodeCentralHeader(const CentralHeader& h, uint8_t (&out)[kCentralHeaderSize]) {
    ByteBuilder b(out, sizeof out);
    b.U32(kCentralHeaderSignature);
    b.U16(h.versionMadeBy);
    b.U16(h.versionNeeded);
    b.U16(h.flags);
    b.U16(h.method);
    b.U32(h.dosDateTime);
    b.U32(h.crc32);
    b.U32(h.compressedSize);
    b.U32(h.uncompressedSize);
    b.U16(h.nameLength);
    b.U16(h.extraLength);
    b.U16(h.commentLength);
    b.U16(h.diskNumberStart);
    b.U16(h.internalAttributes);
    b.U32(h.externalAttributes);
    b.U32(h.localHeaderOffset);
    assert(b.Ok() && b.Size() == kCentralHeaderSize);
}

void EncodeEndRecord(const EndRecord& r, uint8_t (&out)[kEndRecordSize]) {
    ByteBuilder b(out, sizeof out);
    b.U32(kEndRecordSignature);
    b.U16(r.diskNumber);
    b.U16(r.centralDirDisk);
    b.U16(r.entriesOnDisk);
    b.U16(r.totalEntries);
    b.U32(r.centralDirSize);
    b.U32(r.centralDirOffset);
    b.U16(r.commentLength);
    assert(b.Ok() && b.Size() == kEndRecordSize);
}

void EncodeDataDescriptor(const DataDescriptor& d, uint8_t (&out)[kDataDescriptorSize]) {
    ByteBuilder b(out, sizeof out);
    b.U32(kDataDescriptorSignature);
    b.U32(d.crc32);
    b.U32(d.compressedSize);
    b.U32(d.uncompressedSize);
    assert(b.Ok() && b.Size() == kDataDescriptorSize);
}

}  // namespace tovra::format
