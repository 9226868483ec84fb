// crc32_table.cpp - the reference CRC-32: building the byte table from the
// polynomial's term list, and the classic byte-at-a-time update.
#include "format/crc32.h"

namespace tovra::format {

void BuildCrcTable(uint32_t* table) {
    // Reflected form: the coefficient of x^k is bit 31 - k.
    uint32_t poly = 0;
    for (int term : kCrcPolynomialTerms) poly |= uint32_t{1} << (31 - term);
    for (uint32_t n = 0; n < kCrcTableSize; n++) {
        uint32_t c = n;
        for (int bit = 0; bit < 8; bit++) c = (c & 1) ? poly ^ (c >> 1) : c >> 1;
        table[n] = c;
    }
}

uint32_t UpdateCrcBytewise(const uint32_t* table, uint32_t crc, const uint8_t* data, size_t size) {
    crc = ~crc;
    for (size_t i = 0; i < size; i++) crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

}  // namespace tovra::format
