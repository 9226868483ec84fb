// extract_to_memory_test.cpp - UnzipExtractToMem on archives whose local
// headers do not tell the member's size: Python's zipfile writing to a
// non-seekable stream stores zero sizes locally and puts the real ones in a
// data descriptor and the central directory. The block must hold the whole
// member, a zero byte after it, and report the bytes really produced.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "support/file_helpers.h"
#include "support/scratch_dir.h"
#include "tovra.h"

namespace {

class ExtractToMemory : public ::testing::Test {
protected:
    // Writes an archive of `members` (name, contents) with Python's zipfile
    // into a non-seekable stream, deflated or stored.
    void MakeStreamed(const std::vector<std::pair<std::string, std::string>>& members, bool deflated) {
        const std::string script = scratch / "make.py";
        std::ofstream py(script);
        py << "import sys, zipfile\n"
              "class Unseekable:\n"
              "    def __init__(self, f): self.f = f\n"
              "    def write(self, b): return self.f.write(b)\n"
              "    def flush(self): self.f.flush()\n"
              "    def seekable(self): return False\n"
              "    def tell(self): raise OSError('not seekable')\n"
              "raw = open(sys.argv[1], 'wb')\n"
              "method = zipfile.ZIP_DEFLATED if sys.argv[2] == 'deflated' else zipfile.ZIP_STORED\n"
              "with zipfile.ZipFile(Unseekable(raw), 'w', method) as z:\n"
              "    for i in range(3, len(sys.argv), 2):\n"
              "        with z.open(sys.argv[i], 'w') as w: w.write(open(sys.argv[i + 1], 'rb').read())\n"
              "raw.close()\n";
        py.close();
        std::string command = "python3 '" + script + "' '" + archive + "' " + (deflated ? "deflated" : "stored");
        int n = 0;
        for (const auto& [name, contents] : members) {
            const std::string file = scratch / ("content" + std::to_string(n++));
            ASSERT_TRUE(tovra::test::WriteWholeFile(file, contents));
            command += " '" + name + "' '" + file + "'";
        }
        ASSERT_EQ(std::system(command.c_str()), 0);
    }

    // The block's bytes (its whole size), then frees it.
    static std::string TakeBlock(TovraMemory block) {
        const char* p = static_cast<const char*>(TovraGlobalLock(block));
        std::string bytes(p, TovraGlobalSize(block));
        TovraGlobalUnlock(block);
        TovraGlobalFree(block);
        return bytes;
    }

    tovra::test::ScratchDir scratch;
    std::string archive = scratch / "streamed.zip";
};

TEST_F(ExtractToMemory, StreamedMembersArriveWhole) {
    const std::string big = tovra::test::PatternBytes(300001, 11);
    const std::string text(100000, 'z');
    for (bool deflated : {true, false}) {
        SCOPED_TRACE(deflated ? "deflated" : "stored");
        MakeStreamed({{"big.bin", big}, {"dir/text.txt", text}}, deflated);
        for (const auto& [name, contents] : {std::pair{"big.bin", big}, std::pair{"dir/text.txt", text}}) {
            TovraMemory block = nullptr;
            uint32_t size = 0;
            ASSERT_EQ(UnzipExtractToMem(nullptr, archive.c_str(), name, &block, &size), 0) << name;
            ASSERT_NE(block, nullptr);
            EXPECT_EQ(size, contents.size());
            const std::string bytes = TakeBlock(block);
            ASSERT_GT(bytes.size(), contents.size());
            EXPECT_TRUE(bytes.compare(0, contents.size(), contents) == 0);
            EXPECT_EQ(bytes.find_first_not_of('\0', contents.size()), std::string::npos);
        }
    }
}

TEST_F(ExtractToMemory, EmptyMemberGivesAZeroBlock) {
    MakeStreamed({{"empty", ""}}, true);
    TovraMemory block = nullptr;
    uint32_t size = 7;
    ASSERT_EQ(UnzipExtractToMem(nullptr, archive.c_str(), "empty", &block, &size), 0);
    EXPECT_EQ(size, 0u);
    EXPECT_EQ(TakeBlock(block), std::string(4, '\0'));
}

}  // namespace
