// zip_peers_test.cpp - archives written by Zip pass the independent testers
// (7z t, Python's zipfile -t, bsdtar -tf) and extract byte-exact through our
// own Unzip, for every kind of run; archives written by 7z, bsdtar and Python
// keep their unchanged members byte for byte (extra fields and comments
// included) when Zip updates them.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "support/file_helpers.h"
#include "support/scratch_dir.h"
#include "tovra.h"

namespace {

using tovra::test::ReadWholeFile;
using tovra::test::WriteWholeFile;

int Shell(const std::string& command) { return std::system(command.c_str()); }
std::string Quote(const std::string& s) { return "'" + s + "'"; }

// The three testers agree that `archive` is sound.
void ExpectPeersAccept(const std::string& archive) {
    EXPECT_EQ(Shell("7z t " + Quote(archive) + " >/dev/null 2>&1"), 0) << archive;
    EXPECT_EQ(Shell("python3 -m zipfile -t " + Quote(archive) + " >/dev/null 2>&1"), 0) << archive;
    EXPECT_EQ(Shell("bsdtar -tf " + Quote(archive) + " >/dev/null 2>&1"), 0) << archive;
}

class ZipPeers : public ::testing::Test {
protected:
    void SetUp() override {
        caller = tovra::platform::GetCurrentDir();
        work = dir / "work";
        ASSERT_TRUE(tovra::platform::MakeDirectory(work));
        ASSERT_TRUE(tovra::platform::MakeDirectory(work + "/sub"));
        std::string text;
        for (int i = 0; text.size() < 100000; ++i) text += "line " + std::to_string(i) + " of the text\r\n";
        files = {{"text.txt", text},
                 {"unix.txt", "one\ntwo\n\nthree\n"},
                 {"random.bin", tovra::test::PatternBytes(70000)},
                 {"empty", ""},
                 {"old.zip", tovra::test::PatternBytes(3000, 7)},
                 {"sub/inner.c", "int main(void) { return 0; }\n"}};
        for (const auto& [name, data] : files) ASSERT_TRUE(WriteWholeFile(work + "/" + name, data));
        ASSERT_TRUE(tovra::platform::SetCurrentDir(work));
    }
    void TearDown() override { tovra::platform::SetCurrentDir(caller); }

    // Extracts `archive` with paths into a fresh directory and compares each
    // member named in `expected` with the file it came from.
    void ExpectExtractsExactly(const std::string& archive, const std::vector<std::string>& expected) {
        const std::string out = dir / ("out" + std::to_string(++outCount)) + "/";
        const std::string command = "-o -j \"" + archive + "\" \"" + out + "\"";
        EXPECT_EQ(Unzip(nullptr, command.c_str(), nullptr, 0), 0) << archive;
        for (const std::string& name : expected) {
            EXPECT_EQ(ReadWholeFile(out + name), Original(name)) << name;
        }
    }
    std::string Original(const std::string& name) const {
        for (auto it = files.rbegin(); it != files.rend(); ++it) {
            if (it->first == name) return it->second;
        }
        return "";
    }

