// zip_command_test.cpp - Zip as a host calls it: command strings of the
// archiving command line as data (result code, the archive's members
// afterwards, the text of a message box natively), and the run's promises:
// the first error's code comes back, every failing run cleans up after
// itself, the old archive survives errors and cancels byte for byte, -g
// appends without copying, -m keeps a file changed during the run, and the
// current directory is the caller's again after every call.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "api_test_support.h"
#include "platform/platform.h"
#include "support/file_helpers.h"
#include "support/scratch_dir.h"
#include "tovra.h"

namespace tovra::apitest {
namespace {

constexpr const char* kNoArchive = "<none>";

// Member names of `archive` in directory order; {kNoArchive} when it cannot be listed.
std::vector<std::string> Members(const std::string& archive) {
    TovraArchive handle = UnzipOpenArchive(nullptr, archive.c_str(), 0);
    if (handle == nullptr) return {kNoArchive};
    std::vector<std::string> names;
    EntryInfoRecord record{};
    for (int r = UnzipFindFirst(handle, "*", &record); r == 0; r = UnzipFindNext(handle, &record)) {
        names.push_back(record.name);
    }
    UnzipCloseArchive(handle);
    return names;
}

std::vector<std::string> Sorted(std::vector<std::string> names) {
    std::sort(names.begin(), names.end());
    return names;
}

// A tree to archive, made in the test's directory and entered for the call.
class ZipCommandTest : public ::testing::Test {
protected:
    void SetUp() override {
        caller = CurrentDirectory();
        temp.emplace(dir / "tmp");
        ASSERT_TRUE(platform::MakeDirectory(dir / "tmp"));
        ASSERT_TRUE(platform::MakeDirectory(dir / "work"));
        work = dir / "work";
        for (const char* sub : {"sub", "sub2"}) ASSERT_TRUE(platform::MakeDirectory(work + "/" + sub));
        for (const char* name : {"a.txt", "b.c", "sub/c.txt", "sub/d.c", "sub2/c.txt"}) {
            ASSERT_TRUE(test::WriteWholeFile(work + "/" + name, std::string("content of ") + name));
        }
        ASSERT_TRUE(platform::SetCurrentDir(work));
    }
    void TearDown() override {
        EXPECT_EQ(CurrentDirectory(), work);  // every Zip call gave the directory back
        platform::SetCurrentDir(caller);
        EXPECT_EQ(EntryCount(dir / "tmp"), 0u) << "a temporary archive was left behind";
        temp.reset();
    }
    int RunZip(const std::string& command) { return Zip(nullptr, command.c_str(), nullptr, 0); }

