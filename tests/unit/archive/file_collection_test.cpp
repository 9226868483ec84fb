// Tests of the file collection on scratch trees: what CollectFromDisk and
// ProcessName find (wildcards, -r order, -D, hidden files, Shift JIS names,
// link loops, paths too long for the system), the members they mark, the
// archive kept out of itself, and CheckDuplicateNames.
#include "archive/file_collection.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "support/code_page.h"
#include "support/file_helpers.h"
#include "support/scratch_dir.h"
#include "support/scripted_ui_host.h"

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace tovra::archive {
namespace {

using Names = std::vector<std::string>;

Names Sorted(Names names) {
    std::sort(names.begin(), names.end());
    return names;
}

class FileCollectionTest : public ::testing::Test {
protected:
    void SetUp() override {
        saved_ = platform::GetCurrentDir();
        ASSERT_TRUE(platform::SetCurrentDir(dir_.Path()));
        context_.ResetRunSettings();
    }
    void TearDown() override { platform::SetCurrentDir(saved_); }

    void Files(const Names& names) {
        for (const std::string& n : names) {
            ASSERT_TRUE(n.back() == '/' ? platform::MakeDirectory(n) : test::WriteWholeFile(n, "x")) << n;
        }
    }
    void Members(const Names& names) {
        for (const std::string& n : names) context_.contents.Append()->internalName = n;
        context_.contents.SortByName();
    }
    int Collect(std::string argument) { return CollectFromDisk(context_, argument); }
    int Process(std::string name) { return ProcessName(context_, name); }
    Names Pending() const {
        Names names;
        for (const PendingFile& file : context_.pendingFiles) names.push_back(file.internalName);
        return names;
    }
    Names Marked() {
        Names names;
        for (format::ZipEntry* e = context_.contents.entries; e != nullptr; e = e->next) {
            if (e->actionMark == 1) names.push_back(e->internalName);
            e->actionMark = 0;
        }
        return names;
    }
    int Warnings(const std::string& text) const {
        return static_cast<int>(std::count_if(ui_.messages.begin(), ui_.messages.end(),
                                              [&](const auto& m) { return m.text.find(text) != std::string::npos; }));
    }

    test::ScratchDir dir_;
    std::string saved_;
    test::ScriptedUiHost ui_;
    ArchiveContext context_;
};

struct CollectCase {
    const char* argument;
    const char* options;  // r: -r, D: -D, S: -S
    int result;
    Names pending;  // in the order found; sorted when it starts with "sorted:" (listing order)
};

const CollectCase kCollectCases[] = {
    {"*.txt", "", 0, {"sorted:", "Bar.TXT", "foo.txt"}},
    {"*.txt", "S", 0, {"sorted:", ".hidden.txt", "Bar.TXT", "foo.txt"}},
    {"f*", "", 0, {"sorted:", "foo.txt", "food"}},
    {"src\\sub\\*", "", 0, {"sorted:", "src/sub/deeper/", "src/sub/g"}},
    {"*.none", "", -1, {}},
    {"s*/f1", "", 16, {}},
    {"src", "", 0, {"src/"}},
    {"src", "r", 0, {"src/", "src/sub/", "src/sub/deeper/", "src/sub/deeper/h", "src/sub/g", "src/f1"}},
    {"src", "rD", 0, {"src/sub/deeper/h", "src/sub/g", "src/f1"}},
    {"src", "D", 0, {}},
};

TEST_F(FileCollectionTest, TableOfArguments) {
    Files({"foo.txt", "Bar.TXT", "food", ".hidden.txt", "src/", "src/sub/", "src/sub/deeper/", "src/f1", "src/sub/g",
           "src/sub/deeper/h"});
    platform::SetAttributes(".hidden.txt", platform::kAttrHidden);  // natively hidden by its name
    for (const CollectCase& c : kCollectCases) {
        context_.ResetRunSettings();
        const std::string options = c.options;
        context_.recurseIntoDirs = options.find('r') != std::string::npos;
        context_.storeDirEntries = options.find('D') == std::string::npos;
        context_.includeHiddenSystem = options.find('S') != std::string::npos;
        EXPECT_EQ(Collect(c.argument), c.result) << c.argument << " " << options;
        Names expected = c.pending, found = Pending();
        if (!expected.empty() && expected[0] == "sorted:") {
            expected.erase(expected.begin());
            found = Sorted(found);
        }
        EXPECT_EQ(found, expected) << c.argument << " " << options;
    }
}

TEST_F(FileCollectionTest, ParentDirectoryWithDeleteSourcesIsRefused) {
    context_.recurseIntoDirs = context_.deleteSources = true;
    EXPECT_EQ(Collect(".."), 16);
    EXPECT_EQ(Warnings("cannot remove parent directory"), 1);
}

TEST_F(FileCollectionTest, FoundFileMarksItsMemberAndPatternsFilter) {
    Files({"old.txt", "new.txt", "skip.log"});
    Members({"old.txt"});
    EXPECT_EQ(Collect("*"), 0);
    EXPECT_EQ(Marked(), Names{"old.txt"});
    EXPECT_EQ(context_.contents.entries->externalName, "old.txt");
    EXPECT_EQ(Sorted(Pending()), (Names{"new.txt", "skip.log"}));

    context_.pendingFiles.clear();
    context_.selectPatterns = {{"n*", 'i'}, {"*.log", 'x'}};
    context_.includeCount = 1;
    EXPECT_EQ(Collect("*"), 0);
    EXPECT_EQ(Pending(), Names{"new.txt"});
    EXPECT_TRUE(Marked().empty());
}

TEST_F(FileCollectionTest, NamesNotOnDiskMatchMembers) {
    Files({"c.log"});
    Members({"a.txt", "b.txt", "c.log"});
    EXPECT_EQ(Process("*.txt"), 0);
    EXPECT_EQ(Marked(), (Names{"a.txt", "b.txt"}));
    EXPECT_EQ(Process("*.log"), 0);  // also while a file on disk matches it
    EXPECT_EQ(Marked(), Names{"c.log"});
    EXPECT_EQ(Process("*.none"), -1);
    EXPECT_TRUE(context_.pendingFiles.empty());
}

TEST_F(FileCollectionTest, TheArchiveIsNeverAddedToItself) {
    Files({"a.zip", "copy.zip"});
    platform::FileStatus status;
    ASSERT_TRUE(platform::GetFileStatus("a.zip", &status));
    ASSERT_TRUE(platform::SetModificationTime("copy.zip", status.modificationTime));
    context_.archivePath = "a.zip";
    EXPECT_EQ(Collect("*"), 0);
    EXPECT_EQ(Pending(), Names{"copy.zip"});  // same bytes and time, another file
    EXPECT_EQ(Collect(dir_ / "a.zip"), 0);    // the archive by another name
    EXPECT_EQ(Pending(), Names{"copy.zip"});
    context_.pendingFiles.clear();
    context_.tempArchivePath = dir_ / "copy.zip";
    EXPECT_EQ(Collect("*"), 0);
    EXPECT_TRUE(context_.pendingFiles.empty());
}

TEST_F(FileCollectionTest, DuplicateNames) {
    Files({"a/", "b/", "a/x.txt", "b/x.txt", "y.txt"});
    EXPECT_EQ(Collect("y.txt") + Collect("y.txt"), 0);
    EXPECT_EQ(CheckDuplicateNames(context_), 0);
    EXPECT_EQ(Pending(), Names{"y.txt"});  // the same file named twice is added once

    context_.keepPaths = false;
    EXPECT_EQ(Collect("a/x.txt") + Collect("b/x.txt"), 0);
    EXPECT_EQ(CheckDuplicateNames(context_), 16);
    ASSERT_EQ(ui_.messages.size(), 3u);
    EXPECT_EQ(ui_.messages[0].text, "zip warning: name in zip file repeated: x.txt\n");
    EXPECT_EQ(ui_.messages[1].text, "zip warning:   first full name: a/x.txt\n");
    EXPECT_EQ(ui_.messages[2].text, "zip warning:  second full name: b/x.txt\n");
}

TEST_F(FileCollectionTest, ShiftJisNamesWithBackslashSecondBytes) {
    test::ScopedCodePage sjis(932);
    if (!sjis.Active()) GTEST_SKIP() << "needs code page 932";
    const std::string table = "\x95\x5C", soft = "\x83\x5C\x83\x74\x83\x67";  // second bytes '\', 't', 'g'
    Files({table + "/", table + "\\" + soft + ".txt", table + "\\plain.txt"});
    EXPECT_EQ(Collect(table + "\\*\x83\x74*"), 0);
    EXPECT_EQ(Pending(), Names{table + "/" + soft + ".txt"});
    context_.recurseIntoDirs = true;
    EXPECT_EQ(Collect(table), 0);
    EXPECT_EQ(Pending().size(), 4u);
}

#ifndef _WIN32
TEST_F(FileCollectionTest, LinkLoopIsNotFollowed) {
    Files({"loop/", "loop/f", "other/", "other/o"});
    ASSERT_EQ(symlink("..", "loop/up") + symlink(".", "loop/self") + symlink("../other", "loop/side"), 0);
    context_.recurseIntoDirs = true;
    context_.storeDirEntries = false;
    EXPECT_EQ(Collect("loop"), 0);
    EXPECT_EQ(Sorted(Pending()), (Names{"loop/f", "loop/side/o", "loop/up/other/o"}));
    EXPECT_EQ(Warnings("directory loop not followed: "), 2);  // loop/self and loop/up/loop
}

TEST_F(FileCollectionTest, TreeDeeperThanThePathLimit) {
    const std::string level(200, 'd');  // the path passes 4096 bytes near level 20
    for (int i = 0; i < 24; ++i) ASSERT_EQ(mkdir(level.c_str(), 0755) + chdir(level.c_str()), 0);
    ASSERT_TRUE(test::WriteWholeFile("f", "x"));
    ASSERT_TRUE(platform::SetCurrentDir(dir_.Path()));
    Files({level + "/top"});
    context_.recurseIntoDirs = true;
    context_.storeDirEntries = false;
    EXPECT_EQ(Collect(level), 0);
    EXPECT_EQ(Pending(), Names{level + "/top"});
    EXPECT_EQ(Warnings("name not matched: "), 1);
    for (int i = 0; i < 24; ++i) ASSERT_EQ(chdir(level.c_str()), 0);  // too deep for the scratch removal
    for (int i = 0; i < 24; ++i) {
        unlink("f");
        unlink("top");
        ASSERT_EQ(chdir("..") + rmdir(level.c_str()), 0);
    }
}
#endif

}  // namespace
}  // namespace tovra::archive
