// Tests of the movable global memory blocks: zero filling, lock counting,
// resizing, and refusal of bad handles.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/platform.h"

namespace tovra::platform {
namespace {

bool AllZero(const unsigned char* data, size_t from, size_t to) {
    for (size_t i = from; i < to; ++i) {
        if (data[i] != 0) return false;
    }
    return true;
}

TEST(MemoryTest, BlocksStartZeroedAndCountLocks) {
    MemoryHandle block = GlobalAllocZeroed(4100);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(GlobalSize(block), 4100u);
    auto* data = static_cast<unsigned char*>(GlobalLock(block));
    ASSERT_NE(data, nullptr);
    EXPECT_TRUE(AllZero(data, 0, 4100));
    EXPECT_EQ(GlobalLock(block), data);  // second lock, same place
    EXPECT_TRUE(GlobalUnlock(block));    // still locked once
    EXPECT_FALSE(GlobalUnlock(block));   // now unlocked
    EXPECT_FALSE(GlobalUnlock(block));   // was not locked
    EXPECT_EQ(GlobalFree(block), nullptr);
}

TEST(MemoryTest, ReAllocKeepsContentsAndZeroFillsGrowth) {
    MemoryHandle block = GlobalAllocZeroed(16);
    ASSERT_NE(block, nullptr);
    auto* data = static_cast<unsigned char*>(GlobalLock(block));
    std::memcpy(data, "0123456789abcdef", 16);
    // A locked block cannot move.
    EXPECT_EQ(GlobalReAllocZeroed(block, 1 << 20), nullptr);
    EXPECT_EQ(GlobalSize(block), 16u);
    EXPECT_FALSE(GlobalUnlock(block));

    MemoryHandle grown = GlobalReAllocZeroed(block, 1 << 20);
    ASSERT_NE(grown, nullptr);
    EXPECT_EQ(GlobalSize(grown), size_t{1} << 20);
    data = static_cast<unsigned char*>(GlobalLock(grown));
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(std::memcmp(data, "0123456789abcdef", 16), 0);
    EXPECT_TRUE(AllZero(data, 16, size_t{1} << 20));
    data[100] = 0xAA;  // dirty the tail, shrink, grow again: the regrown part must be zero
    EXPECT_FALSE(GlobalUnlock(grown));
    MemoryHandle shrunk = GlobalReAllocZeroed(grown, 8);
    ASSERT_NE(shrunk, nullptr);
    MemoryHandle regrown = GlobalReAllocZeroed(shrunk, 200);
    ASSERT_NE(regrown, nullptr);
    data = static_cast<unsigned char*>(GlobalLock(regrown));
    EXPECT_EQ(std::memcmp(data, "01234567", 8), 0);
    EXPECT_TRUE(AllZero(data, 8, 200));
    GlobalUnlock(regrown);
    EXPECT_EQ(GlobalFree(regrown), nullptr);
}

TEST(MemoryTest, ZeroSizedBlocksExistButCannotBeLocked) {
    MemoryHandle block = GlobalAllocZeroed(0);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(GlobalSize(block), 0u);
    EXPECT_EQ(GlobalLock(block), nullptr);
    MemoryHandle grown = GlobalReAllocZeroed(block, 4);
    ASSERT_NE(grown, nullptr);
    void* data = GlobalLock(grown);
    ASSERT_NE(data, nullptr);
    EXPECT_TRUE(AllZero(static_cast<unsigned char*>(data), 0, 4));
    GlobalUnlock(grown);
    EXPECT_EQ(GlobalFree(grown), nullptr);
}

#ifndef _WIN32
// Natively every handle is checked against the table; on Windows a bad handle
// is the system's business.
TEST(MemoryTest, FreedAndForeignHandlesAreRefused) {
    MemoryHandle block = GlobalAllocZeroed(8);
    ASSERT_EQ(GlobalFree(block), nullptr);
    EXPECT_EQ(GlobalLock(block), nullptr);
    EXPECT_EQ(GlobalSize(block), 0u);
    EXPECT_EQ(GlobalReAllocZeroed(block, 16), nullptr);
    EXPECT_EQ(GlobalFree(block), block);  // failure returns the handle
    int notABlock = 0;
    EXPECT_EQ(GlobalLock(&notABlock), nullptr);
    EXPECT_EQ(GlobalFree(nullptr), nullptr);
}
#endif

}  // namespace
}  // namespace tovra::platform
