// unshrink_reference.h - the first unshrink decoder, kept unchanged as the
// reference the shipped one is compared with: same result codes, same bytes
// handed to the sink, the same flushes, on every input. Simple rather than
// fast: a stack per string, a walk of the child list per node added.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>

#include "codecs/codec_io.h"
#include "codecs/legacy_bit_input.h"
#include "codecs/unshrink.h"

namespace tovra::test {
namespace unshrink_reference {

using namespace tovra::codecs;

inline constexpr uint16_t kNone = 0xFFFF;
inline constexpr uint16_t kEndOfChain = kShrinkControlCode;
inline constexpr unsigned kFirstFreeNode = kShrinkControlCode + 1;

struct ShrinkTable {
    uint16_t parent[kShrinkNodes];
    uint16_t sibling[kShrinkNodes];
    uint16_t child[kShrinkNodes];
    uint8_t byte[kShrinkNodes];
    uint8_t stack[kShrinkNodes];
    uint16_t work[kShrinkNodes];  // list heads still to visit in a partial clear
};

class Decoder {
public:
    Decoder(ShrinkTable& t, LegacyBitInput& in, CodecSink& sink, uint8_t* window)
        : t_(t), in_(in), sink_(sink), window_(window) {}

    void Clear() {
        for (unsigned i = 0; i < 256; ++i) {
            t_.parent[i] = kEndOfChain;
            t_.sibling[i] = static_cast<uint16_t>(i + 1);
            t_.child[i] = kNone;
            t_.byte[i] = static_cast<uint8_t>(i);
        }
        t_.sibling[255] = kNone;
        t_.parent[kShrinkControlCode] = kNone;
        t_.sibling[kShrinkControlCode] = kNone;
        t_.child[kShrinkControlCode] = kNone;
        t_.byte[kShrinkControlCode] = 0;
        // The shipped decoder clears these on a thread team for large ranges;
        // one thread gives the same table.
        uint16_t* const parent = t_.parent;
        uint16_t* const sibling = t_.sibling;
        uint16_t* const child = t_.child;
        uint8_t* const byte = t_.byte;
        constexpr int first = static_cast<int>(kFirstFreeNode);
        constexpr int end = static_cast<int>(kShrinkNodes);
        for (int i = first; i < end; ++i) {
            parent[i] = kNone;
            sibling[i] = kNone;
            child[i] = kNone;
            byte[i] = 0;
        }
        lastAllocated_ = kShrinkControlCode;
    }

    int Run() {
        uint32_t code;
        if (!in_.Have(codeBits_)) return Finish();
        code = in_.Peek(codeBits_);
        in_.Drop(codeBits_);
        // The first code starts the previous string; only a literal can.
        if (code >= 256) return kUnshrinkBadData;
        stackTop_ = kShrinkNodes - 1;
        t_.stack[stackTop_] = static_cast<uint8_t>(code);
        int result = Output(t_.stack + stackTop_, 1);
        if (result != 0) return result;
        previous_ = code;

        for (;;) {
            if (!in_.Have(codeBits_)) return Finish();
            code = in_.Peek(codeBits_);
            in_.Drop(codeBits_);
            if (code == kShrinkControlCode) {
                if (!in_.Have(codeBits_)) return Finish();
                const uint32_t sub = in_.Peek(codeBits_);
                in_.Drop(codeBits_);
                if (sub == 1) {
                    if (++codeBits_ > kShrinkMaxCodeBits) return kUnshrinkBadData;
                } else if (sub == 2) {
                    if (!PartialClear()) return kUnshrinkBadData;
                }
                continue;
            }
            if (!Produce(code)) return kUnshrinkBadData;
            result = Output(t_.stack + stackTop_, kShrinkNodes - stackTop_);
            if (result != 0) return result;
            if (!AddNode(t_.stack[stackTop_])) return kUnshrinkBadData;
            previous_ = code;
        }
    }

private:
    // Puts the string of `code` on the stack (its first byte at stackTop_).
    bool Produce(uint32_t code) {
        if (t_.parent[code] == kNone) {
            // Not yet defined: the previous string, still on the stack, and
            // its first byte once more.
            const unsigned length = kShrinkNodes - stackTop_;
            if (stackTop_ == 0) return false;
            std::memmove(t_.stack + stackTop_ - 1, t_.stack + stackTop_, length);
            t_.stack[kShrinkNodes - 1] = t_.stack[stackTop_ - 1];
            --stackTop_;
            return true;
        }
        unsigned top = kShrinkNodes;
        for (uint32_t node = code; node != kEndOfChain; node = t_.parent[node]) {
            if (top == 0 || t_.parent[node] == kNone) return false;
            t_.stack[--top] = t_.byte[node];
        }
        stackTop_ = top;
        return true;
    }

