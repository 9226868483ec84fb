// deflate.h - the deflate compressor of the archiving engine: turns the data of
// one member into a raw deflate stream (no zlib or gzip wrapper) written
// through the bit output, choosing per block between stored, fixed-Huffman
// and dynamic-Huffman coding, classifying the data as text or binary from the
// first block, and storing the whole member instead when its only block does
// not shrink and the output can be repositioned.
//
// Every step is fixed (hash-chain LZ77 with the level table, the block
// estimate and flush points, tree building with its heap order; match
// comparisons that run past the end of the input see zero bytes), so the
// bytes produced for a given input, level and read pattern are fixed too.
// The fast paths below only compute the same results sooner, and the
// reference mode (SetReferenceMode) runs the plain byte-at-a-time match
// search and bit-at-a-time output so a test can prove the two emit identical
// bytes.
//
// Driving one member (the entry writer does this with the process-wide
// state, d = TheDeflater(); DeflateToMemory in deflate_memory.h does it for
// memory buffers):
//   TheBitOutput().Start(out);
//   d.StartTrees(entry.internalAttributes, method);
//   if (d.StartMatcher(host, level, entry.flags) != 0) -> run error d.Error()
//   int64_t size = d.Compress(host);  // < 0 -> run error d.Error()
#pragma once

#include <cstdint>
#include <cstring>

#include "compress/bit_output.h"
#include "compress/deflate_tables.h"

namespace tovra::compress {

// A cache hint for the line holding `p`; nothing else.
inline void PrefetchLine(const void* p) {
#if defined(__GNUC__) && defined(__x86_64__)
    asm volatile("prefetcht0 %0" : : "m"(*static_cast<const char*>(p)));
#else
    (void)p;
#endif
}

// What the compressor needs from the archiving run that drives it.
class DeflateHost {
public:
    virtual ~DeflateHost() = default;
    // The block reader: places up to `size` bytes of the member's data in
    // `buffer` and returns their count; 0 at the end of the input or when the
    // user cancelled; -1 on a read error (the compressor treats it as the end
    // of the input). Must never return more than `size`.
    virtual int32_t ReadInputBlock(uint8_t* buffer, uint32_t size) = 0;
    // The run's line-end conversion setting (0 none); binary data compressed
    // with conversion on draws a warning.
    virtual int LineEndConversion() const { return 0; }
    // Shows a warning of the archiving run ("-l used on binary file").
    virtual void Warn(const char* text) { (void)text; }
};

// A run error raised by the compressor: code 5 with one of the texts
// "bad pack level" or "write error on zip file". The run ends.
struct DeflateError {
    int code = 0;
    const char* text = nullptr;
};

inline constexpr uint16_t kUnknownFileType = 0xFFFF;  // internal attributes before classification
inline constexpr uint16_t kBinaryFile = 0;
inline constexpr uint16_t kTextFile = 1;
inline constexpr uint16_t kMethodStored = 0;

class Deflater {
public:
    // The compressor writes through `out`; the state is about 600 KB.
    explicit Deflater(BitOutput& out) : out_(out) {}
    Deflater(const Deflater&) = delete;
    Deflater& operator=(const Deflater&) = delete;

    // Starts a member: remembers where to store the text/binary verdict
    // (classified from the first block when it holds 0xFFFF) and where to
    // switch the method to 0; both must outlive Compress. Clears the length
    // counters and starts an empty block.
    void StartTrees(uint16_t& internalAttributes, uint16_t& method);

    // Sets up the matcher for `level` and reads the start of the input. A
    // level outside 1..9 returns 5 (Error(): "bad pack level"); otherwise
    // ORs the level's bits into `flags` (0x0004 for 1-2, 0x0002 for 8-9),
    // clears the hash chains and returns 0.
    int StartMatcher(DeflateHost& host, int level, uint16_t& flags);

    // Compresses the rest of the input and flushes the last block. Returns the
    // compressed size in bytes (equal to the bytes the bit output wrote), or
    // -1 after a run error (Error(): "write error on zip file").
    int64_t Compress(DeflateHost& host);

