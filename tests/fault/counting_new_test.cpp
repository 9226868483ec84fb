// counting_new_test.cpp - the sweep's operator new is the one the program
// uses, on every runtime the sweep is built with (a runtime whose own
// operator new won would leave the allocation sweep and the leak check blind).
#include "counting_new.h"

#include <gtest/gtest.h>

#include <memory>
#include <new>
#include <string>

#include "platform/fault/fault_injection.h"

namespace tovra::faulttest {
namespace {

namespace fault = platform::fault;

TEST(CountingNew, CountsLiveBlocksOfEveryAllocation) {
    const int64_t before = LiveBlocks();
    auto block = std::make_unique<int>(7);
    // A string longer than any in-place buffer, grown by the runtime's own code.
    auto text = std::make_unique<std::string>(100, 'x');
    EXPECT_EQ(LiveBlocks(), before + 3);
    block.reset();
    text.reset();
    EXPECT_EQ(LiveBlocks(), before);
}

TEST(CountingNew, FailsTheArmedAllocation) {
    fault::Arm(fault::Kind::kAllocation, 2);
    int* first = new (std::nothrow) int(1);
    int* second = new (std::nothrow) int(2);
    bool thrown = false;
    fault::Arm(fault::Kind::kAllocation, 1);
    try {
        std::string grown(100, 'y');
    } catch (const std::bad_alloc&) {
        thrown = true;
    }
    fault::Disarm();
    EXPECT_NE(first, nullptr);
    EXPECT_EQ(second, nullptr);
    EXPECT_TRUE(thrown) << "the runtime's string allocation did not reach the replaced operator new";
    delete first;
}

}  // namespace
}  // namespace tovra::faulttest
