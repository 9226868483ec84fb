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
    for (uint32_t lx = 0; lx < lastLit_; ++lx) {
        const uint32_t token = tokens_[lx];
        if (token < 256) {
            out_.SendBits(litCode[token], litLen[token]);
            continue;
        }
        const uint32_t lc = token & 0xFF;
        uint32_t code = kCodes.lengthCode[lc];
        const uint32_t symbol = code + kLiterals + 1;
        out_.SendBits(litCode[symbol], litLen[symbol]);
        int extra = kExtraLengthBits[code];
        if (extra != 0) out_.SendBits(lc - kCodes.baseLength[code], extra);
        const uint32_t dist = ((token >> kTokenDistanceShift) & kTokenDistanceMask) - 1;
        code = DistCode(dist);
        out_.SendBits(distCode[code], distLen[code]);
        extra = kExtraDistBits[code];
        if (extra != 0) out_.SendBits(dist - kCodes.baseDist[code], extra);
    }
    out_.SendBits(litCode[kEndBlock], litLen[kEndBlock]);
}

// The same bits through the 64-bit accumulator, with each length code and its
// extra bits joined into one value per block, and the distance code taken
// from the token.
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
    const uint32_t* const tokens = tokens_;
    const uint32_t count = lastLit_;
    for (uint32_t lx = 0; lx < count; ++lx) {
        const uint32_t token = tokens[lx];
        if (token < 256) {
            acc.Put(litCode[token], litLen[token]);
        } else {
            const uint32_t lc = token & 0xFF;
            acc.Put(lengthBits[lc], lengthCount[lc]);
            const uint32_t dist = ((token >> kTokenDistanceShift) & kTokenDistanceMask) - 1;
            const uint32_t code = token >> kTokenDistCodeShift;
            acc.Put(distCode[code] | ((dist - kCodes.baseDist[code]) << distLen[code]),
                    distLen[code] + kExtraDistBits[code]);
        }
    }
    acc.Put(litCode[kEndBlock], litLen[kEndBlock]);
    acc.Finish();
}

}  // namespace tovra::compress
