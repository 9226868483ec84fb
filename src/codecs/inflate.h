// inflate.h - the decoder of deflated members (method 8).
//
// An Inflater decodes one member's deflate stream: it pulls compressed bytes
// from a CodecSource, writes straight into a 32 KiB window in the caller's
// buffer and hands every full window, and the last part, to a CodecSink.
// Decoding is table-driven (see inflate_tables.h); a fast loop takes over
// while plenty of input is buffered and the window has room, and the careful
// loop handles everything else. The two give identical results (tests
// compare them on every kind of stream).
//
// Use by the extraction engine (one member):
//   adapt the member reader as a CodecSource (NextByte = the member-data byte
//   read, Buffered/Consume = the rest of the input buffer that belongs to the
//   member, already decrypted) and the output flush as a CodecSink; then
//     Inflater inflater(source, sink, context.outputBuffer, uncompressedSize);
//     int result = inflater.Inflate();
//   1 and 2 mean corrupt data, 3 out of memory, anything else non-zero came
//   from the sink. At the end of an archive run ReleaseInflateFixedTables().
// The window lies in the engine's own output buffer, so the flush sees the
// bytes in place.
//
// The buffer holds two windows. Output is always written into the second
// half; once a full window has been flushed it is moved to the first half, so
// the 32 KiB of history before any write position are one contiguous run of
// memory. A back-reference then never wraps around, and because every byte
// ahead of the write position is older than any distance can reach, a copy
// may write a few bytes past its end (see the fast loop). The move costs one
// 32 KiB copy per window, far less than the wrapped copies it replaces.
#pragma once

#include <cstdint>

#include "codecs/codec_io.h"
#include "codecs/inflate_fast_tables.h"
#include "codecs/inflate_tables.h"

namespace tovra::codecs {

// Results of Inflate and InflateBlock. A non-zero result of the sink's
// FlushWindow (50 for a failed write, or the engine's cancel code) stops
// decoding at once and is returned unchanged.
inline constexpr int kInflateOk = 0;
inline constexpr int kInflateBadData = 1;   // invalid code or data, incomplete code set, input ended
inline constexpr int kInflateBadBlock = 2;  // block type 3, over-subscribed code lengths
inline constexpr int kInflateNoMemory = 3;  // a table could not be allocated

// Size of the buffer an Inflater works in: the window being written and the
// one before it.
inline constexpr size_t kInflateBufferSize = 2 * kWindowSize;

class Inflater {
public:
    // buffer: at least kInflateBufferSize bytes, owned by the caller (the
    // extraction engine passes its output buffer) and used only while this
    // object decodes. Its contents on entry do not matter: no byte is read
    // before this member wrote it. declaredSize: the member's uncompressed
    // size, used when the input ends early (see Inflate).
    Inflater(CodecSource& source, CodecSink& sink, uint8_t* buffer, int64_t declaredSize);

    // Decodes the whole member: clears the state, decodes blocks until the
    // last one, then flushes what is left in the window. Returns a result
    // above. When the input ends inside a block and the member's declared size
    // is not larger than the bytes in the window, exactly the declared size is
    // flushed and the member ends with the flush's result.
    int Inflate();

    // Decodes one block; `lastBlock` tells whether it was the member's last.
    // The state must have been cleared (Reset) before the member's first block.
    int InflateBlock(bool& lastBlock);
    void Reset();

    // Bytes in the window not flushed yet.
    uint32_t WindowPosition() const { return windowPosition_; }

    // Lets tests run the careful loop alone; on by default.
    void SetFastPath(bool enabled) { fastPath_ = enabled; }

private:
    int InflateStored();
    int InflateFixed();
    int InflateDynamic();
    // The fast loop runs on `fastLiterals` and `fastDistances` (the same
    // codes in compact form) when both are usable.
    int InflateCodes(const HuffmanTableList& literals, const HuffmanTableList& distances, int literalBits,
                     int distanceBits, const FastTable& fastLiterals, const FastTable& fastDistances);
    // Decodes symbols while enough input is buffered and the window has room;
    // returns true when it met a distance beyond the bytes written (invalid
    // data, the state as the careful loop would leave it).
    bool InflateCodesFast(const FastTable& literals, const FastTable& distances);
    int CopyStoredFast(uint32_t& left);
    // Decodes all `total` code lengths of a dynamic header from buffered input
    // with a word-wise bit reader. Returns false, with nothing consumed, when
    // too little input is buffered or the lengths are invalid; the careful
    // loop then decodes them.
    bool ReadCodeLengthsFast(const HuffmanTableList& table, int tableBits, uint8_t* lengths, unsigned total);

    enum DecodeResult { kDecoded, kInvalidCode, kInputEnded };
    DecodeResult Decode(const HuffmanTableList& table, int bits, HuffmanEntry& entry);
    bool Need(int n);
    bool FetchByte();
    void Drop(int n) {
        bitBuffer_ >>= n;
        bitCount_ -= n;
    }
    int WrapWindow();
    int FinishAtInputEnd();

    CodecSource& source_;
    CodecSink& sink_;
    uint8_t* const history_;  // the first half of the buffer: the window before window_
    uint8_t* const window_;   // the second half: the window being written
    const int64_t declaredSize_;

    // Decoder state, cleared by Reset before a member's first block:
    // bitBuffer_   input bits not used yet, the next one in bit 0; bits above
    //              bitCount_ are zero.
    // bitCount_    number of valid bits in bitBuffer_ (0..63). It goes negative
    //              once bits beyond the end of the input were used (they read
    //              as zero); a further need of bits then means the input ended.
    // windowPosition_  bytes in the window not flushed yet (0..kWindowSize-1
    //              between symbols; reaching kWindowSize flushes and restarts).
    // windowFilled_    a full window has been flushed (and moved to history_):
    //              back-references may reach 32 KiB back; before that only the
    //              bytes written so far.
    // finished_    the member ended at the end of its input (see Inflate).
    uint64_t bitBuffer_ = 0;
    int32_t bitCount_ = 0;
    uint32_t windowPosition_ = 0;
    bool windowFilled_ = false;
    bool finished_ = false;
    bool fastPath_ = true;
};

// The fixed-code tables, built at the first fixed block and kept for the rest
// of the archive run; ProcessArchive releases them at the end of a run, with
// the memory of the dynamic blocks' tables (also kept from block to block).
struct InflateFixedTables {
    HuffmanTableList literals;
    HuffmanTableList distances;
    int literalBits = 0;
    int distanceBits = 0;
    FastTable fastLiterals;
    FastTable fastDistances;
    uint32_t buildCount = 0;  // how often they were built (for tests)
};
InflateFixedTables& FixedTables();
void ReleaseInflateFixedTables();

}  // namespace tovra::codecs
