// crc32_fold.cpp - CRC-32 by carry-less multiplication (PCLMULQDQ), for
// x86-64 processors that have it; elsewhere FoldingAvailable() is false and
// Crc32() uses slicing only.
//
// Method: the data is viewed as one long polynomial. Four 128-bit
// accumulators each take every fourth 16-byte block; one step multiplies an
// accumulator's two 64-bit halves by x^(4*128+32) and x^(4*128-32) modulo P
// (which moves them 64 bytes further along the message) and adds the next
// block. At the end the four are folded into one with the 128-bit constants,
// the 128 bits are reduced to 64 with x^64 mod P, and Barrett reduction
// (with mu = x^64 div P) leaves the 32-bit register.
//
// Everything is in the reflected bit order of the ZIP CRC, so a constant
// x^n mod P is the register reached from x^0 by n single-bit steps of the
// reference table's rule, shifted left once (to 33 bits). The constants are
// computed once per process from the polynomial of the reference table.
#include "format/crc32.h"
#include "format/crc32_paths.h"

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define TOVRA_CRC_FOLDING 1
#include <immintrin.h>
#endif

namespace tovra::format::crc_detail {

#if TOVRA_CRC_FOLDING

namespace {

struct FoldConstants {
    alignas(16) uint64_t fold4[2];     // x^(4*128+32), x^(4*128-32): advance by 64 bytes
    alignas(16) uint64_t fold1[2];     // x^(128+32), x^(128-32): advance by 16 bytes
    alignas(16) uint64_t reduce64[2];  // x^64: 96 -> 64 bits; second half unused
    alignas(16) uint64_t barrett[2];   // P with its x^32 term, mu = x^64 div P
};

// The register for x^n mod P: n steps of "multiply by x" from x^0 (bit 31).
uint32_t XPowMod(uint32_t poly, int n) {
    uint32_t r = 0x80000000u;
    for (int i = 0; i < n; i++) r = (r & 1) ? (r >> 1) ^ poly : r >> 1;
    return r;
}

uint64_t Reflect(uint64_t v, int bits) {
    uint64_t r = 0;
    for (int i = 0; i < bits; i++) r |= ((v >> i) & 1) << (bits - 1 - i);
    return r;
}

// mu = x^64 div P, by long division in the natural bit order, returned in
// reflected 33-bit form.
uint64_t BarrettMu(uint32_t poly) {
    const unsigned __int128 p = (static_cast<unsigned __int128>(1) << 32) | Reflect(poly, 32);
    unsigned __int128 rem = static_cast<unsigned __int128>(1) << 64;
    uint64_t q = 0;
    for (int bit = 64; bit >= 32; bit--) {
        if ((rem >> bit) & 1) {
            rem ^= p << (bit - 32);
            q |= uint64_t{1} << (bit - 32);
        }
    }
    return Reflect(q, 33);
}

FoldConstants BuildFoldConstants() {
    uint32_t table[kCrcTableSize];
    BuildCrcTable(table);
    // Entry 0x80 is x^7 stepped eight times: exactly the reflected polynomial.
    const uint32_t poly = table[0x80];
    auto k = [poly](int n) { return uint64_t{XPowMod(poly, n)} << 1; };
    FoldConstants c;
    c.fold4[0] = k(4 * 128 + 32);
    c.fold4[1] = k(4 * 128 - 32);
    c.fold1[0] = k(128 + 32);
    c.fold1[1] = k(128 - 32);
    c.reduce64[0] = k(64);
    c.reduce64[1] = 0;
    c.barrett[0] = (uint64_t{poly} << 1) | 1;
    c.barrett[1] = BarrettMu(poly);
    return c;
}

const FoldConstants& Constants() {
    static const FoldConstants constants = BuildFoldConstants();
    return constants;
}

#define TOVRA_FOLD_TARGET __attribute__((target("pclmul,sse4.1")))

// acc * (k_lo, k_hi) + next: moves acc forward by the distance the constants encode.
TOVRA_FOLD_TARGET inline __m128i Fold(__m128i acc, __m128i k, __m128i next) {
    const __m128i lo = _mm_clmulepi64_si128(acc, k, 0x00);
    const __m128i hi = _mm_clmulepi64_si128(acc, k, 0x11);
    return _mm_xor_si128(_mm_xor_si128(lo, hi), next);
}

TOVRA_FOLD_TARGET inline __m128i Load(const uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }

}  // namespace

bool FoldingAvailable() {
    static const bool available = [] {
        // Explicit, in case the first call comes from a static constructor
        // that runs before the runtime has probed the processor.
        __builtin_cpu_init();
        return __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse4.1");
    }();
    return available;
}

TOVRA_FOLD_TARGET uint32_t UpdateFolded(uint32_t reg, const uint8_t* p, size_t size) {
    static_assert(kFoldMinimum == 4 * kFoldBlock, "four accumulators are loaded before the first step");
    const FoldConstants& c = Constants();
    __m128i x0 = _mm_xor_si128(Load(p), _mm_cvtsi32_si128(static_cast<int>(reg)));
    __m128i x1 = Load(p + 16);
    __m128i x2 = Load(p + 32);
    __m128i x3 = Load(p + 48);
    p += kFoldMinimum;
    size -= kFoldMinimum;

    // Main loop: 64 bytes per step into four independent accumulators.
    const __m128i k4 = _mm_load_si128(reinterpret_cast<const __m128i*>(c.fold4));
    while (size >= 4 * kFoldBlock) {
        x0 = Fold(x0, k4, Load(p));
        x1 = Fold(x1, k4, Load(p + 16));
        x2 = Fold(x2, k4, Load(p + 32));
        x3 = Fold(x3, k4, Load(p + 48));
        p += 4 * kFoldBlock;
        size -= 4 * kFoldBlock;
    }

    // Four accumulators into one, then the remaining whole blocks.
    const __m128i k1 = _mm_load_si128(reinterpret_cast<const __m128i*>(c.fold1));
    __m128i x = Fold(x0, k1, x1);
    x = Fold(x, k1, x2);
    x = Fold(x, k1, x3);
    while (size >= kFoldBlock) {
        x = Fold(x, k1, Load(p));
        p += kFoldBlock;
        size -= kFoldBlock;
    }

    // 128 -> 96 bits (low half times x^(128-32)), then 96 -> 64 bits (x^64).
    const __m128i low32 = _mm_setr_epi32(-1, 0, -1, 0);
    __m128i t = _mm_clmulepi64_si128(x, k1, 0x10);
    x = _mm_xor_si128(_mm_srli_si128(x, 8), t);
    const __m128i k5 = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(c.reduce64));
    t = _mm_srli_si128(x, 4);
    x = _mm_xor_si128(_mm_clmulepi64_si128(_mm_and_si128(x, low32), k5, 0x00), t);

    // Barrett reduction of the 64-bit remainder to the 32-bit register.
    const __m128i pmu = _mm_load_si128(reinterpret_cast<const __m128i*>(c.barrett));
    t = _mm_clmulepi64_si128(_mm_and_si128(x, low32), pmu, 0x10);
    t = _mm_clmulepi64_si128(_mm_and_si128(t, low32), pmu, 0x00);
    x = _mm_xor_si128(x, t);
    return static_cast<uint32_t>(_mm_extract_epi32(x, 1));
}

#else  // no carry-less multiplication on this target

bool FoldingAvailable() { return false; }
uint32_t UpdateFolded(uint32_t reg, const uint8_t*, size_t) { return reg; }

#endif

}  // namespace tovra::format::crc_detail
