// inflate_fuzzer.cpp - raw inflate of arbitrary bytes through the careful
// loop alone and with the fast loop, which must give the same result code,
// the same output and consume the same input.
//
// Input layout: byte 0 picks the source's refill size, bytes 1-2 the declared
// uncompressed size (little endian); the rest is the deflate stream.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "codecs/codec_memory.h"
#include "codecs/inflate.h"

namespace {

struct Outcome {
    int result;
    std::vector<uint8_t> output;
    int64_t bytesLeft;
};

Outcome Run(const uint8_t* data, size_t size, size_t blockSize, int64_t declared, bool fast) {
    static uint8_t window[tovra::codecs::kInflateBufferSize];
    tovra::codecs::MemorySource source(data, size, blockSize);
    tovra::codecs::MemorySink sink;
    tovra::codecs::Inflater inflater(source, sink, window, declared);
    inflater.SetFastPath(fast);
    Outcome outcome;
    outcome.result = inflater.Inflate();
    outcome.output = std::move(sink.output);
    outcome.bytesLeft = source.BytesLeft();
    return outcome;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 3) return 0;
    static const size_t kBlockSizes[] = {8192, 1, 7, 16, 17, 100, 4096, 65536};
    const size_t blockSize = kBlockSizes[data[0] % 8];
    const int64_t declared = data[1] | (data[2] << 8);
    const Outcome careful = Run(data + 3, size - 3, 8192, declared, false);
    const Outcome fast = Run(data + 3, size - 3, blockSize, declared, true);
    if (careful.result != fast.result || careful.output != fast.output || careful.bytesLeft != fast.bytesLeft) {
        std::abort();
    }
    return 0;
}
