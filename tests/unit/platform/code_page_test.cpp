// Tests of the multibyte step, the lead-byte test and the text conversions in
// both code pages the native build knows.
#include "support/code_page.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <optional>
#include <string>

#include "platform/platform.h"
#include "platform/testing_hooks.h"

namespace tovra::platform {
namespace {

// Shift JIS characters whose second byte is '\' (0x5C) or '|' (0x7C).
constexpr char kHyo[] = "\x95\x5C";  // U+8868
constexpr char kSo[] = "\x83\x5C";   // U+30BD
constexpr char kNou[] = "\x94\x5C";  // U+80FD

// Offsets of the character starts NextChar visits in `text`.
std::vector<size_t> Steps(const std::string& text) {
    std::vector<size_t> starts;
    for (const char* p = text.c_str(); *p != '\0'; p = NextChar(p))
        starts.push_back(static_cast<size_t>(p - text.c_str()));
    return starts;
}

TEST(CodePageTest, ShiftJisSecondByteBackslashIsNeverASeparator) {
    test::ScopedCodePage sjis(932);
    if (!sjis.Active()) GTEST_SKIP() << "the ANSI code page is not 932";
    EXPECT_EQ(CodePage(), 932);
    const std::string text = std::string("a") + kHyo + "\\" + kSo + kNou + "\\b";
    EXPECT_EQ(Steps(text), (std::vector<size_t>{0, 1, 3, 4, 6, 8, 9}));
    // The lead-byte ranges and their borders.
    EXPECT_FALSE(IsLeadByte(0x80));
    EXPECT_TRUE(IsLeadByte(0x81));
    EXPECT_TRUE(IsLeadByte(0x9F));
    EXPECT_FALSE(IsLeadByte(0xA0));
    EXPECT_FALSE(IsLeadByte(0xDF));  // half-width katakana are single bytes
    EXPECT_TRUE(IsLeadByte(0xE0));
    EXPECT_TRUE(IsLeadByte(0xFC));
    EXPECT_FALSE(IsLeadByte(0xFD));
    EXPECT_EQ(Steps("\xB1\xB2"), (std::vector<size_t>{0, 1}));
}

TEST(CodePageTest, StepNeverPassesTheTerminatingZero) {
    for (int page : {932, 65001}) {
        test::ScopedCodePage forced(page);
        if (!forced.Active()) continue;  // Windows: only the system's page
        const char lone[] = "\x95";      // lead byte followed by the terminator
        EXPECT_EQ(NextChar(lone), lone + 1) << page;
        EXPECT_EQ(NextChar(lone + 1), lone + 1) << page;
        const char cut[] = "\xE8\xA1";  // UTF-8 sequence cut short
        EXPECT_LE(NextChar(cut), cut + 2) << page;
        const char empty[] = "";
        EXPECT_EQ(NextChar(empty), empty) << page;
    }
}

TEST(CodePageTest, Utf8StepsWholeSequencesAndSingleBadBytes) {
    test::ScopedCodePage utf8(65001);
    if (!utf8.Active()) GTEST_SKIP() << "the ANSI code page is not UTF-8";
    EXPECT_FALSE(IsLeadByte(0x95));
    EXPECT_FALSE(IsLeadByte(0xE8));
    // a, U+00E9 (2), U+8868 (3), U+1F600 (4), '\'.
    EXPECT_EQ(Steps("a\xC3\xA9\xE8\xA1\xA8\xF0\x9F\x98\x80\\"), (std::vector<size_t>{0, 1, 3, 6, 10}));
    // Shift JIS bytes read as UTF-8: each is a bad byte, so 0x5C is seen as '\'.
    EXPECT_EQ(Steps(kHyo), (std::vector<size_t>{0, 1}));
    // Stray continuation, overlong '/', surrogate, beyond U+10FFFF, cut short before 'x'.
    EXPECT_EQ(Steps("\x80\xC0\xAF"), (std::vector<size_t>{0, 1, 2}));
    EXPECT_EQ(Steps("\xED\xA0\x80"), (std::vector<size_t>{0, 1, 2}));
    EXPECT_EQ(Steps("\xF4\x90\x80\x80"), (std::vector<size_t>{0, 1, 2, 3}));
    EXPECT_EQ(Steps("\xE8\xA1x"), (std::vector<size_t>{0, 1, 2}));
}

TEST(CodePageTest, ShiftJisConvertsBothWays) {
    test::ScopedCodePage sjis(932);
    if (!sjis.Active()) GTEST_SKIP() << "the ANSI code page is not 932";
    const std::string ansi = std::string(kHyo) + kSo + "A\xB1";  // half-width katakana A
    const std::string utf8 =
        "\xE8\xA1\xA8\xE3\x82\xBD"
        "A\xEF\xBD\xB1";
    EXPECT_EQ(AnsiToUtf8(ansi), utf8);
    EXPECT_EQ(Utf8ToAnsi(utf8), ansi);
    // Microsoft's variant: the wave dash of code page 932 is U+FF5E.
    EXPECT_EQ(AnsiToUtf8("\x81\x60"), "\xEF\xBD\x9E");
    // What does not convert becomes '?' and the rest survives.
    EXPECT_EQ(AnsiToUtf8("a\x81\x20z"), "a? z");
    EXPECT_EQ(AnsiToUtf8("a\xFDz"), "a?z");
    EXPECT_EQ(Utf8ToAnsi("a\xF0\x9F\x98\x80z"), "a?z");  // no emoji in 932
    EXPECT_EQ(Utf8ToAnsi("a\xFFz"), "a?z");
}

TEST(CodePageTest, Utf8ConversionReplacesOnlyMalformedBytes) {
    test::ScopedCodePage utf8(65001);
    if (!utf8.Active()) GTEST_SKIP() << "the ANSI code page is not UTF-8";
    EXPECT_EQ(AnsiToUtf8("\xE8\xA1\xA8x"), "\xE8\xA1\xA8x");
    EXPECT_EQ(AnsiToUtf8(kHyo), "?\\");
    EXPECT_EQ(Utf8ToAnsi(std::string("a\0b", 3)), std::string("a\0b", 3));
}

#ifndef _WIN32
// Sets (or, with null, removes) environment variables for one test and puts
// the old values back afterwards.
class ScopedEnvironment {
public:
    ~ScopedEnvironment() {
        for (auto& [name, value] : saved_) {
            if (value)
                setenv(name.c_str(), value->c_str(), 1);
            else
                unsetenv(name.c_str());
        }
        OverrideCodePageForTesting(0);
    }
    void Set(const char* name, const char* value) {
        if (saved_.find(name) == saved_.end()) {
            const char* old = std::getenv(name);
            saved_[name] = old ? std::optional<std::string>(old) : std::nullopt;
        }
        if (value)
            setenv(name, value, 1);
        else
            unsetenv(name);
    }

private:
    std::map<std::string, std::optional<std::string>> saved_;
};

// The code page the environment chooses, read afresh.
int CodePageOfEnvironment() {
    OverrideCodePageForTesting(0);
    return CodePage();
}

TEST(CodePageTest, EnvironmentChoosesTheCodePage) {
    ScopedEnvironment environment;
    environment.Set("TOVRA_CODEPAGE", nullptr);
    environment.Set("LC_CTYPE", nullptr);
    environment.Set("LANG", nullptr);
    environment.Set("LC_ALL", "ja_JP.SJIS");
    EXPECT_EQ(CodePageOfEnvironment(), 932);
    environment.Set("LC_ALL", "ja_JP.Shift_JIS@euro");
    EXPECT_EQ(CodePageOfEnvironment(), 932);
    environment.Set("LC_ALL", "ja_JP.UTF-8");
    EXPECT_EQ(CodePageOfEnvironment(), 65001);
    environment.Set("LC_ALL", "SJIS");  // no codeset part
    EXPECT_EQ(CodePageOfEnvironment(), 65001);
    // LC_ALL wins over LC_CTYPE, which wins over LANG.
    environment.Set("LC_ALL", nullptr);
    environment.Set("LC_CTYPE", "ja_JP.cp932");
    environment.Set("LANG", "C.UTF-8");
    EXPECT_EQ(CodePageOfEnvironment(), 932);
    environment.Set("LC_CTYPE", nullptr);
    EXPECT_EQ(CodePageOfEnvironment(), 65001);
    // TOVRA_CODEPAGE wins over the locale either way.
    environment.Set("TOVRA_CODEPAGE", "932");
    EXPECT_EQ(CodePageOfEnvironment(), 932);
    environment.Set("LC_ALL", "ja_JP.SJIS");
    environment.Set("TOVRA_CODEPAGE", "65001");
    EXPECT_EQ(CodePageOfEnvironment(), 65001);
}
#endif

}  // namespace
}  // namespace tovra::platform
