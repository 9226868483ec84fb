// name_matching.cpp - MatchPattern, the wildcard matcher of the archiving side
// (see name_matching.h).
//
// The walk goes through pattern and name together. At every position the rest
// of the pattern is first compared with the rest of the name as plain text
// (ASCII letters without case, other characters exactly): a pattern that
// spells a name with '[' or '?' in it literally matches that name. Otherwise
// the next pattern character decides: '?' takes one name character, '[...]'
// one character from a set, a literal character the same character (ASCII
// letters without case), '*' any run of characters.
//
// '*' is matched with one backtracking point, the most recent star: when the
// part after it fails, the star takes one more name character and the part is
// tried again. An earlier star is never revisited, because a later star that
// has been reached decides the whole match: the part after it either matches
// somewhere in the rest of the name, or the name runs out (give up), and in
// neither case can a longer run under the earlier star do better. That keeps
// the time at O(pattern x name) for any pattern (no exponential blow-up on
// "*a*a*a*a*b"), and the plain-text comparison costs O(1) except where the
// two rests have the same length, which happens at most once per pattern
// position. After the last star only the starts that leave the name no more
// characters than the pattern has bytes can match, so a short pattern tail
// against a long (hostile) member name costs one pass over the name.
//
// Every step goes by whole characters of the ANSI code page, so the second
// byte of a double-byte character is never taken for '*', '?', '[', ']', '\'
// or '-', and is never matched on its own.
#include "archive/name_matching.h"

#include <cstdint>
#include <cstring>

#include "platform/platform.h"

