// unshrink.h - the decoder of shrunk members (method 1): dynamic LZW with
// codes of 9 to 13 bits and partial clearing.
//
// An Unshrinker decodes one member: it pulls bytes from a CodecSource and
// writes its output into the caller's 32 KiB window, handing every full
// window and the last part to a CodecSink. Its code table (8192 nodes and the
// decode stack) is one heap block per member; the table's free links are
// cleared by one loop before decoding starts (parallel only for tables far
// larger than a shrunk member's, where a thread team pays for itself).
//
// Use by the extraction engine (one member):
//     Unshrinker unshrinker(source, sink, context.outputBuffer);
//     int result = unshrinker.Unshrink();
// 0: the member's data ended; 2: the data cannot be a shrunk stream; 6: the
// table could not be allocated; anything else came from the sink.
#pragma once

#include <cstdint>

#include "codecs/codec_io.h"

namespace tovra::codecs {

inline constexpr int kUnshrinkOk = 0;
inline constexpr int kUnshrinkBadData = 2;
inline constexpr int kUnshrinkNoMemory = 6;

// Codes and nodes: 256 literals, the control code 256, and the strings the
// stream defines, up to 8191.
inline constexpr unsigned kShrinkNodes = 8192;
inline constexpr unsigned kShrinkControlCode = 256;
inline constexpr int kShrinkMinCodeBits = 9;
inline constexpr int kShrinkMaxCodeBits = 13;

class Unshrinker {
public:
    // window: at least kWindowSize bytes, owned by the caller.
    Unshrinker(CodecSource& source, CodecSink& sink, uint8_t* window);
    int Unshrink();

private:
    CodecSource& source_;
    CodecSink& sink_;
    uint8_t* const window_;
};

}  // namespace tovra::codecs
