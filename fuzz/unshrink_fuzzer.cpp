// unshrink_fuzzer.cpp - unshrink of arbitrary bytes, decoded twice: by the
// shipped decoder and by the reference decoder kept with the tests. Byte 0
// picks the source's refill size and, in its upper bits, a flush after which
// the sink fails; the rest is the member's data. Both must give the same
// result, the same output, the same flushes and stop at the same input byte.
// The output of one input is bounded by the format (8192 bytes per code).
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "../tests/support/unshrink_reference.h"
#include "codecs/codec_memory.h"
#include "codecs/unshrink.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    static uint8_t window[tovra::codecs::kWindowSize];
    static uint8_t referenceWindow[tovra::codecs::kWindowSize];
    static const size_t kBlockSizes[] = {8192, 1, 7, 4096};
    const size_t block = kBlockSizes[data[0] % 4];
    // 0: the sink never fails; n: it fails after n - 1 flushes.
    const int failAfter = (data[0] >> 2) % 4;

    tovra::codecs::MemorySource source(data + 1, size - 1, block);
    tovra::codecs::MemorySink sink;
    if (failAfter > 0) sink.FailAfter(failAfter - 1, 9);
    const int result = tovra::codecs::Unshrinker(source, sink, window).Unshrink();

    tovra::codecs::MemorySource referenceSource(data + 1, size - 1, block);
    tovra::codecs::MemorySink referenceSink;
    if (failAfter > 0) referenceSink.FailAfter(failAfter - 1, 9);
    const int expected = tovra::test::ReferenceUnshrink(referenceSource, referenceSink, referenceWindow);

    if (result != expected || sink.output != referenceSink.output || sink.flushes != referenceSink.flushes ||
        source.BytesLeft() != referenceSource.BytesLeft()) {
        std::abort();
    }
    return 0;
}
