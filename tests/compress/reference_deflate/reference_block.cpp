// reference_block.cpp - the block half of the reference compressor: the
// text/binary verdict, Huffman trees over the tie-ordered heap with the
// length limit and its overflow correction, canonical codes, run-length
// coded code lengths, the choice between storing the member, a stored, a
// fixed and a dynamic block, and the entries of a Huffman block.
#include <algorithm>
#include <cstring>

#include "compress/reference_deflate/reference_deflate.h"

namespace tovra::reference {
namespace {

constexpr uint8_t kExtraLength[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                      2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr uint8_t kExtraDist[30] = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                                    6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};
constexpr uint8_t kExtraBl[19] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 3, 7};
constexpr uint8_t kBlOrder[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};
// A stored block's LEN field has 16 bits.
constexpr uint32_t kMaxStoredBlock = 0xFFFF;

// Match length - 3 (0..255) covered by each length code: 2^extra values from
// its base; length 258 (255) has code 28 of its own.
uint32_t LengthBase(int code) {
    if (code == 28) return 255;
    uint32_t base = 0;
    for (int c = 0; c < code; ++c) base += 1u << kExtraLength[c];
    return base;
}

uint32_t DistBase(int code) {
    uint32_t base = 0;
    for (int c = 0; c < code; ++c) base += 1u << kExtraDist[c];
    return base;
}

}  // namespace

int ReferenceDeflater::LengthCode(uint32_t lengthMinus3) {
    if (lengthMinus3 == 255) return 28;
    int code = 0;
    while (code < 27 && LengthBase(code + 1) <= lengthMinus3) ++code;
    return code;
}

int ReferenceDeflater::DistanceCode(uint32_t distanceMinus1) {
    static const std::vector<uint8_t> table = [] {
        std::vector<uint8_t> t(32768);
        for (int code = 0; code < 30; ++code) {
            for (uint32_t d = DistBase(code); d < DistBase(code) + (1u << kExtraDist[code]); ++d) {
                t[d] = static_cast<uint8_t>(code);
            }
        }
        return t;
    }();
    return table[distanceMinus1];
}

void ReferenceDeflater::InitBlock() {
    for (int n = 0; n < 286; ++n) lit_.freq[n] = 0;
    for (int n = 0; n < 30; ++n) dist_.freq[n] = 0;
    for (int n = 0; n < 19; ++n) bl_.freq[n] = 0;
    lit_.freq[256] = 1;
    optLen_ = 0;
    staticLen_ = 0;
    lastLit_ = 0;
    lastDist_ = 0;
    lastFlags_ = 0;
    flagByte_ = 0;
    flagBit_ = 1;
}

void ReferenceDeflater::SetFileType() {
    uint64_t binary = 0, text = 0;
    for (int n = 0; n < 7; ++n) binary += lit_.freq[n];
    for (int n = 7; n < 128; ++n) text += lit_.freq[n];
    for (int n = 128; n < 256; ++n) binary += lit_.freq[n];
    result_->internalAttributes = binary <= text / 4 ? 1 : 0;
    if (result_->internalAttributes == 0 && lineEnd_ != 0) result_->warnings.emplace_back("-l used on binary file");
}

bool ReferenceDeflater::Smaller(const Tree& t, int n, int m) const {
    return t.freq[n] < t.freq[m] || (t.freq[n] == t.freq[m] && t.depth[n] <= t.depth[m]);
}

void ReferenceDeflater::PushDown(Tree& t, int k) {
    const int v = heap_[k];
    int j = k << 1;
    while (j <= heapLen_) {
        if (j < heapLen_ && Smaller(t, heap_[j + 1], heap_[j])) ++j;
        if (Smaller(t, v, heap_[j])) break;
        heap_[k] = heap_[j];
        k = j;
        j <<= 1;
    }
    heap_[k] = v;
}

void ReferenceDeflater::BuildTree(Tree& t, int elems, const uint8_t* fixedLengths, const uint8_t* extra, int extraBase,
                                  int maxLength) {
    int maxCode = -1;
    heapLen_ = 0;
    heapMax_ = 573;
    for (int n = 0; n < elems; ++n) {
        if (t.freq[n] != 0) {
            heap_[++heapLen_] = n;
            maxCode = n;
            t.depth[n] = 0;
        } else {
            t.len[n] = 0;
        }
    }
    while (heapLen_ < 2) {
        const int added = maxCode < 2 ? ++maxCode : 0;
        heap_[++heapLen_] = added;
        t.freq[added] = 1;
        t.depth[added] = 0;
        --optLen_;
        if (fixedLengths != nullptr) staticLen_ -= fixedLengths[added];
    }
    t.maxCode = maxCode;
    // The heap is arranged bottom up, from the last parent to the root.
    for (int n = heapLen_ / 2; n >= 1; --n) PushDown(t, n);

    int node = elems;
    do {
        const int n = heap_[1];
        heap_[1] = heap_[heapLen_--];
        PushDown(t, 1);
        const int m = heap_[1];
        heap_[--heapMax_] = n;
        heap_[--heapMax_] = m;
        t.freq[node] = t.freq[n] + t.freq[m];
        t.depth[node] = std::max(t.depth[n], t.depth[m]) + 1;
        t.dad[n] = t.dad[m] = static_cast<uint16_t>(node);
        // The new node takes the place of m at the top.
        heap_[1] = node++;
        PushDown(t, 1);
    } while (heapLen_ >= 2);
    heap_[--heapMax_] = heap_[1];

    GenerateBitLengths(t, fixedLengths, extra, extraBase, maxLength);
    GenerateCodes(t);
}

