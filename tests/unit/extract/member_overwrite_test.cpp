// member_overwrite_test.cpp - the overwrite decision: the options x, f and u,
// the process-wide never / overwrite-all / assume-yes values, and the question
// to the person with its three answers and their lasting effect.
#include <gtest/gtest.h>

#include <string>

#include "extract/Cunzip.h"
#include "extract/process_state.h"
#include "format/dos_time.h"
#include "platform/platform.h"
#include "platform/testing_hooks.h"
#include "support/file_helpers.h"
#include "support/scratch_dir.h"
#include "support/scripted_ui_host.h"

namespace tovra::extract {
namespace {

// 2020-06-15 12:00:00 local time and a day later, both on even seconds.
constexpr uint32_t kOlderDos = (40u << 25) | (6u << 21) | (15u << 16) | (12u << 11);
constexpr uint32_t kNewerDos = (40u << 25) | (6u << 21) | (16u << 16) | (12u << 11);

class OverwriteDecision : public ::testing::Test {
protected:
    void SetUp() override {
        ProcessState() = ExtractProcessState{};
        context.AllocateRunBuffers();
        std::snprintf(context.MemberForTest().nameBuffer, kNameBufferSize, "%s", "dir/file.txt");
        context.OutputForTest().outputPath = scratch / "file.txt";
        context.MemberForTest().localHeader.uncompressedSize = 1234;
    }
    void TearDown() override { ProcessState() = ExtractProcessState{}; }

    // An existing output file dated between the two member times.
    void MakeExistingFile() {
        ASSERT_TRUE(test::WriteWholeFile(context.Output().outputPath, "old contents"));
        int64_t older = 0;
        ASSERT_TRUE(format::DosTimeToUnix(kOlderDos, &older));
        ASSERT_TRUE(platform::SetModificationTime(context.Output().outputPath, older + 3600));
    }
    int Decide(uint32_t memberDos) {
        context.MemberForTest().localHeader.dosDateTime = memberDos;
        return context.DecideOverwrite();
    }

