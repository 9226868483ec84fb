// Tests of MatchPattern: the plain-text rest rule, '?', '*', bracket sets,
// literal characters without ASCII case, the give-up result, double-byte
// names whose second byte looks like a special character, and the time taken
// by hostile patterns.
#include "archive/name_matching.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "support/code_page.h"

namespace tovra::archive {
namespace {

struct MatchCase {
    const char* pattern;
    const char* name;
    int expected;
};

// Cases that hold in any code page.
const MatchCase kCases[] = {
    // the rest of the pattern equal to the rest of the name, without case
    {"", "", kMatchYes},
    {"readme.txt", "README.TXT", kMatchYes},
    {"a[1].txt", "a[1].txt", kMatchYes},  // a set that spells the name literally
    {"what?", "what?", kMatchYes},
    // literal characters
    {"ab", "abc", kMatchNo},
    // '?'
    {"f?o", "foo", kMatchYes},
    {"f?o", "fo", kMatchNo},
    {"?", "", kMatchNo},
    // '*'
    {"*", "anything", kMatchYes},
    {"f*", "foo", kMatchYes},
    {"*.txt", "A.TXT", kMatchYes},
    {"*.txt", "a.txt.gz", kMatchGiveUp},
    {"a*.c", "abc.c", kMatchYes},
    {"a*.c", "a.c", kMatchYes},
    {"a*.c", "a.h", kMatchGiveUp},
    {"*.*", "x.y", kMatchYes},
    {"*.*", "noext", kMatchGiveUp},
    {"a**", "a", kMatchYes},  // only stars left
    {"**b", "b", kMatchYes},
    {"*a*b*c", "xaybz", kMatchGiveUp},
    {"*/x.c", "a/b/x.c", kMatchYes},
    // bracket sets: ranges, negation, escapes, exact case
    {"[abc]", "b", kMatchYes},
    {"[a-c]x", "bx", kMatchYes},
    {"[a-c]x", "Bx", kMatchNo},
    {"[^a-c]", "d", kMatchYes},
    {"[a-]", "-", kMatchYes},
    {"[\\]]", "]", kMatchYes},
    {"[abc", "a", kMatchNo},  // no closing ']'
    {"[]", "a", kMatchNo},
    {"*[0-9].log", "run.log", kMatchGiveUp},
};

TEST(MatchPatternTest, TableOfRules) {
    for (const MatchCase& c : kCases) {
        EXPECT_EQ(MatchPattern(c.pattern, c.name), c.expected)
            << "pattern '" << c.pattern << "' name '" << c.name << "'";
    }
}

// Shift JIS: 0x95 0x5C (U+8868) has '\' as its second byte, 0x83 0x5B (U+30BB)
// has '[', 0x83 0x5D (U+30BD) has ']', 0x82 0x60 is full-width 'A' and
// 0x82 0x81 full-width 'a' (whose second byte is not a letter at all).
const MatchCase kShiftJisCases[] = {
    {"\x95\x5C.txt", "\x95\x5C.TXT", kMatchYes},
    {"*\x95\x5C", "a\x95\x5C", kMatchYes},
    {"?", "\x95\x5C", kMatchYes},                    // one character, both bytes
    {"??", "\x95\x5C", kMatchNo},                    // never the second byte alone
    {"?\\", "\x95\x5C", kMatchNo},                   // the second byte is no '\'
    {"*\\", "\x95\x5C", kMatchGiveUp},               // nor found by a star
    {"\x83\x5B*", "\x83\x5Bx", kMatchYes},           // a '['-looking second byte is no set
    {"[\x83\x5D]", "\x83\x5D", kMatchYes},           // nor a ']' that closes one
    {"[\x83\x40-\x83\x96]", "\x83\x5B", kMatchYes},  // a range of katakana
    {"[\x83\x40-\x83\x96]", "\x82\xA0", kMatchNo},   // hiragana is outside it
    {"\x82\x60", "\x82\x81", kMatchNo},              // double-byte letters are compared exactly
};

TEST(MatchPatternTest, ShiftJisStepsByWholeCharacters) {
    test::ScopedCodePage sjis(932);
    if (!sjis.Active()) GTEST_SKIP() << "needs code page 932";
    for (const MatchCase& c : kShiftJisCases) {
        EXPECT_EQ(MatchPattern(c.pattern, c.name), c.expected)
            << "pattern '" << c.pattern << "' name '" << c.name << "'";
    }
}

TEST(MatchPatternTest, HostilePatternsStayFast) {
    const std::string longName(60000, 'a');
    const std::string manyStars = "*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*b";
    const std::string longTail = "*" + std::string(2000, 'a') + "b";
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(MatchPattern(manyStars.c_str(), longName.c_str()), kMatchGiveUp);
    EXPECT_EQ(MatchPattern(longTail.c_str(), longName.c_str()), kMatchGiveUp);
    // A long segment between stars costs pattern x name: still polynomial.
    const std::string between = "*" + std::string(1000, 'a') + "b*";
    EXPECT_EQ(MatchPattern(between.c_str(), (std::string(20000, 'a') + "b").c_str()), kMatchYes);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_LT(seconds, 5.0);  // an exponential walk would take years
}

}  // namespace
}  // namespace tovra::archive
