// utf8_names_test.cpp - names that archives flag as UTF-8, through the
// exports as a host calls them (code page 932 on both builds): the
// enumeration records and the name UnzipExtractToMem matches carry the name
// converted to code page 932.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "api_test_support.h"
#include "support/scratch_dir.h"
#include "support/zip_builder.h"
#include "tovra.h"

namespace tovra::apitest {
namespace {

constexpr uint16_t kUtf8Flag = 0x0800;

struct NameCase {
    std::string utf8;
    std::string cp932;
};
// 表 and ソ end in the byte 0x5C; 们 and é are not in code page 932; the yen
// sign must not become '\'.
const NameCase kCases[] = {
    {"日本語/表示.txt", "\x93\xFA\x96\x7B\x8C\xEA/\x95\x5C\x8E\xA6.txt"},
    {"ソフト.txt", "\x83\x5C\x83\x74\x83\x67.txt"},
    {"中文们.txt", "\x92\x86\x95\xB6_.txt"},
    {"café/¥＼.txt", "caf_/_\x81\x5F.txt"},
};

class Utf8NamesApi : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(platform::MakeDirectory(temp));
        test::ZipBuilder zip;
        for (const NameCase& c : kCases) zip.AddStored(c.utf8, "data of " + c.utf8).flags = kUtf8Flag;
        archive = dir / "utf8.zip";
        ASSERT_TRUE(zip.WriteTo(archive));
    }
    test::ScratchDir dir;
    std::string temp = dir / "temp";
    ScopedTempDirectory redirect{temp};
    std::string archive;
};

TEST_F(Utf8NamesApi, RecordsCarryTheConvertedNames) {
    TovraArchive handle = UnzipOpenArchive(nullptr, archive.c_str(), 0);
    ASSERT_NE(handle, nullptr);
    EntryInfoRecord record;
    for (const NameCase& c : kCases) {
        ASSERT_EQ(&c == &kCases[0] ? UnzipFindFirst(handle, "", &record) : UnzipFindNext(handle, &record), 0);
        EXPECT_EQ(std::string(record.name), c.cp932);
    }
    EXPECT_EQ(UnzipCloseArchive(handle), 0);
}

TEST_F(Utf8NamesApi, ExtractToMemoryMatchesTheConvertedName) {
    for (const NameCase& c : kCases) {
        TovraMemory block = nullptr;
        uint32_t size = 0;
        ASSERT_EQ(UnzipExtractToMem(nullptr, archive.c_str(), c.cp932.c_str(), &block, &size), 0) << c.utf8;
        ASSERT_NE(block, nullptr);
        const std::string expected = "data of " + c.utf8;
        ASSERT_EQ(size, expected.size());
        EXPECT_EQ(std::memcmp(LockBlock(block), expected.data(), size), 0);
        UnlockBlock(block);
        FreeBlock(block);
    }
    TovraMemory block = nullptr;
    uint32_t size = 0;
    EXPECT_EQ(UnzipExtractToMem(nullptr, archive.c_str(), kCases[0].utf8.c_str(), &block, &size), 11);
    EXPECT_EQ(block, nullptr);
}

}  // namespace
}  // namespace tovra::apitest
