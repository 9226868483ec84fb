// unreduce_fuzzer.cpp - unreduce of arbitrary bytes. Byte 0 picks the factor
// (1..4), bytes 1-3 the uncompressed size (little endian, up to 16 MiB, so a
// short input with a large size checks that decoding stops with the input);
// the rest is the member's data.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "codecs/codec_memory.h"
#include "codecs/unreduce.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 4) return 0;
    static uint8_t window[tovra::codecs::kWindowSize];
    const int factor = 1 + data[0] % 4;
    const int64_t declared = data[1] | (data[2] << 8) | (data[3] << 16);
    tovra::codecs::MemorySource source(data + 4, size - 4, 8192);
    tovra::codecs::MemorySink sink;
    tovra::codecs::Unreducer(source, sink, window, factor, declared).Unreduce();
    // Each input bit yields a bounded number of bytes, however large the size.
    if (sink.output.size() > 400 * 8 * (size + 16) + 16384) std::abort();
    return 0;
}
