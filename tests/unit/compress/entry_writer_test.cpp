// Tests of the entry writer: members written from files (method choice,
// stored suffixes, empty files, directories, levels and their flags, the
// line-end conversions) read back by our update reader and, natively, tested
// by Python's zipfile and 7-Zip; existing members copied byte for byte; the
// 32-bit limits refused before a wrong record is written.
#include "compress/entry_writer.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "compress/update_reader.h"
#include "format/archive_errors.h"
#include "format/records.h"
#include "support/file_helpers.h"
#include "support/scratch_dir.h"
#include "support/scripted_ui_host.h"
#include "support/zip_builder.h"

namespace tovra::compress {
namespace {

using test::ReadWholeFile;
using test::WriteWholeFile;

class Reports : public ArchivingReports {
public:
    int ReportError(int code, const std::string& detail) override {
        errors.push_back(detail);
        return code;
    }
    void ReportWarning(const std::string& text, const std::string& name) override { warnings.push_back(text + name); }
    std::vector<std::string> errors, warnings;
};

// Writes the central directory and end record of `entries` at the output's
// position.
void Finish(const std::vector<format::ZipEntry*>& entries, ArchiveOutput& out) {
    const int64_t start = out.Position();
    for (const format::ZipEntry* e : entries) ASSERT_EQ(format::WriteCentralHeader(*e, out), 0);
    ASSERT_EQ(format::WriteEndRecord(entries.size(), out.Position() - start, start, nullptr, 0, out), 0);
}

bool PeerTestPasses(const std::string& archive) {
#ifdef _WIN32
    (void)archive;
    return true;
#else
    const std::string q = "'" + archive + "'";
    return std::system(
               ("python3 -c \"import sys, zipfile; sys.exit(zipfile.ZipFile(sys.argv[1]).testzip() is not None)\" " + q)
                   .c_str()) == 0 &&
           std::system(("7z t " + q + " >/dev/null 2>&1").c_str()) == 0;
#endif
}

class EntryWriter : public ::testing::Test {
protected:
    // Writes each (disk name, stored name) as a member and finishes the archive.
    int WriteAll(const std::vector<std::pair<std::string, std::string>>& files, const EntryWriterSettings& settings) {
        ArchiveOutput out;
        EXPECT_TRUE(out.Open(archive, platform::OpenMode::kCreateReadWrite));
        std::vector<format::ZipEntry*> written;
        for (const auto& [disk, stored] : files) {
            entries.push_back(std::make_unique<format::ZipEntry>());
            format::ZipEntry& e = *entries.back();
            e.externalName = disk;
            e.internalName = stored;
            const int rc = WriteMemberFromFile(settings, e, out, reports);
            if (rc != 0) return rc;
            written.push_back(&e);
        }
        Finish(written, out);
        EXPECT_TRUE(out.Close());
        return 0;
    }
    // The archive as our update reader sees it.
    ArchiveContents ReadBack() {
        ArchiveContents contents;
        Reports r;
        EXPECT_EQ(ReadArchiveForUpdate(archive, {}, r, contents), 0) << testing::PrintToString(r.warnings);
        return contents;
    }
    test::ScratchDir dir;
    test::ScriptedUiHost ui;
    std::string archive = dir / "out.zip";
    std::vector<std::unique_ptr<format::ZipEntry>> entries;
    Reports reports;
};

TEST_F(EntryWriter, MembersOfEveryKindPassThePeersAndReadBack) {
    std::string text;
    for (int i = 0; i < 3000; ++i) text += "line " + std::to_string(i % 50) + " of a text file\n";
    ASSERT_TRUE(WriteWholeFile(dir / "text.txt", text));
    ASSERT_TRUE(WriteWholeFile(dir / "empty.txt", ""));
    ASSERT_TRUE(WriteWholeFile(dir / "photo.ZIP", test::PatternBytes(5000, 3)));
    ASSERT_TRUE(WriteWholeFile(dir / "noise.bin", test::PatternBytes(70000, 4)));
    ASSERT_TRUE(platform::MakeDirectory(dir / "sub"));
    EntryWriterSettings settings;
    settings.storeSuffixes = ".Z:.zip:.zoo:.arc:.lzh:.arj";
    settings.compressionLevel = 9;
    ASSERT_EQ(WriteAll({{dir / "text.txt", "text.txt"},
                        {dir / "empty.txt", "empty.txt"},
                        {dir / "photo.ZIP", "photo.ZIP"},
                        {dir / "noise.bin", "noise.bin"},
                        {dir / "sub/", "sub/"}},
                       settings),
              0);
    EXPECT_TRUE(PeerTestPasses(archive));
    ArchiveContents c = ReadBack();
    ASSERT_EQ(c.entryCount, 5u);
    const format::ZipEntry* e = c.entries;
    EXPECT_EQ(e->method, 8);
    EXPECT_EQ(e->flags, 0x0002);  // level 9
    EXPECT_EQ(e->versionNeeded, 20);
    EXPECT_EQ(e->internalAttributes, 1);  // text
    EXPECT_EQ(e->uncompressedSize, text.size());
    EXPECT_EQ(e->crc32, test::ZipCrc32(text));
    e = e->next;  // empty: stored, no flags, version 10
    EXPECT_EQ(e->method, 0);
    EXPECT_EQ(e->flags, 0);
    EXPECT_EQ(e->versionNeeded, 10);
    EXPECT_EQ(e->compressedSize, 0u);
    e = e->next;  // the stored suffix, in another case
    EXPECT_EQ(e->method, 0);
    EXPECT_EQ(e->compressedSize, 5000u);
    e = e->next;  // incompressible, more than one block: stays deflated
    EXPECT_EQ(e->uncompressedSize, 70000u);
    e = e->next;
    EXPECT_EQ(e->method, 0);
    EXPECT_EQ(e->compressedSize, 0u);
    EXPECT_NE(e->externalAttributes & platform::kAttrDirectory, 0u);
    EXPECT_EQ(e->versionMadeBy, 2837);
}

TEST_F(EntryWriter, IncompressibleSingleBlockIsStoredWithTheLevelFlag) {
    ASSERT_TRUE(WriteWholeFile(dir / "n.bin", test::PatternBytes(3000, 8)));
    EntryWriterSettings settings;
    settings.compressionLevel = 9;
    ASSERT_EQ(WriteAll({{dir / "n.bin", "n.bin"}}, settings), 0);
    ArchiveContents c = ReadBack();
    EXPECT_EQ(c.entries->method, 0);
    EXPECT_EQ(c.entries->flags, 0x0002);
    EXPECT_EQ(c.entries->versionNeeded, 10);
    EXPECT_EQ(c.entries->compressedSize, 3000u);
    EXPECT_TRUE(PeerTestPasses(archive));
}

TEST_F(EntryWriter, LineEndConversionsChangeWhatIsStored) {
    ASSERT_TRUE(WriteWholeFile(dir / "unix.txt", "a\nb\n"));
    ASSERT_TRUE(WriteWholeFile(dir / "dos.txt", "a\r\nb\x1A"));
    for (auto [conversion, disk, size, data] :
         {std::tuple{1, "unix.txt", 6u, "a\r\nb\r\n"}, std::tuple{2, "dos.txt", 3u, "a\nb"}}) {
        EntryWriterSettings settings;
        settings.forcedMethod = 0;
        settings.lineEndConversion = conversion;
        entries.clear();
        ASSERT_EQ(WriteAll({{dir / disk, disk}}, settings), 0);
        ArchiveContents c = ReadBack();
        EXPECT_EQ(c.entries->uncompressedSize, size);
        EXPECT_EQ(c.entries->crc32, test::ZipCrc32(data));
        const std::string bytes = *ReadWholeFile(archive);
        EXPECT_EQ(bytes.substr(30 + std::string(disk).size(), size), data);
    }
}

TEST_F(EntryWriter, NameAndFileSystemMustAgreeAboutDirectories) {
    ASSERT_TRUE(WriteWholeFile(dir / "plain", "x"));
    ASSERT_TRUE(platform::MakeDirectory(dir / "folder"));
    EntryWriterSettings settings;
    EXPECT_EQ(WriteAll({{dir / "plain/", "plain/"}}, settings), format::kArchiveFileIsDirectory);
    EXPECT_EQ(WriteAll({{dir / "folder", "folder"}}, settings), format::kArchiveFileIsDirectory);
    EXPECT_EQ(WriteAll({{dir / "missing", "missing"}}, settings), format::kArchiveErrorNotFound);
}

TEST_F(EntryWriter, HeaderOffsetPastThirtyTwoBitsIsRefusedBeforeWriting) {
#ifdef _WIN32
    GTEST_SKIP() << "sparse files: native only";
#else
    ASSERT_TRUE(WriteWholeFile(dir / "f", "data"));
    ArchiveOutput out;
    ASSERT_TRUE(out.Open(archive, platform::OpenMode::kCreateReadWrite));
    ASSERT_TRUE(out.SeekAbsolute(int64_t{1} << 32));
    format::ZipEntry e;
    e.externalName = dir / "f";
    e.internalName = "f";
    EXPECT_EQ(WriteMemberFromFile({}, e, out, reports), format::kArchiveErrorTooBig);
    EXPECT_EQ(out.Position(), int64_t{1} << 32);
#endif
}

TEST_F(EntryWriter, FileOfFourGibibytesIsRefusedBeforeWriting) {
#ifdef _WIN32
    GTEST_SKIP() << "sparse files: native only";
#else
    platform::File big;
    ASSERT_TRUE(big.Open(dir / "big", platform::OpenMode::kCreate));
    ASSERT_EQ(big.Seek(int64_t{1} << 32, platform::SeekOrigin::kBegin), int64_t{1} << 32);
    ASSERT_EQ(big.Write("x", 1), 1);
    big.Close();
    ArchiveOutput out;
    ASSERT_TRUE(out.Open(archive, platform::OpenMode::kCreateReadWrite));
    format::ZipEntry e;
    e.externalName = dir / "big";
    e.internalName = "big";
    EXPECT_EQ(WriteMemberFromFile({}, e, out, reports), format::kArchiveErrorTooBig);
    EXPECT_EQ(out.Position(), 0);
#endif
}

TEST_F(EntryWriter, CancelReturnsZeroWithoutRewritingTheHeader) {
    ASSERT_TRUE(WriteWholeFile(dir / "f", test::PatternBytes(100000, 2)));
    ui.cancelAfterProgressCalls = 2;
    class CancelReports : public Reports {
        bool CancelRequested() override { return platform::CurrentUiHost().CancelRequested(); }
    } cancelling;
    ArchiveOutput out;
    ASSERT_TRUE(out.Open(archive, platform::OpenMode::kCreateReadWrite));
    format::ZipEntry e;
    e.externalName = dir / "f";
    e.internalName = "f";
    EntryWriterSettings settings;
    settings.forcedMethod = 0;
    EXPECT_EQ(WriteMemberFromFile(settings, e, out, cancelling), 0);
    ASSERT_TRUE(out.Close());
    const std::string bytes = *ReadWholeFile(archive);
    EXPECT_LT(bytes.size(), 30u + 1 + 100000);
    EXPECT_EQ(bytes[6], 8);  // the provisional header with flag bit 3
}

// Copying members of an archive made elsewhere gives back its bytes.
TEST_F(EntryWriter, CopiedMembersAreByteExact) {
    test::ZipBuilder zip;
    zip.AddStored("a.txt", "first").localExtra = "\x0A\x00\x04\x00wxyz";
    zip.AddDeflated("b.txt", "second member").dataDescriptor = true;
    zip.AddStored("c/", "");
    const std::string original = zip.Build();
    const std::string source = dir / "old.zip";
    ASSERT_TRUE(WriteWholeFile(source, original));
    ArchiveContents contents;
    ASSERT_EQ(ReadArchiveForUpdate(source, {}, reports, contents), 0);
    ArchiveInput in;
    ASSERT_TRUE(in.Open(source));
    ArchiveOutput out;
    ASSERT_TRUE(out.Open(archive, platform::OpenMode::kCreateReadWrite));
    std::vector<format::ZipEntry*> all;
    for (format::ZipEntry* e = contents.entries; e != nullptr; e = e->next) {
        ASSERT_EQ(CopyExistingMember({}, *e, in, out), 0);
        all.push_back(e);
    }
    Finish(all, out);
    ASSERT_TRUE(out.Close());
    EXPECT_EQ(*ReadWholeFile(archive), original);
}

TEST_F(EntryWriter, CopyOfAMemberCutShortIsAnError) {
    test::ZipBuilder zip;
    zip.AddStored("a.txt", std::string(1000, 'a'));
    const std::string source = dir / "old.zip";
    ASSERT_TRUE(WriteWholeFile(source, zip.Build()));
    ArchiveContents contents;
    ASSERT_EQ(ReadArchiveForUpdate(source, {}, reports, contents), 0);
    ASSERT_TRUE(WriteWholeFile(source, zip.Build().substr(0, 500)));  // the file shrank
    ArchiveInput in;
    ASSERT_TRUE(in.Open(source));
    ArchiveOutput out;
    ASSERT_TRUE(out.Open(archive, platform::OpenMode::kCreateReadWrite));
    EXPECT_EQ(CopyExistingMember({}, *contents.entries, in, out), format::kArchiveErrorUnexpectedEnd);
}

TEST_F(EntryWriter, CopyByteRangeCopiesThePreamble) {
    const std::string source = dir / "pre";
    ASSERT_TRUE(WriteWholeFile(source, test::PatternBytes(100000, 6)));
    for (uint64_t count : {uint64_t{70000}, kCopyToEnd}) {
        ArchiveInput in;
        ASSERT_TRUE(in.Open(source));
        ArchiveOutput out;
        ASSERT_TRUE(out.Open(archive, platform::OpenMode::kCreate));
        ASSERT_EQ(CopyByteRange(in, out, count, true), 0);
        ASSERT_TRUE(out.Close());
        EXPECT_EQ(*ReadWholeFile(archive),
                  test::PatternBytes(100000, 6).substr(0, count == kCopyToEnd ? 100000 : 70000));
    }
}

TEST(StoredSuffix, FollowsTheListFromItsEnd) {
    const std::string list = ".Z:.zip:.zoo:.arc:.lzh:.arj";
    const std::vector<std::pair<std::string, bool>> cases = {
        {"photo.ZIP", true}, {"notes.zip.txt", false}, {"a.z", true},  {"x.ARJ", true},
        {"zip", false},      {".zoo", true},           {"lzh", false}, {"archive.lz", false},
    };
    for (const auto& [name, stored] : cases) EXPECT_EQ(HasStoredSuffix(name, list), stored) << name;
    EXPECT_TRUE(HasStoredSuffix("anything", ".a::.b"));  // an empty item matches every name
    EXPECT_TRUE(HasStoredSuffix("x.gz", ".gz;.bz2"));
}

}  // namespace
}  // namespace tovra::compress