void ReferenceDeflater::GenerateBitLengths(Tree& t, const uint8_t* fixedLengths, const uint8_t* extra, int extraBase,
                                           int maxLength) {
    for (auto& c : blCount_) c = 0;
    t.len[heap_[heapMax_]] = 0;
    int overflow = 0;
    for (int h = heapMax_ + 1; h < 573; ++h) {
        const int n = heap_[h];
        int bits = t.len[t.dad[n]] + 1;
        if (bits > maxLength) {
            bits = maxLength;
            ++overflow;
        }
        t.len[n] = static_cast<uint8_t>(bits);
        if (n > t.maxCode) continue;
        ++blCount_[bits];
        const int xbits = n >= extraBase ? extra[n - extraBase] : 0;
        const int64_t f = t.freq[n];
        optLen_ += f * (bits + xbits);
        if (fixedLengths != nullptr) staticLen_ += f * (fixedLengths[n] + xbits);
    }
    if (overflow == 0) return;
    while (overflow > 0) {
        int bits = maxLength - 1;
        while (blCount_[bits] == 0) --bits;
        --blCount_[bits];
        blCount_[bits + 1] = static_cast<uint16_t>(blCount_[bits + 1] + 2);
        --blCount_[maxLength];
        overflow -= 2;
    }
    int h = 573;
    for (int bits = maxLength; bits != 0; --bits) {
        int n = blCount_[bits];
        while (n != 0) {
            const int m = heap_[--h];
            if (m > t.maxCode) continue;
            if (t.len[m] != bits) {
                optLen_ += (static_cast<int64_t>(bits) - t.len[m]) * t.freq[m];
                t.len[m] = static_cast<uint8_t>(bits);
            }
            --n;
        }
    }
}

void ReferenceDeflater::GenerateCodes(Tree& t) {
    uint32_t next[16] = {};
    uint32_t code = 0;
    for (int bits = 1; bits <= 15; ++bits) {
        code = (code + blCount_[bits - 1]) << 1;
        next[bits] = code;
    }
    for (int n = 0; n <= t.maxCode; ++n) {
        if (t.len[n] == 0) continue;
        t.code[n] = static_cast<uint16_t>(ReferenceBitOutput::ReverseBits(next[t.len[n]]++, t.len[n]));
    }
}

void ReferenceDeflater::ScanTree(const Tree& t) {
    int prevLen = -1;
    int nextLen = t.len[0];
    int count = 0;
    int maxCount = nextLen == 0 ? 138 : 7;
    int minCount = nextLen == 0 ? 3 : 4;
    for (int n = 0; n <= t.maxCode; ++n) {
        const int curLen = nextLen;
        nextLen = n + 1 <= t.maxCode ? t.len[n + 1] : 0xFFFF;
        if (++count < maxCount && curLen == nextLen) continue;
        if (count < minCount) {
            bl_.freq[curLen] += static_cast<uint32_t>(count);
        } else if (curLen != 0) {
            if (curLen != prevLen) ++bl_.freq[curLen];
            ++bl_.freq[16];
        } else if (count <= 10) {
            ++bl_.freq[17];
        } else {
            ++bl_.freq[18];
        }
        count = 0;
        prevLen = curLen;
        if (nextLen == 0) {
            maxCount = 138;
            minCount = 3;
        } else if (curLen == nextLen) {
            maxCount = 6;
            minCount = 3;
        } else {
            maxCount = 7;
            minCount = 4;
        }
    }
}

