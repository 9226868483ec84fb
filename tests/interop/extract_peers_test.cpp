// extract_peers_test.cpp - archives made by independent writers extract
// through the library's Unzip export exactly as they went in.
//
// Each test builds one small tree on disk (empty, small, large compressible
// and incompressible files, a subdirectory, a read-only file, all with known
// even-second modification times), archives it with a peer made at test time
// (Python's zipfile stored, deflated and streamed with data descriptors;
// 7-Zip at levels 1, 5 and 9; bsdtar), then extracts it with kept paths and
// compares every file's bytes, its time (DOS time has 2-second steps) and its
// read-only attribute (applied when the member's attribute byte says so), and
// finally tests the archive (-t), which must report 0.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "support/file_helpers.h"
#include "support/scratch_dir.h"
#include "tovra.h"

namespace {

using tovra::test::ReadWholeFile;
using tovra::test::ScratchDir;
using tovra::test::WriteWholeFile;

struct TreeFile {
    std::string name;  // relative, '/' separators
    std::string contents;
    int64_t modificationTime;
    bool readOnly;
};

std::string Compressible(size_t size) {
    std::string text;
    for (int line = 0; text.size() < size; ++line) {
        text += "line " + std::to_string(line) + ": the quick brown fox jumps over the lazy dog " +
                std::to_string(line * 7919 % 1000) + "\n";
    }
    text.resize(size);
    return text;
}

int Shell(const std::string& command) { return std::system(command.c_str()); }

std::string Quote(const std::string& s) { return "'" + s + "'"; }

bool ToolPresent(const char* tool) { return Shell(std::string("command -v ") + tool + " >/dev/null 2>&1") == 0; }

class ExtractPeers : public ::testing::Test {
protected:
    void SetUp() override {
        base = 1623000000;  // 2021-06-06, an even second count
        files = {
            {"empty.txt", "", base, false},
            {"small.txt", "hello, archive\r\n", base + 2, false},
            {"text/compressible.txt", Compressible(300000), base + 4, false},
            {"text/deeper/random.bin", tovra::test::PatternBytes(150001, 5), base + 60, false},
            {"text/window.bin", WindowPattern(), base + 3600, false},
            {"readonly.txt", "do not touch", base + 86400, true},
        };
        source = scratch / "src";
        for (const TreeFile& f : files) {
            const std::string path = source + "/" + f.name;
            ASSERT_EQ(Shell("mkdir -p " + Quote(path.substr(0, path.rfind('/')))), 0);
            ASSERT_TRUE(WriteWholeFile(path, f.contents));
            ASSERT_TRUE(tovra::platform::SetModificationTime(path, f.modificationTime));
            if (f.readOnly) {
                ASSERT_EQ(Shell("chmod a-w " + Quote(path)), 0);
            }
        }
        archive = scratch / "peer.zip";
    }

    // Blocks repeated at distances that make back-references cross the
    // decoder's 32 KiB window wrap.
    static std::string WindowPattern() {
        const std::string block = tovra::test::PatternBytes(20000, 9);
        std::string s;
        for (int i = 0; i < 5; ++i) s += block;
        return s;
    }

    std::string ListArgs() const {
        std::string args;
        for (const TreeFile& f : files) args += " " + Quote(f.name);
        return args;
    }

    // Writes the archive with Python's zipfile. mode: "stored", "deflated",
    // "streamed" (a non-seekable output, so every member gets a data
    // descriptor) or "streamed64" (the same, each member opened for Zip64 as
    // a writer that cannot know the size does: version needed 4.5). The read-only file's DOS attribute byte is set, as
    // a Windows writer would store it.
    void MakeWithPython(const std::string& mode) {
        const std::string script = scratch / "make.py";
        std::ofstream py(script);
        py << "import os, sys, time, zipfile\n"
              "src, out, mode = sys.argv[1], sys.argv[2], sys.argv[3]\n"
              "class Unseekable:\n"
              "    def __init__(self, f): self.f = f\n"
              "    def write(self, b): return self.f.write(b)\n"
              "    def flush(self): self.f.flush()\n"
              "    def seekable(self): return False\n"
              "    def tell(self): raise OSError('not seekable')\n"
              "    def seek(self, *a): raise OSError('not seekable')\n"
              "method = zipfile.ZIP_STORED if mode == 'stored' else zipfile.ZIP_DEFLATED\n"
              "raw = open(out, 'wb')\n"
              "target = Unseekable(raw) if mode.startswith('streamed') else raw\n"
              "with zipfile.ZipFile(target, 'w', method) as z:\n"
              "    for name in sys.argv[4:]:\n"
              "        path = os.path.join(src, name)\n"
              "        st = os.stat(path)\n"
              "        info = zipfile.ZipInfo(name, time.localtime(st.st_mtime)[:6])\n"
              "        info.compress_type = method\n"
              "        info.external_attr = (st.st_mode & 0xFFFF) << 16\n"
              "        if not st.st_mode & 0o200: info.external_attr |= 0x01\n"
              "        with open(path, 'rb') as f: data = f.read()\n"
              "        if mode.startswith('streamed'):\n"
              "            with z.open(info, 'w', force_zip64=mode == 'streamed64') as w: w.write(data)\n"
              "        else:\n"
              "            z.writestr(info, data)\n"
              "raw.close()\n";
        py.close();
        ASSERT_EQ(
            Shell("python3 " + Quote(script) + " " + Quote(source) + " " + Quote(archive) + " " + mode + ListArgs()),
            0);
    }

