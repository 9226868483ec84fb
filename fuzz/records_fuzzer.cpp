// records_fuzzer.cpp - feeds arbitrary bytes to the ZIP record parsers.
//
// Three passes over each input:
//  1. each of the four parsers on the input as a record body: a successful
//     parse re-encoded must give back the signature and the same body bytes;
//  2. a walk over the input as a sequence of records, the way the archive
//     readers step through headers: signature, fixed part, then the variable
//     lengths the fixed part states, through one bounds-checked cursor;
//  3. the bulk CRC-32 against the byte-at-a-time reference.
// Any disagreement aborts, so the fuzzer reports it as a crash.
#include <cstdlib>
#include <cstring>

#include "format/byte_cursor.h"
#include "format/crc32.h"
#include "format/records.h"

using namespace tovra::format;

namespace {

void Require(bool condition) {
    if (!condition) std::abort();
}

// A successful parse, encoded again, reproduces the signature and the body.
template <typename Record, size_t kSize>
void CheckReencodes(const uint8_t* data, size_t size, bool (*parse)(const uint8_t*, size_t, Record*),
                    void (*encode)(const Record&, uint8_t (&)[kSize]), uint32_t signature) {
    Record record;
    const bool parsed = parse(data, size, &record);
    Require(parsed == (size >= kSize - kSignatureSize));
    if (!parsed) return;
    uint8_t encoded[kSize];
    encode(record, encoded);
    Require(ReadLE32(encoded) == signature);
    Require(std::memcmp(encoded + kSignatureSize, data, kSize - kSignatureSize) == 0);
}

// Steps through records until a signature is unknown or the input ends.
void WalkRecords(const uint8_t* data, size_t size) {
    ByteCursor in(data, size);
    while (in.Remaining() >= kSignatureSize) {
        const uint32_t signature = in.U32();
        const size_t left = in.Remaining();
        const uint8_t* body = nullptr;
        if (signature == kLocalHeaderSignature) {
            LocalHeader h;
            body = in.Bytes(kLocalHeaderBodySize);
            if (!body || !ParseLocalHeader(body, left, &h)) return;
            in.Skip(h.nameLength);
            in.Skip(h.extraLength);
            // The member data; a data descriptor, if any, is the next record.
            in.Skip(h.compressedSize);
        } else if (signature == kCentralHeaderSignature) {
            CentralHeader h;
            body = in.Bytes(kCentralHeaderBodySize);
            if (!body || !ParseCentralHeader(body, left, &h)) return;
            in.Skip(size_t{h.nameLength} + h.extraLength + h.commentLength);
        } else if (signature == kEndRecordSignature) {
            EndRecord r;
            body = in.Bytes(kEndRecordBodySize);
            if (!body || !ParseEndRecord(body, left, &r)) return;
            in.Skip(r.commentLength);
        } else if (signature == kDataDescriptorSignature) {
            DataDescriptor d;
            body = in.Bytes(kDataDescriptorBodySize);
            if (!body || !ParseDataDescriptor(body, left, &d)) return;
        } else {
            return;
        }
        Require(in.Ok() || in.Remaining() == 0);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CheckReencodes(data, size, ParseLocalHeader, EncodeLocalHeader, kLocalHeaderSignature);
    CheckReencodes(data, size, ParseCentralHeader, EncodeCentralHeader, kCentralHeaderSignature);
    CheckReencodes(data, size, ParseEndRecord, EncodeEndRecord, kEndRecordSignature);
    CheckReencodes(data, size, ParseDataDescriptor, EncodeDataDescriptor, kDataDescriptorSignature);

    WalkRecords(data, size);

    uint32_t table[kCrcTableSize];
    BuildCrcTable(table);
    Require(Crc32(0, data, size) == UpdateCrcBytewise(table, 0, data, size));
    return 0;
}
