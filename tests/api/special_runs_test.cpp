// special_runs_test.cpp - the harder cases of the exports without a command
// line: members streamed with data descriptors and members whose declared
// size is too small refused in memory, a name that selects several
// members (only the last block handed over, none lost), the archive check at
// the edges of the end-record search, UnzipExtractAll's flag combinations on
// files that exist, and the temporary directory left empty by all of them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "api_test_support.h"
#include "support/file_helpers.h"
#include "support/scratch_dir.h"
#include "support/zip_builder.h"
#include "tovra.h"

namespace tovra::apitest {
namespace {

// 2099-01-01 12:00:00: members newer than any file the test writes.
constexpr uint32_t kFutureDosTime = (119u << 25) | (1u << 21) | (1u << 16) | (12u << 11);

// The overwrite options are process-wide and outlive a call; this clears
// both (the command line names no archive, so nothing else happens).
void ClearOverwriteOptions() { ASSERT_EQ(Unzip(nullptr, "-----------------o --n", nullptr, 0), 9); }

// A block's data and the bytes behind it, read through the platform's calls.
struct BlockContents {
    std::string data;
    bool zeroBehind = false;
    size_t blockSize = 0;
};
BlockContents ReadBlock(TovraMemory block, uint32_t size) {
    BlockContents contents;
    contents.blockSize = BlockSize(block);
    const char* bytes = static_cast<const char*>(LockBlock(block));
    if (bytes == nullptr) return contents;
    contents.data.assign(bytes, std::min<size_t>(size, contents.blockSize));
    contents.zeroBehind = contents.blockSize > size;
    for (size_t i = size; i < contents.blockSize; ++i) {
        contents.zeroBehind = contents.zeroBehind && bytes[i] == 0;
    }
    UnlockBlock(block);
    return contents;
}

std::string Pattern(size_t size, unsigned seed) {
    std::string data(size, '\0');
    uint32_t x = seed * 2654435761u + 1;
    for (char& c : data) {
        x = x * 1103515245u + 12345u;
        c = static_cast<char>(x >> 24);
    }
    return data;
}

class SpecialRunsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(platform::MakeDirectory(temp));
        callerDirectory = CurrentDirectory();
        ClearOverwriteOptions();
    }
    void TearDown() override {
        ClearOverwriteOptions();
        EXPECT_EQ(CurrentDirectory(), callerDirectory);
        EXPECT_EQ(EntryCount(temp), 0u);  // no record file, no other temporary file
    }
    std::string Write(const std::string& name, const test::ZipBuilder& zip) {
        EXPECT_TRUE(zip.WriteTo(dir / name));
        return dir / name;
    }

    test::ScratchDir dir;
    std::string temp = dir / "temp";
    ScopedTempDirectory redirect{temp};
    std::string callerDirectory;
};

TEST_F(SpecialRunsTest, StreamedMembersAreExtractedIntoMemoryWhole) {
    const std::string small = "0123456789";
    const std::string large = Pattern(150000, 1);  // several windows and output buffers
    test::ZipBuilder zip;
    zip.AddStored("stored.bin", small).dataDescriptor = true;
    zip.AddDeflated("deflated.bin", large).dataDescriptor = true;
    const std::string archive = Write("streamed.zip", zip);
    for (const auto& [name, expected] : {std::pair{"stored.bin", small}, std::pair{"deflated.bin", large}}) {
        SCOPED_TRACE(name);
        TovraMemory block = nullptr;
        uint32_t size = 0;
        ASSERT_EQ(UnzipExtractToMem(nullptr, archive.c_str(), name, &block, &size), 0);
        ASSERT_NE(block, nullptr);
        EXPECT_EQ(size, expected.size());
        const BlockContents contents = ReadBlock(block, size);
        EXPECT_EQ(contents.data == expected, true);
        EXPECT_TRUE(contents.zeroBehind);
        FreeBlock(block);
    }
}

