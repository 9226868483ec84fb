// Tests of the conversion of names that archives store as UTF-8 into the
// ANSI code page: exact mappings only, '_' for everything else, and the same
// bytes on both builds (the Windows build runs these under code page 932 and
// compares the native table with the system's own conversion).
#include <gtest/gtest.h>

#include <string>

#include "platform/char_step.h"
#include "platform/cp932_table.h"
#include "platform/platform.h"
#include "support/code_page.h"

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#endif

namespace tovra::platform {
namespace {

struct NameCase {
    const char* what;
    std::string utf8;
    std::string cp932;     // expected in code page 932
    std::string utf8Page;  // expected with UTF-8 as the page
};

// Expected bytes are Python's name.encode('cp932', errors='replace') with '?'
// read as '_', except where that codec approximates (noted).
const NameCase kNameCases[] = {
    {"Japanese, 0x5C trail bytes", "日本語/表示.txt", "\x93\xFA\x96\x7B\x8C\xEA/\x95\x5C\x8E\xA6.txt",
     "日本語/表示.txt"},
    {"katakana with 0x5C trail byte", "ソフト.txt", "\x83\x5C\x83\x74\x83\x67.txt", "ソフト.txt"},
    {"Chinese held by 932", "中文.txt", "\x92\x86\x95\xB6.txt", "中文.txt"},
    {"Chinese partly held", "我们.txt", "\x89\xE4_.txt", "我们.txt"},
    {"accented Latin", "café.txt", "caf_.txt", "café.txt"},
    {"yen sign is no backslash", "a¥b", "a_b", "a¥b"},
    {"overline is no tilde", "a‾b", "a_b", "a‾b"},
    {"fullwidth backslash", "a＼b",
     "a\x81\x5F"
     "b",
     "a＼b"},
    {"parallel to", "∥", "\x81\x61", "∥"},
    {"fullwidth tilde", "～", "\x81\x60", "～"},
    {"wave dash (Python approximates)", "〜", "_", "〜"},
    {"double vertical line (Python approximates)", "‖", "_", "‖"},
    {"minus sign (Python approximates)", "−", "_", "−"},
    {"IBM extension as Windows writes it", "ⅰ", "\xFA\x40", "ⅰ"},
    {"half-width katakana", "ｱ.txt", "\xB1.txt", "ｱ.txt"},
    {"beyond U+FFFF is one character", "a😀b", "a_b", "a😀b"},
    {"Latin-1 lead byte before '/'", "é/x.txt", "_/x.txt", "é/x.txt"},
    {"bad byte before '/'", "\xC3/x.txt", "_/x.txt", "_/x.txt"},
    {"overlong '/'",
     "a\xC0\xAF"
     "b",
     "a__b", "a__b"},
    {"sequence cut short", "x\xE8\xA1", "x__", "x__"},
    {"raw Shift JIS is not UTF-8", "\x95\x5C", "_\\", "_\\"},
    {"control characters stay",
     "a\x07"
     "b",
     "a\x07"
     "b",
     "a\x07"
     "b"},
};

TEST(Utf8NamesTest, ConvertsToCodePage932WithoutApproximations) {
    test::ScopedCodePage sjis(932);
    if (!sjis.Active()) GTEST_SKIP() << "the ANSI code page is not 932";
    for (const NameCase& c : kNameCases) EXPECT_EQ(Utf8NameToAnsi(c.utf8), c.cp932) << c.what;
}

TEST(Utf8NamesTest, UnderUtf8OnlyBadBytesChange) {
    test::ScopedCodePage utf8(65001);
    if (!utf8.Active()) GTEST_SKIP() << "the ANSI code page is not UTF-8";
    for (const NameCase& c : kNameCases) EXPECT_EQ(Utf8NameToAnsi(c.utf8), c.utf8Page) << c.what;
}

TEST(Utf8NamesTest, LibraryTextsUseTheSameExactMappings) {
    test::ScopedCodePage sjis(932);
    if (!sjis.Active()) GTEST_SKIP() << "the ANSI code page is not 932";
    EXPECT_EQ(Utf8ToAnsi("¥表"), "?\x95\x5C");
}

TEST(Utf8NamesTest, TableIsSortedAndHoldsNoSeparatorByApproximation) {
    for (size_t i = 1; i < kCp932TableSize; ++i) ASSERT_LT(kCp932Table[i - 1].unicode, kCp932Table[i].unicode) << i;
    // An ASCII byte comes only from the same ASCII character.
    for (const Cp932Mapping& m : kCp932Table) {
        if (m.code < 0x80) {
            EXPECT_EQ(m.unicode, m.code) << std::hex << m.unicode;
        }
    }
    EXPECT_EQ(Cp932Code(0xA5), -1);
    EXPECT_EQ(Cp932Code(0x5C), 0x5C);
    EXPECT_EQ(Cp932Code(0x10000), -1);
}

#ifdef _WIN32
// UTF-8 form of one character of the Basic Multilingual Plane.
std::string Utf8Of(uint32_t code) {
    std::string s;
    if (code < 0x80) {
        s += static_cast<char>(code);
    } else if (code < 0x800) {
        s += static_cast<char>(0xC0 | (code >> 6));
        s += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        s += static_cast<char>(0xE0 | (code >> 12));
        s += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        s += static_cast<char>(0x80 | (code & 0x3F));
    }
    return s;
}

// The native build's table against the system's own conversion, character by
// character over the whole plane: the two builds must write the same bytes.
TEST(Utf8NamesTest, NativeTableAgreesWithWindowsEverywhere) {
    if (GetACP() != 932) GTEST_SKIP() << "the ANSI code page is not 932";
    int differences = 0;
    for (uint32_t code = 1; code < 0x10000; ++code) {
        if (code >= 0xD800 && code <= 0xDFFF) continue;
        const wchar_t wide = static_cast<wchar_t>(code);
        char bytes[4];
        BOOL usedDefault = FALSE;
        const int n = WideCharToMultiByte(932, WC_NO_BEST_FIT_CHARS, &wide, 1, bytes, sizeof bytes, "_", &usedDefault);
        const std::string windows = n > 0 ? std::string(bytes, static_cast<size_t>(n)) : std::string("_");
        const std::string native = Utf8ToCp932(Utf8Of(code), '_');
        if (windows != native && ++differences <= 10) ADD_FAILURE() << "U+" << std::hex << code;
        if (Utf8NameToAnsi(Utf8Of(code)) != windows && ++differences <= 10) ADD_FAILURE() << "U+" << std::hex << code;
    }
    EXPECT_EQ(differences, 0);
}
#endif

}  // namespace
}  // namespace tovra::platform
