// zip_update_test.cpp - an update copies every unchanged member byte for
// byte: the archive an update writes after some files changed is the very
// archive a fresh create of the same files writes, for trees whose archive
// spans several read-ahead blocks (members crossing block ends), whether the
// files are named one by one or found by -r, and it passes the testers.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "support/file_helpers.h"
#include "support/scratch_dir.h"
#include "tovra.h"

#ifndef _WIN32
#include <unistd.h>
#endif

namespace {

using tovra::test::ReadWholeFile;
using tovra::test::WriteWholeFile;

constexpr int kFiles = 40;
constexpr int64_t kOldTime = 1600000000;  // every file's time before the change

std::string FileName(int i) { return (i % 3 == 0 ? "d/f" : "f") + std::to_string(100 + i); }

class ZipUpdate : public ::testing::Test {
protected:
    void SetUp() override {
        caller = tovra::platform::GetCurrentDir();
        ASSERT_TRUE(tovra::platform::MakeDirectory(dir / "d"));
        ASSERT_TRUE(tovra::platform::SetCurrentDir(dir.Path()));
        for (int i = 0; i < kFiles; ++i) {
            // Sizes from 1 to about 90000 bytes: about 1.8 MB that hardly compresses.
            const std::string data = tovra::test::PatternBytes(static_cast<size_t>(1 + i * 2311 % 90000), i);
            ASSERT_TRUE(WriteWholeFile(FileName(i), data));
            ASSERT_TRUE(tovra::platform::SetModificationTime(FileName(i), kOldTime));
        }
    }
    void TearDown() override { tovra::platform::SetCurrentDir(caller); }

    tovra::test::ScratchDir dir;
    std::string caller;
};

TEST_F(ZipUpdate, UpdateWritesWhatAFreshCreateWrites) {
    std::string names;
    for (int i = 0; i < kFiles; ++i) names += " " + FileName(i);
    struct UpdateCase {
        std::string arguments;  // what the create and the update name
        std::vector<int> changed;
    };
    const UpdateCase cases[] = {
        {"-r . -x *.zip", {0}},
        {"-r . -x *.zip", {kFiles - 1}},
        {"-r . -x *.zip", {5, 6, 20}},
        {names, {17}},
        {names, {}},  // nothing to do: the archive stays as it was
    };
    for (const UpdateCase& c : cases) {
        SCOPED_TRACE(c.arguments + " / " + std::to_string(c.changed.size()) + " changed");
        tovra::platform::DeletePath("old.zip");
        tovra::platform::DeletePath("fresh.zip");
        ASSERT_EQ(Zip(nullptr, ("old.zip " + c.arguments).c_str(), nullptr, 0), 0);
        const std::string before = ReadWholeFile("old.zip").value_or("");
        ASSERT_GT(before.size(), 3 * 262144u);
        for (int i : c.changed) {
            ASSERT_TRUE(WriteWholeFile(FileName(i), "changed " + std::to_string(i)));
            ASSERT_TRUE(tovra::platform::SetModificationTime(FileName(i), kOldTime + 60));
        }
        ASSERT_EQ(Zip(nullptr, ("-u old.zip " + c.arguments).c_str(), nullptr, 0), 0);
        ASSERT_EQ(Zip(nullptr, ("fresh.zip " + c.arguments).c_str(), nullptr, 0), 0);
        const std::string updated = ReadWholeFile("old.zip").value_or("");
        EXPECT_TRUE(updated == ReadWholeFile("fresh.zip").value_or("x")) << "update differs from create";
        if (c.changed.empty()) {
            EXPECT_TRUE(updated == before);
        }
#ifndef _WIN32
        EXPECT_EQ(std::system("7z t old.zip >/dev/null 2>&1"), 0);
        EXPECT_EQ(std::system("python3 -m zipfile -t old.zip >/dev/null 2>&1"), 0);
        EXPECT_EQ(std::system("bsdtar -tf old.zip >/dev/null 2>&1"), 0);
#endif
        for (int i : c.changed) {
            ASSERT_TRUE(WriteWholeFile(FileName(i), tovra::test::PatternBytes(1000, i)));
            ASSERT_TRUE(tovra::platform::SetModificationTime(FileName(i), kOldTime));
        }
    }
}

#ifndef _WIN32
// A link to nothing has no time of its own to compare (the link itself is
// newer than its member): the member is kept and the update has nothing to
// do, so the archive is not even rewritten.
TEST_F(ZipUpdate, LinkToNothingLeavesItsMemberAlone) {
    ASSERT_TRUE(WriteWholeFile("target", "soon gone"));
    ASSERT_TRUE(tovra::platform::SetModificationTime("target", kOldTime));
    ASSERT_TRUE(tovra::platform::MakeDirectory("l"));
    ASSERT_EQ(symlink("../target", "l/link"), 0);
    ASSERT_EQ(Zip(nullptr, "-r -D old.zip l", nullptr, 0), 0);
    ASSERT_TRUE(tovra::platform::SetModificationTime("old.zip", kOldTime));
    ASSERT_TRUE(tovra::platform::DeletePath("target"));
    ASSERT_EQ(Zip(nullptr, "-u -r -D old.zip l", nullptr, 0), 0);
    tovra::platform::FileStatus status;
    ASSERT_TRUE(tovra::platform::GetFileStatus("old.zip", &status));
    EXPECT_EQ(status.modificationTime, kOldTime);
}
#endif

}  // namespace
