// inflate_test_helpers.h - shared pieces of the inflate tests: zlib as the
// reference compressor, a bit writer for hand-built streams, and a one-call
// inflate over memory.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <random>
#include <vector>

#include "codecs/codec_memory.h"
#include "codecs/inflate.h"

namespace tovra::codecs::test {

using Bytes = std::vector<uint8_t>;

// Raw deflate (no zlib header) of `data` by zlib.
inline Bytes RawDeflate(const Bytes& data, int level, int strategy = Z_DEFAULT_STRATEGY, int memLevel = 8) {
    z_stream z{};
    deflateInit2(&z, level, Z_DEFLATED, -15, memLevel, strategy);
    Bytes out(deflateBound(&z, data.size()) + 16);
    z.next_in = const_cast<Bytef*>(data.data());
    z.avail_in = static_cast<uInt>(data.size());
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

struct InflateRun {
    int result = -1;
    Bytes output;
    int64_t bytesLeft = 0;
    bool operator==(const InflateRun&) const = default;
};

// Inflates `stream` as one member with the given declared size; blockSize is
// the source's refill size.
inline InflateRun RunInflate(const Bytes& stream, int64_t declaredSize, bool fast, size_t blockSize = 8192) {
    static uint8_t window[kInflateBufferSize];
    MemorySource source(stream.data(), stream.size(), blockSize);
    MemorySink sink;
    Inflater inflater(source, sink, window, declaredSize);
    inflater.SetFastPath(fast);
    InflateRun run;
    run.result = inflater.Inflate();
    run.output = std::move(sink.output);
    run.bytesLeft = source.BytesLeft();
    return run;
}

// Writes a deflate bit stream: fields least significant bit first, Huffman
// codes most significant bit first.
class BitWriter {
public:
    void Bits(uint32_t value, int count) {
        for (int i = 0; i < count; ++i) Bit((value >> i) & 1);
    }
    void Code(uint32_t code, int length) {
        for (int i = length - 1; i >= 0; --i) Bit((code >> i) & 1);
    }
    void Align() {
        while (used_ != 0) Bit(0);
    }
    void Byte(uint8_t value) { Bits(value, 8); }
    // Fixed-code symbols.
    void FixedLiteral(unsigned symbol) {
        if (symbol < 144)
            Code(0x30 + symbol, 8);
        else if (symbol < 256)
            Code(0x190 + symbol - 144, 9);
        else if (symbol < 280)
            Code(symbol - 256, 7);
        else
            Code(0xC0 + symbol - 280, 8);
    }
    void FixedDistance(unsigned symbol) { Code(symbol, 5); }
    Bytes Finish() {
        Align();
        return bytes_;
    }

private:
    void Bit(uint32_t bit) {
        if (used_ == 0) bytes_.push_back(0);
        bytes_.back() |= static_cast<uint8_t>(bit << used_);
        used_ = (used_ + 1) & 7;
    }
    Bytes bytes_;
    int used_ = 0;
};

// Canonical codes (first bit in the most significant place), computed the way
// the deflate format describes them.
inline std::vector<uint32_t> CanonicalCodes(const std::vector<uint8_t>& lengths) {
    uint32_t counts[17] = {};
    for (uint8_t len : lengths) ++counts[len];
    counts[0] = 0;
    uint32_t next[17] = {};
    uint32_t code = 0;
    for (int len = 1; len <= 16; ++len) {
        code = (code + counts[len - 1]) << 1;
        next[len] = code;
    }
    std::vector<uint32_t> codes(lengths.size());
    for (size_t s = 0; s < lengths.size(); ++s)
        if (lengths[s] != 0) codes[s] = next[lengths[s]]++;
    return codes;
}

// Text-like data with repeats, so that every code kind appears.
inline Bytes SampleData(size_t size, uint32_t seed) {
    std::mt19937 rng(seed);
    static const char* const words[] = {"alpha ",
                                        "beta ",
                                        "gamma ",
                                        "delta\n",
                                        "epsilon ",
                                        "zeta, ",
                                        "eta; ",
                                        "theta ",
                                        "0123456789",
                                        "\t\t",
                                        "the quick brown fox "};
    Bytes out;
    out.reserve(size);
    while (out.size() < size) {
        const unsigned pick = rng() % 16;
        if (pick < 11) {
            for (const char* p = words[pick]; *p != 0 && out.size() < size; ++p)
                out.push_back(static_cast<uint8_t>(*p));
        } else if (pick < 14) {
            out.push_back(static_cast<uint8_t>(rng()));
        } else if (!out.empty()) {
            const size_t distance = 1 + rng() % std::min<size_t>(out.size(), 40000);
            const size_t length = 3 + rng() % 300;
            for (size_t i = 0; i < length && out.size() < size; ++i) out.push_back(out[out.size() - distance]);
        }
    }
    return out;
}

}  // namespace tovra::codecs::test
