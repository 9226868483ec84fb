// extract_all_test.cpp - the command line that UnzipExtractAll builds from its
// flags and paths.
#include "api/extract_all.h"

#include <gtest/gtest.h>

#include "support/code_page.h"

namespace tovra::api {
namespace {

TEST(ExtractAllCommandLineTest, FlagsBecomeOptionTokensInAFixedOrder) {
    const struct {
        uint32_t flags;
        const char* options;
    } cases[] = {
        {0, "-u "},        {1, "-u -n "},        {2, "-u -o "},
        {3, "-u -o "},     {4, "-f "},           {8, "-x "},
        {12, "-f "},       {16, "-u -j "},       {4 + 8 + 2 + 1, "-f -o "},
        {31, "-f -j -o "}, {0xFFFFFFE0u, "-u "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.flags);
        EXPECT_EQ(BuildExtractAllCommandLine("a b.zip", "out\\", c.flags).value_or("<none>"),
                  std::string(c.options) + "\"a b.zip\" \"out\\\"");
    }
}

TEST(ExtractAllCommandLineTest, DirectoryGetsATrailingSeparatorUnlessItHasOne) {
    EXPECT_EQ(BuildExtractAllCommandLine("a.zip", "out", 0).value_or(""), "-u \"a.zip\" \"out\\\"");
    EXPECT_EQ(BuildExtractAllCommandLine("a.zip", "out/", 0).value_or(""), "-u \"a.zip\" \"out/\"");
    EXPECT_EQ(BuildExtractAllCommandLine("a.zip", "C:", 0).value_or(""), "-u \"a.zip\" \"C:\"");
    EXPECT_FALSE(BuildExtractAllCommandLine("a.zip", "", 0).has_value());
}

TEST(ExtractAllCommandLineTest, SecondByte5CIsNotATrailingSeparator) {
    test::ScopedCodePage sjis(932);
    ASSERT_TRUE(sjis.Active());
    EXPECT_EQ(BuildExtractAllCommandLine("a.zip", "out\\\x95\x5C", 0).value_or(""), "-u \"a.zip\" \"out\\\x95\x5C\\\"");
    EXPECT_EQ(BuildExtractAllCommandLine("a.zip", "out\\\x95\x5C\\", 0).value_or(""),
              "-u \"a.zip\" \"out\\\x95\x5C\\\"");
}

}  // namespace
}  // namespace tovra::api
