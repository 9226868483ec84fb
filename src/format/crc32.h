// crc32.h - the CRC-32 of the ZIP format: the polynomial of ISO 3309 in
// reflected form, initial value all ones, final inversion.
//
// There are two ways to compute it, giving identical values:
//  - the reference: a 256-entry table that the caller builds in its own
//    memory from the list of polynomial terms (BuildCrcTable), used one byte
//    at a time (UpdateCrcBytewise). The extraction engine builds its table
//    this way for every run;
//  - Crc32: the fast form for bulk data, which processes 16 bytes per step
//    with sixteen tables derived, once per process, from a table built by
//    BuildCrcTable.
//
// Both take and return the finished CRC of the bytes seen so far (0 before
// the first byte), so calls chain: Crc32(Crc32(0, a), b) is the CRC of a
// followed by b, the convention of zlib's crc32().
#pragma once

#include <cstddef>
#include <cstdint>

namespace tovra::format {

inline constexpr size_t kCrcTableSize = 256;

// Exponents of the terms of the CRC-32 generator polynomial
// x^32 + x^26 + x^23 + ... + x + 1; the x^32 term is implied.
inline constexpr int kCrcPolynomialTerms[] = {0, 1, 2, 4, 5, 7, 8, 10, 11, 12, 16, 22, 23, 26};

// Fills table[0..255] with the CRC of each byte value: the polynomial is
// assembled from kCrcPolynomialTerms in reflected bit order (term k becomes
// bit 31 - k), and entry n is n shifted right eight times, the polynomial
// being added after each shift that drops a 1 bit. table must hold 256 entries.
void BuildCrcTable(uint32_t* table);

// Byte-at-a-time CRC update with a table from BuildCrcTable.
uint32_t UpdateCrcBytewise(const uint32_t* table, uint32_t crc, const uint8_t* data, size_t size);

// CRC of `size` bytes at `data` continuing from `crc`. Any alignment and
// length; data may be null when size is 0. Safe to call from several threads
// (the tables are built on first use under the language's static-init guard).
uint32_t Crc32(uint32_t crc, const void* data, size_t size);

}  // namespace tovra::format
