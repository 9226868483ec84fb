// member_extract_test.cpp - one member from its data to its output: stored
// and deflated members byte-exact with time and attributes, the CRC check,
// test mode, a failed write, memory mode (a block sized from the central
// directory, earlier blocks given back), and the declared uncompressed size,
// which no output may exceed or fall short of.
//
// Each test writes a small archive fragment (local header, name, data) to a
// file, opens it as the context's archive and positions the reader on the
// data, as the member loop does before it calls ExtractMember.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdio>
#include <cstring>
#include <optional>
#include <string>

#include "extract/Cunzip.h"
#include "extract/process_state.h"
#include "format/crc32.h"
#include "format/dos_time.h"
#include "format/records.h"
#include "format/zip_values.h"
#include "platform/platform.h"
#include "support/file_helpers.h"
#include "support/scratch_dir.h"
#include "support/scripted_ui_host.h"

namespace tovra::extract {
namespace {

constexpr uint32_t kMemberDos = (41u << 25) | (3u << 21) | (7u << 16) | (9u << 11) | (30u << 5) | 10u;

std::string RawDeflate(const std::string& data, int level) {
    z_stream z{};
    EXPECT_EQ(deflateInit2(&z, level, Z_DEFLATED, -15, 9, Z_DEFAULT_STRATEGY), Z_OK);
    std::string out(deflateBound(&z, data.size()) + 16, '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    z.avail_in = static_cast<uInt>(data.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    EXPECT_EQ(deflate(&z, Z_FINISH), Z_STREAM_END);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

uint32_t Crc(const std::string& data) { return format::Crc32(0, data.data(), data.size()); }

class MemberExtract : public ::testing::Test {
protected:
    void SetUp() override {
        ProcessState() = ExtractProcessState{};
        ASSERT_TRUE(context.AllocateRunBuffers());
        member.attributeByte = platform::kAttrArchive;
        context.MemberForTest().currentMember = &member;
    }
    void TearDown() override {
        if (context.memoryBlock != nullptr) platform::GlobalFree(context.memoryBlock);
    }

    // Writes `preamble` bytes of filler, a local header with `header`, the
    // name and `data`; opens it and leaves the reader on the data.
    void Position(const format::LocalHeader& header, const std::string& data, size_t preamble = 5) {
        const std::string name = "member.bin";
        format::LocalHeader h = header;
        h.nameLength = static_cast<uint16_t>(name.size());
        h.extraLength = 0;
        uint8_t fixed[format::kLocalHeaderSize];
        format::EncodeLocalHeader(h, fixed);
        std::string bytes(preamble, 'P');
        bytes.append(reinterpret_cast<const char*>(fixed), sizeof fixed);
        bytes += name;
        bytes += data;
        const std::string archive = scratch / "archive.zip";
        ASSERT_TRUE(test::WriteWholeFile(archive, bytes));
        context.Close();
        ASSERT_TRUE(context.Open(archive, platform::OpenMode::kRead));
        context.ResetReader();
        ASSERT_EQ(context.SeekArchive(static_cast<int64_t>(preamble + sizeof fixed + name.size())), 0);
        context.MemberForTest().localHeader = h;
        context.MemberForTest().uncompressedSize = h.uncompressedSize;
        context.MemberForTest().compressedBytesLeft = h.compressedSize;
        context.OutputForTest().outputPath = scratch / "out.bin";
    }
    static format::LocalHeader Header(uint16_t method, const std::string& plain, const std::string& stored) {
        format::LocalHeader h;
        h.method = method;
        h.dosDateTime = kMemberDos;
        h.crc32 = Crc(plain);
        h.compressedSize = static_cast<uint32_t>(stored.size());
        h.uncompressedSize = static_cast<uint32_t>(plain.size());
        return h;
    }
    std::string MemoryContents() {
        const void* p = platform::GlobalLock(context.memoryBlock);
        std::string bytes(static_cast<const char*>(p), platform::GlobalSize(context.memoryBlock));
        platform::GlobalUnlock(context.memoryBlock);
        return bytes;
    }

    test::ScratchDir scratch;
    test::ScriptedUiHost ui;
    Cunzip context;
    MemberInfo member;
};

TEST_F(MemberExtract, StoredMemberGetsItsBytesTimeAndReadOnly) {
    // Longer than the reader's block and than the write buffer.
    const std::string plain = test::PatternBytes(Cunzip::kWriteBufferSize + 70001);
    Position(Header(0, plain, plain), plain);
    member.attributeByte = platform::kAttrArchive | platform::kAttrReadOnly;
    EXPECT_EQ(context.ExtractMember(), 0);
    EXPECT_EQ(test::ReadWholeFile(context.Output().outputPath), plain);
    platform::FileStatus status;
    ASSERT_TRUE(platform::GetFileStatus(context.Output().outputPath, &status));
    int64_t expected = 0;
    ASSERT_TRUE(format::DosTimeToUnix(kMemberDos, &expected));
    EXPECT_EQ(status.modificationTime, expected);
    EXPECT_NE(platform::GetAttributes(context.Output().outputPath) & platform::kAttrReadOnly, 0);
    EXPECT_EQ(context.Member().memberCrc, Crc(plain));
}

TEST_F(MemberExtract, ExistingReadOnlyAttributeIsClearedWhenTheMemberIsWritable) {
    const std::string plain = "replacement";
    Position(Header(0, plain, plain), plain);
    ASSERT_TRUE(test::WriteWholeFile(context.Output().outputPath, "old"));
    context.OutputForTest().outputExisted = 1;
    member.attributeByte = platform::kAttrArchive;
    EXPECT_EQ(context.ExtractMember(), 0);
    EXPECT_EQ(platform::GetAttributes(context.Output().outputPath) & platform::kAttrReadOnly, 0);
    EXPECT_EQ(test::ReadWholeFile(context.Output().outputPath), plain);
}

TEST_F(MemberExtract, CrcMismatchIsAnErrorAndTheFileStays) {
    const std::string plain = "some bytes whose CRC will not match";
    format::LocalHeader h = Header(0, plain, plain);
    h.crc32 ^= 1;
    Position(h, plain);
    EXPECT_EQ(context.ExtractMember(), 2);
    EXPECT_EQ(test::ReadWholeFile(context.Output().outputPath), plain);
}

TEST_F(MemberExtract, DataDescriptorMemberIsCheckedAgainstTheCentralCrc) {
    const std::string plain = "streamed";
    format::LocalHeader h = Header(0, plain, plain);
    h.flags = format::kFlagDataDescriptor;
    member.crc32 = h.crc32;
    member.uncompressedSize = h.uncompressedSize;
    h.crc32 = 0;
    h.uncompressedSize = format::kZip64Placeholder32;  // as a Zip64 streaming writer leaves it
    Position(h, plain);
    EXPECT_EQ(context.ExtractMember(), 0);
    // An empty streamed member: the central 0 is the declared size.
    h.compressedSize = member.uncompressedSize = 0;
    member.crc32 = 0;
    Position(h, "");
    EXPECT_EQ(context.ExtractMember(), 0);
}

TEST_F(MemberExtract, ArchiveEndingInsideStoredDataIsAnError) {
    const std::string plain = test::PatternBytes(20000);
    format::LocalHeader h = Header(0, plain, plain);
    Position(h, plain.substr(0, 12345));
    EXPECT_EQ(context.ExtractMember(), 2);
}

TEST_F(MemberExtract, BackReferenceAcrossTheWindowWrap) {
    // Repeats of a 20000-byte block make matches of distance 20000 that start
    // before the 32 KiB wrap and end after it, several times over.
    const std::string block = test::PatternBytes(20000, 7);
    std::string plain;
    for (int i = 0; i < 6; ++i) plain += block;
    plain += "tail";
    const std::string packed = RawDeflate(plain, 9);
    ASSERT_LT(packed.size(), 30000u);
    Position(Header(8, plain, packed), packed);
    EXPECT_EQ(context.ExtractMember(), 0);
    EXPECT_EQ(test::ReadWholeFile(context.Output().outputPath), plain);
}

TEST_F(MemberExtract, CorruptDeflateDataIsReported) {
    const std::string plain = test::PatternBytes(5000);
    std::string packed = RawDeflate(plain, 6);
    packed[0] = static_cast<char>(0xFF);  // final block of the reserved type 3
    Position(Header(8, plain, packed), packed);
    EXPECT_EQ(context.ExtractMember(), 2);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_NE(ui.messages[0].text.find("invalid compressed data to inflate"), std::string::npos) << ui.messages[0].text;
}

TEST_F(MemberExtract, TestModeWritesNothing) {
    const std::string plain = "tested, not written";
    context.options.test = 1;
    Position(Header(0, plain, plain), plain);
    EXPECT_EQ(context.ExtractMember(), 0);
    EXPECT_FALSE(platform::FileExists(context.Output().outputPath));
    format::LocalHeader bad = Header(0, plain, plain);
    bad.crc32 ^= 0x80000000u;
    Position(bad, plain);
    EXPECT_EQ(context.ExtractMember(), 2);
}

TEST_F(MemberExtract, FailedWriteIsAnOutputFailure) {
    if (!platform::FileExists("/dev/full")) GTEST_SKIP() << "needs /dev/full";
    const std::string plain = test::PatternBytes(1000);
    Position(Header(0, plain, plain), plain);
    context.OutputForTest().outputPath = "/dev/full";
    EXPECT_EQ(context.ExtractMember(), 50);
    EXPECT_EQ(ProcessState().WriteFailureState, 2);
}

TEST_F(MemberExtract, ProgressIsReportedAndACancelStopsTheMember) {
    const std::string plain = test::PatternBytes(100000);
    const std::string packed = RawDeflate(plain, 1);
    Position(Header(8, plain, packed), packed);
    EXPECT_EQ(context.ExtractMember(), 0);
    ASSERT_GE(ui.progressCalls.size(), 3u);  // the start, then one per window
    EXPECT_EQ(ui.progressCalls.front().done, 0u);
    EXPECT_EQ(ui.progressCalls.back().done, plain.size());
    EXPECT_EQ(ui.progressCalls.back().total, plain.size());

    // The person cancels after the first report: the member stops at its
    // first flush with result 2.
    ui.progressCalls.clear();
    ui.cancelAfterProgressCalls = 1;
    Position(Header(8, plain, packed), packed);
    EXPECT_EQ(context.ExtractMember(), 2);
    EXPECT_EQ(context.cancelSeen, 1);
    EXPECT_LT(test::ReadWholeFile(context.Output().outputPath)->size(), plain.size());
}

TEST_F(MemberExtract, MemoryBlockFromTheLocalSize) {
    const std::string plain = "0123456789";
    context.memoryMode = 1;
    Position(Header(0, plain, plain), plain);
    EXPECT_EQ(context.ExtractMember(), 0);
    EXPECT_EQ(context.memorySize, 10u);
    EXPECT_EQ(MemoryContents(), plain + std::string(2, '\0'));
    EXPECT_FALSE(platform::FileExists(context.Output().outputPath));
}

TEST_F(MemberExtract, MemoryBlockNeverTakesMoreThanTheDeclaredSize) {
    // A streamed member: local sizes 0; the central size (too small on
    // purpose) is the declared one, and no byte past it reaches the block.
    const std::string plain = test::PatternBytes(70001, 3);
    const std::string packed = RawDeflate(plain, 6);
    format::LocalHeader h = Header(8, plain, packed);
    h.flags = format::kFlagDataDescriptor;
    member.crc32 = h.crc32;
    member.compressedSize = h.compressedSize;
    member.uncompressedSize = 10;
    h.crc32 = 0;
    h.uncompressedSize = 0;
    context.memoryMode = 1;
    Position(h, packed);
    EXPECT_EQ(context.ExtractMember(), 2);
    EXPECT_EQ(context.memorySize, 10u);
    const std::string block = MemoryContents();
    EXPECT_EQ(block, plain.substr(0, 10) + std::string(2, '\0'));
}

TEST_F(MemberExtract, HugeDeclaredSizeDoesNotReserveHugeMemory) {
    const std::string plain = "a few bytes";
    const std::string packed = RawDeflate(plain, 6);
    format::LocalHeader h = Header(8, plain, packed);
    h.uncompressedSize = 0xFFFFFFF0u;
    context.memoryMode = 1;
    Position(h, packed);
    EXPECT_EQ(context.ExtractMember(), 2);  // shorter than declared
    EXPECT_EQ(context.memorySize, plain.size());
    EXPECT_EQ(MemoryContents(), plain + std::string(1, '\0'));
}

// One member whose data and declared uncompressed size may disagree.
struct DeclaredSizeCase {
    const char* what;
    uint16_t method;
    size_t real;          // bytes the data really stands for
    uint32_t declared;    // uncompressed size in the local header (central with a data descriptor)
    bool dataDescriptor;  // local sizes 0, the central ones count
    int result;
    long fileSize;  // size of the output file afterwards, -1: no file
};

TEST_F(MemberExtract, OutputNeverExceedsTheDeclaredSize) {
    const DeclaredSizeCase cases[] = {
        {"stored, sizes agree", 0, 5000, 5000, false, 0, 5000},
        {"stored, compressed size larger", 0, 5000, 3, false, 2, -1},
        {"stored, compressed size smaller", 0, 5000, 6000, false, 2, -1},
        {"deflated, sizes agree", 8, 262150, 262150, false, 0, 262150},
        {"deflated, 262150 bytes declared as 10", 8, 262150, 10, false, 2, 10},
        {"deflated, longer by one byte", 8, 40000, 39999, false, 2, 39999},
        {"deflated, shorter than declared", 8, 5000, 6000, false, 2, 5000},
        {"deflated, data declared as empty", 8, 100, 0, false, 2, 0},
        {"deflated, streamed, central size agrees", 8, 70001, 70001, true, 0, 70001},
        {"deflated, streamed, central size too small", 8, 70001, 10, true, 2, 10},
        {"deflated, local Zip64 placeholder, central size agrees", 8, 3000, 0xFFFFFFFFu, false, 0, 3000},
    };
    int n = 0;
    for (const DeclaredSizeCase& c : cases) {
        SCOPED_TRACE(c.what);
        ui.messages.clear();
        std::snprintf(context.MemberForTest().nameBuffer, kNameBufferSize, "%s", "member.bin");
        const std::string plain = test::PatternBytes(c.real, 11);
        const std::string packed = c.method == 8 ? RawDeflate(plain, 6) : plain;
        format::LocalHeader h = Header(c.method, plain, packed);
        member.crc32 = h.crc32;
        member.compressedSize = h.compressedSize;
        member.uncompressedSize = c.declared == 0xFFFFFFFFu ? static_cast<uint32_t>(c.real) : c.declared;
        h.uncompressedSize = c.declared;
        if (c.dataDescriptor) {
            h.flags = format::kFlagDataDescriptor;
            h.crc32 = h.uncompressedSize = 0;
        }
        Position(h, packed);
        context.OutputForTest().outputPath = scratch / ("out" + std::to_string(n++));
        EXPECT_EQ(context.ExtractMember(), c.result);
        const std::optional<std::string> written = test::ReadWholeFile(context.Output().outputPath);
        EXPECT_EQ(written ? static_cast<long>(written->size()) : -1L, c.fileSize);
        if (written) {
            EXPECT_EQ(*written, plain.substr(0, written->size()));
        }
        if (c.result == 2) {
            ASSERT_EQ(ui.messages.size(), 1u) << ui.AllMessageTexts();
            const bool longer = c.real > (c.declared == 0xFFFFFFFFu ? c.real : c.declared);
            const std::string expected = std::string("error:  ") + (longer ? "more" : "less") +
                                         " data than declared to " + (c.method == 8 ? "inflate" : "extract") +
                                         " member.bin";
            EXPECT_EQ(ui.messages[0].text, expected);
            EXPECT_EQ(ui.messages[0].icon, platform::MessageIcon::kStop);
        } else {
            EXPECT_TRUE(ui.messages.empty()) << ui.AllMessageTexts();
        }
        // Test mode and memory mode judge the same way.
        context.options.test = 1;
        Position(h, packed);
        EXPECT_EQ(context.ExtractMember(), c.result);
        context.options.test = 0;
        context.memoryMode = 1;
        Position(h, packed);
        EXPECT_EQ(context.ExtractMember(), c.result);
        if (c.fileSize >= 0) {
            EXPECT_EQ(context.memorySize, static_cast<uint32_t>(c.fileSize));
        }
        context.memoryMode = 0;
    }
}

TEST_F(MemberExtract, DecodingStopsSoonAfterTheDeclaredSize) {
    // 64 MiB of zeros declared as 100 bytes: inflate stops at the first
    // window and leaves almost all of the compressed data unread.
    const std::string plain(64u << 20, '\0');
    const std::string packed = RawDeflate(plain, 9);
    format::LocalHeader h = Header(8, plain, packed);
    h.uncompressedSize = 100;
    context.options.test = 1;
    Position(h, packed);
    EXPECT_EQ(context.ExtractMember(), 2);
    EXPECT_GT(context.Member().compressedBytesLeft, static_cast<int64_t>(packed.size() * 9 / 10));
    EXPECT_EQ(context.Output().bytesDone, 100u);
}

TEST_F(MemberExtract, MemoryBlockSizedFromTheCentralSize) {
    const std::string plain = test::PatternBytes(101);
    format::LocalHeader h = Header(0, plain, plain);
    h.flags = format::kFlagDataDescriptor;
    member.crc32 = h.crc32;
    member.uncompressedSize = static_cast<uint32_t>(plain.size());
    h.uncompressedSize = 0;
    context.memoryMode = 1;
    Position(h, plain);
    EXPECT_EQ(context.ExtractMember(), 0);
    EXPECT_EQ(platform::GlobalSize(context.memoryBlock), 104u);
}

TEST_F(MemberExtract, EarlierMemoryBlockIsGivenBack) {
    const std::string first = "first member";
    context.memoryMode = 1;
    Position(Header(0, first, first), first);
    ASSERT_EQ(context.ExtractMember(), 0);
    const platform::MemoryHandle firstBlock = context.memoryBlock;
    ASSERT_NE(platform::GlobalSize(firstBlock), 0u);
    const std::string second = "second";
    Position(Header(0, second, second), second);
    ASSERT_EQ(context.ExtractMember(), 0);
    EXPECT_EQ(MemoryContents().substr(0, second.size()), second);
    EXPECT_EQ(context.memorySize, second.size());
    if (context.memoryBlock != firstBlock) {
        EXPECT_EQ(platform::GlobalSize(firstBlock), 0u);
    }
}

}  // namespace
}  // namespace tovra::extract
