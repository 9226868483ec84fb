// deflate_block.cpp - the block side of the compressor: starting a member,
// classifying it as text or binary, choosing for each block between the
// whole-member store, a stored block, the fixed trees and dynamic trees, and
// sending the block's entries (reference and fast paths).
#include <algorithm>
#include <cstring>

#include "compress/deflate.h"

namespace tovra::compress {

void Deflater::StartTrees(uint16_t& internalAttributes, uint16_t& method) {
    fileType_ = &internalAttributes;
    method_ = &method;
    compressedBits_ = 0;
    inputLength_ = 0;
    error_ = {};
    InitBlock();
}

void Deflater::InitBlock() {
    std::memset(litLen_.freq, 0, sizeof(uint32_t) * kLitLenCodes);
    std::memset(dist_.freq, 0, sizeof(uint32_t) * kDistCodes);
    std::memset(bitLen_.freq, 0, sizeof(uint32_t) * kBitLengthCodes);
    litLen_.freq[kEndBlock] = 1;  // every block ends with the end-of-block code
    dynamicBits_ = 0;
    fixedBits_ = 0;
    lastLit_ = 0;
    lastDist_ = 0;
    lastFlags_ = 0;
    flags_ = 0;
}

// Bytes 0-6 and 128-255 count as binary, 7-127 as text; the member is text
// when binary bytes are at most a quarter of the text bytes.
void Deflater::SetFileType() {
    uint64_t binary = 0;
    uint64_t text = 0;
    int n = 0;
    for (; n < 7; ++n) binary += litLen_.freq[n];
    for (; n < 128; ++n) text += litLen_.freq[n];
    for (; n < kLiterals; ++n) binary += litLen_.freq[n];
    *fileType_ = binary > (text >> 2) ? kBinaryFile : kTextFile;
    if (*fileType_ == kBinaryFile && lineEndConversion_ != 0 && host_ != nullptr) host_->Warn("-l used on binary file");
}

// Emits the current block: `bytes` are its input (null when they have slid out
// of the window), `storedLength` their count.
void Deflater::FlushBlock(const uint8_t* bytes, uint64_t storedLength, bool last) {
    lastFlags_ = lastLit_ >> 3;
    flagBuffer_[lastFlags_] = flags_;  // the pending flag byte
    if (*fileType_ == kUnknownFileType) SetFileType();

    BuildTree(litLen_, kLitLenCodes, kFixed.litLenLength, kExtraLengthBits.data(), kLiterals + 1, kMaxBits);
    BuildTree(dist_, kDistCodes, kFixed.distLength, kExtraDistBits.data(), 0, kMaxBits);
    const int maxBlIndex = BuildBitLengthTree();

    uint64_t bestBytes = static_cast<uint64_t>(dynamicBits_ + 3 + 7) >> 3;
    const uint64_t fixedBytes = static_cast<uint64_t>(fixedBits_ + 3 + 7) >> 3;
    inputLength_ += storedLength;
    if (fixedBytes <= bestBytes) bestBytes = fixedBytes;

    // A stored block's LEN field holds at most 65535 bytes.
    constexpr uint64_t kMaxStoredBlock = 0xFFFF;
    if (storedLength <= bestBytes && last && compressedBits_ == 0 && bytes != nullptr && out_.OutputRepositionable()) {
        // The member's only block does not shrink: store the member itself.
        out_.CopyBlock(bytes, static_cast<uint32_t>(storedLength), false);
        compressedBits_ = storedLength << 3;
        *method_ = kMethodStored;
    } else if (storedLength + 4 <= bestBytes && bytes != nullptr && storedLength <= kMaxStoredBlock) {
        out_.SendBits((0u << 1) + (last ? 1 : 0), 3);
        compressedBits_ = (compressedBits_ + 3 + 7) & ~uint64_t{7};
        compressedBits_ += (storedLength + 4) << 3;
        out_.CopyBlock(bytes, static_cast<uint32_t>(storedLength), true);
    } else if (fixedBytes == bestBytes) {
        out_.SendBits((1u << 1) + (last ? 1 : 0), 3);
        if (referenceMode_) {
            CompressBlockReference(kFixed.litLenCode, kFixed.litLenLength, kFixed.distCode, kFixed.distLength);
        } else {
            CompressBlockFast(kFixed.litLenCode, kFixed.litLenLength, kFixed.distCode, kFixed.distLength);
        }
        compressedBits_ += 3 + static_cast<uint64_t>(fixedBits_);
    } else {
        out_.SendBits((2u << 1) + (last ? 1 : 0), 3);
        SendAllTrees(litLen_.maxCode + 1, dist_.maxCode + 1, maxBlIndex + 1);
        if (referenceMode_) {
            CompressBlockReference(litLen_.code, litLen_.len, dist_.code, dist_.len);
        } else {
            CompressBlockFast(litLen_.code, litLen_.len, dist_.code, dist_.len);
        }
        compressedBits_ += 3 + static_cast<uint64_t>(dynamicBits_);
    }
    InitBlock();
    if (last) {
        out_.Align();
        compressedBits_ += 7;
    }
}

// One code at a time through SendBits, exactly as the entries are described.
void Deflater::CompressBlockReference(const uint16_t* litCode, const uint8_t* litLen, const uint16_t* distCode,
                                      const uint8_t* distLen) {
    uint32_t dx = 0;
    uint32_t fx = 0;
    uint32_t flag = 0;
    for (uint32_t lx = 0; lx < lastLit_; ++lx) {
        if ((lx & 7) == 0) flag = flagBuffer_[fx++];
        uint32_t lc = litBuffer_[lx];
        if ((flag & 1) == 0) {
            out_.SendBits(litCode[lc], litLen[lc]);
        } else {
            uint32_t code = kCodes.lengthCode[lc];
            const uint32_t symbol = code + kLiterals + 1;
            out_.SendBits(litCode[symbol], litLen[symbol]);
            int extra = kExtraLengthBits[code];
            if (extra != 0) out_.SendBits(lc - kCodes.baseLength[code], extra);
            uint32_t dist = distBuffer_[dx++];
            code = DistCode(dist);
            out_.SendBits(distCode[code], distLen[code]);
            extra = kExtraDistBits[code];
            if (extra != 0) out_.SendBits(dist - kCodes.baseDist[code], extra);
        }
        flag >>= 1;
    }
    out_.SendBits(litCode[kEndBlock], litLen[kEndBlock]);
}

// The same bits through the 64-bit accumulator, with each length code and its
// extra bits joined into one value per block.
void Deflater::CompressBlockFast(const uint16_t* litCode, const uint8_t* litLen, const uint16_t* distCode,
                                 const uint8_t* distLen) {
    uint32_t lengthBits[256];
    uint8_t lengthCount[256];
    for (uint32_t lc = 0; lc < 256; ++lc) {
        const uint32_t code = kCodes.lengthCode[lc];
        const uint32_t symbol = code + kLiterals + 1;
        lengthBits[lc] = litCode[symbol] | ((lc - kCodes.baseLength[code]) << litLen[symbol]);
        lengthCount[lc] = static_cast<uint8_t>(litLen[symbol] + kExtraLengthBits[code]);
    }
    BitOutput::Accumulator acc(out_);
    uint32_t dx = 0;
    for (uint32_t lx = 0; lx < lastLit_;) {
        uint32_t flag = flagBuffer_[lx >> 3];
        const uint32_t groupEnd = std::min(lx + 8, lastLit_);
        for (; lx < groupEnd; ++lx, flag >>= 1) {
            const uint32_t lc = litBuffer_[lx];
            if ((flag & 1) == 0) {
                acc.Put(litCode[lc], litLen[lc]);
            } else {
                acc.Put(lengthBits[lc], lengthCount[lc]);
                const uint32_t dist = distBuffer_[dx++];
                const uint32_t code = DistCode(dist);
                acc.Put(distCode[code] | ((dist - kCodes.baseDist[code]) << distLen[code]),
                        distLen[code] + kExtraDistBits[code]);
            }
        }
    }
    acc.Put(litCode[kEndBlock], litLen[kEndBlock]);
    acc.Finish();
}

}  // namespace tovra::compress
