// deflate_test_data.h - inputs and the zlib oracle shared by the compressor's
// tests: synthetic data of the kinds that stress the matcher and the block
// coder, a few real files when the system has them, and raw inflate.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace tovra::compress::testing {

using Bytes = std::vector<uint8_t>;

inline Bytes RandomBytes(size_t n, uint32_t seed) {
    Bytes out(n);
    uint64_t x = seed * 0x9E3779B97F4A7C15ull + 1;
    for (auto& b : out) {
        x ^= x << 13;
        x ^= x >> 7;
        x ^= x << 17;
        b = static_cast<uint8_t>(x >> 24);
    }
    return out;
}

// English-like text from a small vocabulary: many short and medium matches.
inline Bytes TextBytes(size_t n, uint32_t seed) {
    static const char* const kWords[] = {"the ",    "archive ", "member ", "of ",     "compressed ", "data\n",
                                         "window ", "and ",     "a ",      "block ",  "Huffman ",    "tree, ",
                                         "match ",  "length ",  "in ",     "stream. "};
    Bytes r = RandomBytes(n, seed);
    Bytes out;
    out.reserve(n + 16);
    for (size_t i = 0; out.size() < n; ++i) {
        const char* w = kWords[r[i % n] % 16];
        while (*w != 0 && out.size() < n) out.push_back(static_cast<uint8_t>(*w++));
    }
    return out;
}

// A random block repeated with small changes: long matches, including ones
// whose source lies beyond the reach of the window (period > 32506).
inline Bytes RepeatedBlocks(size_t n, size_t period, uint32_t seed) {
    Bytes block = RandomBytes(period, seed);
    Bytes out;
    out.reserve(n);
    for (size_t i = 0; out.size() < n; ++i) {
        out.push_back(block[i % period]);
        if (i % 9973 == 0) out.back() ^= 0x5A;
    }
    return out;
}

// Literal frequencies shaped like a Fibonacci series: the optimal code is
// deeper than 15 bits, so building it needs the overflow correction.
inline Bytes FibonacciSkewed(uint32_t seed) {
    Bytes out;
    uint64_t a = 1, b = 1;
    for (int sym = 0; sym < 22; ++sym) {
        for (uint64_t k = 0; k < a; ++k) out.push_back(static_cast<uint8_t>(sym * 11 + 1));
        uint64_t c = a + b;
        a = b;
        b = c;
    }
    // Shuffle so that few matches form and literals dominate.
    Bytes r = RandomBytes(out.size(), seed);
    for (size_t i = out.size() - 1; i > 0; --i) {
        size_t j =
            (static_cast<size_t>(r[i]) << 16 | static_cast<size_t>(r[i - 1]) << 8 | r[(i * 7) % out.size()]) % (i + 1);
        std::swap(out[i], out[j]);
    }
    return out;
}

inline std::optional<Bytes> ReadFile(const std::string& path, size_t maxBytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    Bytes out((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (out.size() > maxBytes) out.resize(maxBytes);
    return out;
}

// Raw inflate with zlib; nullopt when zlib rejects the stream or it does not
// end exactly at the end of `in`.
inline std::optional<Bytes> ZlibInflate(const Bytes& in, size_t expectedSize) {
    z_stream z{};
    if (inflateInit2(&z, -15) != Z_OK) return std::nullopt;
    Bytes out(expectedSize + 1);
    z.next_in = const_cast<Bytef*>(in.data());
    z.avail_in = static_cast<uInt>(in.size());
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    int rc = inflate(&z, Z_FINISH);
    size_t produced = z.total_out;
    bool atEnd = z.avail_in == 0;
    inflateEnd(&z);
    if (rc != Z_STREAM_END || !atEnd) return std::nullopt;
    out.resize(produced);
    return out;
}

}  // namespace tovra::compress::testing
