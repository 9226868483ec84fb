// traditional_crypto.cpp - key schedule and byte decryption of the
// traditional ZIP encryption.
//
// Advance is the key schedule exactly as the format states it; the password
// goes through it. DecryptBytes runs the same schedule rearranged so that its
// serial chain is as short as the arithmetic allows: every byte depends on the
// one before through the keys, so the loop's speed is the latency of one
// byte's chain, not the number of its instructions. The encoder in the tests
// follows the stated schedule, so any slip in the rearrangement shows up as a
// wrong plain byte.
#include "codecs/traditional_crypto.h"

#include <cstring>

namespace tovra::codecs {
namespace {

// Initial key values and the multiplier of the second key's update.
constexpr uint32_t kKey0Initial = 0x12345678;
constexpr uint32_t kKey1Initial = 0x23456789;
constexpr uint32_t kKey2Initial = 0x34567890;
constexpr uint32_t kKey1Multiplier = 134775813;

inline uint32_t CrcStep(const uint32_t* table, uint32_t crc, uint8_t byte) {
    return table[(crc ^ byte) & 0xFF] ^ (crc >> 8);
}

inline void Advance(const uint32_t* table, TraditionalKeys& k, uint8_t plain) {
    k.key0 = CrcStep(table, k.key0, plain);
    k.key1 = (k.key1 + (k.key0 & 0xFF)) * kKey1Multiplier + 1;
    k.key2 = CrcStep(table, k.key2, static_cast<uint8_t>(k.key1 >> 24));
}

// Hides where a value came from, so the optimiser keeps the sum or xor it
// feeds in the order written instead of folding it back into the longer
// serial form of the stated schedule (GCC does both). Emits no instruction.
inline void KeepAsWritten(uint32_t& value) {
#if defined(__GNUC__)
    asm("" : "+r"(value));
#else
    (void)value;
#endif
}

}  // namespace

TraditionalCipher::TraditionalCipher(const uint32_t* crcTable) : crc_(crcTable) {
    for (int i = 0; i < 256; ++i) {
        streamBase_[i] = crcTable[i] | 3;
        crcLow_[i] = static_cast<uint8_t>(crcTable[i]);
    }
}

void TraditionalCipher::SetPassword(const char* password) {
    keys_ = TraditionalKeys{kKey0Initial, kKey1Initial, kKey2Initial};
    for (const char* p = password; *p != '\0'; ++p) Advance(crc_, keys_, static_cast<uint8_t>(*p));
}

// The loop's identities, each bit-exact with Advance and the stated keystream
// byte ((t * (t ^ 1)) >> 8 with t = (key2 | 2) & 0xFFFF):
//  - {t, t ^ 1} is {s, s ^ 1} with s = key2 | 3, and bits 8..15 of a product
//    depend only on the low 16 bits of its factors: ks = (s * (s ^ 1)) >> 8,
//    no mask.
//  - The next key2 is crc[j] ^ (key2 >> 8), so the next s is
//    streamBase_[j] ^ ((key2 >> 8) & ~3) and the next s ^ 1 the same load
//    xored with a constant one higher: both one xor after the load.
//  - key0's index (key0 ^ plain) & 0xFF is ks ^ ((key0 ^ cipher) & 0xFF); the
//    second part is ready long before ks.
//  - key1 + (key0' & 0xFF), times M, plus 1, is (key1 * M + 1) + low * M
//    with low = crcLow_[i] ^ ((key0 >> 8) & 0xFF): the first product is made
//    while key0's load is under way.
//  - key2's index (key2 ^ (key1' >> 24)) & 0xFF is (key1' >> 24) ^ (key2 &
//    0xFF): both parts are below 256, no mask.
// What is left on the chain from one byte's s to the next: multiply, extract
// the byte, xor, byte load, xor, multiply, add, shift, xor, load, xor (24
// cycles on an x86-64 core with 5-cycle loads, against 31 for the stated
// order). key0 and key2 themselves, and the plain byte, hang off the chain.
void TraditionalCipher::DecryptBytes(uint8_t* data, size_t count) {
    uint32_t key0 = keys_.key0;
    uint32_t key1 = keys_.key1;
    uint32_t key2 = keys_.key2;
    const uint32_t* crc = crc_;
    const uint32_t* streamBase = streamBase_;
    const uint8_t* crcLow = crcLow_;
    uint32_t s = key2 | 3;
    uint32_t sFlipped = s ^ 1;
    for (size_t i = 0; i < count; ++i) {
        const uint32_t ks = ((s * sFlipped) >> 8) & 0xFF;
        const uint32_t cipher = data[i];
        data[i] = static_cast<uint8_t>(cipher ^ ks);

        uint32_t key0Part = (key0 ^ cipher) & 0xFF;
        KeepAsWritten(key0Part);
        const uint32_t index0 = ks ^ key0Part;
        uint32_t newLow = crcLow[index0];
        KeepAsWritten(newLow);
        newLow ^= (key0 >> 8) & 0xFF;
        key0 = crc[index0] ^ (key0 >> 8);

        uint32_t key1Part = key1 * kKey1Multiplier + 1;
        KeepAsWritten(key1Part);
        key1 = key1Part + newLow * kKey1Multiplier;

        uint32_t key2Low = key2 & 0xFF;
        KeepAsWritten(key2Low);
        const uint32_t index2 = (key1 >> 24) ^ key2Low;
        const uint32_t shifted = (key2 >> 8) & ~3u;
        uint32_t shiftedFlipped = shifted ^ 1;
        KeepAsWritten(shiftedFlipped);
        const uint32_t base = streamBase[index2];
        s = base ^ shifted;
        sFlipped = base ^ shiftedFlipped;
        key2 = crc[index2] ^ (key2 >> 8);
    }
    keys_ = TraditionalKeys{key0, key1, key2};
}

bool TraditionalCipher::CheckHeader(const uint8_t* header, uint8_t checkByte) {
    uint8_t copy[kEncryptionHeaderSize];
    std::memcpy(copy, header, sizeof copy);
    DecryptBytes(copy, sizeof copy);
    return copy[kEncryptionHeaderSize - 1] == checkByte;
}

}  // namespace tovra::codecs
