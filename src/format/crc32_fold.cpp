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
// On processors with vector carry-less multiplication (VPCLMULQDQ) a long
// input first goes through the same method two or four times as wide: four
// 256-bit accumulators (AVX2, 128 bytes per step) or four 512-bit ones
// (AVX-512, 256 bytes per step), folded at the end into the one 128-bit
// accumulator that the narrow path continues from. A 128-bit lane of a wide
// accumulator is an accumulator of its own, so the constants are the narrow
// ones for the wider distance, repeated in every lane.
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
// The wide paths need 32- and 64-byte vector spills to be safe on a stack
// aligned to 16 bytes only (Win64): the Windows build assembles every aligned
// vector move as an unaligned one (see the top-level CMakeLists.txt).
#if !defined(_WIN32) || defined(TOVRA_UNALIGNED_VECTOR_MOVES)
#define TOVRA_CRC_WIDE_FOLDING 1
#endif
#endif

namespace tovra::format::crc_detail {

#if TOVRA_CRC_FOLDING

namespace {

struct FoldConstants {
    alignas(64) uint64_t wide4[8];     // x^(4*512+32), x^(4*512-32) in each lane: advance by 256 bytes
    alignas(64) uint64_t wide1[8];     // x^(512+32), x^(512-32) in each lane: advance by 64 bytes
    alignas(64) uint64_t lanes[8];     // a 512-bit block's four lanes to its last: by 48, 32, 16 and 0 bytes
    alignas(32) uint64_t half4[4];     // x^(4*256+32), x^(4*256-32) in each lane: advance by 128 bytes
    alignas(32) uint64_t half1[4];     // x^(256+32), x^(256-32) in each lane: advance by 32 bytes
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
    for (int lane = 0; lane < 4; ++lane) {
        c.wide4[2 * lane] = k(4 * 512 + 32);
        c.wide4[2 * lane + 1] = k(4 * 512 - 32);
        c.wide1[2 * lane] = k(512 + 32);
        c.wide1[2 * lane + 1] = k(512 - 32);
    }
    for (int lane = 0; lane < 2; ++lane) {
        c.half4[2 * lane] = k(4 * 256 + 32);
        c.half4[2 * lane + 1] = k(4 * 256 - 32);
        c.half1[2 * lane] = k(256 + 32);
        c.half1[2 * lane + 1] = k(256 - 32);
    }
    for (int lane = 0; lane < 3; ++lane) {
        const int distance = (3 - lane) * 128;
        c.lanes[2 * lane] = k(distance + 32);
        c.lanes[2 * lane + 1] = k(distance - 32);
    }
    c.lanes[6] = 0;  // the last lane stays where it is
    c.lanes[7] = 0;
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

#if TOVRA_CRC_WIDE_FOLDING
// Least input for a wide path: its set-up and final folds cost about as
// much as a few of its steps.
constexpr size_t kWideMinimum = 1024;

// 256 bits: four accumulators of two lanes each.
constexpr size_t kHalfStep = 4 * 32;

#define TOVRA_HALF_TARGET __attribute__((target("avx2,vpclmulqdq,pclmul,sse4.1")))

TOVRA_HALF_TARGET inline __m256i FoldHalf(__m256i acc, __m256i k, __m256i next) {
    const __m256i lo = _mm256_clmulepi64_epi128(acc, k, 0x00);
    const __m256i hi = _mm256_clmulepi64_epi128(acc, k, 0x11);
    return _mm256_xor_si256(_mm256_xor_si256(lo, hi), next);
}

TOVRA_HALF_TARGET inline __m256i LoadHalf(const uint8_t* p) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}

// As StartWide below, 128 bytes per step.
TOVRA_HALF_TARGET __m128i StartHalf(uint32_t reg, const uint8_t*& p, size_t& size) {
    const FoldConstants& c = Constants();
    __m256i y0 = _mm256_xor_si256(LoadHalf(p), _mm256_zextsi128_si256(_mm_cvtsi32_si128(static_cast<int>(reg))));
    __m256i y1 = LoadHalf(p + 32);
    __m256i y2 = LoadHalf(p + 64);
    __m256i y3 = LoadHalf(p + 96);
    p += kHalfStep;
    size -= kHalfStep;
    const __m256i k4 = _mm256_load_si256(reinterpret_cast<const __m256i*>(c.half4));
    while (size >= kHalfStep) {
        y0 = FoldHalf(y0, k4, LoadHalf(p));
        y1 = FoldHalf(y1, k4, LoadHalf(p + 32));
        y2 = FoldHalf(y2, k4, LoadHalf(p + 64));
        y3 = FoldHalf(y3, k4, LoadHalf(p + 96));
        p += kHalfStep;
        size -= kHalfStep;
    }
    const __m256i k1 = _mm256_load_si256(reinterpret_cast<const __m256i*>(c.half1));
    __m256i y = FoldHalf(y0, k1, y1);
    y = FoldHalf(y, k1, y2);
    y = FoldHalf(y, k1, y3);
    // The low lane moved 16 bytes on and added to the high one.
    const __m128i fold1 = _mm_load_si128(reinterpret_cast<const __m128i*>(c.fold1));
    return Fold(_mm256_castsi256_si128(y), fold1, _mm256_extracti128_si256(y, 1));
}

// 512 bits: four accumulators of four lanes each.
constexpr size_t kWideStep = 4 * 64;

#define TOVRA_WIDE_TARGET __attribute__((target("avx512f,vpclmulqdq,pclmul,sse4.1")))

TOVRA_WIDE_TARGET inline __m512i FoldWide(__m512i acc, __m512i k, __m512i next) {
    const __m512i lo = _mm512_clmulepi64_epi128(acc, k, 0x00);
    const __m512i hi = _mm512_clmulepi64_epi128(acc, k, 0x11);
    return _mm512_ternarylogic_epi64(lo, hi, next, 0x96);  // lo ^ hi ^ next
}

TOVRA_WIDE_TARGET inline __m512i LoadWide(const uint8_t* p) { return _mm512_loadu_si512(p); }

// Takes the register through the whole 256-byte steps at the start of the
// input (at least kWideMinimum bytes) and returns the 128-bit accumulator
// of the narrow path at that point; p and size move past those bytes.
TOVRA_WIDE_TARGET __m128i StartWide(uint32_t reg, const uint8_t*& p, size_t& size) {
    const FoldConstants& c = Constants();
    __m512i z0 = _mm512_xor_si512(LoadWide(p), _mm512_zextsi128_si512(_mm_cvtsi32_si128(static_cast<int>(reg))));
    __m512i z1 = LoadWide(p + 64);
    __m512i z2 = LoadWide(p + 128);
    __m512i z3 = LoadWide(p + 192);
    p += kWideStep;
    size -= kWideStep;
    const __m512i k4 = _mm512_load_si512(c.wide4);
    while (size >= kWideStep) {
        z0 = FoldWide(z0, k4, LoadWide(p));
        z1 = FoldWide(z1, k4, LoadWide(p + 64));
        z2 = FoldWide(z2, k4, LoadWide(p + 128));
        z3 = FoldWide(z3, k4, LoadWide(p + 192));
        p += kWideStep;
        size -= kWideStep;
    }
    const __m512i k1 = _mm512_load_si512(c.wide1);
    __m512i z = FoldWide(z0, k1, z1);
    z = FoldWide(z, k1, z2);
    z = FoldWide(z, k1, z3);
    // The four lanes moved to the last one (whose constants are zero) and added.
    const __m512i kl = _mm512_load_si512(c.lanes);
    const __m512i moved =
        _mm512_xor_si512(_mm512_clmulepi64_epi128(z, kl, 0x00), _mm512_clmulepi64_epi128(z, kl, 0x11));
    // (The zero-masked extractions: the plain ones trip a false warning of
    // this compiler's headers.)
    __m128i x =
        _mm_xor_si128(_mm512_maskz_extracti32x4_epi32(0xFF, moved, 0), _mm512_maskz_extracti32x4_epi32(0xFF, moved, 1));
    x = _mm_xor_si128(x, _mm512_maskz_extracti32x4_epi32(0xFF, moved, 2));
    return _mm_xor_si128(x, _mm512_maskz_extracti32x4_epi32(0xFF, z, 3));
}

#endif  // TOVRA_CRC_WIDE_FOLDING

}  // namespace

bool FoldingAvailable(FoldWidth width) {
    // Explicit cpu_init, in case the first call comes from a static
    // constructor that runs before the runtime has probed the processor.
    static const bool narrow = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse4.1");
    }();
#if TOVRA_CRC_WIDE_FOLDING
    static const bool half = narrow && __builtin_cpu_supports("avx2") && __builtin_cpu_supports("vpclmulqdq");
    static const bool wide = half && __builtin_cpu_supports("avx512f");
#else
    constexpr bool half = false, wide = false;
#endif
    switch (width) {
        case FoldWidth::k128:
            return narrow;
        case FoldWidth::k256:
            return half;
        case FoldWidth::k512:
            return wide;
    }
    return false;
}

