// reference_deflate.h - an independent, deliberately plain deflate compressor
// that follows the archiving engine's rules step by step: rolling 15-bit hash,
// hash chains with a 32506-byte reach, the 64 KiB window and its slide, the
// fast (levels 1-3) and lazy (4-9) matchers with the level table, the block
// estimate and flush points, the stored/fixed/dynamic choice, Huffman trees
// over the tie-ordered heap with overflow correction, and run-length coded
// code lengths. It shares no code with src/compress; only the stream
// interfaces of src/format. Tests compare the library's compressor with it
// byte for byte.
//
// Like the library it keeps its state between members (one instance = the
// process-wide state), so what stays in the window from one member to the
// next is the same for both.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "compress/reference_deflate/reference_bit_output.h"
#include "format/streams.h"

namespace tovra::reference {

struct ReferenceResult {
    int error = 0;  // 0, or 5 with errorText
    std::string errorText;
    int64_t compressedSize = 0;  // bytes of the member's data
    uint16_t method = 8;         // 0 when the member was stored
    uint16_t flags = 0;          // the level's flag bits
    uint16_t internalAttributes = 0xFFFF;
    std::vector<std::string> warnings;
};

class ReferenceDeflater {
public:
    // Bytes after the end of the input, which matches and the hash may read,
    // are cleared to zero so the output never depends on the member before.
    // Off: they keep whatever the window held.
    bool zeroBytesAfterInput = true;

    // Compresses `in` (a read of 0 bytes is the end, a failed read too) into
    // `out` at `level`, with line-end conversion `lineEnd` (for the warning).
    ReferenceResult Compress(format::InputStream& in, format::OutputStream& out, int level, int lineEnd = 0);

    ReferenceDeflater();

private:
    struct RunError {
        const char* text;
    };
    struct Tree {
        uint32_t freq[573];
        uint16_t code[573];
        uint16_t dad[573];
        uint8_t len[573];
        int depth[573];
        int maxCode;
    };

    // Input.
    int32_t ReadBlock(uint8_t* buffer, uint32_t size);
    void FillWindow();
    // Matching.
    void UpdateHash(uint8_t c) { hash_ = ((hash_ << 5) ^ c) & 0x7FFF; }
    uint32_t InsertString(uint32_t pos);
    uint32_t LongestMatch(uint32_t chainHead);
    void DeflateFast();
    void DeflateLazy();
    // Recording.
    bool TallyLiteral(uint8_t c);
    bool TallyMatch(uint32_t distance, uint32_t lengthMinus3);
    bool AfterTally();
    void FlushCurrent(bool last);
    // Blocks.
    void InitBlock();
    void FlushBlock(const uint8_t* bytes, uint32_t count, bool last);
    void SetFileType();
    void BuildTree(Tree& t, int elems, const uint8_t* fixedLengths, const uint8_t* extra, int extraBase, int maxLength);
    bool Smaller(const Tree& t, int n, int m) const;
    void PushDown(Tree& t, int k);
    void GenerateBitLengths(Tree& t, const uint8_t* fixedLengths, const uint8_t* extra, int extraBase, int maxLength);
    void GenerateCodes(Tree& t);
    void ScanTree(const Tree& t);
    void SendTree(const Tree& t);
    int BuildBitLengthTree();
    void SendCode(int symbol, const Tree& t) { bits_.SendBits(t.code[symbol], t.len[symbol]); }
    void CompressBlock(const uint16_t* litCode, const uint8_t* litLen, const uint16_t* distCode,
                       const uint8_t* distLen);
    static int DistanceCode(uint32_t distanceMinus1);
    static int LengthCode(uint32_t lengthMinus3);

    ReferenceBitOutput bits_;
    format::InputStream* in_ = nullptr;
    ReferenceResult* result_ = nullptr;
    int lineEnd_ = 0;

    // Level settings.
    int level_ = 0;
    uint32_t good_ = 0, lazy_ = 0, nice_ = 0, chain_ = 0;

    // Counters; matchStart_ is unsigned and may wrap below 0 at a slide (the
    // distance computed from it is still right).
    std::vector<uint8_t> window_;
    std::vector<uint16_t> head_, prev_;
    uint32_t strStart_ = 0;
    int32_t blockStart_ = 0;
    uint32_t lookahead_ = 0;
    uint32_t matchStart_ = 0;
    uint32_t prevLength_ = 2;
    uint32_t hash_ = 0;
    bool eof_ = false;

    // Block buffers.
    std::vector<uint8_t> litBuf_, flagBuf_;
    std::vector<uint16_t> distBuf_;
    uint32_t lastLit_ = 0, lastDist_ = 0, lastFlags_ = 0;
    uint8_t flagByte_ = 0, flagBit_ = 1;
    int64_t optLen_ = 0, staticLen_ = 0;
    bool emittedAny_ = false;

    Tree lit_{}, dist_{}, bl_{};
    int heap_[573] = {};
    int heapLen_ = 0, heapMax_ = 0;
    uint16_t blCount_[16] = {};

    // Fixed codes.
    uint8_t fixedLitLen_[288] = {};
    uint16_t fixedLitCode_[288] = {};
    uint8_t fixedDistLen_[30] = {};
    uint16_t fixedDistCode_[30] = {};
};

}  // namespace tovra::reference