namespace tovra::archive {
namespace {

unsigned char FoldAscii(unsigned char c) { return (c >= 'a' && c <= 'z') ? static_cast<unsigned char>(c - 32) : c; }

// The character after p: ASCII steps one byte without asking the code page.
const char* Next(const char* p) {
    const auto c = static_cast<unsigned char>(*p);
    if (c == '\0') return p;
    if (c < 0x80) return p + 1;
    return platform::NextChar(p);
}

// True when the characters [a, aEnd) and [b, bEnd) are the same: one ASCII
// byte each, equal without case, or the same bytes otherwise.
bool SameCharacter(const char* a, const char* aEnd, const char* b, const char* bEnd) {
    if (aEnd - a != bEnd - b) return false;
    if (aEnd - a == 1) return FoldAscii(static_cast<unsigned char>(*a)) == FoldAscii(static_cast<unsigned char>(*b));
    return std::memcmp(a, b, static_cast<size_t>(aEnd - a)) == 0;
}

// True when the rest of the pattern equals the rest of the name as plain
// text. Equal texts have equal lengths (only ASCII letters are folded), so
// differing lengths answer at once.
bool RestsEqual(const char* p, const char* pEnd, const char* n, const char* nEnd) {
    if (pEnd - p != nEnd - n) return false;
    while (p < pEnd) {
        const char* pNext = Next(p);
        const char* nNext = Next(n);
        if (!SameCharacter(p, pNext, n, nNext)) return false;
        p = pNext;
        n = nNext;
    }
    return true;
}

// The value of the character [p, end) for set ranges: its bytes read big
// endian, so the order is the order of the code page (JIS order for Shift
// JIS, code point order for UTF-8).
uint32_t CharacterValue(const char* p, const char* end) {
    uint32_t value = 0;
    for (; p < end; ++p) value = (value << 8) | static_cast<unsigned char>(*p);
    return value;
}

// One character of a set at q, with '\' making the next character literal.
// Advances q past it.
uint32_t ReadSetCharacter(const char*& q) {
    if (*q == '\\' && q[1] != '\0') ++q;
    const char* end = Next(q);
    const uint32_t value = CharacterValue(q, end);
    q = end;
    return value;
}

// Matches the name character `c` against the set that starts at `open` (its
// '['). Returns the pattern position after the closing ']', or null when the
// set has none. *inSet tells whether c is in the set (negation applied).
const char* MatchSet(const char* open, uint32_t c, bool* inSet) {
    const char* q = open + 1;
    bool negated = false;
    if (*q == '^' || *q == '!') {
        negated = true;
        ++q;
    }
    bool found = false;
    for (;;) {
        if (*q == '\0') return nullptr;
        if (*q == ']') break;
        const uint32_t low = ReadSetCharacter(q);
        uint32_t high = low;
        if (*q == '-' && q[1] != ']' && q[1] != '\0') {
            ++q;
            high = ReadSetCharacter(q);
        }
        if (c >= low && c <= high) found = true;
    }
    *inSet = found != negated;
    return q + 1;
}

// A pattern byte that is a whole character matching only itself (a byte
// below 0x80 is never part of a double-byte character's start).
bool IsPlainAscii(char c) {
    const auto b = static_cast<unsigned char>(c);
    return b != '\0' && b < 0x80 && b != '*' && b != '?' && b != '[';
}

// True when nothing but stars is left of the pattern from p on.
bool OnlyStars(const char* p) {
    while (*p == '*') ++p;
    return *p == '\0';
}

// Where the tries of the star before `afterStar` may start in the name at n.
// After the last star of a pattern every element takes exactly one name
// character and at least one pattern byte, and a match through the rest
// comparison needs rests of equal length: either way the name can have no
// more characters left than the pattern has bytes left. Starts with more
// characters left can only fail, so they are skipped at once (a long name
// costs one count of its characters, not a try at every position).
const char* LastUsefulStart(const char* afterStar, const char* pEnd, const char* n) {
    if (std::strchr(afterStar, '*') != nullptr) return n;  // '*' is never a second byte
    const auto patternBytes = static_cast<size_t>(pEnd - afterStar);
    size_t characters = 0;
    for (const char* q = n; *q != '\0'; q = Next(q)) ++characters;
    for (; characters > patternBytes; --characters) n = Next(n);
    return n;
}

}  // namespace

int MatchPattern(const char* pattern, const char* name) {
    const char* pEnd = pattern + std::strlen(pattern);
    const char* nEnd = name + std::strlen(name);
    const char* p = pattern;
    const char* n = name;
    const char* afterStar = nullptr;  // pattern position after the most recent '*'
    const char* tryFrom = nullptr;    // name position its current try starts at

    for (;;) {
        if (RestsEqual(p, pEnd, n, nEnd)) return kMatchYes;
        bool advanced = false;
        if (p == pEnd) {
            if (n == nEnd) return kMatchYes;
        } else if (*p == '*') {
            if (OnlyStars(p)) return kMatchYes;
            if (n == nEnd) return kMatchGiveUp;
            afterStar = p + 1;
            tryFrom = LastUsefulStart(afterStar, pEnd, n);
            p = afterStar;
            n = tryFrom;
            continue;
        } else if (n != nEnd) {
            const char* nNext = Next(n);
            if (*p == '?') {
                p = p + 1;
                n = nNext;
                advanced = true;
            } else if (*p == '[') {
                bool inSet = false;
                const char* afterSet = MatchSet(p, CharacterValue(n, nNext), &inSet);
                if (afterSet != nullptr && inSet) {
                    p = afterSet;
                    n = nNext;
                    advanced = true;
                }
            } else if (IsPlainAscii(*p)) {
                // A run of plain ASCII on both sides moves in step, so the two
                // rests keep their difference in length, and a rest comparison
                // inside the run would give what the one before it gave.
                if (FoldAscii(static_cast<unsigned char>(*p)) == FoldAscii(static_cast<unsigned char>(*n))) {
                    do {
                        ++p;
                        ++n;
                    } while (IsPlainAscii(*p) &&
                             FoldAscii(static_cast<unsigned char>(*p)) == FoldAscii(static_cast<unsigned char>(*n)));
                    advanced = true;
                }
            } else {
                const char* pNext = Next(p);
                if (SameCharacter(p, pNext, n, nNext)) {
                    p = pNext;
                    n = nNext;
                    advanced = true;
                }
            }
        }
        if (advanced) continue;
        // This try failed: without a star that is the answer; with one, the
        // star takes one more character while the name has characters left.
        if (afterStar == nullptr) return kMatchNo;
        tryFrom = Next(tryFrom);
        if (tryFrom == nEnd) return kMatchGiveUp;
        p = afterStar;
        n = tryFrom;
    }
}

}  // namespace tovra::archive
