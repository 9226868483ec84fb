// archive_tokenizer_test.cpp - the Zip command string split into arguments:
// quotes, the character passed over after a token, base-directory tokens,
// the \*.* suffix, response files (nested, trimmed, looping) and double-byte
// characters whose trail byte looks like a separator or a quote.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "archive/archive_command_line.h"
#include "support/code_page.h"
#include "support/file_helpers.h"
#include "support/scratch_dir.h"

namespace tovra::archive {
namespace {

struct TokenCase {
    const char* text;
    std::vector<std::string> arguments;  // after "Zip"
    std::string baseDirectory;
};

std::vector<std::string> Arguments(ArchiveContext& context, const std::string& text) {
    context.argumentList = {"Zip"};
    context.baseDirectory.clear();
    TokenizeArchiveCommandLine(context, text);
    return {context.argumentList.begin() + 1, context.argumentList.end()};
}

TEST(ArchiveTokenizer, SplitsAndClassifiesTokens) {
    const TokenCase cases[] = {
        {"-r out.zip src", {"-r", "out.zip", "src"}, ""},
        {"   -r    a.zip   ", {"-r", "a.zip"}, ""},
        {"\"my file.txt\" x", {"my file.txt", "x"}, ""},
        {"a\"b", {"a\"b"}, ""},
        {"\"a\"b c", {"a", "c"}, ""},  // the character after a closing quote is passed over
        {"a\tb", {"a\tb"}, ""},        // a tab is an ordinary character
        {"\"", {}, ""},                // an empty token adds nothing
        {"\"\"\" x", {"\"", "x"}, ""},
        {"C:\\data\\ a.zip", {"a.zip"}, "C:\\data\\"},
        {"one/ two/ a.zip", {"a.zip"}, "two/"},
        {"C:\\data\\*.* x\\*.*\\*.*", {"C:\\data", "x"}, ""},
        {"", {}, ""},
    };
    for (const TokenCase& c : cases) {
        ArchiveContext context;
        EXPECT_EQ(Arguments(context, c.text), c.arguments) << c.text;
        EXPECT_EQ(context.baseDirectory, c.baseDirectory) << c.text;
    }
}

TEST(ArchiveTokenizer, DoubleByteTrailBytesAreNotSeparatorsOrQuotes) {
    test::ScopedCodePage sjis(932);
    if (!sjis.Active()) GTEST_SKIP() << "needs code page 932";
    ArchiveContext context;
    // 0x95 0x5C ends the token: its trail byte is '\' but the token names no directory.
    EXPECT_EQ(Arguments(context, "\x95\x5C a.zip"), (std::vector<std::string>{"\x95\x5C", "a.zip"}));
    EXPECT_EQ(context.baseDirectory, "");
    // A trail byte 0x5C followed by "*.*" is no wildcard suffix.
    EXPECT_EQ(Arguments(context, "\x95\x5C*.*"), (std::vector<std::string>{"\x95\x5C*.*"}));
    // A lead byte whose trail byte is 0x20 keeps the token whole.
    EXPECT_EQ(Arguments(context, "\"\x81\x20\" b"), (std::vector<std::string>{"\x81\x20", "b"}));
}

TEST(ArchiveTokenizer, ResponseFilesAreTrimmedNestedAndBounded) {
    test::ScratchDir dir;
    const std::string outer = dir / "outer.rsp", inner = dir / "inner.rsp", self = dir / "self.rsp";
    ASSERT_TRUE(test::WriteWholeFile(outer, "  -r  \r\nout.zip *.txt\n\n\t@" + inner + " \n"));
    ASSERT_TRUE(test::WriteWholeFile(inner, "\"b c\" base\\\n"));
    ASSERT_TRUE(test::WriteWholeFile(self, "x @" + self + "\n"));
    ArchiveContext context;
    EXPECT_EQ(Arguments(context, "@" + outer + " last"),
              (std::vector<std::string>{"-r", "out.zip", "*.txt", "b c", "last"}));
    EXPECT_EQ(context.baseDirectory, "base\\");
    // A file that names itself stops at the nesting limit.
    const std::vector<std::string> looped = Arguments(context, "@" + self);
    EXPECT_GT(looped.size(), 1u);
    EXPECT_LT(looped.size(), 100u);
    EXPECT_EQ(Arguments(context, "@" + dir / "missing.rsp" + " a"), (std::vector<std::string>{"a"}));
}

}  // namespace
}  // namespace tovra::archive
