// unshrink_fuzzer.cpp - unshrink of arbitrary bytes. Byte 0 picks the
// source's refill size; the rest is the member's data. The output of one
// input is bounded by the format (8192 bytes per code), so nothing but the
// decoder's own checks is needed here.
#include <cstddef>
#include <cstdint>

#include "codecs/codec_memory.h"
#include "codecs/unshrink.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    static uint8_t window[tovra::codecs::kWindowSize];
    static const size_t kBlockSizes[] = {8192, 1, 7, 4096};
    tovra::codecs::MemorySource source(data + 1, size - 1, kBlockSizes[data[0] % 4]);
    tovra::codecs::MemorySink sink;
    tovra::codecs::Unshrinker(source, sink, window).Unshrink();
    return 0;
}
