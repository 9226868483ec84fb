// legacy_encoders.h - test-only writers of the oldest ZIP methods and of the
// traditional encryption, used to build test archives for the decoders.
//
// None of them is part of the library, and none uses the library's code:
// each is written from the format's description, and the tests check their
// output with an independent decoder (7-Zip) wherever one exists, so that a
// mistake here cannot hide a matching mistake in a decoder.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tovra::test {

// The traditional encryption of `plain` under `password`: a 12-byte header
// (11 bytes from `seed`, then `checkByte`) and the data, all enciphered.
std::string TraditionalEncrypt(const std::string& password, const std::string& plain, uint8_t checkByte,
                               uint32_t seed = 1);

struct ShrinkOptions {
    // A partial clear after every this many input bytes (0: only when the
    // table is full).
    size_t clearEvery = 0;
    // When the table is full: clear (true) or go on without defining codes.
    bool clearWhenFull = true;
};
// Method 1: LZW with codes growing from 9 to 13 bits and partial clears.
std::string Shrink(const std::string& data, const ShrinkOptions& options = {});

// Methods 2-5: reduce with factor 1..4.
std::string Reduce(const std::string& data, int factor);

// Method 6: implode. flags: bit 1 (0x0002) 8 KiB dictionary, bit 2 (0x0004)
// a literal tree. The result is the member's data.
std::string Implode(const std::string& data, uint16_t flags);

// An LSB-first bit writer, for hand-built streams.
class LsbBitWriter {
public:
    void Put(uint32_t value, int bits);
    // The bytes so far, the last one padded with zero bits.
    std::string Finish() const;
    size_t BitCount() const { return bits_; }

private:
    std::vector<uint8_t> bytes_;
    size_t bits_ = 0;
};

}  // namespace tovra::test