    test::ScratchDir scratch;
    test::ScriptedUiHost ui;
    Cunzip context;
};

constexpr int kExtract = Cunzip::kOverwriteExtract;
constexpr int kSkip = Cunzip::kOverwriteSkip;

TEST_F(OverwriteDecision, MissingFile) {
    EXPECT_EQ(Decide(kNewerDos), kExtract);
    EXPECT_EQ(context.Output().outputExisted, 0);
    context.options.freshen = context.options.update = 1;
    EXPECT_EQ(Decide(kNewerDos), kSkip);
    EXPECT_TRUE(ui.overwriteQuestions.empty());
}

TEST_F(OverwriteDecision, NoExistenceCheckNeverLooks) {
    MakeExistingFile();
    context.options.noExistenceCheck = 1;
    ProcessState().NeverOverwriteFlag = 1;
    EXPECT_EQ(Decide(kOlderDos), kExtract);
    context.options.freshen = 1;
    EXPECT_EQ(Decide(kNewerDos), kSkip);
    EXPECT_TRUE(ui.overwriteQuestions.empty());
}

TEST_F(OverwriteDecision, NeverOverwriteWinsWhateverTheDate) {
    MakeExistingFile();
    ProcessState().NeverOverwriteFlag = 1;
    ProcessState().OverwriteAllFlag = 1;
    EXPECT_EQ(Decide(kOlderDos), kSkip);
    EXPECT_EQ(Decide(kNewerDos), kSkip);
    EXPECT_TRUE(ui.overwriteQuestions.empty());
}

TEST_F(OverwriteDecision, UpdateKeepsNewerFilesAndAsksAboutOlderOnes) {
    MakeExistingFile();
    context.options.update = 1;
    EXPECT_EQ(Decide(kOlderDos), kSkip);
    EXPECT_TRUE(ui.overwriteQuestions.empty());
    ui.overwriteAnswers.push_back(platform::OverwriteAnswer::kYes);
    const platform::BeepRecord beepsBefore = platform::BeepsForTesting();
    EXPECT_EQ(Decide(kNewerDos), kExtract);
    ASSERT_EQ(ui.overwriteQuestions.size(), 1u);
    // The question comes with the information sound.
    EXPECT_EQ(platform::BeepsForTesting().count, beepsBefore.count + 1);
    EXPECT_EQ(platform::BeepsForTesting().lastType, 64u);
    const platform::OverwriteQuestion& q = ui.overwriteQuestions[0];
    EXPECT_EQ(q.path, "dir\\file.txt");
    EXPECT_EQ(q.memberSize, 1234u);
    EXPECT_EQ(q.diskSize, 12u);
    int64_t newer = 0;
    ASSERT_TRUE(format::DosTimeToUnix(kNewerDos, &newer));
    EXPECT_EQ(q.memberTime, newer);
    EXPECT_EQ(context.Output().outputExisted, 1);
}

TEST_F(OverwriteDecision, OverwriteAllOrAssumeYesReplacesWithoutAsking) {
    MakeExistingFile();
    ProcessState().OverwriteAllFlag = 1;
    EXPECT_EQ(Decide(kOlderDos), kExtract);
    ProcessState().OverwriteAllFlag = 0;
    ProcessState().AssumeYesFlag = 1;
    EXPECT_EQ(Decide(kOlderDos), kExtract);
    EXPECT_TRUE(ui.overwriteQuestions.empty());
}

TEST_F(OverwriteDecision, AnswersChangeTheLastingValues) {
    MakeExistingFile();
    // No: skipped, and an overwrite-all in force is withdrawn.
    ui.overwriteAnswers.push_back(platform::OverwriteAnswer::kNo);
    EXPECT_EQ(Decide(kNewerDos), kSkip);
    EXPECT_EQ(ProcessState().OverwriteAllFlag, 0);
    EXPECT_EQ(ProcessState().AssumeYesFlag, 0);
    // Yes to all: replaced, and later members (and runs) are not asked.
    ui.overwriteAnswers.push_back(platform::OverwriteAnswer::kYesToAll);
    EXPECT_EQ(Decide(kOlderDos), kExtract);
    EXPECT_EQ(ProcessState().OverwriteAllFlag, 1);
    EXPECT_EQ(ProcessState().NeverOverwriteFlag, 0);
    EXPECT_EQ(Decide(kOlderDos), kExtract);
    EXPECT_EQ(ui.overwriteQuestions.size(), 2u);
    // The default answer of an empty queue is No.
    ProcessState().OverwriteAllFlag = 0;
    EXPECT_EQ(Decide(kNewerDos), kSkip);
}

TEST_F(OverwriteDecision, PrepareSkipsDirectoryEntriesAndHostileLeftovers) {
    context.outputDirectory = scratch.WithSeparator();
    context.options.keepPaths = 1;
    bool extract = true;
    std::snprintf(context.MemberForTest().nameBuffer, kNameBufferSize, "%s", "sub/");
    EXPECT_EQ(context.PrepareMemberOutput(&extract), 0);
    EXPECT_FALSE(extract);
    EXPECT_TRUE(platform::IsDirectory(scratch / "sub"));
    std::snprintf(context.MemberForTest().nameBuffer, kNameBufferSize, "%s", "../x");
    EXPECT_EQ(context.PrepareMemberOutput(&extract), 1);
    EXPECT_TRUE(extract);
    EXPECT_EQ(context.Output().outputPath, scratch.WithSeparator() + "x");
    std::snprintf(context.MemberForTest().nameBuffer, kNameBufferSize, "%s", "..");
    EXPECT_EQ(context.PrepareMemberOutput(&extract), 1);
    EXPECT_FALSE(extract);
}

}  // namespace
}  // namespace tovra::extract
