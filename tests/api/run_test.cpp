// run_test.cpp - one Unzip run as a host sees it: the output directory is
// prepared before the archive is looked at (and only up to its last
// separator), the host's buffer is left alone when no text comes back, the
// current directory is the caller's again after every return, and the
// overwrite options stay in force from one call to the next.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "api_test_support.h"
#include "platform/platform.h"
#include "support/file_helpers.h"
#include "support/scratch_dir.h"
#include "tovra.h"

namespace tovra::apitest {
namespace {

constexpr size_t kBufferSize = 4096;

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

// Clears the process-wide overwrite options that earlier calls may have set
// (one process runs every test on Windows).
void ClearOverwriteOptions() { ASSERT_EQ(Unzip(nullptr, "-----------------o --n", nullptr, 0), 9); }

// Names in `directory` without "." and "..", sorted.
std::vector<std::string> EntriesOf(const std::string& directory) {
    std::vector<std::string> names;
    platform::DirectoryFinder finder;
    platform::FindData data;
    for (bool found = finder.FindFirst(directory + "\\*", &data); found; found = finder.FindNext(&data)) {
        if (data.name != "." && data.name != "..") names.push_back(data.name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

class RunTest : public ::testing::Test {
protected:
    void SetUp() override {
        ClearOverwriteOptions();
        std::memset(buffer, 'X', sizeof buffer);
        callerDirectory = CurrentDirectory();
    }
    void TearDown() override {
        EXPECT_EQ(CurrentDirectory(), callerDirectory);
        platform::SetCurrentDir(callerDirectory);
        ClearOverwriteOptions();
    }
    bool BufferUntouched() const {
        for (char c : buffer) {
            if (c != 'X') return false;
        }
        return true;
    }
    int Run(const std::string& commandLine) {
        return Unzip(nullptr, commandLine.c_str(), buffer, static_cast<int>(sizeof buffer));
    }

    test::ScratchDir dir;
    char buffer[kBufferSize];
    std::string callerDirectory;
};

TEST_F(RunTest, CommandLineWithoutArchiveTouchesNothing) {
    EXPECT_EQ(Run(""), 9);
    EXPECT_EQ(Run("-l -o"), 9);
    EXPECT_EQ(Unzip(nullptr, nullptr, buffer, sizeof buffer), 9);
    EXPECT_TRUE(BufferUntouched());
}

TEST_F(RunTest, MissingArchiveLeavesTheBufferUntouched) {
    EXPECT_EQ(Run("-l " + Quoted(dir / "missing.zip")), 9);
    EXPECT_EQ(Run(Quoted(dir / "missing.zip") + " " + Quoted(dir.WithSeparator())), 9);
    EXPECT_TRUE(BufferUntouched());
}

TEST_F(RunTest, OutputDirectoryIsCreatedBeforeTheArchiveIsLookedAt) {
    EXPECT_EQ(Run(Quoted(dir / "missing.zip") + " " + Quoted(dir / "out\\deep\\")), 9);
    EXPECT_TRUE(platform::IsDirectory(dir / "out/deep"));
}

TEST_F(RunTest, OutputDirectoryWithoutTrailingSeparatorCreatesOnlyItsParents) {
    EXPECT_EQ(Run(Quoted(dir / "missing.zip") + " " + Quoted(dir / "a\\b")), 9);
    EXPECT_TRUE(platform::IsDirectory(dir / "a"));
    EXPECT_FALSE(platform::FileExists(dir / "a/b"));
}

TEST_F(RunTest, DirectoryNameWithASecondByteOf5CIsOneName) {
    // 0x95 0x5C is one character in code page 932 (the api tests run in it on
    // both builds); its second byte must not split the name.
    ASSERT_EQ(platform::CodePage(), 932);
    const std::string name = "\x95\x5C";
    EXPECT_EQ(Run(Quoted(dir / (name + "\\missing.zip")) + " " + Quoted(dir / (name + "\\sub\\"))), 9);
    EXPECT_TRUE(platform::IsDirectory(dir / (name + "\\sub")));
    EXPECT_EQ(EntriesOf(dir.Path()), std::vector<std::string>{name});
}

TEST_F(RunTest, NegativeOrMissingBufferSizeCopiesNothing) {
    ASSERT_TRUE(test::WriteWholeFile(dir / "arc.zip", BuildStoredArchive({{"a.txt", "alpha"}}, "the comment")));
    EXPECT_EQ(Unzip(nullptr, ("-z " + Quoted(dir / "arc.zip")).c_str(), buffer, -5), 0);
    EXPECT_EQ(Unzip(nullptr, ("-z " + Quoted(dir / "arc.zip")).c_str(), nullptr, 100), 0);
    EXPECT_TRUE(BufferUntouched());
}

TEST_F(RunTest, ArchiveCommentComesBackZeroTerminated) {
    ASSERT_TRUE(test::WriteWholeFile(dir / "arc.zip", BuildStoredArchive({{"a.txt", "alpha"}}, "the comment")));
    EXPECT_EQ(Run("-z " + Quoted(dir / "arc.zip")), 0);
    const std::string text(buffer);
    EXPECT_NE(text.find("the comment"), std::string::npos) << text;
    EXPECT_LT(text.size(), sizeof buffer);
}

TEST_F(RunTest, ExtractionIntoARelativeOutputDirectoryRestoresTheCurrentDirectory) {
    ASSERT_TRUE(test::WriteWholeFile(dir / "arc.zip", BuildStoredArchive({{"a.txt", "alpha"}, {"d/b.txt", "beta"}})));
    ASSERT_TRUE(platform::SetCurrentDir(dir.Path()));
    const std::string inScratch = CurrentDirectory();
    EXPECT_EQ(Run("arc.zip rel\\"), 0);
    EXPECT_EQ(CurrentDirectory(), inScratch);
    EXPECT_EQ(test::ReadWholeFile(dir / "rel/a.txt").value_or("<missing>"), "alpha");
    EXPECT_EQ(test::ReadWholeFile(dir / "rel/b.txt").value_or("<missing>"), "beta");  // paths dropped without -j
    EXPECT_TRUE(BufferUntouched());
    platform::SetCurrentDir(callerDirectory);
}

TEST_F(RunTest, ListingOfANamedMemberComesBackInTheBuffer) {
    ASSERT_TRUE(test::WriteWholeFile(dir / "arc.zip", BuildStoredArchive({{"first.txt", "1"}, {"second.txt", "22"}})));
    EXPECT_EQ(Run("-l " + Quoted(dir / "arc.zip")), 0);
    const std::string text(buffer);
    EXPECT_NE(text.find("first.txt"), std::string::npos) << text;
    EXPECT_NE(text.find("second.txt"), std::string::npos) << text;
}

TEST_F(RunTest, QuotedArchivePathWithDoubleByteNameAndSpace) {
    ASSERT_EQ(platform::CodePage(), 932);
    const std::string folder = dir / "\x95\x5C dir";
    ASSERT_TRUE(platform::MakeDirectory(folder));
    ASSERT_TRUE(test::WriteWholeFile(folder + "\\arc.zip", BuildStoredArchive({{"m.txt", "member"}})));
    EXPECT_EQ(Run("-o " + Quoted(folder + "\\arc.zip") + " " + Quoted(folder + "\\out\\")), 0);
    EXPECT_EQ(test::ReadWholeFile(folder + "\\out\\m.txt").value_or("<missing>"), "member");
}

// A current directory whose name ends in a double-byte character with the
// second byte 0x5C (表 0x95 0x5C, ソ 0x83 0x5C): relative archive paths and
// output directories are taken inside it, never beside it, and without an
// output directory (or with an empty one) the member lands in it.
TEST_F(RunTest, RelativePathsFromADirectoryWhoseNameEndsInSecondByte5C) {
    ASSERT_EQ(platform::CodePage(), 932);
    const std::vector<std::string> folderNames = {"\x83\x5C", "\x95\x5C"};
    for (const std::string& folderName : folderNames) {
        SCOPED_TRACE(folderName);
        const std::string folder = dir / folderName;
        ASSERT_TRUE(platform::MakeDirectory(folder));
        ASSERT_TRUE(test::WriteWholeFile(folder + "\\a.zip", BuildStoredArchive({{"d/m.txt", "member"}})));
        const struct {
            std::string command;
            std::string landing;  // below the folder
        } runs[] = {
            {"a.zip", "m.txt"},
            {"a.zip \"\"", "m.txt"},
            {"a.zip out\\", "out/m.txt"},
            {"a.zip out", "outm.txt"},  // no trailing separator: a plain prefix
            {"-j a.zip sub\\deeper\\", "sub/deeper/d/m.txt"},
            {"-j a.zip", "d/m.txt"},
            {"a.zip " + Quoted(folder + "\\abs\\"), "abs/m.txt"},
        };
        ASSERT_TRUE(platform::SetCurrentDir(folder));
        const std::string inFolder = CurrentDirectory();
        EXPECT_EQ(Run("-l a.zip"), 0);
        for (const auto& run : runs) {
            SCOPED_TRACE(run.command);
            EXPECT_EQ(Run("-o " + run.command), 0);
            EXPECT_EQ(CurrentDirectory(), inFolder);
            EXPECT_EQ(test::ReadWholeFile(folder + "\\" + run.landing).value_or("<missing>"), "member");
            platform::DeletePath(folder + "\\" + run.landing);
        }
        platform::SetCurrentDir(callerDirectory);
    }
    EXPECT_EQ(EntriesOf(dir.Path()), folderNames);
}

#ifndef _WIN32
// Message boxes and the overwrite question are answered by a script natively;
// on Windows they would be real windows waiting for a person.

TEST_F(RunTest, OutputDirectoryComponentThatIsAFileFailsTheRunWithAMessage) {
    LibraryUiHost ui;
    ASSERT_TRUE(test::WriteWholeFile(dir / "arc.zip", BuildStoredArchive({{"a.txt", "alpha"}})));
    ASSERT_TRUE(test::WriteWholeFile(dir / "blocker", "file"));
    EXPECT_EQ(Run(Quoted(dir / "arc.zip") + " " + Quoted(dir / "blocker\\out\\")), -1);
    ASSERT_EQ(ui.messages.size(), 1u) << ui.AllMessageTexts();
    EXPECT_EQ(ui.messages[0].text, dir / "blocker" + "\nすでにディレクトリ以外の属性で存在しています。");
    EXPECT_EQ(ui.messages[0].icon, platform::MessageIcon::kStop);
    EXPECT_EQ(test::ReadWholeFile(dir / "blocker").value_or(""), "file");
    EXPECT_TRUE(BufferUntouched());
}

TEST_F(RunTest, OverwriteOptionsStayInForceForLaterCalls) {
    LibraryUiHost ui;
    ASSERT_TRUE(test::WriteWholeFile(dir / "arc.zip", BuildStoredArchive({{"a.txt", "new"}})));
    ASSERT_TRUE(platform::MakeDirectory(dir / "out"));
    ASSERT_TRUE(test::WriteWholeFile(dir / "out/a.txt", "old"));
    const std::string extract = Quoted(dir / "arc.zip") + " " + Quoted(dir / "out\\");

    // Overwrite-all set by one call (whose archive does not even exist)...
    EXPECT_EQ(Run("-o " + Quoted(dir / "missing.zip")), 9);
    // ...replaces without asking in the next.
    EXPECT_EQ(Run(extract), 0);
    EXPECT_TRUE(ui.overwriteQuestions.empty());
    EXPECT_EQ(test::ReadWholeFile(dir / "out/a.txt").value_or(""), "new");

    // A negated o clears it for the calls after it: the question comes back
    // and the scripted No keeps the file.
    ASSERT_TRUE(test::WriteWholeFile(dir / "out/a.txt", "old"));
    EXPECT_EQ(Run("--o " + Quoted(dir / "missing.zip")), 9);
    ui.overwriteAnswers.push_back(platform::OverwriteAnswer::kNo);
    EXPECT_EQ(Run(extract), 0);
    EXPECT_EQ(ui.overwriteQuestions.size(), 1u);
    EXPECT_EQ(test::ReadWholeFile(dir / "out/a.txt").value_or(""), "old");

    // Never-overwrite keeps the file without a question, even next to -o.
    EXPECT_EQ(Run("-n " + Quoted(dir / "missing.zip")), 9);
    EXPECT_EQ(Run("-o " + extract), 0);
    EXPECT_EQ(ui.overwriteQuestions.size(), 1u);
    EXPECT_EQ(test::ReadWholeFile(dir / "out/a.txt").value_or(""), "old");
}
#endif

}  // namespace
}  // namespace tovra::apitest