    tovra::test::ScratchDir dir;
    std::string caller, work;
    std::vector<std::pair<std::string, std::string>> files;
    int outCount = 0;
};

TEST_F(ZipPeers, EveryKindOfRunWritesASoundArchive) {
    struct RunCase {
        const char* setup;
        const char* command;
        std::vector<std::string> exact;  // members that extract as their source
    };
    const RunCase cases[] = {
        {"", "a.zip text.txt random.bin empty old.zip", {"text.txt", "random.bin", "empty", "old.zip"}},
        {"", "-r a.zip .", {"text.txt", "sub/inner.c"}},
        {"", "-r -D a.zip sub", {"sub/inner.c"}},
        {"a.zip text.txt", "-u a.zip text.txt random.bin", {"text.txt", "random.bin"}},
        {"a.zip text.txt random.bin", "-f a.zip random.bin", {"text.txt", "random.bin"}},
        {"a.zip text.txt random.bin", "-d a.zip text.txt", {"random.bin"}},
        {"a.zip text.txt", "-g a.zip random.bin empty", {"text.txt", "random.bin", "empty"}},
        {"", "-o a.zip text.txt", {"text.txt"}},
        {"", "-j a.zip sub/inner.c", {}},
        {"", "-k a.zip text.txt", {"TEXT.TXT"}},
        {"", "-0 a.zip text.txt", {"text.txt"}},
        {"", "-1 a.zip text.txt random.bin", {"text.txt", "random.bin"}},
        {"", "-9 a.zip text.txt old.zip", {"text.txt", "old.zip"}},
        {"", "-n .txt:.bin a.zip text.txt random.bin", {"text.txt", "random.bin"}},
        {"", "-r a.zip . -i *.txt", {"text.txt"}},
        {"", "-r a.zip . -x *.bin", {"text.txt"}},
        {"", "-l a.zip unix.txt", {}},
        {"", "-ll a.zip text.txt", {}},
        {"", "-X a.zip text.txt", {"text.txt"}},
        {"", "-2 a.zip text.txt", {"text.txt"}},
        {"", "-3 a.zip text.txt", {"text.txt"}},
        {"", "-4 a.zip text.txt random.bin", {"text.txt", "random.bin"}},
        {"", "-5 a.zip text.txt", {"text.txt"}},
        {"", "-7 a.zip text.txt", {"text.txt"}},
        {"", "-8 a.zip text.txt", {"text.txt"}},
        {"", "-m a.zip unix.txt random.bin", {"unix.txt", "random.bin"}},
        {"", "-r -m a.zip sub", {"sub/inner.c"}},
        {"a.zip text.txt", "-u -m a.zip text.txt empty", {"text.txt", "empty"}},
    };
    for (const RunCase& c : cases) {
        SCOPED_TRACE(c.command);
        tovra::platform::DeletePath(work + "/a.zip");
        // -m removed the sources of an earlier case: every case starts from the same files.
        tovra::platform::MakeDirectory(work + "/sub");
        for (const auto& [name, data] : files) ASSERT_TRUE(WriteWholeFile(work + "/" + name, data));
        if (*c.setup != '\0') {
            ASSERT_EQ(Zip(nullptr, c.setup, nullptr, 0), 0);
        }
        ASSERT_EQ(Zip(nullptr, c.command, nullptr, 0), 0);
        ExpectPeersAccept(work + "/a.zip");
        const std::string out = dir / ("o" + std::to_string(++outCount)) + "/";
        ASSERT_EQ(Unzip(nullptr, ("-o -j a.zip \"" + out + "\"").c_str(), nullptr, 0), 0);
        for (const std::string& name : c.exact) {
            const std::string source = name == "TEXT.TXT" ? "text.txt" : name;
            EXPECT_EQ(ReadWholeFile(out + name), Original(source)) << name;
        }
    }
}

TEST_F(ZipPeers, LineEndConversionsAreExact) {
    ASSERT_EQ(Zip(nullptr, "-l l.zip unix.txt", nullptr, 0), 0);
    ASSERT_EQ(Zip(nullptr, "-ll ll.zip text.txt", nullptr, 0), 0);
    const std::string out = dir / "conv/";
    ASSERT_EQ(Unzip(nullptr, ("-o l.zip \"" + out + "\"").c_str(), nullptr, 0), 0);
    ASSERT_EQ(Unzip(nullptr, ("-o ll.zip \"" + out + "\"").c_str(), nullptr, 0), 0);
    EXPECT_EQ(ReadWholeFile(out + "unix.txt"), "one\r\ntwo\r\n\r\nthree\r\n");
    std::string lf = Original("text.txt");
    for (size_t p; (p = lf.find("\r\n")) != std::string::npos;) lf.erase(p, 1);
    EXPECT_EQ(ReadWholeFile(out + "text.txt"), lf);
}

TEST_F(ZipPeers, SelfExtractorPrefixIsKeptAndOffsetsAdjusted) {
    // Prefixes shorter than a header, of a stub's size, and longer than one copy chunk.
    for (size_t prefixSize : {size_t{1}, size_t{5000}, size_t{70000}}) {
        SCOPED_TRACE(prefixSize);
        tovra::platform::DeletePath("plain.zip");
        ASSERT_EQ(Zip(nullptr, "plain.zip text.txt", nullptr, 0), 0);
        const std::string prefix = tovra::test::PatternBytes(prefixSize, 3);
        ASSERT_TRUE(WriteWholeFile(work + "/sfx.exe", prefix + ReadWholeFile(work + "/plain.zip").value_or("")));
        ASSERT_EQ(Zip(nullptr, "-A sfx.exe", nullptr, 0), 0);
        ExpectPeersAccept(work + "/sfx.exe");
        ExpectExtractsExactly("sfx.exe", {"text.txt"});
        ASSERT_EQ(Zip(nullptr, "-A sfx.exe random.bin", nullptr, 0), 0);
        EXPECT_EQ(ReadWholeFile(work + "/sfx.exe").value_or("").substr(0, prefix.size()), prefix);
        ExpectPeersAccept(work + "/sfx.exe");
        ExpectExtractsExactly("sfx.exe", {"text.txt", "random.bin"});
        ASSERT_EQ(Zip(nullptr, "-J sfx.exe", nullptr, 0), 0);
        EXPECT_EQ(ReadWholeFile(work + "/sfx.exe").value_or("").substr(0, 4), std::string("PK\x03\x04"));
        ExpectPeersAccept(work + "/sfx.exe");
        ExpectExtractsExactly("sfx.exe", {"text.txt", "random.bin"});
    }
}

// Member names, CRCs, sizes, extra fields and comments as Python reads them.
std::string PythonView(const std::string& archive, const std::string& skip) {
    const std::string script =
        "import sys, zipfile\n"
        "z = zipfile.ZipFile(sys.argv[1])\n"
        "print(z.comment)\n"
        "for i in z.infolist():\n"
        "    if i.filename != sys.argv[2]:\n"
        "        print(i.filename, i.CRC, i.compress_size, i.file_size, i.extra.hex(), i.comment, i.date_time,\n"
        "              z.read(i.filename) == z.read(i.filename), i.header_offset >= 0)\n";
    WriteWholeFile("view.py", script);
    const std::string command = "python3 view.py " + Quote(archive) + " " + Quote(skip) + " > view.txt";
    if (Shell(command) != 0) return "<python failed>";
    return ReadWholeFile("view.txt").value_or("");
}

TEST_F(ZipPeers, ArchivesOfPeersKeepTheirUnchangedMembers) {
    const std::string makePython =
        "python3 -c \"import zipfile; z = zipfile.ZipFile('py.zip', 'w', zipfile.ZIP_DEFLATED); "
        "z.comment = b'archive comment'; i = zipfile.ZipInfo('kept.txt', (2020, 1, 2, 3, 4, 6)); "
        "i.comment = b'member comment'; i.extra = bytes.fromhex('feca0200abcd'); "
        "z.writestr(i, 'kept data ' * 100); z.write('random.bin'); z.close()\"";
    ASSERT_EQ(Shell(makePython), 0);
    ASSERT_EQ(Shell("7z a -tzip -mx5 7z.zip text.txt sub >/dev/null 2>&1"), 0);
    ASSERT_EQ(Shell("bsdtar --format=zip -cf bsd.zip text.txt empty"), 0);
    struct PeerCase {
        const char* archive;
        const char* changed;  // a member replaced from disk
    };
    for (const PeerCase& c :
         {PeerCase{"py.zip", "random.bin"}, PeerCase{"7z.zip", "text.txt"}, PeerCase{"bsd.zip", "empty"}}) {
        SCOPED_TRACE(c.archive);
        const std::string before = PythonView(c.archive, c.changed);
        ASSERT_TRUE(WriteWholeFile(c.changed, Original(c.changed) + "more"));
        files.push_back({std::string(c.changed), Original(c.changed) + "more"});
        ASSERT_EQ(Zip(nullptr, (std::string(c.archive) + " " + c.changed).c_str(), nullptr, 0), 0);
        EXPECT_EQ(PythonView(c.archive, c.changed), before);
        ExpectPeersAccept(work + "/" + c.archive);
        ExpectExtractsExactly(c.archive, {c.changed});
        files.pop_back();
        ASSERT_TRUE(WriteWholeFile(c.changed, Original(c.changed)));
    }
}

TEST_F(ZipPeers, HardLinkedArchiveIsWrittenThroughItsLink) {
    ASSERT_EQ(Zip(nullptr, "a.zip text.txt", nullptr, 0), 0);
    ASSERT_EQ(Shell("ln a.zip link.zip"), 0);
    ASSERT_EQ(Zip(nullptr, "a.zip random.bin", nullptr, 0), 0);
    EXPECT_EQ(ReadWholeFile("link.zip"), ReadWholeFile("a.zip"));
    ExpectPeersAccept(work + "/link.zip");
}

}  // namespace
