// engine_state_test.cpp - the engine's state groups keep the lifetimes their
// owners promise: the run counters start again with every member loop, the
// member loop's CRC table is gone once the loop ends, and the reader's view
// holds the end record of the archive just scanned, run after run on one
// context.
#include <gtest/gtest.h>

#include <string>

#include "extract/run_results.h"
#include "scan_fixture.h"

namespace tovra::extract::testing {
namespace {

class EngineState : public EngineFixture {
protected:
    void SetUp() override {
        EngineFixture::SetUp();
        ASSERT_TRUE(context.AllocateRunBuffers());
        context.options.test = 1;
    }
    void TearDown() override { context.ReleaseRunBuffers(); }

    // Runs the same context over `bytes` again, as a host's second call would.
    int Run(const std::string& bytes, const std::string& name) {
        const std::string path = scratch / name;
        EXPECT_TRUE(test::WriteWholeFile(path, bytes));
        context.archiveName = path;
        context.ArgumentList = {path};
        return context.ProcessArchive();
    }

    Cunzip context;
};

// `refused` members that the version check turns away, after one sound member.
std::string WithRefusedMembers(int refused) {
    test::ZipBuilder zip;
    zip.AddStored("good.txt", "good");
    for (int i = 0; i < refused; ++i) zip.AddRaw("future" + std::to_string(i) + ".bin", 9, "xxxx", "xxxx");
    return zip.Build();
}

TEST_F(EngineState, CountersStartAgainWithEveryMemberLoop) {
    struct Case {
        int refused;
        int result;
    };
    // Three runs on one context: a count left over from the run before would
    // show in the next one, and so would a warning raised by it.
    for (const Case c : {Case{3, kRunWarning}, Case{0, kRunOk}, Case{1, kRunWarning}}) {
        EXPECT_EQ(Run(WithRefusedMembers(c.refused), "a" + std::to_string(c.refused) + ".zip"), c.result);
        EXPECT_EQ(context.Counters().skippedMembers, c.refused);
        EXPECT_EQ(context.Counters().givenUpMembers, 0);
    }
}

TEST_F(EngineState, MemberLoopReleasesItsCrcTable) {
    ASSERT_EQ(Run(WithRefusedMembers(0), "sound.zip"), kRunOk);
    EXPECT_EQ(context.Member().crcTable, nullptr);
}

TEST_F(EngineState, ReaderViewHoldsTheLatestEndRecord) {
    for (int refused : {2, 0}) {
        const std::string bytes = WithRefusedMembers(refused);
        Run(bytes, "r" + std::to_string(refused) + ".zip");
        EXPECT_EQ(context.Reader().endRecord.totalEntries, 1u + refused);
        EXPECT_EQ(context.Reader().endRecordPosition, static_cast<int64_t>(bytes.size()) - 22);
        EXPECT_EQ(context.Reader().archiveSize, static_cast<int64_t>(bytes.size()));
    }
}

}  // namespace
}  // namespace tovra::extract::testing