    const DeflateError& Error() const { return error_; }
    // Bytes of input consumed by the finished blocks.
    uint64_t InputLength() const { return inputLength_; }

    // Test switch: the plain reference match search and code output. The
    // bytes produced are the same in both modes.
    void SetReferenceMode(bool on) { referenceMode_ = on; }

    // Builds a code for `count` symbols (at most 286) with the frequencies
    // `freq`, limited to `maxLength` bits, into `lengths` (with the dummy
    // symbols added when fewer than two occur), and returns the data's cost
    // in bits under that code. For tests of the tree builder;
    // only between members (it uses the block's trees).
    int64_t BuildCodeLengths(const uint32_t* freq, int count, int maxLength, uint8_t* lengths);

private:
    // Huffman tree of one alphabet: leaves 0..elems-1, then internal nodes.
    struct Tree {
        uint32_t freq[kHeapSize];
        uint8_t len[kHeapSize];
        uint16_t code[kHeapSize];
        uint16_t dad[kHeapSize];
        int maxCode;  // largest symbol with a nonzero frequency (after the two-symbol fix)
    };

    // Matching (deflate_match.cpp).
    template <bool kReference, bool kDeepLinks>
    [[gnu::always_inline]] inline uint32_t LongestMatch(uint32_t chainHead, uint32_t pos, uint32_t prevLength,
                                                        uint32_t& matchStart) const;
    template <bool kReference>
    bool DeflateFast(DeflateHost& host);
    template <bool kReference>
    bool DeflateLazy(DeflateHost& host);
    void FillWindow(DeflateHost& host);
    void EndInput();
    void SlideWindow();
    // The 3-byte hash of the bytes at `pos`.
    uint32_t HashAt(uint32_t pos) const {
        const uint8_t* p = window_ + pos;
        return ((uint32_t{p[0]} << (2 * kHashShift)) ^ (uint32_t{p[1]} << kHashShift) ^ p[2]) & kHashMask;
    }
    // The hash of pos + 1 from `h`, the hash of pos: the byte entering the
    // three shifts the oldest out of the 15 bits. The matchers carry it from
    // one position to the next instead of reading three bytes each time.
    uint32_t NextHash(uint32_t h, uint32_t pos) const { return ((h << kHashShift) ^ window_[pos + 3]) & kHashMask; }
    // Asks the cache for the chain head and the head's link, which the
    // insertion of a position with hash `h` and the search from it will touch
    // (a hint only).
    void PrefetchInsert(uint32_t h) {
        PrefetchLine(&head_[h]);
        PrefetchLine(&prev_[head_[h] & kWindowMask]);
    }
    // Enters `pos`, whose hash is `h`, into its chain and returns the previous
    // head (0 = none). kDeepLinks: into deepLinks_ (the lazy matcher), where
    // the entry of pos is the head's entry moved up one lane with the head
    // itself in lane 0; otherwise into prev_.
    template <bool kDeepLinks>
    uint32_t InsertString(uint32_t pos, uint32_t h) {
        uint32_t chainHead = head_[h];
        if constexpr (kDeepLinks) {
            StoreDeepLinks(pos, chainHead != 0 ? LoadDeepLinks(chainHead) << kLinkBits | chainHead : 0);
        } else {
            prev_[pos & kWindowMask] = static_cast<uint16_t>(chainHead);
        }
        head_[h] = static_cast<uint16_t>(pos);
        return chainHead;
    }
    // Recording: each returns true when the block should be flushed. An
    // entry is one 32-bit token: a literal byte (below 256), or a match with
    // length - 3 in bits 0-7, the distance (1..32506, so never 0) in bits
    // 8-22 and its distance code in bits 24-28, looked up once here.
    static constexpr uint32_t kTokenDistanceShift = 8;
    static constexpr uint32_t kTokenDistanceMask = 0x7FFF;
    static constexpr uint32_t kTokenDistCodeShift = 24;
    static_assert(kMaxDist <= kTokenDistanceMask && kDistCodes <= 32, "a match fits its token");
    // The recorders work on counters the caller passes (`entries` recorded,
    // `matches` among them, `pos` the position the estimate measures the
    // block to), so the fast matcher can keep them in registers; the
    // Tally* forms use the members.
    bool RecordLiteral(uint32_t& entries, uint32_t matches, uint32_t pos, uint8_t c) {
        const uint32_t n = entries + 1;
        ++litLen_.freq[c];
        entries = n;
        tokens_[n - 1] = c;
        return AfterTally(n, matches, pos);
    }
    bool RecordMatch(uint32_t& entries, uint32_t& matches, uint32_t pos, uint32_t distance, uint32_t lengthMinus3) {
        const uint32_t n = entries + 1;
        const uint32_t dists = matches + 1;
        const uint32_t code = DistCode(distance - 1);
        ++litLen_.freq[kCodes.lengthCode[lengthMinus3] + kLiterals + 1];
        ++dist_.freq[code];
        entries = n;
        matches = dists;
        tokens_[n - 1] = code << kTokenDistCodeShift | distance << kTokenDistanceShift | lengthMinus3;
        return AfterTally(n, dists, pos);
    }
    bool TallyLiteral(uint8_t c) { return RecordLiteral(lastLit_, lastDist_, strStart_, c); }
    bool TallyMatch(uint32_t distance, uint32_t lengthMinus3) {
        return RecordMatch(lastLit_, lastDist_, strStart_, distance, lengthMinus3);
    }
    // n entries and `dists` matches are recorded, the block reaching `pos`.
    bool AfterTally(uint32_t n, uint32_t dists, uint32_t pos) const {
        if (estimateBlocks_ && (n % kEstimateEvery) == 0 && EstimateSaysFlush(n, dists, pos)) return true;
        return n == kLitBufferSize - 1 || dists == kDistBufferSize;
    }
    bool EstimateSaysFlush(uint32_t entries, uint32_t matches, uint32_t pos) const;
    void FlushCurrentBlock(bool last);

