// progress_calls_test.cpp - what a run tells the host's progress window, in
// order: extraction and test runs with a window frame themselves with
// BeginRun / EndRun and name the archive, each member's start and its
// method's activity; listings and runs without a window show nothing;
// archiving runs name what they do to each member and hand the final move to
// the host, doing it themselves when the host leaves it to them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "api/extract_context.h"
#include "archive/archive_context.h"
#include "archive/archive_run.h"
#include "platform/platform.h"
#include "support/file_helpers.h"
#include "support/scratch_dir.h"
#include "support/scripted_ui_host.h"
#include "support/zip_builder.h"

namespace tovra::api {
namespace {

// Stands for the host's window; the runs only pass it on to the host.
platform::WindowHandle FakeWindow() { return reinterpret_cast<platform::WindowHandle>(uintptr_t{0x1234}); }

// The recorded calls with each run of "Progress" calls kept once.
std::vector<std::string> Collapsed(const std::vector<std::string>& calls) {
    std::vector<std::string> kept;
    for (const std::string& call : calls) {
        if (call == "Progress" && !kept.empty() && kept.back() == "Progress") continue;
        kept.push_back(call);
    }
    return kept;
}

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

TEST(ProgressCallsTest, ExtractionRunsTellTheHostWhatTheyDo) {
    test::ScratchDir dir;
    test::ZipBuilder zip;
    zip.AddDeflated("a.txt", "hello");
    zip.AddStored("b.txt", "abc");
    const std::string archive = dir / "p.zip";
    ASSERT_TRUE(zip.WriteTo(archive));
    const std::string absolute = platform::AbsolutePath(archive);
    const std::vector<std::string> members = {
        "BeginFile a.txt a.txt 5", "Progress", "SetActivity inflating...",  "Progress",
        "BeginFile b.txt b.txt 3", "Progress", "SetActivity extracting...", "Progress",
    };
    std::vector<std::string> framed = {"BeginRun 1", "SetArchiveName " + absolute};
    framed.insert(framed.end(), members.begin(), members.end());
    framed.push_back("EndRun");

    const struct {
        const char* name;
        std::string commandLine;
        bool window;
        bool hostDrawsProgress;
        std::vector<std::string> calls;
    } cases[] = {
        {"extract", Quoted(archive) + " " + Quoted(dir.WithSeparator() + "out/"), true, false, framed},
        {"listing", "-l " + Quoted(archive), true, false, {}},
        {"verbose listing", "-v " + Quoted(archive), true, false, {}},
        {"no window", Quoted(archive) + " " + Quoted(dir.WithSeparator() + "out2/"), false, false, {"Progress"}},
        {"no window, host draws", Quoted(archive) + " " + Quoted(dir.WithSeparator() + "out3/"), false, true, framed},
        {"listing, host draws", "-l " + Quoted(archive), false, true, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::ScriptedUiHost ui;
        ui.showsProgressWithoutWindow = c.hostDrawsProgress;
        ExtractContext context;
        char buffer[4096] = {};
        ASSERT_EQ(
            context.RunCommandLine(c.window ? FakeWindow() : nullptr, c.commandLine.c_str(), buffer, sizeof buffer), 0)
            << ui.AllMessageTexts();
        EXPECT_EQ(Collapsed(ui.runCalls), c.calls);
    }
}

TEST(ProgressCallsTest, TestRunsShowTheirProgressAndExtractToMemoryToo) {
    test::ScratchDir dir;
    test::ZipBuilder zip;
    zip.AddDeflated("a.txt", "hello");
    const std::string archive = dir / "p.zip";
    ASSERT_TRUE(zip.WriteTo(archive));
    {
        test::ScriptedUiHost ui;
        ExtractContext context;
        ASSERT_EQ(context.RunCommandLine(FakeWindow(), ("-t " + Quoted(archive)).c_str(), nullptr, 0), 0);
        const std::vector<std::string> calls = Collapsed(ui.runCalls);
        ASSERT_EQ(calls.size(), 7u);
        EXPECT_EQ(calls[0], "BeginRun 1");
        EXPECT_EQ(calls[4], "SetActivity inflating...");
        EXPECT_EQ(calls[6], "EndRun");
    }
    {
        test::ScriptedUiHost ui;
        ExtractContext context;
        platform::MemoryHandle block = nullptr;
        uint32_t size = 0;
        ASSERT_EQ(context.ExtractToMemoryRun(FakeWindow(), archive.c_str(), "a.txt", &block, &size), 0);
        platform::GlobalFree(block);
        // One flush only: the first update would come after four.
        EXPECT_EQ(ui.runCalls.front(), "BeginRun 1");
        EXPECT_EQ(ui.runCalls.back(), "EndRun");
        ASSERT_EQ(ui.progressCalls.size(), 1u);
        EXPECT_EQ(ui.progressCalls[0].done, 0u);
    }
}

class ArchivingProgressTest : public ::testing::Test {
protected:
    void SetUp() override {
        caller = platform::GetCurrentDir();
        ASSERT_TRUE(test::WriteWholeFile(dir / "a.txt", "content of a"));
        ASSERT_TRUE(test::WriteWholeFile(dir / "b.txt", "content of b"));
        ASSERT_TRUE(platform::SetCurrentDir(dir.Path()));
    }
    void TearDown() override { platform::SetCurrentDir(caller); }
    int Run(const std::string& commandLine, test::ScriptedUiHost& ui) {
        archive::ArchiveContext context;
        const int result = archive::RunZip(context, FakeWindow(), commandLine);
        EXPECT_EQ(ui.messages.size(), 0u) << ui.AllMessageTexts();
        return result;
    }
    // The activity texts and moves of the recorded calls, in order.
    static std::vector<std::string> Activities(const std::vector<std::string>& calls) {
        std::vector<std::string> kept;
        for (const std::string& call : calls) {
            if (call.rfind("SetActivity ", 0) == 0 || call.rfind("Move ", 0) == 0 || call.rfind("Begin", 0) == 0 ||
                call == "EndRun") {
                kept.push_back(call);
            }
        }
        return kept;
    }

    test::ScratchDir dir;
    std::string caller;
};

TEST_F(ArchivingProgressTest, EachStepNamesItsActivityAndTheMoveGoesThroughTheHost) {
    const struct {
        const char* commandLine;
        std::vector<std::string> calls;
    } steps[] = {
        {"t.zip a.txt", {"BeginRun 0", "SetActivity adding...", "SetActivity moving...", "Move t.zip", "EndRun"}},
        {"t.zip b.txt",
         {"BeginRun 0", "SetActivity copying...", "BeginFile a.txt  47", "SetActivity adding...",
          "SetActivity moving...", "Move t.zip", "EndRun"}},
        {"t.zip b.txt",
         {"BeginRun 0", "SetActivity copying...", "BeginFile a.txt  47", "SetActivity updating...",
          "SetActivity moving...", "Move t.zip", "EndRun"}},
        {"-d t.zip a.txt",
         {"BeginRun 0", "SetActivity deleting...", "BeginFile a.txt  0", "SetActivity copying...",
          "BeginFile b.txt  47", "SetActivity moving...", "Move t.zip", "EndRun"}},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.commandLine);
        test::ScriptedUiHost ui;
        ASSERT_EQ(Run(step.commandLine, ui), 0);
        EXPECT_EQ(Activities(ui.runCalls), step.calls);
    }
}

TEST_F(ArchivingProgressTest, TheArchiveIsNamedAndARepairReadsEachMemberVisibly) {
    test::ScriptedUiHost first;
    ASSERT_EQ(Run("t.zip a.txt b.txt", first), 0);
    const struct {
        const char* commandLine;
        int readingCalls;
    } runs[] = {{"t.zip a.txt", 0}, {"-F t.zip a.txt", 2}};
    for (const auto& run : runs) {
        SCOPED_TRACE(run.commandLine);
        test::ScriptedUiHost ui;
        ASSERT_EQ(Run(run.commandLine, ui), 0);
        ASSERT_GE(ui.runCalls.size(), 2u);
        EXPECT_EQ(ui.runCalls[1], "SetArchiveName t.zip");
        EXPECT_EQ(std::count(ui.runCalls.begin(), ui.runCalls.end(), "SetActivity reading..."), run.readingCalls);
    }
}

TEST_F(ArchivingProgressTest, WithoutAWindowOnlyAHostThatDrawsProgressIsTold) {
    for (const bool draws : {false, true}) {
        SCOPED_TRACE(draws);
        test::ScriptedUiHost ui;
        ui.showsProgressWithoutWindow = draws;
        archive::ArchiveContext context;
        const std::string name = draws ? "drawn.zip" : "silent.zip";
        ASSERT_EQ(archive::RunZip(context, nullptr, name + " a.txt"), 0);
        // Progress itself reaches every host; the framing and the names only one that asked.
        std::vector<std::string> told;
        for (const std::string& call : ui.runCalls) {
            if (call != "Progress") told.push_back(call);
        }
        const std::vector<std::string> expected = {
            "BeginRun 0", "SetArchiveName " + name, "SetActivity adding...", "SetActivity moving...", "Move " + name,
            "EndRun"};
        EXPECT_EQ(told, draws ? expected : std::vector<std::string>{});
    }
}

TEST_F(ArchivingProgressTest, AMoveTheHostCouldNotMakeFallsBackToCopying) {
    test::ScriptedUiHost ui;
    ui.moveAnswer = 0;
    ASSERT_EQ(Run("t.zip a.txt", ui), 0);
    const std::vector<std::string> calls = Activities(ui.runCalls);
    ASSERT_GE(calls.size(), 4u);
    EXPECT_EQ(calls[calls.size() - 4], "Move t.zip");
    EXPECT_EQ(calls[calls.size() - 3], "SetActivity copying...");
    EXPECT_EQ(calls[calls.size() - 2].rfind("BeginFile ", 0), 0u);
    EXPECT_TRUE(test::ReadWholeFile(dir / "t.zip").has_value());
}

TEST_F(ArchivingProgressTest, AMoveTheHostMadeIsNotRepeated) {
    test::ScriptedUiHost ui;
    ui.moveAnswer = 1;
    ASSERT_EQ(Run("t.zip a.txt", ui), 0);
    const std::vector<std::string> calls = Activities(ui.runCalls);
    ASSERT_GE(calls.size(), 2u);
    EXPECT_EQ(calls[calls.size() - 2], "Move t.zip");
    EXPECT_TRUE(test::ReadWholeFile(dir / "t.zip").has_value());
}

}  // namespace
}  // namespace tovra::api
