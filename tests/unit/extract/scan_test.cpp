// scan_test.cpp - the archive scan and the member loop, through ProcessArchive
// in test mode (every selected member is read and its CRC checked, nothing is
// written): result codes for missing, non-archive and empty archives, the
// preamble corrections and their repairs, selection by name, the version and
// method checks, long names, batches of 64, damaged directories, directories
// marked only by their attribute, and members whose data overlap.
#include <gtest/gtest.h>
#include <zlib.h>

#include <chrono>
#include <string>

#include "platform/platform.h"
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
    // The first member is not found with either correction (3); the second
    // is found again with the remembered one.
    EXPECT_EQ(TestBytes(bytes).result, 3);
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
    test::ZipMember& newer = zip.AddRaw("newer.bin", 0, "xxxx", "xxxx");  // above 2.0, strong encryption
    newer.versionNeeded = 51;
    newer.flags = 0x0040;
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

// What a member above version 2.0 may use and still be read.
enum class Placeholder { kNone, kCompressedSize, kUncompressedSize, kOffset, kDisk };
struct VersionCase {
    const char* what;
    uint16_t method;
    uint16_t versionNeeded;
    uint16_t flags;
    Placeholder placeholder;
    int result;  // 0 read, 11 refused (the only member), 2 decoded as damaged data
};

TEST_F(Scan, MembersAboveVersion20AreReadWhenTheyUseNothingUnreadable) {
    const VersionCase cases[] = {
        {"stored, 4.5", 0, 45, 0, Placeholder::kNone, 0},
        {"deflated, 4.5", 8, 45, 0, Placeholder::kNone, 0},
        {"deflated, 4.5, data descriptor", 8, 45, 0x0008, Placeholder::kNone, 0},
        {"stored, 6.3", 0, 63, 0, Placeholder::kNone, 0},
        {"compressed size placeholder", 0, 45, 0, Placeholder::kCompressedSize, 11},
        {"uncompressed size placeholder", 8, 45, 0, Placeholder::kUncompressedSize, 11},
        {"local header offset placeholder", 0, 45, 0, Placeholder::kOffset, 11},
        {"disk number placeholder", 0, 45, 0, Placeholder::kDisk, 11},
        {"strong encryption", 0, 51, 0x0040, Placeholder::kNone, 11},
        {"encrypted central directory", 8, 62, 0x2000, Placeholder::kNone, 11},
        {"shrunk, 4.5: decoded (the bytes are no shrink stream)", 1, 45, 0, Placeholder::kNone, 2},
        {"shrunk, 1.0: decoded as well", 1, 10, 0, Placeholder::kNone, 2},
        {"method 9, 4.5: no decoder", 9, 45, 0, Placeholder::kNone, 11},
        {"strong-encryption bit at 2.0: as before", 0, 20, 0x0040, Placeholder::kNone, 0},
    };
    for (const VersionCase& c : cases) {
        SCOPED_TRACE(c.what);
        test::ZipBuilder zip;
        const std::string payload = test::PatternBytes(3000, 5);
        test::ZipMember& m =
            c.method == 8 ? zip.AddDeflated("m.bin", payload) : zip.AddRaw("m.bin", c.method, payload, payload);
        m.versionNeeded = c.versionNeeded;
        m.flags = c.flags & ~0x0008;
        m.dataDescriptor = (c.flags & 0x0008) != 0;
        if (c.placeholder == Placeholder::kCompressedSize) m.compressedSize = 0xFFFFFFFFu;
        if (c.placeholder == Placeholder::kUncompressedSize) m.uncompressedSize = 0xFFFFFFFFu;
        if (c.placeholder == Placeholder::kOffset) m.localHeaderOffset = 0xFFFFFFFFu;
        std::string bytes = zip.Build();
        if (c.placeholder == Placeholder::kDisk) {
            const size_t disk = static_cast<size_t>(zip.CentralDirectoryPosition()) + 34;
            bytes[disk] = bytes[disk + 1] = '\xff';
        }
        EXPECT_EQ(TestBytes(bytes).result, c.result);
        EXPECT_TRUE(ui.messages.empty()) << ui.AllMessageTexts();
    }
}

// A member "folder" without a trailing '/', then one inside it.
struct DirectoryCase {
    const char* what;
    uint16_t host;
    uint32_t attributes;
    const char* data;
    bool directory;  // treated as a directory entry
};