    // Block coding (deflate_block.cpp, deflate_trees.cpp).
    void InitBlock();
    void FlushBlock(const uint8_t* bytes, uint64_t storedLength, bool last);
    void SetFileType();
    void BuildTree(Tree& tree, int elems, const uint8_t* fixedLengths, const uint8_t* extraBits, int extraBase,
                   int maxLength);
    void GenerateBitLengths(Tree& tree, int elems, const uint8_t* fixedLengths, const uint8_t* extraBits, int extraBase,
                            int maxLength);
    void GenerateCodes(Tree& tree);
    void PushDownHeap(int k);
    void ScanTree(const Tree& tree);
    void SendTree(const Tree& tree);
    int BuildBitLengthTree();
    void SendAllTrees(int litLenCodes, int distCodes, int blCodes);
    void CompressBlockReference(const uint16_t* litCode, const uint8_t* litLen, const uint16_t* distCode,
                                const uint8_t* distLen);
    void CompressBlockFast(const uint16_t* litCode, const uint8_t* litLen, const uint16_t* distCode,
                           const uint8_t* distLen);
    void SendCode(int symbol, const Tree& tree) { out_.SendBits(tree.code[symbol], tree.len[symbol]); }

    BitOutput& out_;
    DeflateError error_;
    bool referenceMode_ = false;

    // Member settings.
    uint16_t* fileType_ = nullptr;  // the entry's internal attributes
    uint16_t* method_ = nullptr;    // the member's method
    int level_ = 0;
    bool estimateBlocks_ = false;  // levels above 2 estimate the block every 4096 entries
    uint32_t goodLength_ = 0, lazyLimit_ = 0, niceLength_ = 0, chainLimit_ = 0;
    int lineEndConversion_ = 0;
    DeflateHost* host_ = nullptr;

    // Matcher state. Positions index window_; the hash heads and previous
    // links hold positions (0 = none) and drop by 32768 with each slide.
    //   strStart_    current position; strStart_ + lookahead_ <= 65536.
    //   blockStart_  position where the current block began; negative once it
    //                has slid out of the window (its bytes are then gone).
    //   matchStart_  start of the best match found by LongestMatch.
    //   prevLength_  length of the match at the previous position (lazy), the
    //                best length a new match must beat; 2 = none.
    //   endOfInput_  the block reader has reported the end of the input.
    uint32_t strStart_ = 0;
    int64_t blockStart_ = 0;
    uint32_t lookahead_ = 0;
    uint32_t matchStart_ = 0;
    uint32_t prevLength_ = kMinMatch - 1;
    bool endOfInput_ = true;

