// explode_fuzzer.cpp - explode of arbitrary bytes. Byte 0 gives the flags
// (bits 1 and 2 choose the variant) and the source's refill size, bytes 1-3
// the uncompressed size; the rest is the member's data.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "codecs/codec_memory.h"
#include "codecs/explode.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 4) return 0;
    static uint8_t window[tovra::codecs::kWindowSize];
    static const size_t kBlockSizes[] = {8192, 1, 7, 4096};
    const uint16_t flags = data[0] & 6;
    const int64_t declared = data[1] | (data[2] << 8) | (data[3] << 16);
    tovra::codecs::MemorySource source(data + 4, size - 4, kBlockSizes[(data[0] >> 3) % 4]);
    tovra::codecs::MemorySink sink;
    tovra::codecs::Exploder exploder(source, sink, window, flags, static_cast<int64_t>(size - 4), declared);
    const int result = exploder.Explode();
    if (result < 0 || result > 5) std::abort();
    return 0;
}
