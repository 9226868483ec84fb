// reference_match.cpp - the LZ77 half of the reference compressor: the
// window and its refill and slide, the rolling hash and chains, the longest
// match, the fast and lazy matchers and the recording of entries. Every step
// is written out one byte at a time, as plainly as possible.
#include <algorithm>
#include <cstring>

#include "compress/reference_deflate/reference_deflate.h"

namespace tovra::reference {
namespace {

constexpr uint32_t kWSize = 32768;
constexpr uint32_t kWindowSize = 2 * kWSize;
constexpr uint32_t kMinMatch = 3;
constexpr uint32_t kMaxMatch = 258;
constexpr uint32_t kMinLookahead = kMaxMatch + kMinMatch + 1;
constexpr uint32_t kMaxDist = kWSize - kMinLookahead;
constexpr uint32_t kTooFar = 4096;
// Match comparisons at the last positions read up to 258 bytes past the end
// of the 64 KiB window.
constexpr uint32_t kWindowSlack = 512;

struct LevelRow {
    uint32_t good, lazy, nice, chain;
    uint16_t flag;
};
constexpr LevelRow kLevels[10] = {
    {0, 0, 0, 0, 0},    {4, 4, 8, 4, 4},      {4, 5, 16, 8, 4},     {4, 6, 32, 32, 0},       {4, 4, 16, 16, 0},
    {8, 16, 32, 32, 0}, {8, 16, 128, 128, 0}, {8, 32, 128, 256, 0}, {32, 128, 258, 1024, 2}, {32, 258, 258, 4096, 2},
};

}  // namespace

ReferenceDeflater::ReferenceDeflater()
    : window_(kWindowSize + kWindowSlack, 0),
      head_(32768, 0),
      prev_(32768, 0),
      litBuf_(32768, 0),
      flagBuf_(4096, 0),
      distBuf_(32768, 0) {
    // The fixed trees.
    for (int n = 0; n < 288; ++n) fixedLitLen_[n] = n < 144 ? 8 : n < 256 ? 9 : n < 280 ? 7 : 8;
    uint16_t count[16] = {};
    for (int n = 0; n < 288; ++n) ++count[fixedLitLen_[n]];
    uint32_t next[16] = {};
    uint32_t code = 0;
    for (int bits = 1; bits <= 15; ++bits) {
        code = (code + count[bits - 1]) << 1;
        next[bits] = code;
    }
    for (int n = 0; n < 288; ++n) {
        fixedLitCode_[n] =
            static_cast<uint16_t>(ReferenceBitOutput::ReverseBits(next[fixedLitLen_[n]]++, fixedLitLen_[n]));
    }
    for (int n = 0; n < 30; ++n) {
        fixedDistLen_[n] = 5;
        fixedDistCode_[n] = static_cast<uint16_t>(ReferenceBitOutput::ReverseBits(static_cast<uint32_t>(n), 5));
    }
}

int32_t ReferenceDeflater::ReadBlock(uint8_t* buffer, uint32_t size) {
    const size_t n = in_->Read(buffer, size);
    if (n == 0) return in_->Failed() ? -1 : 0;
    return static_cast<int32_t>(n);
}

void ReferenceDeflater::FillWindow() {
    uint32_t more = kWindowSize - lookahead_ - strStart_;
    if (strStart_ >= kWSize + kMaxDist) {
        std::memcpy(window_.data(), window_.data() + kWSize, kWSize);
        matchStart_ -= kWSize;
        strStart_ -= kWSize;
        blockStart_ -= static_cast<int32_t>(kWSize);
        for (uint32_t n = 0; n < 32768; ++n) {
            head_[n] = static_cast<uint16_t>(head_[n] >= kWSize ? head_[n] - kWSize : 0);
            prev_[n] = static_cast<uint16_t>(prev_[n] >= kWSize ? prev_[n] - kWSize : 0);
        }
        more += kWSize;
    }
    const int32_t n = ReadBlock(window_.data() + strStart_ + lookahead_, more);
    if (n <= 0) {
        eof_ = true;
        if (zeroBytesAfterInput) {
            std::fill(window_.begin() + strStart_ + lookahead_, window_.end(), uint8_t{0});
        }
    } else {
        lookahead_ += static_cast<uint32_t>(n);
    }
}

uint32_t ReferenceDeflater::InsertString(uint32_t pos) {
    UpdateHash(window_[pos + 2]);
    const uint32_t chainHead = head_[hash_];
    prev_[pos & 0x7FFF] = static_cast<uint16_t>(chainHead);
    head_[hash_] = static_cast<uint16_t>(pos);
    return chainHead;
}

uint32_t ReferenceDeflater::LongestMatch(uint32_t chainHead) {
    uint32_t chain = chain_;
    if (prevLength_ >= good_) chain >>= 2;
    const uint32_t limit = strStart_ > kMaxDist ? strStart_ - kMaxDist : 0;
    const uint8_t* w = window_.data();
    const uint32_t scan = strStart_;
    uint32_t best = prevLength_;
    uint32_t cur = chainHead;
    do {
        const uint32_t m = cur;
        if (w[m + best] != w[scan + best] || w[m + best - 1] != w[scan + best - 1] || w[m] != w[scan] ||
            w[m + 1] != w[scan + 1]) {
            continue;
        }
        uint32_t len = 2;
        while (len < kMaxMatch && w[scan + len] == w[m + len]) ++len;
        if (len > best) {
            matchStart_ = m;
            best = len;
            if (len >= nice_) break;
        }
    } while ((cur = prev_[cur & 0x7FFF]) > limit && --chain != 0);
    return best;
}

bool ReferenceDeflater::TallyLiteral(uint8_t c) {
    litBuf_[lastLit_++] = c;
    ++lit_.freq[c];
    return AfterTally();
}

bool ReferenceDeflater::TallyMatch(uint32_t distance, uint32_t lengthMinus3) {
    litBuf_[lastLit_++] = static_cast<uint8_t>(lengthMinus3);
    const uint32_t d = distance - 1;
    distBuf_[lastDist_++] = static_cast<uint16_t>(d);
    ++lit_.freq[257 + LengthCode(lengthMinus3)];
    ++dist_.freq[DistanceCode(d)];
    flagByte_ = static_cast<uint8_t>(flagByte_ | flagBit_);
    return AfterTally();
}

bool ReferenceDeflater::AfterTally() {
    static constexpr uint8_t kExtraDist[30] = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                                               6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};
    flagBit_ = static_cast<uint8_t>(flagBit_ << 1);
    if ((lastLit_ & 7) == 0) {
        flagBuf_[lastFlags_++] = flagByte_;
        flagByte_ = 0;
        flagBit_ = 1;
    }
    if (level_ > 2 && (lastLit_ % 4096) == 0) {
        uint64_t outLength = uint64_t{lastLit_} * 8;
        for (int code = 0; code < 30; ++code) outLength += uint64_t{dist_.freq[code]} * (5 + kExtraDist[code]);
        outLength /= 8;
        const int64_t inLength = int64_t{strStart_} - blockStart_;
        if (lastDist_ < lastLit_ / 2 && static_cast<int64_t>(outLength) < inLength / 2) return true;
    }
    return lastLit_ == 32767 || lastDist_ == 32768;
}

