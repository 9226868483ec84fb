// traditional_crypto.h - the traditional ZIP encryption's decryption: three
// 32-bit keys set from a password, advanced by every plain byte through the
// CRC-32 table and a linear congruential step; each cipher byte is undone with
// a keystream byte taken from the third key.
//
// The keys are the whole state; a member's data is decrypted in order, each
// byte exactly once. The CRC table is the caller's (the extraction engine
// builds one per run; format::BuildCrcTable makes one anywhere else); the
// cipher derives two small tables of its own from it for the decryption loop.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tovra::codecs {

// Bytes of the encryption header in front of an encrypted member's data; its
// last byte, decrypted, is the check byte.
inline constexpr size_t kEncryptionHeaderSize = 12;

struct TraditionalKeys {
    uint32_t key0 = 0;
    uint32_t key1 = 0;
    uint32_t key2 = 0;
};

class TraditionalCipher {
public:
    // crcTable: 256 entries, must outlive the cipher. Derives the loop's
    // tables from it (256 steps, next to nothing beside one 8 KiB refill).
    explicit TraditionalCipher(const uint32_t* crcTable);

    // Sets the keys to their initial values and advances them with every byte
    // of `password` up to its terminating zero.
    void SetPassword(const char* password);

    // Decrypts `count` bytes in place, advancing the keys.
    void DecryptBytes(uint8_t* data, size_t count);

    // Decrypts a copy of the 12 header bytes (left unchanged) and compares
    // the last one with `checkByte`. On a match the keys are ready for the
    // member's data and true is returned; otherwise the keys are spent.
    bool CheckHeader(const uint8_t* header, uint8_t checkByte);

    const TraditionalKeys& Keys() const { return keys_; }
    // Continues from keys saved earlier with Keys().
    void SetKeys(const TraditionalKeys& keys) { keys_ = keys; }

private:
    const uint32_t* crc_;
    TraditionalKeys keys_;
    // crc_[i] | 3: with it the next key2 | 3, which the keystream byte is
    // made from, is one load and one xor away.
    uint32_t streamBase_[256];
    // crc_[i] & 0xFF, read as a byte so key1's update needs no zero-extension.
    uint8_t crcLow_[256];
};

}  // namespace tovra::codecs