TEST_F(SpecialRunsTest, AMemberLargerThanDeclaredFailsWithoutABlock) {
    // Both headers declare 3 bytes; the data produces 5000. The run fails
    // like a damaged member and no block is handed over. (The sanitizer
    // build sees any overrun.)
    const std::string data = Pattern(5000, 2);
    test::ZipBuilder zip;
    zip.AddDeflated("liar.bin", data).uncompressedSize = 3;
    const std::string archive = Write("liar.zip", zip);
    TovraMemory block = nullptr;
    uint32_t size = 0;
    EXPECT_EQ(UnzipExtractToMem(nullptr, archive.c_str(), "liar.bin", &block, &size), 2);
    EXPECT_EQ(block, nullptr);
    EXPECT_EQ(size, 1u);
}

TEST_F(SpecialRunsTest, ANameSelectingSeveralMembersHandsOverOnlyTheLastBlock) {
    // Names match without regard to case: all four are selected.
    constexpr size_t kMemberSize = 1 << 20;
    test::ZipBuilder zip;
    const char* names[] = {"big.bin", "BIG.BIN", "Big.Bin", "bIG.bIN"};
    for (unsigned i = 0; i < 4; ++i) {
        zip.AddStored(names[i], std::string(kMemberSize, static_cast<char>('a' + i)));
    }
    const std::string archive = Write("big.zip", zip);
    auto extract = [&](std::string* lastData) {
        TovraMemory block = nullptr;
        uint32_t size = 0;
        EXPECT_EQ(UnzipExtractToMem(nullptr, archive.c_str(), "big.bin", &block, &size), 0);
        EXPECT_EQ(size, kMemberSize);
        if (block != nullptr) *lastData = ReadBlock(block, size).data;
        return block;
    };
    std::string lastData;
    FreeBlock(extract(&lastData));  // the first run may build tables that stay
    EXPECT_EQ(lastData == std::string(kMemberSize, 'd'), true);

    const std::optional<uint64_t> before = HeapBytesInUse();
    TovraMemory block = extract(&lastData);
    ASSERT_NE(block, nullptr);
    const std::optional<uint64_t> holding = HeapBytesInUse();
    FreeBlock(block);
    const std::optional<uint64_t> after = HeapBytesInUse();
    if (before && holding && after) {
        // The measure sees the block handed over, and only that one: three
        // lost blocks would be three megabytes more.
        const int64_t held = static_cast<int64_t>(*holding) - static_cast<int64_t>(*before);
        EXPECT_GE(held, int64_t{kMemberSize});
        EXPECT_LT(held, int64_t{kMemberSize} * 3 / 2);
        EXPECT_LT(static_cast<int64_t>(*after) - static_cast<int64_t>(*before), int64_t{kMemberSize / 2});
    }
}

TEST_F(SpecialRunsTest, CheckArchiveAtTheEdgesOfTheEndRecordSearch) {
    test::ZipBuilder zip;
    zip.AddStored("a.txt", "alpha");
    zip.trailing = std::string(60000, 't');  // inside the normal search range
    const std::string inRange = Write("inRange.zip", zip);
    zip.trailing = std::string(70000 + 8192, 't');  // beyond it, whole blocks considered
    const std::string outOfRange = Write("outOfRange.zip", zip);
    zip.trailing.clear();
    // A self-extractor's program in front, the offsets counted from the
    // archive proper: found and repaired with a warning, so not usable.
    zip.preamble = std::string(3000, 'M');
    zip.offsetsIncludePreamble = false;
    const std::string sfx = Write("sfx.zip", zip);
    // The same with offsets counted from the start of the file: nothing to repair.
    zip.offsetsIncludePreamble = true;
    const std::string adjusted = Write("sfx-adjusted.zip", zip);
    for (int mode : {0, 1, 2, 3}) {
        SCOPED_TRACE(mode);
        EXPECT_EQ(UnzipCheckArchive(inRange.c_str(), mode), 1);
        EXPECT_EQ(UnzipCheckArchive(outOfRange.c_str(), mode), mode == 2 ? 1 : 0);
        EXPECT_EQ(UnzipCheckArchive(sfx.c_str(), mode), 0);
        EXPECT_EQ(UnzipCheckArchive(adjusted.c_str(), mode), 1);
    }
    // What the check accepts can be enumerated and extracted.
    TovraArchive handle = UnzipOpenArchive(nullptr, inRange.c_str(), 0);
    EXPECT_NE(handle, nullptr);
    EXPECT_EQ(UnzipCloseArchive(handle), 0);
}