void ReferenceDeflater::FlushCurrent(bool last) {
    const uint8_t* bytes = blockStart_ >= 0 ? window_.data() + blockStart_ : nullptr;
    FlushBlock(bytes, static_cast<uint32_t>(static_cast<int64_t>(strStart_) - blockStart_), last);
    blockStart_ = static_cast<int32_t>(strStart_);
}

void ReferenceDeflater::DeflateFast() {
    prevLength_ = kMinMatch - 1;
    while (lookahead_ > 0) {
        const uint32_t chainHead = InsertString(strStart_);
        uint32_t matchLength = 0;
        if (chainHead != 0 && strStart_ - chainHead <= kMaxDist) {
            matchLength = std::min(LongestMatch(chainHead), lookahead_);
        }
        bool flush;
        if (matchLength >= kMinMatch) {
            flush = TallyMatch(strStart_ - matchStart_, matchLength - kMinMatch);
            lookahead_ -= matchLength;
            if (matchLength <= lazy_) {
                for (uint32_t i = 1; i < matchLength; ++i) {
                    ++strStart_;
                    InsertString(strStart_);
                }
                ++strStart_;
            } else {
                strStart_ += matchLength;
                hash_ = window_[strStart_];
                UpdateHash(window_[strStart_ + 1]);
            }
        } else {
            flush = TallyLiteral(window_[strStart_]);
            --lookahead_;
            ++strStart_;
        }
        if (flush) FlushCurrent(false);
        while (lookahead_ < kMinLookahead && !eof_) FillWindow();
    }
}

