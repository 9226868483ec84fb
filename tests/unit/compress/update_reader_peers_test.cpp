// Archives written by Python's zipfile, 7-Zip and bsdtar read for update:
// every member's name bytes, sizes, CRC-32 and local header offset as
// Python's zipfile lists them, the comment kept, a preamble found. Native
// only (the peers are Linux programs).
#include <gtest/gtest.h>

#ifndef _WIN32
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "compress/update_reader.h"
#include "support/file_helpers.h"
#include "support/scratch_dir.h"

namespace tovra::compress {
namespace {

class QuietReports : public ArchivingReports {
public:
    int ReportError(int code, const std::string&) override { return code; }
    void ReportWarning(const std::string& text, const std::string& name) override { warnings.push_back(text + name); }
    std::vector<std::string> warnings;
};

int Shell(const std::string& command) { return std::system(command.c_str()); }

std::string Hex(const std::string& bytes) {
    std::string out;
    char two[3];
    for (unsigned char c : bytes) {
        std::snprintf(two, sizeof two, "%02x", c);
        out += two;
    }
    return out;
}

class UpdateReaderPeers : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(Shell("mkdir -p '" + tree + "/sub/deeper'"), 0);
        ASSERT_TRUE(test::WriteWholeFile(tree + "/a.txt", "hello\n"));
        ASSERT_TRUE(test::WriteWholeFile(tree + "/sub/b.bin", test::PatternBytes(70000, 2)));
        ASSERT_TRUE(test::WriteWholeFile(tree + "/sub/deeper/c.txt", std::string(50000, 'c')));
        ASSERT_TRUE(test::WriteWholeFile(tree + "/empty", ""));
    }
    // Python's listing: one line per member, "namehex size csize crc offset".
    std::string PythonListing(const std::string& archive) {
        const std::string script = dir / "list.py";
        std::ofstream(script) << "import sys, zipfile\n"
                                 "z = zipfile.ZipFile(sys.argv[1])\n"
                                 "for i in z.infolist():\n"
                                 "    raw = i.orig_filename.encode('utf-8' if i.flag_bits & 0x800 else 'cp437')\n"
                                 "    print(raw.hex(), i.file_size, i.compress_size, i.CRC, i.header_offset)\n";
        const std::string out = dir / "listing.txt";
        EXPECT_EQ(Shell("python3 '" + script + "' '" + archive + "' > '" + out + "'"), 0);
        return test::ReadWholeFile(out).value_or("");
    }
    std::string OurListing(const ArchiveContents& c) {
        std::ostringstream s;
        for (const format::ZipEntry* e = c.entries; e != nullptr; e = e->next) {
            s << Hex(e->internalName) << " " << e->uncompressedSize << " " << e->compressedSize << " " << e->crc32
              << " " << e->localHeaderOffset << "\n";
        }
        return s.str();
    }
    void ExpectReadsLikePython(const std::string& archive, const UpdateReadOptions& options = {}) {
        ArchiveContents contents;
        QuietReports reports;
        ASSERT_EQ(ReadArchiveForUpdate(archive, options, reports, contents), 0)
            << testing::PrintToString(reports.warnings);
        EXPECT_EQ(OurListing(contents), PythonListing(archive)) << archive;
        EXPECT_GT(contents.entryCount, 0u);
    }
    test::ScratchDir dir;
    std::string tree = dir / "tree";
};

TEST_F(UpdateReaderPeers, PythonWithCommentsExtrasDescriptorsAndShiftJisNames) {
    const std::string script = dir / "make.py";
    std::ofstream(script)
        << "import sys, zipfile\n"
           "class Unseekable:\n"
           "    def __init__(self, f): self.f = f\n"
           "    def write(self, b): return self.f.write(b)\n"
           "    def flush(self): self.f.flush()\n"
           "    def seekable(self): return False\n"
           "    def tell(self): raise OSError()\n"
           "    def seek(self, *a): raise OSError()\n"
           "for out, streamed in ((sys.argv[1], False), (sys.argv[2], True)):\n"
           "    raw = open(out, 'wb')\n"
           "    with zipfile.ZipFile(Unseekable(raw) if streamed else raw, 'w') as z:\n"
           "        z.comment = b'archive comment'\n"
           "        i = zipfile.ZipInfo('with_extra.txt')\n"
           "        i.extra = b'\\x0a\\x00\\x04\\x00abcd'\n"
           "        i.comment = b'member comment'\n"
           "        z.writestr(i, b'data ' * 1000, zipfile.ZIP_DEFLATED)\n"
           "        z.writestr(zipfile.ZipInfo(b'\\x93\\xfa\\x96\\x7b.txt'.decode('cp437')), b'sjis')\n"
           "        z.writestr('\\u65e5\\u672c.txt', b'utf8 flagged')\n"
           "        z.writestr('dir/', b'')\n"
           "    raw.close()\n";
    ASSERT_EQ(Shell("python3 '" + script + "' '" + (dir / "py.zip") + "' '" + (dir / "stream.zip") + "'"), 0);
    ExpectReadsLikePython(dir / "py.zip");
    ExpectReadsLikePython(dir / "stream.zip");
    ArchiveContents contents;
    QuietReports reports;
    ASSERT_EQ(ReadArchiveForUpdate(dir / "stream.zip", {}, reports, contents), 0);
    EXPECT_EQ(std::string(contents.archiveComment.begin(), contents.archiveComment.end()), "archive comment");
    EXPECT_EQ(std::string(contents.entries->comment.begin(), contents.entries->comment.end()), "member comment");
    EXPECT_NE(contents.entries->localFlags & 8, 0);
    EXPECT_NE(contents.entries->next->next->flags & 0x800, 0);
}

TEST_F(UpdateReaderPeers, SevenZipAndBsdtar) {
    ASSERT_EQ(Shell("cd '" + tree + "' && 7z a -tzip -mx5 '" + (dir / "7z.zip") + "' . >/dev/null"), 0);
    ExpectReadsLikePython(dir / "7z.zip");
    ASSERT_EQ(Shell("cd '" + tree + "' && bsdtar --format=zip -cf '" + (dir / "bsd.zip") + "' ."), 0);
    ExpectReadsLikePython(dir / "bsd.zip");
}

TEST_F(UpdateReaderPeers, SelfExtractorPrefix) {
    // 7-Zip's archive after a stub, offsets counted without it: needs
    // offset adjusting, and the preamble is reported.
    ASSERT_EQ(Shell("cd '" + tree + "' && 7z a -tzip '" + (dir / "plain.zip") + "' . >/dev/null"), 0);
    ASSERT_TRUE(test::WriteWholeFile(dir / "stub", std::string(1000, '\x90')));
    ASSERT_EQ(Shell("cat '" + (dir / "stub") + "' '" + (dir / "plain.zip") + "' > '" + (dir / "sfx.zip") + "'"), 0);
    ArchiveContents contents;
    QuietReports reports;
    EXPECT_EQ(ReadArchiveForUpdate(dir / "sfx.zip", {}, reports, contents), 3);
    UpdateReadOptions adjust;
    adjust.adjustOffsets = true;
    ExpectReadsLikePython(dir / "sfx.zip", adjust);  // Python also lists the true offsets
    QuietReports adjusted;
    ASSERT_EQ(ReadArchiveForUpdate(dir / "sfx.zip", adjust, adjusted, contents), 0);
    EXPECT_EQ(contents.preambleSize, 1000u);
    EXPECT_EQ(adjusted.warnings.back(), (dir / "sfx.zip") + " has a preamble of 1000 bytes");
}

}  // namespace
}  // namespace tovra::compress
#endif