    test::ScratchDir dir;
    std::optional<ScopedTempDirectory> temp;
    std::string caller, work;
};

struct ZipCase {
    const char* setup;    // a Zip command run first ("" none); must succeed
    const char* command;  // the command under test
    int result;
    const char* archive;               // the archive inspected afterwards
    std::vector<std::string> members;  // sorted; {kNoArchive} when none may exist
    const char* message;               // a message box text must contain this ("" none checked)
};

TEST_F(ZipCommandTest, CommandStrings) {
    const ZipCase cases[] = {
        {"", "t.zip a.txt", 0, "t.zip", {"a.txt"}, ""},
        {"", "t a.txt", 0, "t.ZIP", {"a.txt"}, ""},
        {"", "-A sfx a.txt", 0, "sfx", {"a.txt"}, ""},
        {"", "sub\\t a.txt", 0, "sub/t.ZIP", {"a.txt"}, ""},
        {"", "-r t.zip sub", 0, "t.zip", {"sub/", "sub/c.txt", "sub/d.c"}, ""},
        {"", "-r -D t.zip sub", 0, "t.zip", {"sub/c.txt", "sub/d.c"}, ""},
        {"", "t.zip sub", 0, "t.zip", {"sub/"}, ""},
        {"", "-rq9 t.zip sub", 0, "t.zip", {"sub/", "sub/c.txt", "sub/d.c"}, ""},
        {"", "-j t.zip sub/c.txt b.c", 0, "t.zip", {"b.c", "c.txt"}, ""},
        {"", "t.zip a.txt a.txt", 0, "t.zip", {"a.txt"}, ""},
        {"", "t.zip nosuch a.txt", 0, "t.zip", {"a.txt"}, "zip warning: name not matched: nosuch"},
        {"", "-q t.zip nosuch a.txt", 0, "t.zip", {"a.txt"}, ""},
        {"", "-r t.zip . -x *.c", 0, "t.zip", {"a.txt", "sub/", "sub/c.txt", "sub2/", "sub2/c.txt"}, ""},
        {"t.zip a.txt",
         "-r t.zip .",
         0,
         "t.zip",
         {"a.txt", "b.c", "sub/", "sub/c.txt", "sub/d.c", "sub2/", "sub2/c.txt"},
         ""},
        {"", "-r t.zip *.x", 12, "t.zip", {kNoArchive}, "zip error: Nothing to do! (try: zip -r t.zip . -i *.x)"},
        {"", "t.zip *.x", 12, "t.zip", {kNoArchive}, "zip error: Nothing to do! (t.zip)"},
        {"",
         "-e t.zip a.txt",
         16,
         "t.zip",
         {kNoArchive},
         "zip error: Invalid command arguments (encryption not supported)"},
        {"", "-u -d t.zip a.txt", 16, "t.zip", {kNoArchive}, "(specify just one action)"},
        {"", "t.zip -b x a.txt", 16, "t.zip", {kNoArchive}, "(use -b before zip file name)"},
        {"", "-t 010203 -t 010203 t.zip a.txt", 16, "t.zip", {kNoArchive}, "(can only have one -t)"},
        {"", "-t 13xxxx t.zip a.txt", 16, "t.zip", {kNoArchive}, "(invalid date entered for -t option)"},
        {"", "-t -", 16, "t.zip", {kNoArchive}, "(invalid time)"},
        {"", "-b -", 16, "t.zip", {kNoArchive}, "(invalid path)"},
        {"", "t.zip -i *.txt", 16, "t.zip", {kNoArchive}, "(nothing to select from)"},
        {"", "-Y t.zip a.txt", 16, "t.zip", {kNoArchive}, "(no such option: Y)"},
        {"", "-n", 16, "t.zip", {kNoArchive}, "(missing suffix list)"},
        {"", "-j t.zip sub/c.txt sub2/c.txt", 16, "t.zip", {kNoArchive}, "(cannot repeat names in zip file)"},
        {"", "-r -m t.zip ..", 16, "t.zip", {kNoArchive}, "cannot remove parent directory"},
        {"", "-h t.zip a.txt", 0, "t.zip", {kNoArchive}, ""},
        {"", "t.zip a.txt -?", 0, "t.zip", {kNoArchive}, ""},
        {"", "- a.txt", 15, "t.zip", {kNoArchive}, ""},
        {"", "-g t.zip a.txt", 0, "t.zip", {kNoArchive}, "が見つからないか、または空です。"},
        {"", "-d t.zip a.txt", 0, "t.zip", {kNoArchive}, "が見つからないか、または空です。"},
        {"", "-u t.zip a.txt", 0, "t.zip", {"a.txt"}, ""},
        {"t.zip a.txt b.c", "-d t.zip a.txt -r", 16, "t.zip", {"a.txt", "b.c"}, "(invalid option(s) used with -d)"},
        {"t.zip a.txt b.c", "-d -9 t.zip a.txt", 0, "t.zip", {"b.c"}, ""},
        {"t.zip a.txt b.c", "-d t.zip *.c", 0, "t.zip", {"a.txt"}, ""},
        {"t.zip a.txt", "-d t.zip a.txt", 0, "t.zip", {kNoArchive}, "zip warning: zip file empty"},
        {"t.zip a.txt", "-g t.zip b.c", 0, "t.zip", {"a.txt", "b.c"}, ""},
        {"t.zip a.txt", "t.zip a.txt", 0, "t.zip", {"a.txt"}, ""},
        {"t.zip a.txt", "-f t.zip b.c", 0, "t.zip", {"a.txt"}, ""},
        {"t.zip a.txt b.c", "-u t.zip -i *.txt", 0, "t.zip", {"a.txt", "b.c"}, ""},
        {"", "t.zip sub -i *.c -r", 12, "t.zip", {kNoArchive}, "(t.zip)"},
        {"t.zip a.txt", "-o t.zip", 0, "t.zip", {"a.txt"}, ""},
        {"", "-o t.zip", 13, "t.zip", {kNoArchive}, "zip error: Missing or empty zip file (t.zip)"},
    };
    for (const ZipCase& c : cases) {
        SCOPED_TRACE(c.command);
        test::RemoveTree(work + "/t.zip");
        for (const char* leftover : {"t.ZIP", "sfx", "sub/t.ZIP"}) platform::DeletePath(work + "/" + leftover);
        if (*c.setup != '\0') {
            ASSERT_EQ(RunZip(c.setup), 0);
        }
#ifndef _WIN32
        LibraryUiHost ui;
#endif
        EXPECT_EQ(RunZip(c.command), c.result);
        const std::vector<std::string> members = Members(c.archive);
        EXPECT_EQ(members == std::vector<std::string>{kNoArchive} ? members : Sorted(members), c.members);
#ifndef _WIN32
        if (*c.message != '\0') {
            EXPECT_NE(ui.AllMessageTexts().find(c.message), std::string::npos) << ui.AllMessageTexts();
        }
#endif
    }
}

TEST_F(ZipCommandTest, BaseDirectoryTokenAndAbsoluteNames) {
    const std::string archive = dir / "out.zip";
    EXPECT_EQ(RunZip(work + "/sub/ \"" + archive + "\" c.txt"), 0);
    EXPECT_EQ(Members(archive), (std::vector<std::string>{"c.txt"}));
    // A base directory that cannot be entered is an error, not a run in the caller's directory.
    EXPECT_EQ(RunZip(work + "/nosuch/ -m t.zip a.txt"), 16);
    EXPECT_TRUE(platform::FileExists(work + "/a.txt"));
}

TEST_F(ZipCommandTest, UpdateWithNothingChangedLeavesTheArchiveAlone) {
    ASSERT_EQ(RunZip("t.zip a.txt b.c"), 0);
    const std::optional<std::string> before = test::ReadWholeFile(work + "/t.zip");
    platform::FileStatus status;
    ASSERT_TRUE(platform::GetFileStatus(work + "/t.zip", &status));
    ASSERT_TRUE(platform::SetModificationTime(work + "/t.zip", status.modificationTime - 100));
    EXPECT_EQ(RunZip("-u t.zip"), 0);
    EXPECT_EQ(RunZip("-u t.zip a.txt"), 0);
    EXPECT_EQ(test::ReadWholeFile(work + "/t.zip"), before);
    ASSERT_TRUE(platform::GetFileStatus(work + "/t.zip", &status));
    platform::FileStatus after;
    ASSERT_TRUE(platform::GetFileStatus(work + "/t.zip", &after));
    EXPECT_EQ(after.modificationTime, status.modificationTime);
}

TEST_F(ZipCommandTest, UpdateComparesTimesRoundedToEvenSeconds) {
    ASSERT_TRUE(platform::SetModificationTime(work + "/a.txt", 1600000001));  // odd: stored as ...002
    ASSERT_EQ(RunZip("t.zip a.txt"), 0);
    const std::optional<std::string> before = test::ReadWholeFile(work + "/t.zip");
    ASSERT_TRUE(platform::SetModificationTime(work + "/a.txt", 1600000002));  // the same DOS time
    EXPECT_EQ(RunZip("-u t.zip a.txt"), 0);
    EXPECT_EQ(test::ReadWholeFile(work + "/t.zip"), before);
    ASSERT_TRUE(platform::SetModificationTime(work + "/a.txt", 1600000003));  // two seconds later
    ASSERT_TRUE(test::WriteWholeFile(work + "/a.txt", "new content"));
    ASSERT_TRUE(platform::SetModificationTime(work + "/a.txt", 1600000003));
    EXPECT_EQ(RunZip("-u t.zip a.txt"), 0);
    EXPECT_NE(test::ReadWholeFile(work + "/t.zip"), before);
}

TEST_F(ZipCommandTest, CutoffDateTakesFilesFromThatDayOn) {
    ASSERT_TRUE(platform::SetModificationTime(work + "/a.txt", 946684800 + 86400 * 10));  // 2000-01-11
    ASSERT_TRUE(platform::SetModificationTime(work + "/b.c", 946684800 - 86400 * 10));    // 1999-12-22
    EXPECT_EQ(RunZip("-t 010500 t.zip a.txt b.c"), 0);
    EXPECT_EQ(Members(work + "/t.zip"), (std::vector<std::string>{"a.txt"}));
    EXPECT_EQ(RunZip("-t 010501 u.zip b.c"), 12);
}

TEST_F(ZipCommandTest, UpdateMoveDeletesUpToDateSources) {
    ASSERT_EQ(RunZip("t.zip a.txt b.c"), 0);
    const std::optional<std::string> before = test::ReadWholeFile(work + "/t.zip");
    EXPECT_EQ(RunZip("-u -m t.zip"), 0);
    EXPECT_EQ(test::ReadWholeFile(work + "/t.zip"), before);
    EXPECT_FALSE(platform::FileExists(work + "/a.txt"));
    EXPECT_FALSE(platform::FileExists(work + "/b.c"));
}

TEST_F(ZipCommandTest, HiddenArchiveStaysHidden) {
    ASSERT_EQ(RunZip(".h.zip a.txt"), 0);
    ASSERT_TRUE(platform::SetAttributes(work + "/.h.zip", platform::kAttrHidden | platform::kAttrArchive));
    EXPECT_EQ(RunZip(".h.zip b.c"), 0);
    EXPECT_EQ(Members(work + "/.h.zip"), (std::vector<std::string>{"a.txt", "b.c"}));
    EXPECT_NE(platform::GetAttributes(work + "/.h.zip") & platform::kAttrHidden, 0);
}

TEST_F(ZipCommandTest, ErrorsLeaveTheOldArchiveByteIdentical) {
    ASSERT_EQ(RunZip("-r t.zip sub a.txt"), 0);
    const std::optional<std::string> before = test::ReadWholeFile(work + "/t.zip");
    // Two failing runs in one process: each reports and each cleans up.
    for (const char* command : {"t.zip -Y", "-j t.zip sub/c.txt sub2/c.txt", "-Y t.zip"}) {
        SCOPED_TRACE(command);
        EXPECT_EQ(RunZip(command), 16);
        EXPECT_EQ(test::ReadWholeFile(work + "/t.zip"), before);
    }
}

TEST_F(ZipCommandTest, ReadOnlyArchiveIsRefusedAndKept) {
    ASSERT_EQ(RunZip("t.zip a.txt"), 0);
    const std::optional<std::string> before = test::ReadWholeFile(work + "/t.zip");
    ASSERT_TRUE(platform::SetAttributes(work + "/t.zip", platform::kAttrReadOnly));
    EXPECT_EQ(RunZip("t.zip b.c"), 15);
    platform::SetAttributes(work + "/t.zip", platform::kAttrNormal);
    EXPECT_EQ(test::ReadWholeFile(work + "/t.zip"), before);
}

TEST_F(ZipCommandTest, AppendInPlaceKeepsTheOldBytes) {
    ASSERT_EQ(RunZip("t.zip a.txt sub/c.txt"), 0);
    const std::string before = test::ReadWholeFile(work + "/t.zip").value_or("");
    EXPECT_EQ(RunZip("-g t.zip b.c"), 0);
    const std::string after = test::ReadWholeFile(work + "/t.zip").value_or("");
    // Everything before the old central directory is untouched.
    const size_t centralDirectory = before.find("PK\x01\x02");
    ASSERT_NE(centralDirectory, std::string::npos);
    EXPECT_EQ(after.substr(0, centralDirectory), before.substr(0, centralDirectory));
    EXPECT_EQ(Members(work + "/t.zip"), (std::vector<std::string>{"a.txt", "sub/c.txt", "b.c"}));
}

#ifndef _WIN32
// Cancels the run at the n-th progress report.
TEST_F(ZipCommandTest, CancelLeavesTheArchiveAsItWas) {
    ASSERT_EQ(RunZip("t.zip a.txt b.c"), 0);
    const std::optional<std::string> before = test::ReadWholeFile(work + "/t.zip");
    for (const char* command : {"-r t.zip sub sub2", "-g -r t.zip sub sub2"}) {
        for (int after = 0; after < 4; ++after) {
            SCOPED_TRACE(std::string(command) + " cancelled after " + std::to_string(after));
            LibraryUiHost ui;
            ui.cancelAfterProgressCalls = after;
            EXPECT_EQ(RunZip(command), 9);
            EXPECT_TRUE(ui.messages.empty()) << ui.AllMessageTexts();
            EXPECT_EQ(test::ReadWholeFile(work + "/t.zip"), before);
        }
    }
}

// Changes a source file as soon as the run reports progress on it.
class TouchingUiHost : public LibraryUiHost {
public:
    explicit TouchingUiHost(std::string path) : path_(std::move(path)) {}
    void Progress(const std::string& itemName, uint64_t done, uint64_t total) override {
        LibraryUiHost::Progress(itemName, done, total);
        // The first report comes before the file is opened; the next ones while it is read.
        if (!touched_ && itemName.find("b.c") != std::string::npos && ++reports_ == 2) {
            touched_ = true;
            test::WriteWholeFile(path_, "changed while the run read it, and longer than before");
        }
    }

private:
    std::string path_;
    bool touched_ = false;
    int reports_ = 0;
};

// Removes a source file when the run announces it, before the writer opens it.
class RemovingUiHost : public LibraryUiHost {
public:
    explicit RemovingUiHost(std::string path) : path_(std::move(path)) {}
    void Progress(const std::string& itemName, uint64_t done, uint64_t total) override {
        LibraryUiHost::Progress(itemName, done, total);
        if (itemName.find("a.txt") != std::string::npos) platform::DeletePath(path_);
    }

private:
    std::string path_;
};

TEST_F(ZipCommandTest, UnreadableSourceDuringUpdateKeepsTheOldMember) {
    ASSERT_EQ(RunZip("t.zip a.txt b.c"), 0);
    ASSERT_TRUE(test::WriteWholeFile(work + "/a.txt", "newer"));
    ASSERT_TRUE(platform::SetModificationTime(work + "/a.txt", 4102444800));  // 2100
    RemovingUiHost ui(work + "/a.txt");
    EXPECT_EQ(RunZip("t.zip a.txt"), 0);
    const std::string texts = ui.AllMessageTexts();
    EXPECT_NE(texts.find("zip warning: could not open for reading: a.txt"), std::string::npos) << texts;
    EXPECT_NE(texts.find("zip warning: will just copy entry over: a.txt"), std::string::npos) << texts;
    EXPECT_EQ(Members(work + "/t.zip"), (std::vector<std::string>{"a.txt", "b.c"}));
    TovraMemory block = nullptr;
    uint32_t size = 0;
    ASSERT_EQ(UnzipExtractToMem(nullptr, (work + "/t.zip").c_str(), "a.txt", &block, &size), 0);
    EXPECT_EQ(std::string(static_cast<const char*>(LockBlock(block)), size), "content of a.txt");
    UnlockBlock(block);
    FreeBlock(block);
}

TEST_F(ZipCommandTest, MoveKeepsAFileChangedDuringTheRun) {
    TouchingUiHost ui(work + "/b.c");
    ASSERT_TRUE(test::WriteWholeFile(work + "/b.c", test::PatternBytes(200000)));
    EXPECT_EQ(RunZip("-m t.zip a.txt b.c"), 0);
    EXPECT_FALSE(platform::FileExists(work + "/a.txt"));
    EXPECT_TRUE(platform::FileExists(work + "/b.c"));
    EXPECT_NE(ui.AllMessageTexts().find("b.c"), std::string::npos) << ui.AllMessageTexts();
}
#endif

TEST_F(ZipCommandTest, MoveDeletesFilesThenEmptiedDirectories) {
    ASSERT_TRUE(test::WriteWholeFile(work + "/sub2/keep.bin", "x"));
    EXPECT_EQ(RunZip("-m -D -r t.zip sub sub2/c.txt"), 0);
    EXPECT_EQ(Sorted(Members(work + "/t.zip")), (std::vector<std::string>{"sub/c.txt", "sub/d.c", "sub2/c.txt"}));
    EXPECT_FALSE(platform::FileExists(work + "/sub"));
    EXPECT_FALSE(platform::FileExists(work + "/sub2/c.txt"));
    EXPECT_TRUE(platform::FileExists(work + "/sub2/keep.bin"));
}

TEST_F(ZipCommandTest, MoreThan65535MembersStopsBeforeAWrongRecord) {
    std::vector<StoredMember> members;
    for (int i = 0; i < 65535; ++i) members.push_back({"m" + std::to_string(i), ""});
    ASSERT_TRUE(test::WriteWholeFile(work + "/big.zip", BuildStoredArchive(members)));
    const std::optional<std::string> before = test::ReadWholeFile(work + "/big.zip");
    EXPECT_EQ(RunZip("-q big.zip a.txt"), 6);
    EXPECT_EQ(test::ReadWholeFile(work + "/big.zip"), before);
    EXPECT_EQ(RunZip("-q -d big.zip m7"), 0);  // one less fits again
    EXPECT_EQ(Members(work + "/big.zip").size(), 65534u);
}

}  // namespace
}  // namespace tovra::apitest
