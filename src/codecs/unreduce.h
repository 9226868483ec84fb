// unreduce.h - the decoder of reduced members (methods 2 to 5, compression
// factors 1 to 4): bytes coded against follower sets of the byte before,
// then expanded by a run-length and back-reference stage.
//
// An Unreducer decodes one member into the caller's 32 KiB window: its lower
// 16384 bytes are the output window (flushed to the CodecSink whenever full
// and at the end), its upper 16384 bytes hold the 256 follower sets of 64
// bytes each.
//
// Use by the extraction engine (one member):
//     Unreducer unreducer(source, sink, context.outputBuffer, method - 1, size);
//     unreducer.Unreduce();
// Damaged data shows only in the member's CRC; a non-zero result is the
// sink's own (a failed write or a cancel).
#pragma once

#include <cstdint>

#include "codecs/codec_io.h"

namespace tovra::codecs {

inline constexpr size_t kReduceWindowSize = 16384;
inline constexpr int kReduceMinFactor = 1;
inline constexpr int kReduceMaxFactor = 4;
inline constexpr uint8_t kReduceEscape = 144;  // 0x90: starts a run or a back-reference

class Unreducer {
public:
    // window: at least kWindowSize bytes, owned by the caller. factor: 1..4
    // (others are clamped). uncompressedSize: decoding stops once this many
    // bytes were produced (a last back-reference may go beyond).
    Unreducer(CodecSource& source, CodecSink& sink, uint8_t* window, int factor, int64_t uncompressedSize);

    // Decodes the member. Returns 0, or the sink's non-zero result. When the
    // member's bytes run out, missing bits read as zeros for a few more
    // bytes' worth and decoding then stops, so a cut member costs no more
    // than a whole one.
    int Unreduce();

private:
    CodecSource& source_;
    CodecSink& sink_;
    uint8_t* const window_;
    const int factor_;
    const int64_t size_;
};

}  // namespace tovra::codecs
