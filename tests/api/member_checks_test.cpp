// member_checks_test.cpp - which members an Unzip run extracts and how far:
// directories that DOS-family writers mark only by their attribute, members
// whose data is longer than declared, and archives whose members overlap.
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "api_test_support.h"
#include "platform/platform.h"
#include "support/file_helpers.h"
#include "support/scratch_dir.h"
#include "support/zip_builder.h"
#include "tovra.h"

namespace tovra::apitest {
namespace {

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

class MemberChecksTest : public ::testing::Test {
protected:
    void SetUp() override { callerDirectory = CurrentDirectory(); }
    void TearDown() override { EXPECT_EQ(CurrentDirectory(), callerDirectory); }
    // Writes `bytes` as arc.zip and extracts it with `options` into `target`.
    int Extract(const std::string& bytes, const std::string& options) { return Extract(bytes, options, out); }
    int Extract(const std::string& bytes, const std::string& options, const std::string& target) {
        EXPECT_TRUE(test::WriteWholeFile(dir / "arc.zip", bytes));
        const std::string command = options + " " + Quoted(dir / "arc.zip") + " " + Quoted(target + "\\");
        return Unzip(nullptr, command.c_str(), nullptr, 0);
    }

    test::ScratchDir dir;
    std::string out = dir / "out";
    std::string callerDirectory;
};

TEST_F(MemberChecksTest, DosDirectoryWithoutSlashBecomesADirectory) {
    test::ZipBuilder zip;
    test::ZipMember& folder = zip.AddStored("folder", "");
    folder.versionMadeBy = 20;  // MS-DOS
    folder.externalAttributes = 0x10;
    zip.AddStored("folder/inner.txt", "inside");
    EXPECT_EQ(Extract(zip.Build(), "-o -j"), 0);
    EXPECT_TRUE(platform::IsDirectory(out + "/folder"));
    EXPECT_EQ(test::ReadWholeFile(out + "/folder/inner.txt").value_or("<missing>"), "inside");
    // Paths dropped: no empty file stands in for the directory.
    const std::string flat = dir / "flat";
    EXPECT_EQ(Extract(zip.Build(), "-o", flat), 0);
    EXPECT_EQ(EntryCount(flat), 1u);
    EXPECT_EQ(test::ReadWholeFile(flat + "/inner.txt").value_or("<missing>"), "inside");
}

TEST_F(MemberChecksTest, DataLongerThanDeclaredIsCutAndFails) {
    test::ZipBuilder zip;
    zip.AddDeflated("liar.bin", test::PatternBytes(262150, 6)).uncompressedSize = 10;
    zip.AddStored("stored-liar.bin", "twelve bytes").uncompressedSize = 5;
    zip.AddStored("honest.txt", "honest");
    EXPECT_EQ(Extract(zip.Build(), "-o"), 2);
    EXPECT_EQ(test::ReadWholeFile(out + "/liar.bin").value_or("<missing>"), test::PatternBytes(10, 6));
    EXPECT_FALSE(platform::FileExists(out + "/stored-liar.bin"));
    EXPECT_EQ(test::ReadWholeFile(out + "/honest.txt").value_or("<missing>"), "honest");
    // Testing says the same, writing nothing.
    const std::string test = "-t " + Quoted(dir / "arc.zip");
    EXPECT_EQ(Unzip(nullptr, test.c_str(), nullptr, 0), 2);
}

TEST_F(MemberChecksTest, OverlappingMembersAreRefusedFast) {
    // 2000 central headers share one member's 64 KiB of data.
    test::ZipBuilder zip;
    zip.AddStored("sound.txt", "sound");
    zip.AddStored("shared.bin", test::PatternBytes(65536, 8));
    const std::string bytes = test::BuildWithRepeatedLastHeader(zip, 2000);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Extract(bytes, "-o"), 3);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    EXPECT_EQ(EntryCount(out), 1u);
    EXPECT_EQ(test::ReadWholeFile(out + "/sound.txt").value_or("<missing>"), "sound");
}

}  // namespace
}  // namespace tovra::apitest
