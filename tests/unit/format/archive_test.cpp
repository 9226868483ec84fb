// Whole archives assembled from the record writers: byte for byte equal to
// the test suite's independent archive builder, and read cleanly by Python's
// zipfile as a second opinion on the layout.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "format/crc32.h"
#include "format/records.h"
#include "support/file_helpers.h"
#include "support/scratch_dir.h"
#include "support/zip_builder.h"

namespace tovra::format {
namespace {

class StringOutput : public OutputStream {
public:
    size_t Write(const void* data, size_t n) override {
        bytes.append(static_cast<const char*>(data), n);
        return n;
    }
    std::string bytes;
};

// A preamble, a stored member with a member comment, a member whose sizes
// follow its data in a descriptor, a directory entry, and an archive comment.
std::string ArchiveFromWriters() {
    struct Member {
        std::string name, data, comment;
        bool descriptor;
    };
    const Member members[] = {{"a.txt", "hello\n", "first", false},
                              {"sub/b.bin", std::string(1000, 'b') + "tail", "", true},
                              {"sub/", "", "", false}};
    StringOutput out;
    out.bytes = "#!stub preamble\n";
    std::vector<ZipEntry> entries;
    for (const Member& m : members) {
        ZipEntry e;
        e.versionMadeBy = 20;
        e.versionNeeded = 10;
        e.flags = e.localFlags = m.descriptor ? kFlagDataDescriptor : 0;
        e.dosDateTime = test::kDefaultDosTime;
        e.internalName = m.name;
        e.nameLength = m.name.size();
        e.comment.assign(m.comment.begin(), m.comment.end());
        e.commentLength = m.comment.size();
        e.externalAttributes = 0x20;
        e.localHeaderOffset = out.bytes.size();
        // A member with a descriptor has zero CRC and sizes in its local header.
        if (!m.descriptor) {
            e.crc32 = Crc32(0, m.data.data(), m.data.size());
            e.compressedSize = e.uncompressedSize = m.data.size();
        }
        EXPECT_EQ(WriteLocalHeader(e, out), kWriteOk);
        out.bytes += m.data;
        if (m.descriptor) {
            e.crc32 = Crc32(0, m.data.data(), m.data.size());
            e.compressedSize = e.uncompressedSize = m.data.size();
            EXPECT_EQ(WriteDataDescriptor(e, out), kWriteOk);
        }
        entries.push_back(e);
    }
    const size_t centralStart = out.bytes.size();
    for (const ZipEntry& e : entries) EXPECT_EQ(WriteCentralHeader(e, out), kWriteOk);
    const std::string comment = "archive comment";
    EXPECT_EQ(WriteEndRecord(entries.size(), out.bytes.size() - centralStart, centralStart,
                             reinterpret_cast<const uint8_t*>(comment.data()), comment.size(), out),
              kWriteOk);
    return out.bytes;
}

TEST(Archive, WritersMatchIndependentBuilder) {
    test::ZipBuilder zip;
    zip.preamble = "#!stub preamble\n";
    zip.AddStored("a.txt", "hello\n").comment = "first";
    zip.AddStored("sub/b.bin", std::string(1000, 'b') + "tail").dataDescriptor = true;
    zip.AddStored("sub/", "");
    zip.archiveComment = "archive comment";
    EXPECT_EQ(ArchiveFromWriters(), zip.Build());
}

TEST(Archive, PythonZipfileReadsIt) {
    if (std::system("python3 -c 'import zipfile' >/dev/null 2>&1") != 0) GTEST_SKIP() << "python3 not available";
    test::ScratchDir dir;
    const std::string path = dir / "written.zip";
    ASSERT_TRUE(test::WriteWholeFile(path, ArchiveFromWriters()));
    const std::string check =
        "import sys, zipfile\n"
        "z = zipfile.ZipFile(sys.argv[1])\n"
        "assert z.testzip() is None\n"
        "assert z.namelist() == ['a.txt', 'sub/b.bin', 'sub/'], z.namelist()\n"
        "assert z.read('a.txt') == b'hello\\n'\n"
        "assert z.read('sub/b.bin') == b'b' * 1000 + b'tail'\n"
        "assert z.getinfo('a.txt').comment == b'first'\n"
        "assert z.getinfo('a.txt').date_time == (2015, 6, 20, 13, 45, 30)\n"
        "assert z.comment == b'archive comment'\n";
    ASSERT_TRUE(test::WriteWholeFile(dir / "check.py", check));
    EXPECT_EQ(std::system(("python3 '" + (dir / "check.py") + "' '" + path + "'").c_str()), 0);
}

}  // namespace
}  // namespace tovra::format