    // Block state: entries recorded (tokens_, at most kLitBufferSize - 1)
    // and matches among them (at most kDistBufferSize).
    uint32_t lastLit_ = 0, lastDist_ = 0;
    int64_t dynamicBits_ = 0;  // cost of the block with the dynamic trees, tree description included
    int64_t fixedBits_ = 0;    // cost of the block with the fixed trees
    uint64_t compressedBits_ = 0;
    uint64_t inputLength_ = 0;

    // Tree building scratch: the heap (1-based) and the recorded nodes at its
    // top end, node depths for tie breaking, leaves per code length.
    // Each heap entry packs a node's frequency (bits 18 and up), its depth
    // (bits 10-17) and its number (bits 0-9); the heap orders by the bits
    // above the number, so equal frequencies go by depth and then by the
    // heap's own arrangement.
    uint64_t heap_[kHeapSize] = {};
    int heapLength_ = 0, heapMax_ = 0;
    uint16_t bitLengthCount_[kMaxBits + 1] = {};

    Tree litLen_{};
    Tree dist_{};
    Tree bitLen_{};

    // The window is followed by kWindowPadding bytes that the 8-byte match
    // comparison may read past the last position; they stay zero.
    static constexpr uint32_t kWindowPadding = 512;
    uint8_t window_[kWindowBytes + kWindowPadding] = {};
    uint16_t head_[kHashSize] = {};
    // The chains, per position modulo 32768; each matcher keeps one table.
    // prev_ (levels 1-3): the previous position with the same hash.
    // deepLinks_ (levels 4-9): the previous kLinkDepth positions of the chain,
    // the nearest in lane 0 (bits 0-15), so the chain walk of the lazy
    // levels, whose long chains make it wait on one dependent load per link,
    // gets four candidates per load.
    // Both hold 0 past the start of a chain. A position's entry is made from
    // its head's entry as that stood when the position was entered, which is
    // right while the head's slot has not been taken by a position 32768
    // further on. The walk reads a lane only after every nearer lane named a
    // position less than 32506 back from the search position (which comes
    // after the entry was made), so every lane it reads is right; lanes
    // beyond a position that far back may hold anything.
    // The lanes of a position are four 16-bit words, read and written as
    // one 64-bit entry; held as words so the window slide adjusts them as
    // one flat array.
    static constexpr uint32_t kLinkDepth = 4;
    static constexpr uint32_t kLinkBits = 16;
    static_assert(kLinkDepth * kLinkBits == 64, "the lanes fill one 64-bit entry");
    uint64_t LoadDeepLinks(uint32_t pos) const {
        uint64_t entry;
        std::memcpy(&entry, &deepLinks_[(pos & kWindowMask) * kLinkDepth], sizeof entry);
        return entry;
    }
    void StoreDeepLinks(uint32_t pos, uint64_t entry) {
        std::memcpy(&deepLinks_[(pos & kWindowMask) * kLinkDepth], &entry, sizeof entry);
    }
    uint16_t prev_[kHalfWindow] = {};
    alignas(8) uint16_t deepLinks_[kHalfWindow * kLinkDepth] = {};
    uint32_t tokens_[kLitBufferSize] = {};  // the block's entries, see TallyMatch
};

// The process-wide state of the archiving engine's compressor: the bit output
// and the compressor that writes through it, allocated once, on first use,
// and never per member. Reset points, per deflated member: BitOutput::Start,
// then Deflater::StartTrees and Deflater::StartMatcher. Calls must not
// overlap (one archiving run at a time).
struct CompressorState {
    BitOutput bitOutput;
    Deflater deflater{bitOutput};
};
CompressorState& TheCompressorState();
inline Deflater& TheDeflater() { return TheCompressorState().deflater; }

}  // namespace tovra::compress
