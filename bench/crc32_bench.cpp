// crc32_bench.cpp - CRC-32 throughput of the library's Crc32 beside zlib's
// crc32 and libdeflate's libdeflate_crc32, on the same 64 MiB buffer of
// pseudo-random bytes in one run. Each function runs several times and its
// best time counts; the three results must agree. The portable slicing path
// (what Crc32 uses on processors without carry-less multiplication) is shown
// as well.
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

template <typename F>
double BestSeconds(int repetitions, uint32_t* result, F&& f) {
    double best = 1e30;
    for (int i = 0; i < repetitions; i++) {
        const auto start = std::chrono::steady_clock::now();
        *result = f();
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        if (took.count() < best) best = took.count();
    }
    return best;
}

}  // namespace

int main(int argc, char** argv) {
    const int repetitions = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;
    std::vector<uint8_t> buffer(kBufferSize);
    std::mt19937_64 rng(20261208);
    for (size_t i = 0; i < buffer.size(); i += 8) {
        const uint64_t v = rng();
        for (size_t k = 0; k < 8; k++) buffer[i + k] = static_cast<uint8_t>(v >> (8 * k));
    }

    uint32_t ours = 0, sliced = 0, zlibs = 0, libdeflates = 0;
    const double tOurs =
        BestSeconds(repetitions, &ours, [&] { return tovra::format::Crc32(0, buffer.data(), buffer.size()); });
    const double tSliced = BestSeconds(repetitions, &sliced, [&] {
        return ~tovra::format::crc_detail::UpdateSliced(~0u, buffer.data(), buffer.size());
    });
    const double tZlib = BestSeconds(repetitions, &zlibs, [&] {
        return static_cast<uint32_t>(crc32_z(crc32(0, nullptr, 0), buffer.data(), buffer.size()));
    });
    const double tLibdeflate =
        BestSeconds(repetitions, &libdeflates, [&] { return libdeflate_crc32(0, buffer.data(), buffer.size()); });

    const double mb = static_cast<double>(kBufferSize) / 1e6;
    std::printf("CRC-32 of %zu MiB, best of %d runs\n", kBufferSize >> 20, repetitions);
    std::printf("  tovra Crc32       %9.1f MB/s  crc %08x\n", mb / tOurs, ours);
    std::printf("  tovra sliced      %9.1f MB/s  crc %08x  (portable path)\n", mb / tSliced, sliced);
    std::printf("  zlib crc32        %9.1f MB/s  crc %08x\n", mb / tZlib, zlibs);
    std::printf("  libdeflate_crc32  %9.1f MB/s  crc %08x\n", mb / tLibdeflate, libdeflates);
    std::printf("  tovra path        %s\n", tovra::format::crc_detail::FoldingAvailable() ? "folding" : "slicing");
    std::printf("  ratio tovra/zlib       %.2f\n", tZlib / tOurs);
    std::printf("  ratio sliced/zlib      %.2f\n", tZlib / tSliced);
    std::printf("  ratio tovra/libdeflate %.2f\n", tLibdeflate / tOurs);
    if (ours != zlibs || ours != libdeflates || sliced != zlibs) {
        std::printf("MISMATCH\n");
        return 1;
    }
    return 0;
}
