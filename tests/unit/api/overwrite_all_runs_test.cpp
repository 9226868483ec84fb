// overwrite_all_runs_test.cpp - the overwrite-all answer outlives the run
// that got it: later runs replace files without asking until a command line
// negates option o.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "api/extract_context.h"
#include "extract/process_state.h"
#include "support/file_helpers.h"
#include "support/scratch_dir.h"
#include "support/scripted_ui_host.h"
#include "support/zip_builder.h"

namespace tovra::api {
namespace {

class OverwriteAllRuns : public ::testing::Test {
protected:
    void SetUp() override {
        extract::ProcessState() = extract::ExtractProcessState{};
        test::ZipBuilder zip;
        zip.AddStored("a.txt", "new");
        ASSERT_TRUE(zip.WriteTo(dir / "a.zip"));
        std::filesystem::create_directories(dir / "out");
    }
    void TearDown() override { extract::ProcessState() = extract::ExtractProcessState{}; }

    // Puts an old a.txt in place, extracts over it; true when it was replaced.
    bool RunReplaces(const std::string& options) {
        EXPECT_TRUE(test::WriteWholeFile(dir / "out/a.txt", "old"));
        ExtractContext context;
        const std::string commandLine =
            options + " \"" + (dir / "a.zip") + "\" \"" + dir.WithSeparator() + "out" + "/\"";
        EXPECT_EQ(context.RunCommandLine(nullptr, commandLine.c_str(), nullptr, 0), 0) << commandLine;
        return test::ReadWholeFile(dir / "out/a.txt") == std::string("new");
    }

    test::ScratchDir dir;
};

TEST_F(OverwriteAllRuns, AnswerHoldsIntoLaterRunsUntilNegated) {
    test::ScriptedUiHost ui;
    ui.overwriteAnswers = {platform::OverwriteAnswer::kYesToAll};
    const struct {
        const char* options;
        bool replaced;
        size_t questionsSoFar;
    } runs[] = {
        {"", true, 1},      // asked; the answer is overwrite all
        {"", true, 1},      // the next call replaces without asking
        {"-j", true, 1},    // another option leaves it alone
        {"--o", false, 2},  // negated: asked again, and the empty queue answers No
        {"", false, 3},     // and it stays negated
    };
    for (const auto& run : runs) {
        SCOPED_TRACE(run.options);
        EXPECT_EQ(RunReplaces(run.options), run.replaced);
        EXPECT_EQ(ui.overwriteQuestions.size(), run.questionsSoFar);
    }
}

}  // namespace
}  // namespace tovra::api