// One UnzipExtractAll case on a directory that holds an older or newer a.txt.
struct FlagCase {
    const char* what;
    uint32_t flags;
    bool membersNewer;  // members dated 2099 (else 2015, older than the file)
    bool aReplaced;     // a.txt holds the member's data afterwards
    bool bCreated;      // b.txt (a member in a folder) was extracted
    const char* bPath;  // where b.txt is expected
};

TEST_F(SpecialRunsTest, ExtractAllFlagsDecideWhatHappensToExistingFiles) {
    const FlagCase cases[] = {
        {"update: a newer file stays", 0, false, false, true, "b.txt"},
        {"update, never overwrite", 1, true, false, true, "b.txt"},
        {"update, overwrite wins over never", 3, true, true, true, "b.txt"},
        {"freshen wins over no-check, overwrite over never", 15, true, true, false, "b.txt"},
        {"freshen, never: nothing changes", 5, true, false, false, "b.txt"},
        {"no check: replaced although never is set", 9, true, true, true, "b.txt"},
        {"no check: replaced although the file is newer", 8, false, true, true, "b.txt"},
        {"keep paths", 16 | 2, true, true, true, "d/b.txt"},
    };
    for (bool newer : {false, true}) {
        test::ZipBuilder zip;
        zip.AddStored("a.txt", "new alpha").dosDateTime = newer ? kFutureDosTime : test::kDefaultDosTime;
        zip.AddStored("d/b.txt", "beta").dosDateTime = newer ? kFutureDosTime : test::kDefaultDosTime;
        Write(newer ? "newer.zip" : "older.zip", zip);
    }
    int index = 0;
    for (const FlagCase& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string out = dir / ("out" + std::to_string(index++));
        ASSERT_TRUE(platform::MakeDirectory(out));
        ASSERT_TRUE(test::WriteWholeFile(out + "/a.txt", "old"));
        const std::string archive = dir / (c.membersNewer ? "newer.zip" : "older.zip");
        const int result = UnzipExtractAll(nullptr, archive.c_str(), out.c_str(), c.flags);
        if (c.aReplaced || c.bCreated) {
            EXPECT_EQ(result, 0);
        }
        EXPECT_EQ(test::ReadWholeFile(out + "/a.txt").value_or("<missing>"), c.aReplaced ? "new alpha" : "old");
        EXPECT_EQ(test::ReadWholeFile(out + "/" + c.bPath).has_value(), c.bCreated);
        ClearOverwriteOptions();
    }
}

TEST_F(SpecialRunsTest, ExtractAllCreatesEveryLevelOfTheDirectory) {
    test::ZipBuilder zip;
    zip.AddStored("a.txt", "alpha");
    const std::string archive = Write("arc.zip", zip);
    for (const std::string& target : {dir / "one/two/three", dir / "four/five/"}) {
        SCOPED_TRACE(target);
        EXPECT_EQ(UnzipExtractAll(nullptr, archive.c_str(), target.c_str(), 0), 0);
        EXPECT_EQ(test::ReadWholeFile(target + "/a.txt").value_or("<missing>"), "alpha");
    }
    // The directory is made before the archive is looked at.
    EXPECT_EQ(UnzipExtractAll(nullptr, (dir / "missing.zip").c_str(), (dir / "made/anyway").c_str(), 0), 9);
    EXPECT_TRUE(platform::IsDirectory(dir / "made/anyway"));
    // A directory whose parent is a file cannot be prepared.
    EXPECT_EQ(UnzipExtractAll(nullptr, archive.c_str(), (archive + "/inside").c_str(), 0), -1);
}

}  // namespace
}  // namespace tovra::apitest