uint32_t UpdateFolded(uint32_t reg, const uint8_t* p, size_t size) {
    static const FoldWidth widest = FoldingAvailable(FoldWidth::k512)   ? FoldWidth::k512
                                    : FoldingAvailable(FoldWidth::k256) ? FoldWidth::k256
                                                                        : FoldWidth::k128;
    return UpdateFoldedAt(widest, reg, p, size);
}

TOVRA_FOLD_TARGET uint32_t UpdateFoldedAt(FoldWidth width, uint32_t reg, const uint8_t* p, size_t size) {
    static_assert(kFoldMinimum == 4 * kFoldBlock, "four accumulators are loaded before the first step");
    const FoldConstants& c = Constants();
    const __m128i k1 = _mm_load_si128(reinterpret_cast<const __m128i*>(c.fold1));
    __m128i x;
#if TOVRA_CRC_WIDE_FOLDING
    if (size >= kWideMinimum && width == FoldWidth::k512) {
        x = StartWide(reg, p, size);
    } else if (size >= kWideMinimum && width == FoldWidth::k256) {
        x = StartHalf(reg, p, size);
    } else
#else
    (void)width;
#endif
    {
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

        // Four accumulators into one.
        x = Fold(x0, k1, x1);
        x = Fold(x, k1, x2);
        x = Fold(x, k1, x3);
    }
    // The remaining whole blocks.
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

bool FoldingAvailable(FoldWidth) { return false; }
uint32_t UpdateFolded(uint32_t reg, const uint8_t*, size_t) { return reg; }
uint32_t UpdateFoldedAt(FoldWidth, uint32_t reg, const uint8_t*, size_t) { return reg; }

#endif

}  // namespace tovra::format::crc_detail
