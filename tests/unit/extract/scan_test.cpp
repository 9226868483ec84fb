// scan_test.cpp - the archive scan and the member loop, through ProcessArchive
// in test mode (every selected member is read and its CRC checked, nothing is
// written): result codes for missing, non-archive and empty archives, the
// preamble corrections and their repairs, selection by name, the version and
// method checks, long names, batches of 64, and damaged directories.
#include <gtest/gtest.h>

#include <string>

#include "scan_fixture.h"
#include "support/code_page.h"
#include "support/file_helpers.h"

namespace tovra::extract::testing {
namespace {

using Scan = EngineFixture;

test::ZipBuilder TwoMembers() {
    test::ZipBuilder zip;
    zip.AddStored("readme.txt", "hello, world\n");
    zip.AddDeflated("data/table.bin", test::PatternBytes(40000, 3));
    return zip;
}

TEST_F(Scan, SoundArchiveTestsClean) {
    EXPECT_EQ(TestBytes(TwoMembers().Build()).result, 0);
    EXPECT_TRUE(ui.messages.empty()) << ui.AllMessageTexts();
}

TEST_F(Scan, MissingNonArchiveDirectoryAndEmptyArchive) {
    EXPECT_EQ(RunPath(scratch / "nothing.zip", [](Cunzip&) {}).result, 9);
    EXPECT_EQ(RunPath(scratch.Path(), [](Cunzip&) {}).result, 76);
    EXPECT_EQ(TestBytes(std::string(5000, 'z')).result, 9);
    EXPECT_EQ(TestBytes("").result, 9);
    // An end record and nothing else: a warning, for listing and extraction alike.
    EXPECT_EQ(TestBytes(test::EndRecordBytes(0, 0, 0)).result, 1);
    EXPECT_EQ(ListBytes(test::EndRecordBytes(0, 0, 0), 1).result, 1);
}

TEST_F(Scan, EndRecordBeyondTheSearchRangeNeedsTheWholeFileSearch) {
    test::ZipBuilder zip = TwoMembers();
    zip.archiveComment = std::string(65535, 'c');
    zip.trailing = std::string(20000, 't');  // the comment's length field does not cover these
    EXPECT_EQ(TestBytes(zip.Build()).result, 9);
    EXPECT_EQ(RunBytes(zip.Build(),
                       [](Cunzip& c) {
                           c.options.listLevel = 1;
                           c.fullSearch = 1;
                       })
                  .result,
              0);
}

TEST_F(Scan, PreambleCountedInTheOffsetsNeedsNoCorrection) {
    test::ZipBuilder zip = TwoMembers();
    zip.preamble = test::PatternBytes(30000, 9);
    EXPECT_EQ(TestBytes(zip.Build()).result, 0);
}

TEST_F(Scan, SelfExtractorWithOffsetsFromTheArchiveStartIsAWarning) {
    // A program stub put in front of an archive: every offset is short by the
    // stub's length, which the scan adds back.
    test::ZipBuilder zip = TwoMembers();
    zip.preamble = test::PatternBytes(30000, 9);
    zip.offsetsIncludePreamble = false;
    EXPECT_EQ(TestBytes(zip.Build()).result, 1);
    EXPECT_EQ(RunBytes(zip.Build(), [](Cunzip&) {}).result, 1);
    EXPECT_EQ(test::ReadWholeFile(scratch / "table.bin"), test::PatternBytes(40000, 3));
}

TEST_F(Scan, CentralOffsetZeroBehindAPreambleIsRepaired) {
    test::ZipBuilder zip = TwoMembers();
    zip.preamble = std::string(4096, 'p');
    zip.centralDirOffset = 0;
    EXPECT_EQ(TestBytes(zip.Build()).result, 2);
}

TEST_F(Scan, DirectoryFoundOnlyWithoutTheCorrection) {
    // Bytes between the directory and the end record make the end record
    // look 10 bytes late; the directory is still at the recorded offset.
    test::ZipBuilder zip = TwoMembers();
    std::string bytes = zip.Build();
    const size_t end = zip.EndRecordPosition();
    bytes.insert(end, std::string(10, '\0'));
    EXPECT_EQ(TestBytes(bytes).result, 2);
}

TEST_F(Scan, CentralDirectoryMissingIsAStructureError) {
    test::ZipBuilder zip = TwoMembers();
    zip.centralDirOffset = 5;  // not a central header
    zip.centralDirSize = static_cast<uint32_t>(zip.EndRecordPosition() - 5);
    EXPECT_EQ(TestBytes(zip.Build()).result, 3);
}

TEST_F(Scan, BytesMissingInFrontAreAnError) {
    test::ZipBuilder zip = TwoMembers();
    std::string bytes = zip.Build();
    // Drop the first 3 bytes of the first local header: offsets point too far.
    bytes.erase(0, 3);
    const EngineOutcome outcome = TestBytes(bytes);
    EXPECT_GE(outcome.result, 2);
    EXPECT_NE(outcome.result, 9);
}

TEST_F(Scan, NamesSelectWholeAndWithoutRegardToCase) {
    test::ZipBuilder zip;
    zip.AddStored("readme.txt", "a");
    zip.AddStored("a*b?.txt", "b");
    zip.AddStored("axbc.txt", "c");
    const std::string bytes = zip.Build();
    EXPECT_EQ(TestBytes(bytes, {"README.TXT"}).result, 0);
    EXPECT_EQ(TestBytes(bytes, {"A*B?.TXT"}).result, 0);
    // '*' and '?' are ordinary characters; parts of names do not match.
    EXPECT_EQ(TestBytes(bytes, {"a*b?.tx"}).result, 11);
    EXPECT_EQ(TestBytes(bytes, {"a*bc.txt"}).result, 11);
    EXPECT_EQ(TestBytes(bytes, {"*"}).result, 11);
    EXPECT_EQ(TestBytes(bytes, {"nothing", "readme"}).result, 11);
}

TEST_F(Scan, SelectionStepsWholeDoubleByteCharacters) {
    test::ScopedCodePage sjis(932);
    ASSERT_TRUE(sjis.Active());
    test::ZipBuilder zip;
    // 0x83 0x41 is a katakana letter whose second byte is 'A': it must not
    // match 0x83 0x61, although 'A' and 'a' differ only in case.
    zip.AddStored("\x83\x41.txt", "k");
    const std::string bytes = zip.Build();
    EXPECT_EQ(TestBytes(bytes, {"\x83\x41.TXT"}).result, 0);
    EXPECT_EQ(TestBytes(bytes, {"\x83\x61.txt"}).result, 11);
}

TEST_F(Scan, UnsupportedMethodsAndVersionsAreSkippedSilently) {
    test::ZipBuilder zip;
    zip.AddStored("good.txt", "good");
    zip.AddRaw("tokenized.bin", 7, "xxxx", "xxxx");
    zip.AddRaw("future.bin", 9, "xxxx", "xxxx");
    zip.AddStored("newer.txt", "n").versionNeeded = 45;
    EXPECT_EQ(TestBytes(zip.Build()).result, 1);
    EXPECT_TRUE(ui.messages.empty()) << ui.AllMessageTexts();
    // Nothing left to process at all: nothing matched.
    test::ZipBuilder only;
    only.AddRaw("future.bin", 12, "xxxx", "xxxx");
    EXPECT_EQ(TestBytes(only.Build()).result, 11);
}

TEST_F(Scan, VmsMembersAreAskedAboutOrRefusedWithAMessage) {
    test::ZipBuilder zip;
    zip.AddStored("old.com", "data").versionNeeded = (2 << 8) | 20;
    zip.AddStored("new.com", "data").versionNeeded = (2 << 8) | 50;
    const std::string bytes = zip.Build();
    ui.messageAnswers.push_back(platform::kIdYes);
    EXPECT_EQ(RunBytes(bytes, [](Cunzip&) {}).result, 1);
    ASSERT_EQ(ui.messages.size(), 2u) << ui.AllMessageTexts();
    EXPECT_EQ(ui.messages[0].text, "old.com:  stored in VMS format.  Extract anyway?");
    EXPECT_EQ(ui.messages[0].buttons, platform::MessageButtons::kYesNo);
    EXPECT_EQ(ui.messages[1].text,
              "   skipping: new.com" + std::string(15, ' ') + "  need VMS compat. v5.0 (can do v4.2)\n");
    EXPECT_TRUE(test::ReadWholeFile(scratch / "old.com").has_value());
    // Test mode does not ask.
    ui.messages.clear();
    EXPECT_EQ(TestBytes(bytes).result, 1);
    EXPECT_EQ(ui.messages.size(), 1u);
}

TEST_F(Scan, NameLongerThan260IsCutWithAWarning) {
    test::ZipBuilder zip;
    const std::string longName(300, 'n');
    zip.AddStored(longName, "long");
    zip.AddStored("after.txt", "after");
    EXPECT_EQ(TestBytes(zip.Build()).result, 1);
    EXPECT_EQ(TestBytes(zip.Build(), {longName.substr(0, 260)}).result, 1);
}

TEST_F(Scan, ManyMembersCrossBatchBoundaries) {
    test::ZipBuilder zip;
    for (int i = 0; i < 150; ++i) zip.AddStored("m" + std::to_string(i), test::PatternBytes(100 + i, i));
    EXPECT_EQ(TestBytes(zip.Build()).result, 0);
    // A bad CRC in the third batch is found; the rest is still processed.
    zip.members[140].crc32 = 1234;
    EXPECT_EQ(TestBytes(zip.Build()).result, 2);
    // Extraction writes every member with its own content.
    zip.members[140].crc32.reset();
    EXPECT_EQ(RunBytes(zip.Build(), [](Cunzip&) {}).result, 0);
    for (int i : {0, 63, 64, 65, 127, 128, 149}) {
        EXPECT_EQ(test::ReadWholeFile(scratch / ("m" + std::to_string(i))), test::PatternBytes(100 + i, i)) << i;
    }
}

TEST_F(Scan, DataDescriptorMembersUseTheCentralValues) {
    test::ZipBuilder zip;
    zip.AddStored("a.txt", "descriptor follows").dataDescriptor = true;
    zip.AddDeflated("b.bin", test::PatternBytes(5000)).dataDescriptor = true;
    EXPECT_EQ(TestBytes(zip.Build()).result, 0);
}

TEST_F(Scan, BadLocalOffsetIsReportedAndTheRestGoesOn) {
    test::ZipBuilder zip = TwoMembers();
    zip.members[0].localHeaderOffset = 3;
    EXPECT_EQ(TestBytes(zip.Build()).result, 3);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, "2:file #0:  bad zipfile offset (EOF):  3\n");
    // Past the end of the file.
    ui.messages.clear();
    zip.members[0].localHeaderOffset = 0x7FFFFFF0;
    EXPECT_EQ(TestBytes(zip.Build()).result, 3);
}

TEST_F(Scan, DamagedDirectoryEndsTheWalkButEarlierMembersAreProcessed) {
    test::ZipBuilder zip = TwoMembers();
    zip.totalEntries = 3;  // one more than there are
    EXPECT_EQ(TestBytes(zip.Build()).result, 3);
    // The directory cut off inside the second header: the archive ends early.
    const std::string bytes = TwoMembers().Build();
    const auto directory = static_cast<uint32_t>(TwoMembers().CentralDirectoryPosition());
    const size_t cut = directory + 46 + 10 + 20;
    EXPECT_EQ(TestBytes(bytes.substr(0, cut) + test::EndRecordBytes(2, 76, directory)).result, 51);
}

TEST_F(Scan, MissingEndSignatureAfterTheDirectoryIsAWarning) {
    test::ZipBuilder zip = TwoMembers();
    zip.totalEntries = 1;
    zip.entriesOnDisk = 1;
    EXPECT_EQ(TestBytes(zip.Build()).result, 1);
}

TEST_F(Scan, CommentIsShownOnlyWhenAskedAndEndsTheRun) {
    test::ZipBuilder zip = TwoMembers();
    zip.archiveComment = "line one\r\nline \x1b two";
    EXPECT_EQ(TestBytes(zip.Build()).text, "");
    const EngineOutcome shown = RunBytes(zip.Build(), [](Cunzip& c) { c.options.commentLevel = 1; });
    EXPECT_EQ(shown.result, 0);
    EXPECT_EQ(shown.text, "line one\nline ^[ two\n");
    EXPECT_FALSE(test::ReadWholeFile(scratch / "readme.txt").has_value());
}

TEST_F(Scan, DiskNumbers) {
    test::ZipBuilder zip = TwoMembers();
    zip.diskNumber = 1;
    zip.centralDirDisk = 1;
    EXPECT_EQ(TestBytes(zip.Build()).result, 1);
    zip.centralDirDisk = 0;
    EXPECT_EQ(RunBytes(zip.Build(),
                       [](Cunzip& c) {
                           c.options.listLevel = 1;
                           c.fullSearch = 1;
                       })
                  .result,
              11);
}

TEST_F(Scan, EncryptedMemberWithoutPasswordIsGivenUp) {
    test::ZipBuilder zip;
    zip.AddStored("plain.txt", "plain");
    test::ZipMember& secret = zip.AddStored("secret.txt", std::string(12, 'h') + "cipher");
    secret.flags = 1;
    secret.uncompressedSize = 6;
    zip.AddStored("secret2.txt", std::string(12, 'h') + "cipher").flags = 1;
    EXPECT_EQ(TestBytes(zip.Build()).result, 1);
    // Asked once: cancelling means there is no password for the rest of the run.
    EXPECT_EQ(ui.passwordRequests.size(), 1u);
}

}  // namespace
}  // namespace tovra::extract::testing