void ReferenceDeflater::DeflateLazy() {
    bool literalPending = false;
    uint32_t matchLength = kMinMatch - 1;
    while (lookahead_ > 0) {
        const uint32_t chainHead = InsertString(strStart_);
        prevLength_ = matchLength;
        const uint32_t prevMatch = matchStart_;
        matchLength = kMinMatch - 1;
        if (chainHead != 0 && prevLength_ < lazy_ && strStart_ - chainHead <= kMaxDist) {
            matchLength = std::min(LongestMatch(chainHead), lookahead_);
            if (matchLength == kMinMatch && strStart_ - matchStart_ > kTooFar) matchLength = kMinMatch - 1;
        }
        if (prevLength_ >= kMinMatch && matchLength <= prevLength_) {
            const bool flush = TallyMatch(strStart_ - 1 - prevMatch, prevLength_ - kMinMatch);
            lookahead_ -= prevLength_ - 1;
            for (uint32_t i = 0; i < prevLength_ - 2; ++i) {
                ++strStart_;
                InsertString(strStart_);
            }
            ++strStart_;
            literalPending = false;
            // The match found here started one byte into the one just
            // recorded; it is no candidate for the next position.
            matchLength = kMinMatch - 1;
            if (flush) FlushCurrent(false);
        } else if (literalPending) {
            if (TallyLiteral(window_[strStart_ - 1])) FlushCurrent(false);
            ++strStart_;
            --lookahead_;
        } else {
            literalPending = true;
            ++strStart_;
            --lookahead_;
        }
        while (lookahead_ < kMinLookahead && !eof_) FillWindow();
    }
    if (literalPending) TallyLiteral(window_[strStart_ - 1]);
}

ReferenceResult ReferenceDeflater::Compress(format::InputStream& in, format::OutputStream& out, int level,
                                            int lineEnd) {
    ReferenceResult result;
    result_ = &result;
    in_ = &in;
    lineEnd_ = lineEnd;
    bits_.Start(out);
    // Start trees.
    emittedAny_ = false;
    InitBlock();
    // Start matcher.
    if (level < 1 || level > 9) {
        result.error = 5;
        result.errorText = "bad pack level";
        return result;
    }
    const LevelRow& row = kLevels[level];
    result.flags = static_cast<uint16_t>(result.flags | row.flag);
    level_ = level;
    good_ = row.good;
    lazy_ = row.lazy;
    nice_ = row.nice;
    chain_ = row.chain;
    std::fill(head_.begin(), head_.end(), uint16_t{0});
    strStart_ = 0;
    blockStart_ = 0;
    matchStart_ = 0;
    prevLength_ = kMinMatch - 1;
    lookahead_ = 0;
    eof_ = false;
    try {
        const int32_t n = ReadBlock(window_.data(), kWindowSize);
        if (n <= 0) {
            eof_ = true;
            if (zeroBytesAfterInput) std::fill(window_.begin(), window_.end(), uint8_t{0});
        } else {
            lookahead_ = static_cast<uint32_t>(n);
            while (lookahead_ < kMinLookahead && !eof_) FillWindow();
        }
        hash_ = window_[0];
        UpdateHash(window_[1]);
        // Compress.
        if (level <= 3) {
            DeflateFast();
        } else {
            DeflateLazy();
        }
        FlushCurrent(true);
        result.compressedSize = static_cast<int64_t>(bits_.BytesWritten());
    } catch (const WriteFailed&) {
        result.error = 5;
        result.errorText = "write error on zip file";
    } catch (const RunError& e) {
        result.error = 5;
        result.errorText = e.text;
    }
    return result;
}

}  // namespace tovra::reference
