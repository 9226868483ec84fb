// traditional_crypto.cpp - key schedule and byte decryption of the
// traditional ZIP encryption.
//
// The loop keeps the three keys in locals: each byte depends on the one
// before through the keys, so the work is one serial chain of two table
// look-ups, a multiply and a few shifts per byte.
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

inline uint8_t KeystreamByte(uint32_t key2) {
    const uint32_t t = (key2 | 2) & 0xFFFF;
    return static_cast<uint8_t>((t * (t ^ 1)) >> 8);
}

}  // namespace

void TraditionalCipher::SetPassword(const char* password) {
    keys_ = TraditionalKeys{kKey0Initial, kKey1Initial, kKey2Initial};
    for (const char* p = password; *p != '\0'; ++p) Advance(crc_, keys_, static_cast<uint8_t>(*p));
}

void TraditionalCipher::DecryptBytes(uint8_t* data, size_t count) {
    TraditionalKeys k = keys_;
    const uint32_t* table = crc_;
    for (size_t i = 0; i < count; ++i) {
        const uint8_t plain = data[i] ^ KeystreamByte(k.key2);
        data[i] = plain;
        Advance(table, k, plain);
    }
    keys_ = k;
}

bool TraditionalCipher::CheckHeader(const uint8_t* header, uint8_t checkByte) {
    uint8_t copy[kEncryptionHeaderSize];
    std::memcpy(copy, header, sizeof copy);
    DecryptBytes(copy, sizeof copy);
    return copy[kEncryptionHeaderSize - 1] == checkByte;
}

}  // namespace tovra::codecs