void ReferenceDeflater::SendTree(const Tree& t) {
    int prevLen = -1;
    int nextLen = t.len[0];
    int count = 0;
    int maxCount = nextLen == 0 ? 138 : 7;
    int minCount = nextLen == 0 ? 3 : 4;
    for (int n = 0; n <= t.maxCode; ++n) {
        const int curLen = nextLen;
        nextLen = n + 1 <= t.maxCode ? t.len[n + 1] : 0xFFFF;
        if (++count < maxCount && curLen == nextLen) continue;
        if (count < minCount) {
            do SendCode(curLen, bl_);
            while (--count != 0);
        } else if (curLen != 0) {
            if (curLen != prevLen) {
                SendCode(curLen, bl_);
                --count;
            }
            SendCode(16, bl_);
            bits_.SendBits(static_cast<uint32_t>(count - 3), 2);
        } else if (count <= 10) {
            SendCode(17, bl_);
            bits_.SendBits(static_cast<uint32_t>(count - 3), 3);
        } else {
            SendCode(18, bl_);
            bits_.SendBits(static_cast<uint32_t>(count - 11), 7);
        }
        count = 0;
        prevLen = curLen;
        if (nextLen == 0) {
            maxCount = 138;
            minCount = 3;
        } else if (curLen == nextLen) {
            maxCount = 6;
            minCount = 3;
        } else {
            maxCount = 7;
            minCount = 4;
        }
    }
}

int ReferenceDeflater::BuildBitLengthTree() {
    ScanTree(lit_);
    ScanTree(dist_);
    BuildTree(bl_, 19, nullptr, kExtraBl, 0, 7);
    int last = 18;
    while (last >= 4 && bl_.len[kBlOrder[last]] == 0) --last;
    return last;
}

void ReferenceDeflater::CompressBlock(const uint16_t* litCode, const uint8_t* litLen, const uint16_t* distCode,
                                      const uint8_t* distLen) {
    uint32_t dx = 0, fx = 0;
    uint8_t flag = 0;
    for (uint32_t lx = 0; lx < lastLit_; ++lx) {
        if ((lx & 7) == 0) flag = flagBuf_[fx++];
        const uint32_t lc = litBuf_[lx];
        if ((flag & 1) == 0) {
            bits_.SendBits(litCode[lc], litLen[lc]);
        } else {
            const int code = LengthCode(lc);
            bits_.SendBits(litCode[257 + code], litLen[257 + code]);
            if (kExtraLength[code] != 0) bits_.SendBits(lc - LengthBase(code), kExtraLength[code]);
            const uint32_t d = distBuf_[dx++];
            const int dcode = DistanceCode(d);
            bits_.SendBits(distCode[dcode], distLen[dcode]);
            if (kExtraDist[dcode] != 0) bits_.SendBits(d - DistBase(dcode), kExtraDist[dcode]);
        }
        flag = static_cast<uint8_t>(flag >> 1);
    }
    bits_.SendBits(litCode[256], litLen[256]);
}

void ReferenceDeflater::FlushBlock(const uint8_t* bytes, uint32_t count, bool last) {
    flagBuf_[lastFlags_] = flagByte_;
    if (result_->internalAttributes == 0xFFFF) SetFileType();

    BuildTree(lit_, 286, fixedLitLen_, kExtraLength, 257, 15);
    BuildTree(dist_, 30, fixedDistLen_, kExtraDist, 0, 15);
    const int lastBl = BuildBitLengthTree();

    const uint64_t dynamicBytes = static_cast<uint64_t>(optLen_ + 3 * (lastBl + 1) + 14 + 3 + 7) / 8;
    const uint64_t fixedBytes = static_cast<uint64_t>(staticLen_ + 3 + 7) / 8;
    const uint64_t best = std::min(dynamicBytes, fixedBytes);

    if (last && !emittedAny_ && count <= best && bits_.OutputRepositionable()) {
        if (bytes == nullptr) throw RunError{"block vanished"};
        bits_.CopyBlock(bytes, count, false);
        result_->method = 0;
    } else if (count + 4 <= best && bytes != nullptr && count <= kMaxStoredBlock) {
        bits_.SendBits(last ? 1u : 0u, 3);
        bits_.CopyBlock(bytes, count, true);
    } else if (fixedBytes == best) {
        bits_.SendBits(2u + (last ? 1u : 0u), 3);
        CompressBlock(fixedLitCode_, fixedLitLen_, fixedDistCode_, fixedDistLen_);
    } else {
        bits_.SendBits(4u + (last ? 1u : 0u), 3);
        const int litCodes = lit_.maxCode + 1;
        const int distCodes = dist_.maxCode + 1;
        bits_.SendBits(static_cast<uint32_t>(litCodes - 257), 5);
        bits_.SendBits(static_cast<uint32_t>(distCodes - 1), 5);
        bits_.SendBits(static_cast<uint32_t>(lastBl + 1 - 4), 4);
        for (int rank = 0; rank <= lastBl; ++rank) bits_.SendBits(bl_.len[kBlOrder[rank]], 3);
        SendTree(lit_);
        SendTree(dist_);
        CompressBlock(lit_.code, lit_.len, dist_.code, dist_.len);
    }
    emittedAny_ = true;
    InitBlock();
    if (last) bits_.Align();
}

}  // namespace tovra::reference
