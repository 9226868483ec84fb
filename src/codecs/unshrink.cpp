// unshrink.cpp - dynamic LZW decoding with partial clearing.
//
// Code table: node i stands for code i.
//   parent   node of the string without its last byte; kEndOfChain (256) for
//            the 256 roots; kNone for a free node.
//   sibling  next node with the same parent (roots: the next root); kNone
//            after the last. A free node that received a child while free
//            holds kEndOfChain here as a marker, so that the child stays
//            linked under it when the node is taken again.
//   child    first node whose parent is this one, kNone when there is none.
//   byte     the string's last byte.
// Node 256 is never a string: code 256 is the control code (followed by 1:
// the code size grows; 2: partial clear). lastAllocated_ is the node taken
// last; the next free node is searched upwards from the one after it, and
// the table is full when none is left below 8192: codes are then read and
// output, but define nothing until a partial clear frees nodes.
//
// Strings are produced on a decode stack of 8192 bytes, filled downwards, so
// its top holds the last string produced: a code that is not yet defined
// (the string being defined by this very step) is the previous string plus
// its own first byte. Every walk is bounded: a parent chain longer than the
// stack, or one that meets a free node, is damaged data, and so is a code
// size beyond 13 bits or a child list longer than the table.
#include "codecs/unshrink.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

#include "codecs/legacy_bit_input.h"

namespace tovra::codecs {
namespace {

constexpr uint16_t kNone = 0xFFFF;
constexpr uint16_t kEndOfChain = kShrinkControlCode;
constexpr unsigned kFirstFreeNode = kShrinkControlCode + 1;
// Nodes from which clearing on several threads pays for starting them: one
// thread clears about a million nodes in the time a team takes to start.
constexpr int kParallelClearNodes = 1 << 20;

// parent and byte side by side: the string walk reads both per step.
struct ShrinkLink {
    uint16_t parent;
    uint8_t byte;
};

struct ShrinkTable {
    ShrinkLink link[kShrinkNodes];
    uint16_t sibling[kShrinkNodes];
    uint16_t child[kShrinkNodes];
    // The last node of the child list; exact whenever child is not kNone.
    uint16_t lastChild[kShrinkNodes];
    // The length the node's string had when the node was defined. Only a
    // guess once its chain may have changed (a reused parent): every use is
    // checked against the chain itself.
    uint16_t length[kShrinkNodes];
    uint8_t stack[kShrinkNodes];
    uint16_t work[kShrinkNodes];  // list heads still to visit in a partial clear
};

class Decoder {
public:
    Decoder(ShrinkTable& t, LegacyBitInput& in, CodecSink& sink, uint8_t* window)
        : t_(t), in_(in), sink_(sink), window_(window) {}

    void Clear() {
        for (unsigned i = 0; i < 256; ++i) {
            t_.link[i] = {kEndOfChain, static_cast<uint8_t>(i)};
            t_.sibling[i] = static_cast<uint16_t>(i + 1);
            t_.child[i] = kNone;
            t_.lastChild[i] = kNone;
            t_.length[i] = 1;
        }
        t_.sibling[255] = kNone;
        t_.link[kShrinkControlCode] = {kNone, 0};
        t_.sibling[kShrinkControlCode] = kNone;
        t_.child[kShrinkControlCode] = kNone;
        t_.lastChild[kShrinkControlCode] = kNone;
        t_.length[kShrinkControlCode] = 0;
        // lastChild and length of nodes 257 up are set when they are needed:
        // on a node's first child and when it is defined.
        // The one parallel loop of the library: iterations write only their
        // own node, so nothing needs a lock; the threads are joined at its end.
        // Starting the team costs milliseconds of CPU time on a busy machine
        // (the workers spin before they sleep), while clearing a table of
        // 8192 nodes on one thread takes microseconds: the loop runs on
        // several threads only for a range of kParallelClearNodes or more.
        ShrinkLink* const link = t_.link;
        uint16_t* const sibling = t_.sibling;
        uint16_t* const child = t_.child;
        constexpr int first = static_cast<int>(kFirstFreeNode);
        constexpr int end = static_cast<int>(kShrinkNodes);
#pragma omp parallel for schedule(static) if (end - first >= kParallelClearNodes)
        for (int i = first; i < end; ++i) {
            link[i] = {kNone, 0};
            sibling[i] = kNone;
            child[i] = kNone;
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
        window_[position_] = static_cast<uint8_t>(code);
        int result = Advance(window_ + position_, 1);
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
            const unsigned previousLength = stringLength_;
            result = Produce(code);
            if (result != 0) return result;
            AddNode(string_[0], previousLength + 1);
            previous_ = code;
        }
    }

private:
    // Produces the string of `code` and hands it to the output; string_ and
    // stringLength_ then describe it. Strings that fit before the window's
    // end are written there directly, the chain walked backwards from the
    // string's last byte; the rest go through the decode stack.
    int Produce(uint32_t code) {
        if (t_.link[code].parent == kNone) {
            // Not yet defined: the previous string and its first byte once
            // more. The previous string is still where it was produced:
            // nothing is written between two strings.
            if (stringLength_ == kShrinkNodes) return kUnshrinkBadData;
            const unsigned length = stringLength_ + 1;
            const uint8_t first = string_[0];
            if (position_ + length <= kWindowSize) {
                // A previous string in the window ends at position_, or at
                // the window's end when a flush came after it; either way it
                // lies clear of the bytes written here.
                uint8_t* const out = window_ + position_;
                std::memcpy(out, string_, stringLength_);
                out[stringLength_] = first;
                return Advance(out, length);
            }
            uint8_t* const top = t_.stack + kShrinkNodes - length;
            std::memmove(top, string_, stringLength_);
            t_.stack[kShrinkNodes - 1] = first;
            return Spill(top, length);
        }
        const unsigned guess = t_.length[code];
        if (guess <= kShrinkNodes && position_ + guess <= kWindowSize) {
            uint8_t* const start = window_ + position_;
            uint8_t* out = start + guess;
            uint32_t node = code;
            // Node 256 reads as free, so a chain shorter than the guess
            // stops here as well as one that meets a free node.
            do {
                const ShrinkLink link = t_.link[node];
                if (link.parent == kNone) break;
                *--out = link.byte;
                node = link.parent;
            } while (out != start);
            if (out == start && node == kEndOfChain) return Advance(start, guess);
        }
        unsigned top = kShrinkNodes;
        for (uint32_t node = code; node != kEndOfChain; node = t_.link[node].parent) {
            if (top == 0 || t_.link[node].parent == kNone) return kUnshrinkBadData;
            t_.stack[--top] = t_.link[node].byte;
        }
        t_.length[code] = static_cast<uint16_t>(kShrinkNodes - top);
        return Spill(t_.stack + top, kShrinkNodes - top);
    }