    // Defines the previous string plus `first` in the next free node. A full
    // table defines nothing. False when the previous node's child list loops.
    bool AddNode(uint8_t first) {
        unsigned node = lastAllocated_ + 1;
        while (node < kShrinkNodes && t_.parent[node] != kNone) ++node;
        if (node >= kShrinkNodes) {
            lastAllocated_ = kShrinkNodes - 1;
            return true;
        }
        lastAllocated_ = node;
        const uint16_t under = static_cast<uint16_t>(previous_);
        if (t_.child[under] == kNone) {
            t_.child[under] = static_cast<uint16_t>(node);
            if (t_.parent[under] == kNone) t_.sibling[under] = kEndOfChain;
        } else {
            uint16_t last = t_.child[under];
            for (unsigned steps = 0; t_.sibling[last] != kNone && t_.sibling[last] != kEndOfChain; ++steps) {
                if (steps >= kShrinkNodes || last == node) return false;
                last = t_.sibling[last];
            }
            if (last == node) return false;
            t_.sibling[last] = static_cast<uint16_t>(node);
        }
        t_.byte[node] = first;
        t_.parent[node] = under;
        if (t_.sibling[node] != kEndOfChain) t_.child[node] = kNone;
        t_.sibling[node] = kNone;
        return true;
    }

    // Frees every node without children that is not a root, in the lists
    // reachable from the roots. A node is judged by the child link it had
    // when its own list is visited, so a node whose children all go now stays
    // until a later clear.
    bool PartialClear() {
        unsigned pending = 0;
        unsigned visited = 0;
        // The root list first (roots are never freed), then the child list
        // of every node kept, each taken from the work list by its owner.
        for (uint16_t root = 0; root < 256; ++root) {
            if (t_.child[root] != kNone) t_.work[pending++] = root;
        }
        while (pending > 0) {
            const uint16_t owner = t_.work[--pending];
            uint16_t keptBefore = kNone;
            for (uint16_t node = t_.child[owner]; node != kNone && node != kEndOfChain;) {
                if (++visited > kShrinkNodes || node >= kShrinkNodes) return false;
                const uint16_t next = t_.sibling[node] == kEndOfChain ? kNone : t_.sibling[node];
                if (t_.child[node] == kNone) {
                    if (keptBefore == kNone) {
                        t_.child[owner] = next;
                    } else {
                        t_.sibling[keptBefore] = next;
                    }
                    t_.parent[node] = kNone;
                    t_.sibling[node] = kNone;
                } else {
                    keptBefore = node;
                    if (pending >= kShrinkNodes) return false;
                    t_.work[pending++] = node;
                }
                node = next;
            }
        }
        lastAllocated_ = kShrinkControlCode;
        return true;
    }

    int Output(const uint8_t* data, size_t n) {
        while (n > 0) {
            const size_t run = std::min(n, kWindowSize - position_);
            std::memcpy(window_ + position_, data, run);
            position_ += run;
            data += run;
            n -= run;
            if (position_ == kWindowSize) {
                position_ = 0;
                const int result = sink_.FlushWindow(window_, kWindowSize);
                if (result != 0) return result;
            }
        }
        return 0;
    }

public:
    int Finish() {
        const size_t left = position_;
        position_ = 0;
        return sink_.FlushWindow(window_, left);
    }

private:
    ShrinkTable& t_;
    LegacyBitInput& in_;
    CodecSink& sink_;
    uint8_t* const window_;
    int codeBits_ = kShrinkMinCodeBits;
    unsigned lastAllocated_ = kShrinkControlCode;
    unsigned stackTop_ = kShrinkNodes;
    uint32_t previous_ = 0;
    size_t position_ = 0;
};

}  // namespace unshrink_reference

// Unshrinker's interface and results, decoded the reference way.
inline int ReferenceUnshrink(codecs::CodecSource& source, codecs::CodecSink& sink, uint8_t* window) {
    using namespace unshrink_reference;
    std::unique_ptr<ShrinkTable> table(new (std::nothrow) ShrinkTable);
    if (!table) return kUnshrinkNoMemory;
    LegacyBitInput in(source);
    Decoder decoder(*table, in, sink, window);
    decoder.Clear();
    const int result = decoder.Run();
    if (result != kUnshrinkBadData) return result;
    const int flushed = decoder.Finish();
    return flushed != 0 ? flushed : result;
}

}  // namespace tovra::test
