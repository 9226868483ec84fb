// archive_arguments_test.cpp - the walk over the archiving arguments and the
// rules after it: what each option string leaves in the settings, where the
// walk stops, the -n suffix list taking the next argument, the -t date, and
// the archive name's normalisation.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "archive/archive_command_line.h"
#include "format/dos_time.h"
#include "support/file_helpers.h"
#include "support/scratch_dir.h"
#include "support/scripted_ui_host.h"

namespace tovra::archive {
namespace {

struct WalkCase {
    const char* command;
    int result;
    std::function<bool(const ArchiveContext&)> holds;
};

// Parses `command` in `dir` (files f and a.txt exist there).
int Parse(ArchiveContext& context, const std::string& command) {
    context.ResetRunSettings();
    context.argumentList = {"Zip"};
    TokenizeArchiveCommandLine(context, command);
    return ParseArchiveArguments(context);
}

uint32_t Day(int year, int month, int day) {
    platform::CalendarTime t;
    t.year = year, t.month = month, t.day = day;
    return format::PackDosTime(t);
}

TEST(ArchiveArguments, OptionStringsLeaveTheirSettings) {
    test::ScratchDir dir;
    ASSERT_TRUE(test::WriteWholeFile(dir / "f", "x"));
    ASSERT_TRUE(test::WriteWholeFile(dir / "a.txt", "x"));
    const std::string caller = platform::GetCurrentDir();
    ASSERT_TRUE(platform::SetCurrentDir(dir.Path()));
    const WalkCase cases[] = {
        {"-rq9 a.zip f", 0,
         [](const ArchiveContext& c) {
             return c.recurseIntoDirs && !c.showWarnings && c.writer.compressionLevel == 9 &&
                    c.writer.storeSuffixes.empty() && c.writer.forcedMethod == -1;
         }},
        {"-0 a.zip f", 0,
         [](const ArchiveContext& c) { return c.writer.forcedMethod == 0 && c.writer.compressionLevel == 0; }},
        {"a.zip f", 0, [](const ArchiveContext& c) { return c.writer.storeSuffixes == kDefaultStoreSuffixes; }},
        {"-n .gif:.jpg a.zip f", 0, [](const ArchiveContext& c) { return c.writer.storeSuffixes == ".gif:.jpg"; }},
        {"-n : a.zip f", 0, [](const ArchiveContext& c) { return c.writer.storeSuffixes.empty(); }},
        {"-n -r a.zip f", 0,
         [](const ArchiveContext& c) { return c.writer.storeSuffixes == "a.zip" && c.archivePath == "f.ZIP"; }},
        {"-t 123199 a.zip f", 0,
         [](const ArchiveContext&) { return ProcessSettings().cutoffDate == Day(1999, 12, 31); }},
        {"-t 010280 a.zip f", 0, [](const ArchiveContext&) { return ProcessSettings().cutoffDate == Day(1980, 1, 2); }},
        {"-t 010203 a.zip f", 0, [](const ArchiveContext&) { return ProcessSettings().cutoffDate == Day(2003, 1, 2); }},
        {"a.zip -t 010203 f", 0, [](const ArchiveContext& c) { return c.archivePath == "f.ZIP"; }},
        {"a.zip f -i *.c -r", 0,
         [](const ArchiveContext& c) {
             return !c.recurseIntoDirs && c.selectPatterns.size() == 1 && c.selectPatterns[0].text == "*.c";
         }},
        {"a.zip f -x *.c *.h -i x", 0,
         [](const ArchiveContext& c) { return c.selectPatterns.size() == 3 && c.includeCount == 1; }},
        {"-A sfx f", 0, [](const ArchiveContext& c) { return c.archivePath == "sfx" && c.adjustOffsets; }},
        {"dir.v2\\out f", 0, [](const ArchiveContext& c) { return c.archivePath == "dir.v2/out.ZIP"; }},
        {"-F -A a.zip f", 0, [](const ArchiveContext& c) { return c.writer.repairLevel == 0 && c.adjustOffsets; }},
        {"-llvv a.zip f", 0,
         [](const ArchiveContext& c) { return c.writer.lineEndConversion == 2 && c.verbosity == 2; }},
        {"-vvq a.zip f", 0, [](const ArchiveContext& c) { return c.verbosity == 1 && !c.showWarnings; }},
        {"-u a.zip f", 0, [](const ArchiveContext&) { return ProcessSettings().action == ArchiveAction::kAdd; }},
        {"-d -9 a.zip f", kParseStop,
         [](const ArchiveContext&) { return ProcessSettings().action == ArchiveAction::kDelete; }},
        {"-mDSXJko a.zip f", 0,
         [](const ArchiveContext& c) {
             const ArchivingProcessSettings& s = ProcessSettings();
             return c.deleteSources && !c.storeDirEntries && c.includeHiddenSystem && !c.writer.writeExtraFields &&
                    s.dropPreamble && c.dosNames && s.stampArchiveTime;
         }},
        {"-f a.zip", 0, [](const ArchiveContext& c) { return c.firstFileIndex == 0; }},
        {"a.zip f a.txt", 0,
         [](const ArchiveContext& c) { return c.firstFileIndex == 2 && c.pendingFiles.size() == 2; }},
        {"-h a.zip f", kParseStop, [](const ArchiveContext& c) { return c.pendingFiles.empty(); }},
        {"a.zip f -h", kParseStop, [](const ArchiveContext& c) { return c.pendingFiles.size() == 1; }},
        {"-d a.zip f -0", 16, [](const ArchiveContext&) { return true; }},
        {"-z -d a.zip f", 16, [](const ArchiveContext&) { return true; }},
        {"-g a.zip f", kParseStop, [](const ArchiveContext& c) { return c.appendInPlace; }},
        {"-b tmp a.zip f", 0, [](const ArchiveContext&) { return ProcessSettings().tempPathGiven; }},
    };
    for (const WalkCase& c : cases) {
        test::ScriptedUiHost ui;
        ArchiveContext context;
        EXPECT_EQ(Parse(context, c.command), c.result) << c.command << "\n" << ui.AllMessageTexts();
        EXPECT_TRUE(c.holds(context)) << c.command;
    }
    platform::SetCurrentDir(caller);
}

}  // namespace
}  // namespace tovra::archive
