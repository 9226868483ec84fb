// crc32_bench.cpp - CRC-32 throughput of the library's Crc32 beside zlib's
// crc32 and libdeflate's libdeflate_crc32, in one run, two ways:
//   - one call over a 64 MiB buffer of pseudo-random bytes, which on many
//     machines measures the memory more than the CRC;
//   - 2048 calls over the first 32 KiB of it, the size of the library's
//     window flushes, which stays in the cache.
// Each function runs several times and its best time counts; the results
// must agree. The portable slicing path (what Crc32 uses on processors
// without carry-less multiplication) is shown as well.
//
// Usage: crc32_bench [repetitions]   (default 7)
#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

#include "format/crc32.h"
#include "format/crc32_paths.h"

namespace {

constexpr size_t kBufferSize = size_t{64} << 20;
constexpr size_t kCachedBlock = size_t{32} << 10;

// One contender: its function, its best time so far and its last result.
struct Contender {
    const char* name;
    uint32_t (*run)(const uint8_t* data, size_t size);
    double best = 1e30;
    uint32_t crc = 0;
};

uint32_t RunOurs(const uint8_t* p, size_t n) { return tovra::format::Crc32(0, p, n); }
uint32_t RunSliced(const uint8_t* p, size_t n) { return ~tovra::format::crc_detail::UpdateSliced(~0u, p, n); }
uint32_t RunZlib(const uint8_t* p, size_t n) { return static_cast<uint32_t>(crc32_z(crc32(0, nullptr, 0), p, n)); }
uint32_t RunLibdeflate(const uint8_t* p, size_t n) { return libdeflate_crc32(0, p, n); }

}  // namespace

int main(int argc, char** argv) {
    const int repetitions = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;
    std::vector<uint8_t> buffer(kBufferSize);
    std::mt19937_64 rng(20261208);
    for (size_t i = 0; i < buffer.size(); i += 8) {
        const uint64_t v = rng();
        for (size_t k = 0; k < 8; k++) buffer[i + k] = static_cast<uint8_t>(v >> (8 * k));
    }

    const char* width = "slicing";
    using tovra::format::crc_detail::FoldingAvailable;
    using tovra::format::crc_detail::FoldWidth;
    if (FoldingAvailable(FoldWidth::k512)) {
        width = "folding, 512-bit";
    } else if (FoldingAvailable(FoldWidth::k256)) {
        width = "folding, 256-bit";
    } else if (FoldingAvailable(FoldWidth::k128)) {
        width = "folding, 128-bit";
    }
    std::printf("CRC-32, best of %d runs; tovra Crc32 path: %s\n", repetitions, width);
    bool agree = true;
    for (const size_t block : {kBufferSize, kCachedBlock}) {
        const size_t calls = kBufferSize / block;
        Contender contenders[] = {{"tovra Crc32", RunOurs},
                                  {"tovra sliced", RunSliced},
                                  {"zlib crc32", RunZlib},
                                  {"libdeflate_crc32", RunLibdeflate}};
        // Round robin, so that a busy moment of the machine hits every contender alike.
        for (int i = 0; i < repetitions; i++) {
            for (Contender& c : contenders) {
                const auto start = std::chrono::steady_clock::now();
                uint32_t crc = 0;
                for (size_t k = 0; k < calls; k++) crc = c.run(buffer.data(), block);
                const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
                c.best = std::min(c.best, took.count());
                c.crc = crc;
            }
        }
        const Contender &ours = contenders[0], &sliced = contenders[1], &zlib = contenders[2],
                        &libdeflate = contenders[3];
        const double mb = static_cast<double>(kBufferSize) / 1e6;
        std::printf("%zu call(s) of %zu KiB:\n", calls, block >> 10);
        for (const Contender& c : contenders) std::printf("  %-17s %9.1f MB/s  crc %08x\n", c.name, mb / c.best, c.crc);
        std::printf("  ratio tovra/zlib       %.2f\n", zlib.best / ours.best);
        std::printf("  ratio sliced/zlib      %.2f\n", zlib.best / sliced.best);
        std::printf("  ratio tovra/libdeflate %.2f\n", libdeflate.best / ours.best);
        agree = agree && ours.crc == zlib.crc && libdeflate.crc == zlib.crc && sliced.crc == zlib.crc;
    }
    if (!agree) {
        std::printf("MISMATCH\n");
        return 1;
    }
    return 0;
}
