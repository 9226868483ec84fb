// path_directories_test.cpp - creating the directories of a path: only up to
// the last separator, double-byte characters never split, and the two
// failures (cannot create; exists as a file) reported in a stop message box.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "extract/Cunzip.h"
#include "platform/platform.h"
#include "support/code_page.h"
#include "support/file_helpers.h"
#include "support/scratch_dir.h"
#include "support/scripted_ui_host.h"

namespace tovra::extract {
namespace {

TEST(CreatePathDirectoriesTest, CreatesEveryDirectoryUpToTheLastSeparator) {
    test::ScratchDir dir;
    test::ScriptedUiHost ui;
    EXPECT_EQ(CreatePathDirectories(dir.Path() + "\\a\\b/c\\", nullptr), 1);
    EXPECT_TRUE(platform::IsDirectory(dir / "a/b/c"));

    EXPECT_EQ(CreatePathDirectories(dir.Path() + "/x/y/file", nullptr), 1);
    EXPECT_TRUE(platform::IsDirectory(dir / "x/y"));
    EXPECT_FALSE(platform::FileExists(dir / "x/y/file"));

    EXPECT_EQ(CreatePathDirectories(dir.Path() + "//double//", nullptr), 1);
    EXPECT_TRUE(platform::IsDirectory(dir / "double"));

    EXPECT_EQ(CreatePathDirectories(dir.Path(), nullptr), 1);  // exists already
    EXPECT_EQ(CreatePathDirectories("", nullptr), 1);          // names no directory
    EXPECT_TRUE(ui.messages.empty()) << ui.AllMessageTexts();
}

TEST(CreatePathDirectoriesTest, ComponentThatIsAFileIsReported) {
    test::ScratchDir dir;
    test::ScriptedUiHost ui;
    ASSERT_TRUE(test::WriteWholeFile(dir / "plain", "x"));
    EXPECT_EQ(CreatePathDirectories(dir.Path() + "/plain/sub/", nullptr), 0);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, dir.Path() + "/plain\nすでにディレクトリ以外の属性で存在しています。");
    EXPECT_EQ(ui.messages[0].icon, platform::MessageIcon::kStop);
    EXPECT_FALSE(platform::FileExists(dir / "plain/sub"));
}

TEST(CreatePathDirectoriesTest, DirectoryThatCannotBeCreatedIsReported) {
    test::ScratchDir dir;
    test::ScriptedUiHost ui;
    // No file system takes a 300-byte name, whoever asks.
    const std::string tooLong = dir.Path() + "/" + std::string(300, 'n');
    EXPECT_EQ(CreatePathDirectories(tooLong + "/deeper/", nullptr), 0);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, tooLong + "\nディレクトリの作成に失敗しました。");
    EXPECT_EQ(ui.messages[0].icon, platform::MessageIcon::kStop);
}

// A drive ("C:" and its separator) and a server path's server and share are
// never created: the first prefix tried is the one after them. Natively both
// are ordinary names, so the failure message shows which prefix was tried.
TEST(CreatePathDirectoriesTest, DriveAndServerPrefixesAreSkipped) {
#ifdef _WIN32
    GTEST_SKIP() << "on Windows C: is a real drive; the native build shows which prefix is tried";
#endif
    test::ScratchDir dir;
    const std::string caller = platform::GetCurrentDir();
    ASSERT_TRUE(platform::SetCurrentDir(dir.Path()));
    {
        test::ScriptedUiHost ui;
        EXPECT_EQ(CreatePathDirectories("C:\\dir\\", nullptr), 0);
        ASSERT_EQ(ui.messages.size(), 1u);
        EXPECT_EQ(ui.messages[0].text, "C:\\dir\nディレクトリの作成に失敗しました。");
        EXPECT_FALSE(platform::FileExists(dir / "C:"));
    }
    {
        test::ScriptedUiHost ui;
        EXPECT_EQ(CreatePathDirectories("\\\\no-such-server\\share\\dir\\", nullptr), 0);
        ASSERT_EQ(ui.messages.size(), 1u);
        EXPECT_EQ(ui.messages[0].text, "\\\\no-such-server\\share\\dir\nディレクトリの作成に失敗しました。");
    }
    platform::SetCurrentDir(caller);
}

// 0x95 0x5C is one Shift JIS character whose second byte is '\'.
TEST(CreatePathDirectoriesTest, SecondByteOfADoubleByteCharacterIsNoSeparator) {
    test::ScopedCodePage sjis(932);
    ASSERT_TRUE(sjis.Active());
    test::ScratchDir dir;
    test::ScriptedUiHost ui;
    EXPECT_EQ(CreatePathDirectories(dir.Path() + "\\\x95\x5C\\sub\\", nullptr), 1);
    EXPECT_TRUE(platform::IsDirectory(dir.Path() + "/\x95\x5C/sub"));
    // The scratch directory holds that one directory and nothing named by a
    // lone lead byte (asked through a listing: Windows cannot even name one).
    std::vector<std::string> names;
    platform::DirectoryFinder finder;
    platform::FindData found;
    for (bool more = finder.FindFirst(dir.Path() + "/*", &found); more; more = finder.FindNext(&found)) {
        if (found.name != "." && found.name != "..") names.push_back(found.name);
    }
    EXPECT_EQ(names, std::vector<std::string>{"\x95\x5C"});
    EXPECT_TRUE(ui.messages.empty()) << ui.AllMessageTexts();
}

}  // namespace
}  // namespace tovra::extract
