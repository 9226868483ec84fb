// command_line_test.cpp - the extraction command line: tokens, quotes,
// response files, option letters with the shared negation counter, and the
// rules applied after parsing. Each case parses one line into a fresh context
// and looks at the resulting fields.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "api/extract_context.h"
#include "extract/process_state.h"
#include "support/code_page.h"
#include "support/file_helpers.h"
#include "support/scratch_dir.h"

namespace tovra::api {
namespace {

using Strings = std::vector<std::string>;

class CommandLineTest : public ::testing::Test {
protected:
    void SetUp() override { extract::ProcessState() = extract::ExtractProcessState{}; }
    void TearDown() override { extract::ProcessState() = extract::ExtractProcessState{}; }

    // Parses `line` into a fresh context, as a run does.
    ExtractContext& Parse(const std::string& line) {
        context_ = std::make_unique<ExtractContext>();
        context_->ResetRunState();
        EXPECT_EQ(context_->ParseCommandLine(line.c_str()), 0);
        return *context_;
    }
    extract::ExtractProcessState& State() { return extract::ProcessState(); }

private:
    std::unique_ptr<ExtractContext> context_;
};

TEST_F(CommandLineTest, OptionsApplyWhereverTheyStand) {
    for (const char* line : {"-o \"my arc.zip\" out\\ member.txt", "\"my arc.zip\" out\\ member.txt -o",
                             "\"my arc.zip\" -o out\\ member.txt"}) {
        SCOPED_TRACE(line);
        State() = {};
        ExtractContext& c = Parse(line);
        EXPECT_EQ(c.ArgumentList, (Strings{"my arc.zip", "out\\", "member.txt"}));
        EXPECT_EQ(State().OverwriteAllFlag, 1);
        EXPECT_EQ(State().AssumeYesFlag, 1);
        EXPECT_EQ(c.processAllMembers, 0);
    }
}

TEST_F(CommandLineTest, ProcessAllMembersNeedsAThirdPositionalArgument) {
    EXPECT_EQ(Parse("arc.zip").processAllMembers, 1);
    EXPECT_EQ(Parse("arc.zip out\\").processAllMembers, 1);
    EXPECT_EQ(Parse("arc.zip out\\ a").processAllMembers, 0);
    EXPECT_TRUE(Parse("").ArgumentList.empty());
    EXPECT_TRUE(Parse("   ").ArgumentList.empty());
}

TEST_F(CommandLineTest, ListLevelCounting) {
    const struct {
        const char* line;
        int listLevel;
    } cases[] = {
        {"-v a", 2},  {"-l a", 1},  {"-l -v a", 2}, {"-lv a", 2},     {"-v -l a", 3},
        {"-vl a", 3}, {"-vv a", 3}, {"-v -v a", 3}, {"-vv --l a", 2}, {"-l ---v a", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        EXPECT_EQ(Parse(c.line).options.listLevel, c.listLevel);
    }
}

TEST_F(CommandLineTest, NegationDecreasesByTheCounterNotBelowZero) {
    Parse("-o a");
    Parse("-o a");
    Parse("-o a");
    ASSERT_EQ(State().OverwriteAllFlag, 3);
    Parse("---o a");  // two pending negations
    EXPECT_EQ(State().OverwriteAllFlag, 1);
    EXPECT_EQ(State().AssumeYesFlag, 1);
    Parse("---o a");
    EXPECT_EQ(State().OverwriteAllFlag, 0);
    EXPECT_EQ(State().AssumeYesFlag, 0);
}

TEST_F(CommandLineTest, CounterSurvivesLettersWithoutANegatedFormAndTokenBoundaries) {
    Parse("-o a");
    ASSERT_EQ(State().OverwriteAllFlag, 1);
    // 'x' sets no-existence-check and leaves the pending negation for 'o'.
    ExtractContext& c = Parse("--xo a");
    EXPECT_EQ(c.options.noExistenceCheck, 1);
    EXPECT_EQ(State().OverwriteAllFlag, 0);

    Parse("-o a");
    Parse("--Qo a");  // an ignored letter behaves the same
    EXPECT_EQ(State().OverwriteAllFlag, 0);

    Parse("-o a");
    Parse("-- a -o");  // the counter is one for the whole line
    EXPECT_EQ(State().OverwriteAllFlag, 0);

    Parse("-o a");
    Parse("- a -o");  // a lone '-' token contributes nothing
    EXPECT_EQ(State().OverwriteAllFlag, 2);
}

TEST_F(CommandLineTest, SwitchesAndCounters) {
    ExtractContext& c = Parse("-tjLVufx$z a");
    EXPECT_EQ(c.options.test, 1);
    EXPECT_EQ(c.options.keepPaths, 1);
    EXPECT_EQ(c.options.lowercaseNames, 1);
    EXPECT_EQ(c.options.keepVersions, 1);
    EXPECT_EQ(c.options.freshen, 1);
    EXPECT_EQ(c.options.update, 1);
    EXPECT_EQ(c.options.noExistenceCheck, 1);
    EXPECT_EQ(c.options.volumeLabel, 1);
    EXPECT_EQ(c.options.commentLevel, 1);

    ExtractContext& d = Parse("-tjLVf --t --j --L --V --f a");
    EXPECT_EQ(d.options.test, 0);
    EXPECT_EQ(d.options.keepPaths, 0);
    EXPECT_EQ(d.options.lowercaseNames, 0);
    EXPECT_EQ(d.options.keepVersions, 0);
    EXPECT_EQ(d.options.freshen, 0);
    EXPECT_EQ(d.options.update, 0);

    EXPECT_EQ(Parse("-u --f a").options.update, 0);
    EXPECT_EQ(Parse("---z a").options.commentLevel, -2);  // may go negative
    EXPECT_EQ(Parse("-zzz --z a").options.commentLevel, 2);
    EXPECT_EQ(Parse("-$$$ ---$ a").options.volumeLabel, 1);
}

TEST_F(CommandLineTest, TextConversionIsClampedAndClearedByB) {
    EXPECT_EQ(Parse("-aaa a").options.textConversion, 2);
    EXPECT_EQ(Parse("-aab a").options.textConversion, 0);
    // A negated 'b' only consumes the counter: the next 'a' counts up again.
    EXPECT_EQ(Parse("-a --ba a").options.textConversion, 2);
}

TEST_F(CommandLineTest, NeverOverwriteWinsOverOverwriteAll) {
    Parse("-no a");
    EXPECT_EQ(State().NeverOverwriteFlag, 1);
    EXPECT_EQ(State().OverwriteAllFlag, 0);
    EXPECT_EQ(State().AssumeYesFlag, 1);
    Parse("--n -o a");
    EXPECT_EQ(State().NeverOverwriteFlag, 0);
    EXPECT_EQ(State().OverwriteAllFlag, 1);
}

TEST_F(CommandLineTest, UnknownLettersAreIgnored) {
    ExtractContext& c = Parse("-QkZ9!? a");
    EXPECT_EQ(c.ArgumentList, Strings{"a"});
    EXPECT_EQ(c.options.listLevel, 0);
    EXPECT_EQ(State().OverwriteAllFlag, 0);
}

TEST_F(CommandLineTest, TokenizerQuoteRules) {
    const struct {
        const char* line;
        Strings arguments;
    } cases[] = {
        {"a\tb c", {"a\tb", "c"}},  // only the space separates
        {"  a   b  ", {"a", "b"}},
        {"\"a b\"", {"a b"}},
        {"\"abc\"d e", {"abc", "e"}},          // the character after a closing quote is stepped over
        {"\"abc def", {"abc def"}},            // an open quote runs to the end
        {"ab\"c d", {"ab\"c", "d"}},           // a quote inside a token is ordinary
        {"\"\" out\\ m", {"", "out\\", "m"}},  // an empty quoted token is an empty argument
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        EXPECT_EQ(Parse(c.line).ArgumentList, c.arguments);
    }
}

TEST_F(CommandLineTest, QuotedTokensAreClassifiedLikeUnquotedOnes) {
    test::ScratchDir dir;
    ASSERT_TRUE(test::WriteWholeFile(dir / "list.txt", "inner\n"));
    ExtractContext& c = Parse("\"-o\" a \"@" + (dir / "list.txt") + "\"");
    EXPECT_EQ(c.ArgumentList, (Strings{"a", "inner"}));
    EXPECT_EQ(State().OverwriteAllFlag, 1);
}

TEST_F(CommandLineTest, ResponseFileLinesArePositionalArguments) {
    test::ScratchDir dir;
    const std::string list = dir / "list.txt";
    ASSERT_TRUE(test::WriteWholeFile(list, "  \"my arc.zip\"\r\n\tout\\\n\n   \n-member\r\n@other\n\"half"));
    ExtractContext& c = Parse("-o @" + list + " last");
    EXPECT_EQ(c.ArgumentList, (Strings{"my arc.zip", "out\\", "-member", "@other", "half", "last"}));
    EXPECT_EQ(c.processAllMembers, 0);
    EXPECT_EQ(c.options.listLevel, 0);
    EXPECT_EQ(State().OverwriteAllFlag, 1);
}

TEST_F(CommandLineTest, ResponseFileGivesTheListOfTheSameTokensOnTheCommandLine) {
    // An archive path with a space and a double-byte character, an output
    // directory and a member name: read from a file or written on the command
    // line, they make the same list.
    test::ScopedCodePage sjis(932);
    ASSERT_TRUE(sjis.Active());
    const std::string tokens[] = {"\"my \x95\x5C arc.zip\"", "out\\", "d/member.txt"};
    test::ScratchDir dir;
    const std::string list = dir / "list.txt";
    ASSERT_TRUE(test::WriteWholeFile(list, tokens[0] + "\r\n" + tokens[1] + "\r\n" + tokens[2] + "\r\n"));
    const Strings fromFile = Parse("@" + list).ArgumentList;
    EXPECT_EQ(fromFile, Parse(tokens[0] + " " + tokens[1] + " " + tokens[2]).ArgumentList);
    EXPECT_EQ(fromFile.size(), 3u);
}

TEST_F(CommandLineTest, UnreadableResponseFileContributesNothing) {
    test::ScratchDir dir;
    EXPECT_EQ(Parse("a @" + (dir / "missing.txt") + " b").ArgumentList, (Strings{"a", "b"}));
    EXPECT_EQ(Parse("a @ b").ArgumentList, (Strings{"a", "b"}));
}

TEST_F(CommandLineTest, ResetKeepsTheProcessWideOverwriteValues) {
    ExtractContext& c = Parse("-lvtz -on a b c");
    c.fullSearch = 1;
    c.enumerationMode = 1;
    c.memoryMode = 1;
    c.cancelSeen = 1;
    char buffer[4];
    c.sinkPointer = buffer;
    c.sinkCapacity = 4;
    c.sinkUsed = 3;
    c.ResetRunState();
    EXPECT_EQ(c.options.listLevel, 0);
    EXPECT_EQ(c.options.test, 0);
    EXPECT_EQ(c.options.commentLevel, 0);
    EXPECT_EQ(c.processAllMembers, 1);
    EXPECT_EQ(c.fullSearch, 0);
    EXPECT_EQ(c.enumerationMode, 0);
    EXPECT_EQ(c.memoryMode, 0);
    EXPECT_EQ(c.cancelSeen, 0);
    EXPECT_EQ(c.sinkPointer, nullptr);
    EXPECT_EQ(c.sinkCapacity, 0u);
    EXPECT_EQ(c.sinkUsed, 0u);
    EXPECT_EQ(State().NeverOverwriteFlag, 1);
    EXPECT_EQ(State().AssumeYesFlag, 1);
}

// In code page 932 the second byte of a double-byte character can look like
// an option letter (0x83 0x6F) or a separator (0x95 0x5C); neither may act.
TEST_F(CommandLineTest, DoubleByteCharactersAreStepSafe) {
    test::ScopedCodePage sjis(932);
    ASSERT_TRUE(sjis.Active());
    ExtractContext& c = Parse("-\x83\x6F \"\x95\x5C dir\\arc.zip\" \x95\x5C\\");
    EXPECT_EQ(State().OverwriteAllFlag, 0);
    EXPECT_EQ(c.ArgumentList, (Strings{"\x95\x5C dir\\arc.zip", "\x95\x5C\\"}));
}

}  // namespace
}  // namespace tovra::api
