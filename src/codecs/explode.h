// explode.h - the decoder of imploded members (method 6): LZ77 over a 4 KiB
// or 8 KiB dictionary whose literals, lengths and distances are coded with
// Shannon-Fano trees sent, in compressed form, at the start of the member.
//
// Two flag bits of the member choose the variant: bit 1 (0x0002) an 8 KiB
// dictionary (7 low distance bits read directly, else 6), bit 2 (0x0004) a
// literal tree (and lengths from 3, else raw 8-bit literals and lengths from
// 2). An Exploder decodes one member into the caller's 32 KiB window, handing
// every full window and the last part to a CodecSink.
//
// Use by the extraction engine (one member):
//     Exploder exploder(source, sink, context.outputBuffer, flags, compressedSize, uncompressedSize);
//     int result = exploder.Explode();
// and on kExplodeInputMismatch, InputDifference() tells input left over
// (positive) from input read beyond the member (negative).
#pragma once

#include <cstdint>

#include "codecs/codec_io.h"

namespace tovra::codecs {

inline constexpr int kExplodeOk = 0;
inline constexpr int kExplodeBadData = 1;         // invalid code, incomplete tree, input exhausted
inline constexpr int kExplodeOversubscribed = 2;  // a tree with more codes than its lengths allow
inline constexpr int kExplodeNoMemory = 3;        // a table could not be allocated
inline constexpr int kExplodeBadTree = 4;         // a tree description that does not fill its codes
inline constexpr int kExplodeInputMismatch = 5;   // the whole size was produced, but not from exactly the input

inline constexpr uint16_t kImplodeFlagLargeWindow = 0x0002;
inline constexpr uint16_t kImplodeFlagLiteralTree = 0x0004;
// Members with more compressed bytes than this use an 8-bit first level for
// the distance tree (its codes are then longer on average).
inline constexpr int64_t kExplodeLargeMember = 200000;

class Exploder {
public:
    // window: at least kWindowSize bytes, owned by the caller. flags: the
    // member's general-purpose flags. compressedSize: the member's compressed
    // bytes left when decoding starts; uncompressedSize: bytes to produce
    // (a last match may go beyond).
    Exploder(CodecSource& source, CodecSink& sink, uint8_t* window, uint16_t flags, int64_t compressedSize,
             int64_t uncompressedSize);

    // Decodes the member; returns a result above or the sink's non-zero one.
    int Explode();

    // After kExplodeInputMismatch: compressed bytes left unread (> 0), or the
    // bytes read beyond the member's end (< 0, negated).
    int64_t InputDifference() const { return difference_; }

private:
    int ReadTree(uint8_t* lengths, unsigned expected);
    int Decode(bool hasLiteralTree);

    CodecSource& source_;
    CodecSink& sink_;
    uint8_t* const window_;
    const uint16_t flags_;
    const int64_t compressedSize_;
    const int64_t uncompressedSize_;
    int64_t treeBytes_ = 0;
    int64_t difference_ = 0;
};

}  // namespace tovra::codecs
