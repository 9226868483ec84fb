// output_sink.cpp - the host's text buffer (the output sink) of an
// extraction-side run. Every text the run hands to the host (listing lines,
// the archive comment) arrives here.
//
// Rule: `sinkUsed` counts every byte offered in this run, copied or not. A
// text is copied, followed by a zero byte, only when the new count stays
// strictly below the capacity; so the host's buffer always ends in a zero after
// the last copied text, a text is never cut, and once one text has been
// dropped every later one is dropped too. The count saturates at 2^32 - 1
// instead of wrapping: a wrapped count could fall below the capacity again
// and let a copy run past the end of the host's buffer.
#include <cstring>
#include <limits>

#include "extract/Cunzip.h"

namespace tovra::extract {

void Cunzip::AppendOutput(const char* text, size_t n) {
    constexpr uint64_t kMaxUsed = std::numeric_limits<uint32_t>::max();
    const uint64_t newUsed = static_cast<uint64_t>(sinkUsed) + n;
    sinkUsed = static_cast<uint32_t>(newUsed < kMaxUsed ? newUsed : kMaxUsed);
    // Everything copied so far is at most the old count, so a copy of n bytes
    // plus the terminating zero ends at most at byte newUsed < capacity.
    if (newUsed >= sinkCapacity || sinkPointer == nullptr) {
        return;
    }
    if (n > 0) {
        std::memcpy(sinkPointer, text, n);
    }
    sinkPointer += n;
    *sinkPointer = '\0';
}

}  // namespace tovra::extract
