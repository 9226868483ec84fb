// inflate_copy.h - back-reference copies within inflate's buffer.
//
// A back-reference of distance d and length n repeats, byte after byte, the
// byte d places back; when n exceeds d the copied bytes repeat as a pattern.
// These helpers give exactly that result while moving whole words where the
// source cannot overlap what is being written.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace tovra::codecs {

// Copies n bytes forward from src to dst, src before dst, as a byte-by-byte
// loop would (so an overlap repeats the pattern).
inline void CopyForward(uint8_t* dst, const uint8_t* src, size_t n) {
    size_t distance = static_cast<size_t>(dst - src);
    if (distance < 8) {
        if (distance == 1) {
            std::memset(dst, *src, n);
            return;
        }
        // The output repeats with period `distance`, so it also repeats with
        // any multiple of it: write one multiple of at least 8 bytes by bytes,
        // then copy words from that distance.
        size_t period = distance;
        while (period < 8) period *= 2;
        const size_t head = n < period ? n : period;
        for (size_t i = 0; i < head; ++i) dst[i] = src[i];
        if (n == head) return;
        src = dst;
        dst += period;
        n -= period;
        distance = period;
    }
    if (n >= 8) {
        // Each word read lies before the word written, so it is final. The last
        // word ends exactly at n and may overlap the one before it.
        size_t i = 0;
        for (; i + 8 <= n; i += 8) {
            uint64_t word;
            std::memcpy(&word, src + i, 8);
            std::memcpy(dst + i, &word, 8);
        }
        if (i < n) {
            uint64_t word;
            std::memcpy(&word, src + n - 8, 8);
            std::memcpy(dst + n - 8, &word, 8);
        }
    } else if (n >= 4) {
        // distance >= 8 > n: source and destination do not overlap.
        uint32_t first, last;
        std::memcpy(&first, src, 4);
        std::memcpy(&last, src + n - 4, 4);
        std::memcpy(dst, &first, 4);
        std::memcpy(dst + n - 4, &last, 4);
    } else {
        for (size_t i = 0; i < n; ++i) dst[i] = src[i];
    }
}

}  // namespace tovra::codecs
