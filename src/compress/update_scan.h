// update_scan.h - the forward signature scans of the update reader: the
// search for the first record after a preamble, for a data descriptor whose
// member did not state its size, and (repair) for the record after a member
// whose stored size is not trusted.
//
// Each scan reads one byte at a time until a 'P' and then looks at the bytes
// after it; on a miss it goes back and goes on with the byte after the 'P',
// so overlapping candidates are all seen and the scan only moves forward.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>

#include "compress/update_input.h"

namespace tovra::compress {

struct ScanResult {
    uint64_t skipped = 0;    // bytes passed before the signature (all bytes read when none was found)
    uint32_t signature = 0;  // the signature found (the input stands after it), 0 when none
};

// Scans from the current position for a 4-byte signature that is one of `wanted`.
ScanResult ScanForSignature(UpdateInput& in, std::initializer_list<uint32_t> wanted);

// Scans from the current position for a data descriptor with its signature
// and 12 more bytes after it; on success fills `descriptor` with the 16
// bytes, leaves the input after them and returns true. False when the input
// ends first.
bool ScanForDescriptor(UpdateInput& in, uint8_t (&descriptor)[16]);

}  // namespace tovra::compress
