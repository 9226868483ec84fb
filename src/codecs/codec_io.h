// codec_io.h - the two small interfaces through which a decompressor reaches
// its input and output, so it never touches a file.
//
// A decoder pulls compressed bytes from a CodecSource and writes its output
// into a 32 KiB window that the caller owns, handing each full window (and the
// last part) to a CodecSink. The extraction engine adapts its context to both
// (its member-data byte read and its output flush); tests, fuzzers and
// benchmarks adapt plain memory.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tovra::codecs {

// Size of the sliding window that decoders fill and flush: the output buffer
// and, at the same time, the history that back-references copy from.
inline constexpr size_t kWindowSize = 0x8000;

// Where compressed bytes come from: the member's data, already decrypted.
//
// The member has a count of compressed bytes left. NextByte is the careful
// read; Buffered/Consume let a fast decoder read bytes that are already in
// memory as a block, with the same effect on the count as that many NextByte
// calls.
class CodecSource {
public:
    virtual ~CodecSource() = default;

    // Returns the next byte of the member (0..255), refilling the caller's
    // input buffer when it is empty, or -1 when the member's compressed bytes
    // are used up or the archive ended. A -1 still lowers the bytes-left count
    // by one (so the count can go negative and tell how far a decoder read past
    // the end); after a -1 every later call returns -1 as well.
    virtual int NextByte() = 0;

    // Returns the bytes that are in memory right now and belong to the member
    // (never more than the bytes left), without refilling: `count` receives
    // their number, which may be 0. The pointer stays valid until the next
    // call of NextByte or Consume. A source without a buffer returns 0 bytes;
    // decoders then use NextByte only.
    virtual const uint8_t* Buffered(size_t& count) {
        count = 0;
        return nullptr;
    }

    // Marks the first n bytes of the last Buffered block as read (n is at most
    // the count it reported), exactly as n calls of NextByte would.
    virtual void Consume(size_t n) { (void)n; }
};

// Where decoded bytes go.
class CodecSink {
public:
    virtual ~CodecSink() = default;

    // Takes `count` bytes from the start of the window (count is at most
    // kWindowSize). Returns 0 to go on, or a non-zero result code that stops
    // the decoder at once and becomes its result: the engine returns 50 for a
    // failed write, and may return any other non-zero code for a cancel (it
    // checks its own cancelled flag before looking at the decoder's result).
    virtual int FlushWindow(const uint8_t* data, size_t count) = 0;
};

}  // namespace tovra::codecs