    // Defines the previous string plus `first` (`length` bytes in all) in
    // the next free node. A full table defines nothing.
    //
    // Every node in a child list has a parent, and every node with a parent
    // is in exactly the list of its parent: nodes are linked when they are
    // taken and unlinked when they are freed. So a child list never holds
    // the free node taken here, never loops, and its last node is the one
    // lastChild remembers.
    void AddNode(uint8_t first, unsigned length) {
        unsigned node = lastAllocated_ + 1;
        while (node < kShrinkNodes && t_.link[node].parent != kNone) ++node;
        if (node >= kShrinkNodes) {
            lastAllocated_ = kShrinkNodes - 1;
            return;
        }
        lastAllocated_ = node;
        const uint16_t under = static_cast<uint16_t>(previous_);
        if (t_.child[under] == kNone) {
            t_.child[under] = static_cast<uint16_t>(node);
            if (t_.link[under].parent == kNone) t_.sibling[under] = kEndOfChain;
        } else {
            t_.sibling[t_.lastChild[under]] = static_cast<uint16_t>(node);
        }
        t_.lastChild[under] = static_cast<uint16_t>(node);
        t_.link[node] = {under, first};
        if (t_.sibling[node] != kEndOfChain) t_.child[node] = kNone;
        t_.sibling[node] = kNone;
        t_.length[node] = static_cast<uint16_t>(std::min<unsigned>(length, 0xFFFF));
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
                    t_.link[node].parent = kNone;
                    t_.sibling[node] = kNone;
                } else {
                    keptBefore = node;
                    if (pending >= kShrinkNodes) return false;
                    t_.work[pending++] = node;
                }
                node = next;
            }
            t_.lastChild[owner] = keptBefore;
        }
        lastAllocated_ = kShrinkControlCode;
        return true;
    }

    // The string of n bytes just written at the window's position_.
    int Advance(uint8_t* data, size_t n) {
        string_ = data;
        stringLength_ = static_cast<unsigned>(n);
        position_ += n;
        if (position_ < kWindowSize) return 0;
        position_ = 0;
        return sink_.FlushWindow(window_, kWindowSize);
    }

    // Copies the string of n bytes on the stack to the window, flushing
    // every full window.
    int Spill(const uint8_t* data, size_t n) {
        string_ = data;
        stringLength_ = static_cast<unsigned>(n);
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
    // The string produced last: in the window or on the stack.
    const uint8_t* string_ = nullptr;
    unsigned stringLength_ = 0;
    uint32_t previous_ = 0;
    size_t position_ = 0;
};

}  // namespace

Unshrinker::Unshrinker(CodecSource& source, CodecSink& sink, uint8_t* window)
    : source_(source), sink_(sink), window_(window) {}

int Unshrinker::Unshrink() {
    std::unique_ptr<ShrinkTable> table(new (std::nothrow) ShrinkTable);
    if (!table) return kUnshrinkNoMemory;
    LegacyBitInput in(source_);
    Decoder decoder(*table, in, sink_, window_);
    decoder.Clear();
    const int result = decoder.Run();
    if (result != kUnshrinkBadData) return result;
    // What was decoded before the damage still goes out.
    const int flushed = decoder.Finish();
    return flushed != 0 ? flushed : result;
}

}  // namespace tovra::codecs
