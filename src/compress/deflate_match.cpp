// deflate_match.cpp - the LZ77 side of the compressor: the sliding window and
// its refill, the hash chains, the longest-match search (reference and fast),
// the fast matcher of levels 1-3, the lazy matcher of levels 4-9 and the
// recording of literals and matches with its flush points.
#include <algorithm>
#include <bit>
#include <cstring>

#include "compress/deflate.h"

namespace tovra::compress {
namespace {

static_assert(std::endian::native == std::endian::little, "the 8-byte match comparison assumes little-endian loads");

inline uint16_t Load16(const uint8_t* p) {
    uint16_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

inline uint64_t Load64(const uint8_t* p) {
    uint64_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

// Length of the common prefix of a and b, at most kMaxMatch, given that their
// first two bytes agree. Compares eight bytes per step; the last step ends
// exactly at byte kMaxMatch - 1, so nothing past a[kMaxMatch - 1] is read.
constexpr uint32_t kCompareStep = 8;
static_assert((kMaxMatch - 2) % kCompareStep == 0, "the last 8-byte step must end at the longest match");

inline uint32_t CommonPrefix(const uint8_t* a, const uint8_t* b) {
    for (uint32_t len = 2; len < kMaxMatch; len += kCompareStep) {
        uint64_t diff = Load64(a + len) ^ Load64(b + len);
        if (diff != 0) return len + (static_cast<uint32_t>(std::countr_zero(diff)) >> 3);
    }
    return kMaxMatch;
}

}  // namespace

// Searches the hash chain from `curMatch` for a match longer than
// `prevLength` at `pos`. Candidates are followed while they lie less than
// kMaxDist back and the chain budget lasts; the first candidate that sets a
// new best length wins (`matchStart`), and reaching niceLength_ ends the
// search. Returns the best length, which may run past the lookahead.
// kDeepLinks: the chains are deepLinks_ (lazy matcher), else prev_.
template <bool kReference, bool kDeepLinks>
uint32_t Deflater::LongestMatch(uint32_t curMatch, uint32_t pos, uint32_t prevLength, uint32_t& matchStart) const {
    uint32_t chain = chainLimit_;
    const uint8_t* const scan = window_ + pos;
    uint32_t best = prevLength;
    const uint32_t limit = pos > kMaxDist ? pos - kMaxDist : 0;
    if (prevLength >= goodLength_) chain >>= 2;

    // The nearest link of position p in the matcher's table.
    const auto prevLink = [this](uint32_t p) -> uint32_t {
        if constexpr (kDeepLinks) {
            return deepLinks_[(p & kWindowMask) * kLinkDepth];
        } else {
            return prev_[p & kWindowMask];
        }
    };
    if constexpr (kReference) {
        do {
            const uint8_t* match = window_ + curMatch;
            if (match[best] != scan[best] || match[best - 1] != scan[best - 1] || match[0] != scan[0] ||
                match[1] != scan[1]) {
                continue;
            }
            uint32_t len = 2;
            while (len < kMaxMatch && scan[len] == match[len]) ++len;
            if (len > best) {
                matchStart = curMatch;
                best = len;
                if (len >= niceLength_) break;
            }
        } while ((curMatch = prevLink(curMatch)) > limit && --chain != 0);
    } else {
        // The same test as above, two bytes at a time: a candidate can beat
        // `best` only if it agrees at 0, 1, best - 1 and best. The links are
        // loaded before the test so the walk does not wait for its outcome.
        const uint8_t* const window = window_;
        const uint16_t scanStart = Load16(scan);
        uint16_t scanEnd = Load16(scan + best - 1);
        const uint8_t* windowEnd = window + best - 1;
        const uint32_t nice = niceLength_;
        // Tests one candidate; true when the search is over.
        const auto reachesNice = [&](uint32_t candidate) {
            if (Load16(windowEnd + candidate) != scanEnd || Load16(window + candidate) != scanStart) return false;
            const uint32_t len = CommonPrefix(scan, window + candidate);
            if (len <= best) return false;
            matchStart = candidate;
            best = len;
            if (len >= nice) return true;
            scanEnd = Load16(scan + best - 1);
            windowEnd = window + best - 1;
            return false;
        };
        if constexpr (kDeepLinks) {
            // Four candidates per load of an entry: the walk's chain of
            // dependent loads is a quarter as long. Same candidates, same
            // order, same budget.
            static_assert(kLinkDepth == 4, "one entry names the next four candidates");
            for (;;) {
                const uint64_t link = LoadDeepLinks(curMatch);
                const uint32_t c1 = link & 0xFFFF;
                const uint32_t c2 = (link >> kLinkBits) & 0xFFFF;
                const uint32_t c3 = (link >> 2 * kLinkBits) & 0xFFFF;
                const uint32_t c4 = static_cast<uint32_t>(link >> 3 * kLinkBits);
                if (reachesNice(curMatch)) break;
                if (c1 <= limit || --chain == 0) break;
                if (reachesNice(c1)) break;
                if (c2 <= limit || --chain == 0) break;
                if (reachesNice(c2)) break;
                if (c3 <= limit || --chain == 0) break;
                if (reachesNice(c3)) break;
                if (c4 <= limit || --chain == 0) break;
                curMatch = c4;
            }
        } else {
            do {
                const uint32_t next = prevLink(curMatch);
                if (reachesNice(curMatch)) break;
                curMatch = next;
            } while (curMatch > limit && --chain != 0);
        }
    }
    return best;
}

void Deflater::SlideWindow() {
    std::memcpy(window_, window_ + kHalfWindow, kHalfWindow);
    // A match found one step before the slide may start up to kMaxDist back,
    // at 32767, which now lies one byte below the window: matchStart_ wraps
    // (to 2^32 - 1) so the distance taken by subtraction stays right.
    matchStart_ -= kHalfWindow;
    strStart_ -= kHalfWindow;
    blockStart_ -= kHalfWindow;
    // Positions that fall below the window become 0 (none), in the heads and
    // in the chains of the level's matcher (the other table is not in use).
    // Written as a saturating subtraction, which vectorises to one
    // instruction per eight positions.
    const auto down = [](uint16_t v) { return static_cast<uint16_t>(v > kHalfWindow ? v - kHalfWindow : 0); };
    for (uint16_t& h : head_) h = down(h);
    if (level_ <= kLastFastLevel) {
        for (uint16_t& p : prev_) p = down(p);
    } else {
        for (uint16_t& p : deepLinks_) p = down(p);
    }
}

// Match comparisons near the end of the input read up to kMaxMatch bytes past
// it, and the hash two; clearing those bytes keeps what they see (and so the
// output) independent of the member compressed before.
void Deflater::EndInput() {
    endOfInput_ = true;
    const uint32_t end = strStart_ + lookahead_;
    static_assert(kMaxMatch + kCompareStep <= kWindowPadding, "the cleared bytes lie inside the window's padding");
    std::memset(window_ + end, 0, kMaxMatch + kCompareStep);
}

void Deflater::FillWindow(DeflateHost& host) {
    uint32_t more = kWindowBytes - lookahead_ - strStart_;
    if (strStart_ >= kSlidePosition) {
        SlideWindow();
        more += kHalfWindow;
    }
    int32_t n = host.ReadInputBlock(window_ + strStart_ + lookahead_, more);
    if (n <= 0) {
        EndInput();
    } else {
        lookahead_ += std::min(static_cast<uint32_t>(n), more);
    }
}

bool Deflater::EstimateSaysFlush(uint32_t entries, uint32_t matches, uint32_t pos) const {
    uint64_t outLength = uint64_t{entries} * 8;
    for (int code = 0; code < kDistCodes; ++code) outLength += uint64_t{dist_.freq[code]} * (5u + kExtraDistBits[code]);
    outLength >>= 3;
    int64_t inLength = int64_t{pos} - blockStart_;
    return matches < entries / 2 && static_cast<int64_t>(outLength) < inLength / 2;
}

void Deflater::FlushCurrentBlock(bool last) {
    const uint8_t* bytes = blockStart_ >= 0 ? window_ + blockStart_ : nullptr;
    FlushBlock(bytes, static_cast<uint64_t>(int64_t{strStart_} - blockStart_), last);
    blockStart_ = strStart_;
}

// Levels 1-3: take the longest match at each position at once; inner
// positions of matches longer than lazyLimit_ are not entered into the
// chains. The position, lookahead and entry counts live in locals: the
// stores into the chains and the token buffer could otherwise alias the
// members and force them to be reloaded at every step. The members are
// brought up to date around the calls that read them (block flush, window
// refill).
template <bool kReference>
bool Deflater::DeflateFast(DeflateHost& host) {
    prevLength_ = kMinMatch - 1;
    uint32_t pos = strStart_;
    uint32_t lookahead = lookahead_;
    uint32_t entries = lastLit_;
    uint32_t matches = lastDist_;
    uint32_t matchStart = matchStart_;
    const uint32_t lazyLimit = lazyLimit_;
    const auto store = [&] {
        strStart_ = pos;
        lookahead_ = lookahead;
        lastLit_ = entries;
        lastDist_ = matches;
        matchStart_ = matchStart;
    };
    // The hash of pos. Every byte it reads is final: at the top of the loop
    // the lookahead is at least kMinLookahead, or the input has ended and the
    // bytes past it are zero.
    uint32_t hash = HashAt(pos);
    while (lookahead != 0) {
        const uint32_t chainHead = InsertString<false>(pos, hash);
        hash = NextHash(hash, pos);
        if constexpr (!kReference) PrefetchInsert(hash);
        uint32_t matchLength = 0;
        if (chainHead != 0 && pos - chainHead <= kMaxDist) {
            matchLength =
                std::min(LongestMatch<kReference, false>(chainHead, pos, kMinMatch - 1, matchStart), lookahead);
        }
        bool flush;
        if (matchLength >= kMinMatch) {
            flush = RecordMatch(entries, matches, pos, pos - matchStart, matchLength - kMinMatch);
            lookahead -= matchLength;
            if (matchLength <= lazyLimit) {
                for (uint32_t i = 1; i < matchLength; ++i) {
                    InsertString<false>(pos + i, hash);
                    hash = NextHash(hash, pos + i);
                }
                pos += matchLength;
            } else {
                // Past a longer match the hash restarts from the bytes at the
                // new position.
                pos += matchLength;
                hash = HashAt(pos);
            }
        } else {
            flush = RecordLiteral(entries, matches, pos, window_[pos]);
            --lookahead;
            ++pos;
        }
        if (flush) {
            store();
            FlushCurrentBlock(false);
            if (out_.Failed()) return false;
            entries = lastLit_;
            matches = lastDist_;
        }
        if (lookahead < kMinLookahead && !endOfInput_) {
            store();
            while (lookahead_ < kMinLookahead && !endOfInput_) FillWindow(host);
            pos = strStart_;
            lookahead = lookahead_;
            matchStart = matchStart_;
        }
    }
    store();
    return true;
}

// Levels 4-9: a match found at one position is held back for one step; if the
// next position has a longer match, the byte is sent as a literal instead.
// The loop state lives in locals as in DeflateFast.
template <bool kReference>
bool Deflater::DeflateLazy(DeflateHost& host) {
    bool matchAvailable = false;  // a literal at pos - 1 is pending
    uint32_t matchLength = kMinMatch - 1;
    uint32_t prevLength = prevLength_;
    uint32_t pos = strStart_;
    uint32_t lookahead = lookahead_;
    uint32_t entries = lastLit_;
    uint32_t matches = lastDist_;
    uint32_t matchStart = matchStart_;
    const uint32_t lazyLimit = lazyLimit_;
    const auto store = [&] {
        strStart_ = pos;
        lookahead_ = lookahead;
        lastLit_ = entries;
        lastDist_ = matches;
        matchStart_ = matchStart;
        prevLength_ = prevLength;
    };
    // Flushes the block; false when the output has failed.
    const auto flushBlock = [&] {
        store();
        FlushCurrentBlock(false);
        entries = lastLit_;
        matches = lastDist_;
        return !out_.Failed();
    };
    uint32_t hash = HashAt(pos);  // as in DeflateFast
    while (lookahead != 0) {
        const uint32_t chainHead = InsertString<true>(pos, hash);
        hash = NextHash(hash, pos);
        // Only the head: a hint for the head's links would first wait for
        // the head itself.
        if constexpr (!kReference) PrefetchLine(&head_[hash]);
        prevLength = matchLength;
        const uint32_t prevMatch = matchStart;
        matchLength = kMinMatch - 1;
        if (chainHead != 0 && prevLength < lazyLimit && pos - chainHead <= kMaxDist) {
            matchLength = std::min(LongestMatch<kReference, true>(chainHead, pos, prevLength, matchStart), lookahead);
            if (matchLength == kMinMatch && pos - matchStart > kTooFar) matchLength = kMinMatch - 1;
        }
        if (prevLength >= kMinMatch && matchLength <= prevLength) {
            const bool flush = RecordMatch(entries, matches, pos, pos - 1 - prevMatch, prevLength - kMinMatch);
            // The match began at pos - 1, whose position is in the chains;
            // enter the rest it covers.
            lookahead -= prevLength - 1;
            for (uint32_t i = prevLength - 2; i != 0; --i) {
                InsertString<true>(++pos, hash);
                hash = NextHash(hash, pos);
            }
            ++pos;
            matchAvailable = false;
            // The match just found is not valid at the new position.
            matchLength = kMinMatch - 1;
            if (flush && !flushBlock()) return false;
        } else if (matchAvailable) {
            if (RecordLiteral(entries, matches, pos, window_[pos - 1]) && !flushBlock()) return false;
            ++pos;
            --lookahead;
        } else {
            matchAvailable = true;
            ++pos;
            --lookahead;
        }
        if (lookahead < kMinLookahead && !endOfInput_) {
            store();
            while (lookahead_ < kMinLookahead && !endOfInput_) FillWindow(host);
            pos = strStart_;
            lookahead = lookahead_;
            matchStart = matchStart_;
        }
    }
    store();
    if (matchAvailable) TallyLiteral(window_[strStart_ - 1]);
    return true;
}

int Deflater::StartMatcher(DeflateHost& host, int level, uint16_t& flags) {
    if (level < kMinLevel || level > kMaxLevel) {
        error_ = {5, "bad pack level"};
        return error_.code;
    }
    host_ = &host;
    lineEndConversion_ = host.LineEndConversion();
    const LevelSettings& s = kLevelTable[level];
    flags = static_cast<uint16_t>(flags | s.flagBits);
    level_ = level;
    estimateBlocks_ = level > 2;
    goodLength_ = s.goodLength;
    lazyLimit_ = s.lazyLimit;
    niceLength_ = s.niceLength;
    chainLimit_ = s.chainLimit;

    std::memset(head_, 0, sizeof head_);
    strStart_ = 0;
    blockStart_ = 0;
    matchStart_ = 0;
    prevLength_ = kMinMatch - 1;
    lookahead_ = 0;
    endOfInput_ = false;

    int32_t n = host.ReadInputBlock(window_, kWindowBytes);
    if (n <= 0) {
        EndInput();
        return 0;
    }
    lookahead_ = std::min(static_cast<uint32_t>(n), kWindowBytes);
    while (lookahead_ < kMinLookahead && !endOfInput_) FillWindow(host);
    return 0;
}

int64_t Deflater::Compress(DeflateHost& host) {
    host_ = &host;
    bool finished;
    if (level_ <= kLastFastLevel) {
        finished = referenceMode_ ? DeflateFast<true>(host) : DeflateFast<false>(host);
    } else {
        finished = referenceMode_ ? DeflateLazy<true>(host) : DeflateLazy<false>(host);
    }
    if (finished) FlushCurrentBlock(true);
    if (out_.Failed()) {
        error_ = {5, "write error on zip file"};
        return -1;
    }
    return static_cast<int64_t>(compressedBits_ >> 3);
}

}  // namespace tovra::compress
