// inflate.cpp - block decoding and the careful symbol loop of inflate.
//
// This is the reference decoder: it needs bits one byte at a time from the
// source, checks every step, and implements the input-ended rules. The fast
// loop (inflate_fast.cpp) runs in between symbols when it safely can and
// leaves the state exactly as this loop would.
#include "codecs/inflate.h"

#include <algorithm>
#include <cstring>

#include "codecs/inflate_copy.h"

namespace tovra::codecs {

namespace {

// First-level widths of the dynamic codes' tables. Literal/length codes of
// real data are mostly 7 to 10 bits long: a 10-bit first level decodes nearly
// all of them with one look-up, which measured about 7% faster over mixed
// files than 9 bits (the decoded result does not depend on the widths).
constexpr int kDynamicLiteralBits = 10;
constexpr int kDynamicDistanceBits = 6;
// The fixed literal/length code is 7 to 9 bits long: a 9-bit first level
// decodes every symbol with one look-up.
constexpr int kFixedLiteralBits = 9;
constexpr int kFixedDistanceBits = 5;

InflateFixedTables fixedTables;

// The dynamic blocks' tables. Every block builds into the same lists, whose
// memory is allocated at the first dynamic block and kept for the archive
// run, so a block costs no allocation.
struct DynamicTables {
    HuffmanTableList codeLengths;
    HuffmanTableList literals;
    HuffmanTableList distances;
    FastTable fastLiterals;
    FastTable fastDistances;
} dynamicTables;

}  // namespace

InflateFixedTables& FixedTables() { return fixedTables; }

void ReleaseInflateFixedTables() {
    dynamicTables.codeLengths.Free();
    dynamicTables.literals.Free();
    dynamicTables.distances.Free();
    fixedTables.literals.Free();
    fixedTables.distances.Free();
    fixedTables.literalBits = 0;
    fixedTables.distanceBits = 0;
    fixedTables.fastLiterals.usable = false;
    fixedTables.fastDistances.usable = false;
}

Inflater::Inflater(CodecSource& source, CodecSink& sink, uint8_t* buffer, int64_t declaredSize)
    : source_(source), sink_(sink), history_(buffer), window_(buffer + kWindowSize), declaredSize_(declaredSize) {}

void Inflater::Reset() {
    bitBuffer_ = 0;
    bitCount_ = 0;
    windowPosition_ = 0;
    windowFilled_ = false;
    finished_ = false;
}

int Inflater::Inflate() {
    Reset();
    bool lastBlock = false;
    do {
        const int result = InflateBlock(lastBlock);
        if (result != kInflateOk) return result;
    } while (!lastBlock);
    const uint32_t left = windowPosition_;
    windowPosition_ = 0;
    return sink_.FlushWindow(window_, left);
}

// Makes at least n bits available. When the input ends first, the missing
// bits read as zero as long as no bit beyond the end has been used yet;
// returns false once that has happened (the input has ended).
bool Inflater::Need(int n) {
    while (bitCount_ < n) {
        const int byte = source_.NextByte();
        if (byte < 0 || bitCount_ < 0) return bitCount_ >= 0;
        bitBuffer_ |= static_cast<uint64_t>(byte) << bitCount_;
        bitCount_ += 8;
    }
    return true;
}

// Adds one input byte above the valid bits; false when the input has ended.
bool Inflater::FetchByte() {
    const int byte = source_.NextByte();
    if (byte < 0) return false;
    bitBuffer_ |= static_cast<uint64_t>(byte) << bitCount_;
    bitCount_ += 8;
    return true;
}

// Bytes are fetched only while the entry under the valid bits is not known to
// be the code's: a code is known once its own bits are valid, a link or a slot
// no code reaches once the table's whole width is. So no byte is read that
// the code does not need, and a short code at the end of the input never reads
// past it, whatever the width of the table. When the input ends first, the
// missing bits read as zero (the entry under them is used).
Inflater::DecodeResult Inflater::Decode(const HuffmanTableList& table, int bits, HuffmanEntry& entry) {
    const HuffmanEntry* slots = table.Root();
    int width = bits;
    for (;;) {
        for (;;) {
            entry = slots[bitBuffer_ & kBitMask[width]];
            const bool ownBits = entry.operation <= kOpLiteral || (entry.operation == kOpInvalid && entry.bits != 0);
            if ((ownBits ? entry.bits : width) <= bitCount_) break;
            if (!FetchByte()) {
                if (bitCount_ < 0) return kInputEnded;
                break;
            }
        }
        if (entry.operation <= kOpLiteral) break;
        if (entry.operation == kOpInvalid) return kInvalidCode;
        Drop(entry.bits);
        width = entry.operation - kOpLiteral;
        slots = table.SubTable(entry);
    }
    Drop(entry.bits);
    return kDecoded;
}

// Flushes the full window and moves it before the next one, where it is the
// history of the bytes that follow.
int Inflater::WrapWindow() {
    windowPosition_ = 0;
    windowFilled_ = true;
    const int result = sink_.FlushWindow(window_, kWindowSize);
    std::memcpy(history_, window_, kWindowSize);
    return result;
}

// The input ended inside a block. A member whose declared size is already in
// the window ends there (its last end-of-block code may be missing); anything
// else is invalid data. Once the window has been flushed, its position no
// longer counts the member's bytes: cutting it to the declared size would end
// the member at a length that is neither declared nor decoded.
int Inflater::FinishAtInputEnd() {
    if (windowFilled_ || declaredSize_ > static_cast<int64_t>(windowPosition_)) return kInflateBadData;
    const size_t count = static_cast<size_t>(std::max<int64_t>(declaredSize_, 0));
    windowPosition_ = 0;
    finished_ = true;
    return sink_.FlushWindow(window_, count);
}

int Inflater::InflateBlock(bool& lastBlock) {
    HuffmanEntriesInUse() = 0;
    if (!Need(1)) return kInflateBadData;
    lastBlock = (bitBuffer_ & 1) != 0;
    Drop(1);
    if (!Need(2)) return kInflateBadData;
    const unsigned type = bitBuffer_ & 3;
    Drop(2);
    int result;
    switch (type) {
        case 0:
            result = InflateStored();
            break;
        case 1:
            result = InflateFixed();
            break;
        case 2:
            result = InflateDynamic();
            break;
        default:
            return kInflateBadBlock;
    }
    if (finished_) lastBlock = true;
    return result;
}

int Inflater::InflateStored() {
    if (bitCount_ > 0) Drop(bitCount_ & 7);  // to the byte boundary
    if (!Need(16)) return kInflateBadData;
    uint32_t left = bitBuffer_ & 0xFFFF;
    Drop(16);
    if (!Need(16)) return kInflateBadData;
    const uint32_t complement = bitBuffer_ & 0xFFFF;
    Drop(16);
    if (left != (~complement & 0xFFFF)) return kInflateBadData;
    while (left > 0) {
        if (fastPath_) {
            const int result = CopyStoredFast(left);
            if (result != kInflateOk) return result;
            if (left == 0) break;
        }
        // Stored bytes are data, not look-ahead: zero bits read past the end
        // of the input would make up a byte.
        if (!Need(8) || bitCount_ < 8) return kInflateBadData;
        window_[windowPosition_++] = static_cast<uint8_t>(bitBuffer_);
        Drop(8);
        --left;
        if (windowPosition_ == kWindowSize) {
            const int result = WrapWindow();
            if (result != kInflateOk) return result;
        }
    }
    return kInflateOk;
}

int Inflater::InflateFixed() {
    InflateFixedTables& fixed = FixedTables();
    if (fixed.literals.Empty()) {
        // The fixed code: literals 0-143 in 8 bits, 144-255 in 9, 256-279 in 7,
        // 280-287 in 8; 30 distance codes of 5 bits (two codes stay unused).
        uint8_t lengths[kMaxCodes];
        std::fill(lengths, lengths + 144, 8);
        std::fill(lengths + 144, lengths + 256, 9);
        std::fill(lengths + 256, lengths + 280, 7);
        std::fill(lengths + 280, lengths + 288, 8);
        int bits = kFixedLiteralBits;
        int result = BuildHuffmanTables(lengths, 288, 257, kLengthBase, kLengthExtra, fixed.literals, bits,
                                        FastCode::kLiteralLength, &fixed.fastLiterals);
        if (result != kBuildComplete) {
            fixed.literals.Free();
            return result;
        }
        fixed.literalBits = bits;
        std::fill(lengths, lengths + kDistanceSymbols, 5);
        bits = kFixedDistanceBits;
        result = BuildHuffmanTables(lengths, kDistanceSymbols, 0, kDistanceBase, kDistanceExtra, fixed.distances, bits,
                                    FastCode::kDistance, &fixed.fastDistances);
        if (result > kBuildIncomplete) {
            fixed.literals.Free();
            return result;
        }
        fixed.distanceBits = bits;
        ++fixed.buildCount;
    }
    return InflateCodes(fixed.literals, fixed.distances, fixed.literalBits, fixed.distanceBits, fixed.fastLiterals,
                        fixed.fastDistances);
}

int Inflater::InflateDynamic() {
    // 1. Counts of the three codes.
    if (!Need(5)) return kInflateBadData;
    const unsigned literalCount = 257 + (bitBuffer_ & 0x1F);
    Drop(5);
    if (!Need(5)) return kInflateBadData;
    const unsigned distanceCount = 1 + (bitBuffer_ & 0x1F);
    Drop(5);
    if (!Need(4)) return kInflateBadData;
    const unsigned codeLengthCount = 4 + (bitBuffer_ & 0xF);
    Drop(4);

    // 2./3. The code-length code.
    uint8_t lengths[kMaxCodes + 32] = {};
    for (unsigned i = 0; i < codeLengthCount; ++i) {
        if (!Need(3)) return kInflateBadData;
        lengths[kCodeLengthOrder[i]] = static_cast<uint8_t>(bitBuffer_ & 7);
        Drop(3);
    }
    HuffmanTableList& codeLengthTable = dynamicTables.codeLengths;
    int codeLengthBits = 7;
    int result =
        BuildHuffmanTables(lengths, kCodeLengthSymbols, kCodeLengthSymbols, {}, {}, codeLengthTable, codeLengthBits);
    if (result == kBuildIncomplete || (result == kBuildComplete && codeLengthBits == 0)) return kInflateBadData;
    if (result != kBuildComplete) return result;

    // 4. The literal/length and distance code lengths, one run after another.
    const unsigned total = literalCount + distanceCount;
    const bool decodedFast = fastPath_ && ReadCodeLengthsFast(codeLengthTable, codeLengthBits, lengths, total);
    unsigned previous = 0;
    for (unsigned i = decodedFast ? total : 0; i < total;) {
        HuffmanEntry entry;
        if (Decode(codeLengthTable, codeLengthBits, entry) != kDecoded) return kInflateBadData;
        const unsigned symbol = entry.value;
        if (symbol < 16) {
            lengths[i++] = static_cast<uint8_t>(symbol);
            previous = symbol;
            continue;
        }
        unsigned repeat;
        unsigned length = 0;
        if (symbol == 16) {
            if (!Need(2)) return kInflateBadData;
            repeat = 3 + (bitBuffer_ & 3);
            Drop(2);
            length = previous;
        } else if (symbol == 17) {
            if (!Need(3)) return kInflateBadData;
            repeat = 3 + (bitBuffer_ & 7);
            Drop(3);
        } else {
            if (!Need(7)) return kInflateBadData;
            repeat = 11 + (bitBuffer_ & 0x7F);
            Drop(7);
        }
        if (i + repeat > total) return kInflateBadData;
        std::fill(lengths + i, lengths + i + repeat, static_cast<uint8_t>(length));
        i += repeat;
        previous = length;
    }

    // 5. Literal/length code: must be complete and not empty. With the fast
    // loop on, the builder writes the compact tables too.
    HuffmanTableList& literalTable = dynamicTables.literals;
    FastTable& fastLiterals = dynamicTables.fastLiterals;
    FastTable& fastDistances = dynamicTables.fastDistances;
    fastLiterals.usable = false;
    fastDistances.usable = false;
    int literalBits = kDynamicLiteralBits;
    result = BuildHuffmanTables(lengths, literalCount, 257, kLengthBase, kLengthExtra, literalTable, literalBits,
                                FastCode::kLiteralLength, fastPath_ ? &fastLiterals : nullptr);
    if (result == kBuildIncomplete || (result == kBuildComplete && literalBits == 0)) return kInflateBadData;
    if (result != kBuildComplete) return result;

    // 6. Distance code: an incomplete one is accepted; symbols 30 and 31 are
    // invalid codes (they have no base).
    HuffmanTableList& distanceTable = dynamicTables.distances;
    int distanceBits = kDynamicDistanceBits;
    result = BuildHuffmanTables(lengths + literalCount, distanceCount, 0, kDistanceBase, kDistanceExtra, distanceTable,
                                distanceBits, FastCode::kDistance, fastPath_ ? &fastDistances : nullptr);
    if (result > kBuildIncomplete) return result;
    if (distanceBits == 0 && literalCount > 257) return kInflateBadData;

    // 7. The data; the next dynamic block builds over the tables.
    return InflateCodes(literalTable, distanceTable, literalBits, distanceBits, fastLiterals, fastDistances);
}

int Inflater::InflateCodes(const HuffmanTableList& literals, const HuffmanTableList& distances, int literalBits,
                           int distanceBits, const FastTable& fastLiterals, const FastTable& fastDistances) {
    const bool fast = fastPath_ && fastLiterals.usable && fastDistances.usable;
    for (;;) {
        if (fast && InflateCodesFast(fastLiterals, fastDistances)) return kInflateBadData;

        HuffmanEntry entry;
        DecodeResult decoded = Decode(literals, literalBits, entry);
        if (decoded == kInputEnded) return FinishAtInputEnd();
        if (decoded == kInvalidCode) return kInflateBadData;
        if (entry.operation == kOpLiteral) {
            window_[windowPosition_++] = static_cast<uint8_t>(entry.value);
            if (windowPosition_ == kWindowSize) {
                const int result = WrapWindow();
                if (result != kInflateOk) return result;
            }
            continue;
        }
        if (entry.operation == kOpEndOfBlock) return kInflateOk;

        // A length (operation = its extra bits), then a distance.
        if (!Need(entry.operation)) return FinishAtInputEnd();
        uint32_t length = entry.value + static_cast<uint32_t>(bitBuffer_ & kBitMask[entry.operation]);
        Drop(entry.operation);
        decoded = Decode(distances, distanceBits, entry);
        if (decoded == kInputEnded) return FinishAtInputEnd();
        if (decoded == kInvalidCode) return kInflateBadData;
        if (!Need(entry.operation)) return FinishAtInputEnd();
        const uint32_t distance = entry.value + static_cast<uint32_t>(bitBuffer_ & kBitMask[entry.operation]);
        Drop(entry.operation);
        // Only bytes this member wrote may be copied.
        if (distance > (windowFilled_ ? kWindowSize : windowPosition_)) return kInflateBadData;

        // The history is contiguous before the window (see inflate.h), so the
        // source of every part is `distance` bytes back in the buffer.
        while (length > 0) {
            const uint32_t run = std::min<uint32_t>(length, kWindowSize - windowPosition_);
            CopyForward(window_ + windowPosition_, window_ + windowPosition_ - distance, run);
            windowPosition_ += run;
            length -= run;
            if (windowPosition_ == kWindowSize) {
                const int result = WrapWindow();
                if (result != kInflateOk) return result;
            }
        }
    }
}

}  // namespace tovra::codecs
