// deflate_state.cpp - the one process-wide instance of the compressor's state
// (see CompressorState in deflate.h).
#include <memory>

#include "compress/deflate.h"

namespace tovra::compress {

CompressorState& TheCompressorState() {
    // Allocated on first use and kept for the life of the process, so no
    // archiving run, and no member, allocates compressor memory again.
    static const std::unique_ptr<CompressorState> state = std::make_unique<CompressorState>();
    return *state;
}

BitOutput& TheBitOutput() { return TheCompressorState().bitOutput; }

}  // namespace tovra::compress
