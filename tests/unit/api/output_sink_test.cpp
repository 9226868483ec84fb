// output_sink_test.cpp - the append rule of the host's text buffer: whole
// texts only, always zero-terminated, nothing after the first dropped text,
// and nothing at all without a buffer.
#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <string>

#include "api/extract_context.h"

namespace tovra::api {
namespace {

class OutputSinkTest : public ::testing::Test {
protected:
    void Connect(char* buffer, uint32_t capacity) {
        context.ResetRunState();
        context.sinkPointer = buffer;
        context.sinkCapacity = capacity;
    }
    ExtractContext context;
};

TEST_F(OutputSinkTest, TextThatFitsWithItsTerminatorIsCopied) {
    char buffer[16];
    std::memset(buffer, 'X', sizeof buffer);
    Connect(buffer, 10);
    context.AppendOutput(std::string("123456789"));
    EXPECT_EQ(std::string(buffer, 10), std::string("123456789\0", 10));
    EXPECT_EQ(buffer[10], 'X');
    EXPECT_EQ(context.sinkUsed, 9u);
}

TEST_F(OutputSinkTest, OnceATextIsDroppedEveryLaterTextIsDropped) {
    char buffer[16];
    std::memset(buffer, 'X', sizeof buffer);
    Connect(buffer, 10);
    context.AppendOutput(std::string("0123456789"));  // needs 11 bytes
    context.AppendOutput(std::string("a"));
    EXPECT_EQ(std::string(buffer, 16), std::string(16, 'X'));
    EXPECT_EQ(context.sinkUsed, 11u);
}

TEST_F(OutputSinkTest, TextsAppendBehindEachOther) {
    char buffer[16];
    std::memset(buffer, 'X', sizeof buffer);
    Connect(buffer, 7);
    context.AppendOutput(std::string("ab"));
    context.AppendOutput(std::string(""));
    context.AppendOutput(std::string("cde"));
    context.AppendOutput(std::string("fg"));  // 7 + 1 > 7 free: dropped whole
    EXPECT_STREQ(buffer, "abcde");
    EXPECT_EQ(buffer[6], 'X');
    EXPECT_EQ(context.sinkUsed, 7u);
}

TEST_F(OutputSinkTest, NoBufferMeansNothingIsCopied) {
    Connect(nullptr, 100);
    context.AppendOutput(std::string("text"));
    EXPECT_EQ(context.sinkUsed, 4u);
    EXPECT_EQ(context.sinkPointer, nullptr);

    char buffer[4] = {'X', 'X', 'X', 'X'};
    Connect(buffer, 0);
    context.AppendOutput(std::string(""));
    EXPECT_EQ(buffer[0], 'X');
}

TEST_F(OutputSinkTest, CountSaturatesInsteadOfWrapping) {
    char buffer[16];
    std::memset(buffer, 'X', sizeof buffer);
    Connect(buffer, 10);
    context.sinkUsed = std::numeric_limits<uint32_t>::max() - 2;
    context.AppendOutput(std::string("abcdef"));  // would wrap to 3
    context.AppendOutput(std::string("g"));
    EXPECT_EQ(context.sinkUsed, std::numeric_limits<uint32_t>::max());
    EXPECT_EQ(std::string(buffer, 16), std::string(16, 'X'));
}

}  // namespace
}  // namespace tovra::api