TEST_F(Scan, DosDirectoriesWithoutTrailingSlashAreDirectories) {
    const DirectoryCase cases[] = {
        {"MS-DOS", 0, 0x10, "", true},
        {"NTFS", 11, 0x30, "", true},
        {"VFAT", 14, 0x10, "", true},
        {"Unix host: the low byte means nothing", 3, 0x10, "", false},
        {"host 19 (above 14) is not VFAT", 19, 0x10, "", false},
        {"MS-DOS, but with data", 0, 0x10, "data", false},
        {"MS-DOS, no directory bit", 0, 0x20, "", false},
    };
    int n = 0;
    for (const DirectoryCase& c : cases) {
        for (int keepPaths : {0, 1}) {
            SCOPED_TRACE(std::string(c.what) + (keepPaths ? ", paths kept" : ", paths dropped"));
            test::ZipBuilder zip;
            test::ZipMember& folder = zip.AddStored("folder", c.data);
            folder.versionMadeBy = static_cast<uint16_t>(c.host << 8 | 20);
            folder.externalAttributes = c.attributes;
            zip.AddStored("folder/inner.txt", "inside");
            const std::string out = scratch / ("out" + std::to_string(n++));
            const EngineOutcome outcome = RunBytes(zip.Build(), [&](Cunzip& context) {
                context.outputDirectory = out + "/";
                context.options.keepPaths = keepPaths;
            });
            const bool folderIsDirectory = platform::IsDirectory(out + "/folder");
            if (c.directory) {
                EXPECT_EQ(outcome.result, 0);
                EXPECT_EQ(folderIsDirectory, keepPaths == 1);
                EXPECT_EQ(test::ReadWholeFile(out + (keepPaths ? "/folder/inner.txt" : "/inner.txt")), "inside");
            } else {
                EXPECT_FALSE(folderIsDirectory);
                EXPECT_EQ(test::ReadWholeFile(out + "/folder"), c.data);
                // With paths kept, the file stands where the directory would go.
                EXPECT_EQ(outcome.result, keepPaths ? 2 : 0);
            }
        }
    }
}

TEST_F(Scan, OverlapIsFoundAcrossBatches) {
    test::ZipBuilder zip;
    for (int i = 0; i < 150; ++i) zip.AddStored("m" + std::to_string(i), test::PatternBytes(50, i));
    // The last member (one byte of data) points at member 1's local header,
    // two batches earlier, and ends before member 2.
    zip.members[149].data = zip.members[149].uncompressed = "x";
    zip.members[149].localHeaderOffset = 30 + 2 + 50;
    EXPECT_EQ(TestBytes(zip.Build()).result, 3);
    ASSERT_EQ(ui.messages.size(), 1u) << ui.AllMessageTexts();  // one for the run
    EXPECT_EQ(ui.messages[0].text, "3:file #1:  bad zipfile offset (overlap):  82\n");
    EXPECT_EQ(RunBytes(zip.Build(), [](Cunzip&) {}).result, 3);
    for (int i = 0; i < 150; ++i) {
        EXPECT_EQ(platform::FileExists(scratch / ("m" + std::to_string(i))), i != 1 && i != 149) << i;
    }
}

TEST_F(Scan, MembersThatCannotBeReadDoNotOverlapTheirNeighbours) {
    // A Zip64 member's sizes live in its extra field; its placeholder size
    // would reach over every later member.
    test::ZipBuilder zip;
    test::ZipMember& big = zip.AddStored("big.bin", "stands for 4 GiB");
    big.versionNeeded = 45;
    big.compressedSize = big.uncompressedSize = 0xFFFFFFFFu;
    zip.AddStored("small.txt", "small");
    EXPECT_EQ(RunBytes(zip.Build(), [](Cunzip&) {}).result, 1);  // big.bin skipped
    EXPECT_EQ(test::ReadWholeFile(scratch / "small.txt"), "small");
    EXPECT_TRUE(ui.messages.empty()) << ui.AllMessageTexts();
}

TEST_F(Scan, OverlapBombEndsFastAndWritesOnlyTheSoundMember) {
    // 16 MiB of zeros deflate to about 16 KiB; 65533 more central headers
    // point at the same data, so the archive declares 1 TiB in 3.5 MB.
    const std::string zeros(16u << 20, '\0');
    std::string packed(compressBound(static_cast<uLong>(zeros.size())), '\0');
    z_stream z{};
    ASSERT_EQ(deflateInit2(&z, 9, Z_DEFLATED, -15, 9, Z_DEFAULT_STRATEGY), Z_OK);
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(zeros.data()));
    z.avail_in = static_cast<uInt>(zeros.size());
    z.next_out = reinterpret_cast<Bytef*>(packed.data());
    z.avail_out = static_cast<uInt>(packed.size());
    ASSERT_EQ(deflate(&z, Z_FINISH), Z_STREAM_END);
    packed.resize(z.total_out);
    deflateEnd(&z);

    test::ZipBuilder zip;
    zip.AddStored("sound.txt", "sound");
    zip.AddRaw("bomb.bin", 8, packed, zeros);
    const std::string bytes = test::BuildWithRepeatedLastHeader(zip, 65533);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(RunBytes(bytes, [](Cunzip&) {}).result, 3);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_LT(elapsed, std::chrono::seconds(2)) << std::chrono::duration<double>(elapsed).count() << " s";
    EXPECT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(test::ReadWholeFile(scratch / "sound.txt"), "sound");
    EXPECT_FALSE(platform::FileExists(scratch / "bomb.bin"));
}

}  // namespace
}  // namespace tovra::extract::testing