    // readOnlyCarried: the writer stores the DOS read-only bit of a file
    // without write permission, so the extracted file must be read-only.
    void ExpectExtractsExactly(bool readOnlyCarried, bool expectDataDescriptors = false) {
        const std::string out = scratch / "out/";
        const std::string command = "-j -o \"" + archive + "\" \"" + out + "\"";
        ASSERT_EQ(Unzip(nullptr, command.c_str(), nullptr, 0), 0) << command;
        const std::map<std::string, uint32_t> attributes = AttributeBytes();
        for (const TreeFile& f : files) {
            SCOPED_TRACE(f.name);
            const std::string path = out + f.name;
            EXPECT_EQ(ReadWholeFile(path), f.contents);
            tovra::platform::FileStatus status;
            ASSERT_TRUE(tovra::platform::GetFileStatus(path, &status));
            EXPECT_LE(std::llabs(status.modificationTime - f.modificationTime), 2);
            ASSERT_EQ(attributes.count(f.name), 1u);
            const bool readOnlyStored = (attributes.at(f.name) & tovra::platform::kAttrReadOnly) != 0;
            const bool readOnlyOnDisk = (tovra::platform::GetAttributes(path) & tovra::platform::kAttrReadOnly) != 0;
            EXPECT_EQ(readOnlyOnDisk, readOnlyStored);
            if (f.readOnly && readOnlyCarried) {
                EXPECT_TRUE(readOnlyOnDisk);
            }
        }
        if (expectDataDescriptors) {
            EXPECT_TRUE(AllMembersStreamed());
        }
        const std::string test = "-t \"" + archive + "\"";
        EXPECT_EQ(Unzip(nullptr, test.c_str(), nullptr, 0), 0);
    }

    // Low bytes of the external attributes per member, read by Python (an
    // independent reader of the central directory).
    std::map<std::string, uint32_t> AttributeBytes() {
        const std::string listing = scratch / "attributes.txt";
        Shell(
            "python3 -c \"import sys, zipfile; [print(i.external_attr & 0xFF, i.filename) for i in "
            "zipfile.ZipFile(sys.argv[1]).infolist()]\" " +
            Quote(archive) + " > " + Quote(listing));
        std::map<std::string, uint32_t> bytes;
        std::ifstream in(listing);
        uint32_t value = 0;
        std::string name;
        while (in >> value && std::getline(in >> std::ws, name)) bytes[name] = value;
        return bytes;
    }

    bool AllMembersNeedVersion(int version) {
        return Shell("python3 -c \"import sys, zipfile; sys.exit(0 if all(i.extract_version == " +
                     std::to_string(version) + " for i in zipfile.ZipFile(sys.argv[1]).infolist()) else 1)\" " +
                     Quote(archive)) == 0;
    }

    bool AllMembersStreamed() {
        return Shell(
                   "python3 -c \"import sys, zipfile; sys.exit(0 if all(i.flag_bits & 8 for i in "
                   "zipfile.ZipFile(sys.argv[1]).infolist()) else 1)\" " +
                   Quote(archive)) == 0;
    }

    ScratchDir scratch;
    std::vector<TreeFile> files;
    std::string source;
    std::string archive;
    int64_t base = 0;
};

TEST_F(ExtractPeers, PythonStored) {
    MakeWithPython("stored");
    ExpectExtractsExactly(true);
}

TEST_F(ExtractPeers, PythonDeflated) {
    MakeWithPython("deflated");
    ExpectExtractsExactly(true);
}

TEST_F(ExtractPeers, PythonStreamedWithDataDescriptors) {
    MakeWithPython("streamed");
    ExpectExtractsExactly(true, true);
}

TEST_F(ExtractPeers, PythonStreamedForZip64AsVersion45) {
    MakeWithPython("streamed64");
    ASSERT_TRUE(AllMembersNeedVersion(45));
    ExpectExtractsExactly(true, true);
}

TEST_F(ExtractPeers, SevenZipAtLevels1And5And9) {
    if (!ToolPresent("7z")) GTEST_SKIP() << "7z not installed";
    for (const char* level : {"-mx1", "-mx5", "-mx9"}) {
        SCOPED_TRACE(level);
        std::remove(archive.c_str());
        ASSERT_EQ(Shell("cd " + Quote(source) + " && 7z a -tzip " + level + " " + Quote(archive) + ListArgs() +
                        " >/dev/null"),
                  0);
        ExpectExtractsExactly(true);
        Shell("chmod -R u+w " + Quote(scratch / "out") + " && rm -rf " + Quote(scratch / "out"));
    }
}

TEST_F(ExtractPeers, Bsdtar) {
    if (!ToolPresent("bsdtar")) GTEST_SKIP() << "bsdtar not installed";
    // bsdtar streams its members (data descriptors) and stores no DOS bits.
    ASSERT_EQ(Shell("cd " + Quote(source) + " && bsdtar --format=zip -cf " + Quote(archive) + ListArgs()), 0);
    ExpectExtractsExactly(false, true);
}

}  // namespace
