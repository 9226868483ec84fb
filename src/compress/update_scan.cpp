// update_scan.cpp - the forward signature scans of the update reader.
#include "compress/update_scan.h"

#include <algorithm>

#include "format/byte_cursor.h"
#include "format/zip_values.h"

namespace tovra::compress {

ScanResult ScanForSignature(UpdateInput& in, std::initializer_list<uint32_t> wanted) {
    ScanResult result;
    const uint64_t start = in.Position();
    for (int c; (c = in.ReadByte()) >= 0;) {
        if (c != 'P') {
            ++result.skipped;
            continue;
        }
        uint8_t rest[3];
        if (in.Read(rest, sizeof rest) != sizeof rest) break;
        const uint32_t signature =
            'P' | (uint32_t{rest[0]} << 8) | (uint32_t{rest[1]} << 16) | (uint32_t{rest[2]} << 24);
        if (std::find(wanted.begin(), wanted.end(), signature) != wanted.end()) {
            result.signature = signature;
            return result;
        }
        in.Seek(in.Position() - sizeof rest);
        ++result.skipped;
    }
    // No signature: every byte up to the end was passed.
    result.skipped = in.Position() - start;
    return result;
}

bool ScanForDescriptor(UpdateInput& in, uint8_t (&descriptor)[16]) {
    for (int c; (c = in.ReadByte()) >= 0;) {
        if (c != 'P') continue;
        if (in.Read(descriptor + 1, 15) != 15) return false;
        descriptor[0] = 'P';
        if (format::ReadLE32(descriptor) == format::kDataDescriptorSignature) return true;
        in.Seek(in.Position() - 15);
    }
    return false;
}

}  // namespace tovra::compress
