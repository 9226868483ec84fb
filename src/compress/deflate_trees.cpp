// deflate_trees.cpp - Huffman tree building for the compressor: code lengths
// from frequencies over a binary heap (with its fixed tie order), the length
// limit with its overflow correction, canonical codes, and the run-length
// coding of the two trees' code lengths through the bit-length tree.
#include <algorithm>

#include "compress/deflate.h"

namespace tovra::compress {
namespace {

// The walk over a tree's code lengths 0..maxCode that both counts and sends
// them: runs of one length become plain lengths or repeat codes 16 (repeat
// the previous length 3-6 times), 17 (3-10 zeros) and 18 (11-138 zeros).
template <typename Sink>
void WalkLengths(const uint8_t* len, int maxCode, Sink&& sink) {
    int prevLen = -1;
    int nextLen = len[0];
    int count = 0;
    int maxCount = 7;
    int minCount = 4;
    if (nextLen == 0) {
        maxCount = 138;
        minCount = 3;
    }
    for (int n = 0; n <= maxCode; ++n) {
        const int curLen = nextLen;
        nextLen = n < maxCode ? len[n + 1] : -1;  // -1: no length follows the last
        if (++count < maxCount && curLen == nextLen) continue;
        if (count < minCount) {
            sink.Plain(curLen, count);
        } else if (curLen != 0) {
            if (curLen != prevLen) {
                sink.Plain(curLen, 1);
                --count;
            }
            sink.Repeat(kRep3To6, count - 3, 2);
        } else if (count <= 10) {
            sink.Repeat(kRepZero3To10, count - 3, 3);
        } else {
            sink.Repeat(kRepZero11To138, count - 11, 7);
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

}  // namespace

namespace {

constexpr int kNodeShift = 0;
constexpr int kDepthShift = 10;
constexpr int kFreqShift = 18;
static_assert(kHeapSize <= (1 << kDepthShift), "node numbers fit below the depth");
constexpr uint64_t HeapEntry(uint64_t freq, uint32_t depth, int node) {
    return freq << kFreqShift | uint64_t{depth} << kDepthShift | static_cast<uint64_t>(node) << kNodeShift;
}
constexpr int NodeOf(uint64_t e) { return static_cast<int>(e & ((1u << kDepthShift) - 1)); }
constexpr uint32_t DepthOf(uint64_t e) { return static_cast<uint32_t>(e >> kDepthShift) & 0xFF; }
constexpr uint64_t FreqOf(uint64_t e) { return e >> kFreqShift; }
// a comes before b: smaller frequency, or equal frequency and smaller or
// equal depth.
constexpr bool Smaller(uint64_t a, uint64_t b) { return (a >> kDepthShift) <= (b >> kDepthShift); }

}  // namespace

void Deflater::PushDownHeap(int k) {
    const uint64_t v = heap_[k];
    int j = k << 1;
    while (j <= heapLength_) {
        if (j < heapLength_ && Smaller(heap_[j + 1], heap_[j])) ++j;
        if (Smaller(v, heap_[j])) break;
        heap_[k] = heap_[j];
        k = j;
        j <<= 1;
    }
    heap_[k] = v;
}

void Deflater::BuildTree(Tree& tree, int elems, const uint8_t* fixedLengths, const uint8_t* extraBits, int extraBase,
                         int maxLength) {
    int maxCode = -1;
    int node = elems;  // internal nodes are numbered upwards from here
    heapLength_ = 0;
    heapMax_ = kHeapSize;
    for (int n = 0; n < elems; ++n) {
        if (tree.freq[n] != 0) {
            heap_[++heapLength_] = HeapEntry(tree.freq[n], 0, n);
            maxCode = n;
        } else {
            tree.len[n] = 0;
        }
    }
    // A code needs two symbols: add dummies of frequency 1 that are never sent
    // (their cost is taken back from the bit counts).
    while (heapLength_ < 2) {
        const int added = maxCode < 2 ? ++maxCode : 0;
        heap_[++heapLength_] = HeapEntry(1, 0, added);
        tree.freq[added] = 1;
        --dynamicBits_;
        if (fixedLengths != nullptr) fixedBits_ -= fixedLengths[added];
    }
    tree.maxCode = maxCode;

    for (int n = heapLength_ / 2; n >= 1; --n) PushDownHeap(n);

    // Combine the two least frequent nodes until one is left; every node taken
    // off the heap is recorded at its top end, smallest first.
    do {
        const uint64_t n = heap_[1];
        heap_[1] = heap_[heapLength_--];
        PushDownHeap(1);
        const uint64_t m = heap_[1];
        heap_[--heapMax_] = n;
        heap_[--heapMax_] = m;
        tree.dad[NodeOf(n)] = tree.dad[NodeOf(m)] = static_cast<uint16_t>(node);
        const uint32_t depth = (std::max(DepthOf(n), DepthOf(m)) + 1) & 0xFF;
        heap_[1] = HeapEntry(FreqOf(n) + FreqOf(m), depth, node++);
        PushDownHeap(1);
    } while (heapLength_ >= 2);
    heap_[--heapMax_] = heap_[1];

    GenerateBitLengths(tree, elems, fixedLengths, extraBits, extraBase, maxLength);
    GenerateCodes(tree);
}

void Deflater::GenerateBitLengths(Tree& tree, int elems, const uint8_t* fixedLengths, const uint8_t* extraBits,
                                  int extraBase, int maxLength) {
    (void)elems;
    std::fill(std::begin(bitLengthCount_), std::end(bitLengthCount_), uint16_t{0});
    // From the root down, in the reverse of the recording order, every node is
    // one deeper than its parent; depths beyond the limit are cut and counted.
    tree.len[NodeOf(heap_[heapMax_])] = 0;
    int overflow = 0;
    for (int h = heapMax_ + 1; h < kHeapSize; ++h) {
        const int n = NodeOf(heap_[h]);
        int bits = tree.len[tree.dad[n]] + 1;
        if (bits > maxLength) {
            bits = maxLength;
            ++overflow;
        }
        tree.len[n] = static_cast<uint8_t>(bits);
        if (n > tree.maxCode) continue;  // internal node
        ++bitLengthCount_[bits];
        const int xbits = n >= extraBase ? extraBits[n - extraBase] : 0;
        const int64_t f = tree.freq[n];
        dynamicBits_ += f * (bits + xbits);
        if (fixedLengths != nullptr) fixedBits_ += f * (fixedLengths[n] + xbits);
    }
    if (overflow == 0) return;

    // Make the counts a valid code again: move a leaf from the deepest length
    // below the limit down one level, where it pairs with a leaf from the limit.
    do {
        int bits = maxLength - 1;
        while (bitLengthCount_[bits] == 0) --bits;
        --bitLengthCount_[bits];
        bitLengthCount_[bits + 1] = static_cast<uint16_t>(bitLengthCount_[bits + 1] + 2);
        --bitLengthCount_[maxLength];
        overflow -= 2;
    } while (overflow > 0);

    // Hand the lengths out again, longest first, to the leaves in recording
    // order (least frequent first), correcting the cost of every changed leaf.
    int h = kHeapSize;
    for (int bits = maxLength; bits != 0; --bits) {
        int n = bitLengthCount_[bits];
        while (n != 0) {
            const int m = NodeOf(heap_[--h]);
            if (m > tree.maxCode) continue;
            if (tree.len[m] != bits) {
                dynamicBits_ += (int64_t{bits} - tree.len[m]) * int64_t{tree.freq[m]};
                tree.len[m] = static_cast<uint8_t>(bits);
            }
            --n;
        }
    }
}

void Deflater::GenerateCodes(Tree& tree) {
    uint32_t nextCode[kMaxBits + 1] = {};
    uint32_t code = 0;
    for (int bits = 1; bits <= kMaxBits; ++bits) {
        code = (code + bitLengthCount_[bits - 1]) << 1;
        nextCode[bits] = code;
    }
    for (int n = 0; n <= tree.maxCode; ++n) {
        const int len = tree.len[n];
        if (len == 0) continue;
        tree.code[n] = static_cast<uint16_t>(ReverseBits(nextCode[len]++, len));
    }
}

void Deflater::ScanTree(const Tree& tree) {
    struct Counter {
        Tree& bl;
        void Plain(int len, int times) { bl.freq[len] += static_cast<uint32_t>(times); }
        void Repeat(int symbol, int, int) { ++bl.freq[symbol]; }
    };
    WalkLengths(tree.len, tree.maxCode, Counter{bitLen_});
}

void Deflater::SendTree(const Tree& tree) {
    struct Sender {
        Deflater& d;
        void Plain(int len, int times) {
            while (times-- > 0) d.SendCode(len, d.bitLen_);
        }
        void Repeat(int symbol, int value, int bits) {
            d.SendCode(symbol, d.bitLen_);
            d.out_.SendBits(static_cast<uint32_t>(value), bits);
        }
    };
    WalkLengths(tree.len, tree.maxCode, Sender{*this});
}

// Builds the bit-length tree over both trees' run-length coded lengths and
// returns the index (in the send order) of the last bit-length code to send,
// at least 3. Adds the cost of the tree description to the dynamic count.
int Deflater::BuildBitLengthTree() {
    ScanTree(litLen_);
    ScanTree(dist_);
    BuildTree(bitLen_, kBitLengthCodes, nullptr, kExtraBitLengthBits.data(), 0, kMaxBitLengthBits);
    int maxIndex;
    for (maxIndex = kBitLengthCodes - 1; maxIndex >= 3; --maxIndex) {
        if (bitLen_.len[kBitLengthOrder[maxIndex]] != 0) break;
    }
    dynamicBits_ += 3 * (maxIndex + 1) + 5 + 5 + 4;
    return maxIndex;
}

void Deflater::SendAllTrees(int litLenCodes, int distCodes, int blCodes) {
    out_.SendBits(static_cast<uint32_t>(litLenCodes - 257), 5);
    out_.SendBits(static_cast<uint32_t>(distCodes - 1), 5);
    out_.SendBits(static_cast<uint32_t>(blCodes - 4), 4);
    for (int rank = 0; rank < blCodes; ++rank) out_.SendBits(bitLen_.len[kBitLengthOrder[rank]], 3);
    SendTree(litLen_);
    SendTree(dist_);
}

int64_t Deflater::BuildCodeLengths(const uint32_t* freq, int count, int maxLength, uint8_t* lengths) {
    static const uint8_t kNoExtraBits[kLitLenCodes] = {};
    std::copy(freq, freq + count, litLen_.freq);
    dynamicBits_ = 0;
    BuildTree(litLen_, count, nullptr, kNoExtraBits, 0, maxLength);
    std::copy(litLen_.len, litLen_.len + count, lengths);
    const int64_t cost = dynamicBits_;
    InitBlock();
    return cost;
}

}  // namespace tovra::compress
