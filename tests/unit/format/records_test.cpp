// ZIP records: the writers against hand-assembled bytes, write-then-parse
// round trips, parsers on short input, the writers refusing values their
// fields cannot hold, and short writes.
#include "format/records.h"

#include <gtest/gtest.h>

#include <limits>
#include <vector>

#include "format/byte_cursor.h"

namespace tovra::format {
namespace {

// Collects written bytes; takes at most `limit` bytes in total, then writes short.
class MemoryOutput : public OutputStream {
public:
    explicit MemoryOutput(size_t limit = std::numeric_limits<size_t>::max()) : limit_(limit) {}
    size_t Write(const void* data, size_t n) override {
        const size_t take = std::min(n, limit_ - bytes.size());
        const uint8_t* p = static_cast<const uint8_t*>(data);
        bytes.insert(bytes.end(), p, p + take);
        return take;
    }
    std::vector<uint8_t> bytes;

private:
    size_t limit_;
};

ExtraField Extra(std::vector<uint8_t> bytes) { return std::make_shared<std::vector<uint8_t>>(std::move(bytes)); }

// A deflated member whose every field has distinct bytes, so a swapped or
// misplaced field shows.
ZipEntry SampleEntry() {
    ZipEntry e;
    e.versionMadeBy = kVersionMadeByNative;
    e.versionNeeded = 20;
    e.flags = kFlagDataDescriptor;
    e.localFlags = kFlagMaximum;
    e.method = kMethodDeflated;
    e.dosDateTime = 0x58E75C21;
    e.crc32 = 0xCBF43926;
    e.compressedSize = 11;
    e.uncompressedSize = 0x12345678;
    e.internalName = "a/b.txt";
    e.nameLength = 7;
    e.localExtra = Extra({0xAA, 0xBB, 0xCC});
    e.localExtraLength = 3;
    e.centralExtra = Extra({0x01, 0x02});
    e.centralExtraLength = 2;
    e.comment = {'h', 'i'};
    e.commentLength = 2;
    e.internalAttributes = 1;
    e.externalAttributes = 0x81A40020;
    e.localHeaderOffset = 0x00010203;
    return e;
}

const std::vector<uint8_t> kName = {'a', '/', 'b', '.', 't', 'x', 't'};

std::vector<uint8_t> Concat(std::initializer_list<std::vector<uint8_t>> parts) {
    std::vector<uint8_t> all;
    for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}

TEST(RecordWriters, LocalHeaderBytes) {
    MemoryOutput out;
    ASSERT_EQ(WriteLocalHeader(SampleEntry(), out), kWriteOk);
    const std::vector<uint8_t> expected =
        Concat({{0x50, 0x4B, 0x03, 0x04, 0x14, 0x00, 0x02, 0x00, 0x08, 0x00, 0x21, 0x5C, 0xE7, 0x58, 0x26,
                 0x39, 0xF4, 0xCB, 0x0B, 0x00, 0x00, 0x00, 0x78, 0x56, 0x34, 0x12, 0x07, 0x00, 0x03, 0x00},
                kName,
                {0xAA, 0xBB, 0xCC}});
    EXPECT_EQ(out.bytes, expected);
}

TEST(RecordWriters, CentralHeaderBytes) {
    MemoryOutput out;
    ASSERT_EQ(WriteCentralHeader(SampleEntry(), out), kWriteOk);
    const std::vector<uint8_t> expected =
        Concat({{0x50, 0x4B, 0x01, 0x02, 0x15, 0x0B, 0x14, 0x00, 0x08, 0x00, 0x08, 0x00, 0x21, 0x5C, 0xE7, 0x58,
                 0x26, 0x39, 0xF4, 0xCB, 0x0B, 0x00, 0x00, 0x00, 0x78, 0x56, 0x34, 0x12, 0x07, 0x00, 0x02, 0x00,
                 0x02, 0x00, 0x00, 0x00, 0x01, 0x00, 0x20, 0x00, 0xA4, 0x81, 0x03, 0x02, 0x01, 0x00},
                kName,
                {0x01, 0x02, 'h', 'i'}});
    EXPECT_EQ(out.bytes, expected);
}

TEST(RecordWriters, DataDescriptorAndEndRecordBytes) {
    MemoryOutput out;
    ASSERT_EQ(WriteDataDescriptor(SampleEntry(), out), kWriteOk);
    EXPECT_EQ(out.bytes, (std::vector<uint8_t>{0x50, 0x4B, 0x07, 0x08, 0x26, 0x39, 0xF4, 0xCB, 0x0B, 0x00, 0x00, 0x00,
                                               0x78, 0x56, 0x34, 0x12}));
    MemoryOutput end;
    const uint8_t comment[] = {'h', 'e', 'l', 'l', 'o'};
    ASSERT_EQ(WriteEndRecord(3, 0x9A, 0x1234, comment, 5, end), kWriteOk);
    EXPECT_EQ(end.bytes,
              (std::vector<uint8_t>{0x50, 0x4B, 0x05, 0x06, 0x00, 0x00, 0x00, 0x00, 0x03, 0x00, 0x03, 0x00, 0x9A, 0x00,
                                    0x00, 0x00, 0x34, 0x12, 0x00, 0x00, 0x05, 0x00, 'h',  'e',  'l',  'l',  'o'}));
}

// Write, then read back through the parsers: every field survives, the
// variable parts follow the fixed part, and nothing trails.
TEST(RecordWriters, RoundTripThroughParsers) {
    ZipEntry e = SampleEntry();
    e.compressedSize = 0xFFFFFFFF;  // the largest values the fields hold
    e.localHeaderOffset = 0xFFFFFFFF;
    MemoryOutput out;
    ASSERT_EQ(WriteLocalHeader(e, out), kWriteOk);
    ASSERT_EQ(WriteDataDescriptor(e, out), kWriteOk);
    ASSERT_EQ(WriteCentralHeader(e, out), kWriteOk);
    ASSERT_EQ(WriteEndRecord(65535, 0xFFFFFFFF, 0xFFFFFFFF, nullptr, 0, out), kWriteOk);

    ByteCursor in(out.bytes.data(), out.bytes.size());
    ASSERT_EQ(in.U32(), kLocalHeaderSignature);
    LocalHeader local;
    ASSERT_TRUE(ParseLocalHeader(in.Bytes(kLocalHeaderBodySize), kLocalHeaderBodySize, &local));
    EXPECT_EQ(local, (LocalHeader{20, kFlagMaximum, 8, 0x58E75C21, 0xCBF43926, 0xFFFFFFFF, 0x12345678, 7, 3}));
    const uint8_t* name = in.Bytes(7);
    ASSERT_NE(name, nullptr);
    EXPECT_EQ(std::vector<uint8_t>(name, name + 7), kName);
    in.Skip(3);

    ASSERT_EQ(in.U32(), kDataDescriptorSignature);
    DataDescriptor dd;
    ASSERT_TRUE(ParseDataDescriptor(in.Bytes(kDataDescriptorBodySize), kDataDescriptorBodySize, &dd));
    EXPECT_EQ(dd, (DataDescriptor{0xCBF43926, 0xFFFFFFFF, 0x12345678}));

    ASSERT_EQ(in.U32(), kCentralHeaderSignature);
    CentralHeader central;
    ASSERT_TRUE(ParseCentralHeader(in.Bytes(kCentralHeaderBodySize), kCentralHeaderBodySize, &central));
    EXPECT_EQ(central, (CentralHeader{kVersionMadeByNative, 20, kFlagDataDescriptor, 8, 0x58E75C21, 0xCBF43926,
                                      0xFFFFFFFF, 0x12345678, 7, 2, 2, 0, 1, 0x81A40020, 0xFFFFFFFF}));
    in.Skip(7 + 2 + 2);

    ASSERT_EQ(in.U32(), kEndRecordSignature);
    EndRecord end;
    ASSERT_TRUE(ParseEndRecord(in.Bytes(kEndRecordBodySize), kEndRecordBodySize, &end));
    EXPECT_EQ(end, (EndRecord{0, 0, 65535, 65535, 0xFFFFFFFF, 0xFFFFFFFF, 0}));
    EXPECT_TRUE(in.Ok());
    EXPECT_EQ(in.Remaining(), 0u);
}

// A parser given one byte too few reports it and leaves its output alone.
TEST(RecordParsers, RefuseShortInput) {
    const std::vector<uint8_t> body(64, 0x5A);
    LocalHeader local{1};
    CentralHeader central{1};
    EndRecord end{1};
    DataDescriptor dd{1};
    EXPECT_FALSE(ParseLocalHeader(body.data(), kLocalHeaderBodySize - 1, &local));
    EXPECT_FALSE(ParseCentralHeader(body.data(), kCentralHeaderBodySize - 1, &central));
    EXPECT_FALSE(ParseEndRecord(body.data(), kEndRecordBodySize - 1, &end));
    EXPECT_FALSE(ParseDataDescriptor(body.data(), kDataDescriptorBodySize - 1, &dd));
    EXPECT_FALSE(ParseEndRecord(nullptr, 0, &end));
    EXPECT_EQ(local, LocalHeader{1});
    EXPECT_EQ(central, CentralHeader{1});
    EXPECT_EQ(end, EndRecord{1});
    EXPECT_EQ(dd, DataDescriptor{1});
    EXPECT_TRUE(ParseCentralHeader(body.data(), kCentralHeaderBodySize, &central));
    EXPECT_EQ(central.externalAttributes, 0x5A5A5A5Au);
}

// Values that their fields cannot hold are refused before any byte goes out.
TEST(RecordWriters, RefuseValuesBeyondFieldWidths) {
    struct Case {
        const char* what;
        void (*spoil)(ZipEntry&);
        int local, central, descriptor;
    };
    const Case cases[] = {
        {"compressed size", [](ZipEntry& e) { e.compressedSize = 0x100000000; }, 6, 6, 6},
        {"uncompressed size", [](ZipEntry& e) { e.uncompressedSize = 0x100000000; }, 6, 6, 6},
        {"offset", [](ZipEntry& e) { e.localHeaderOffset = 0x100000000; }, 0, 6, 0},
        {"name length", [](ZipEntry& e) { e.internalName.assign(65536, 'n'), e.nameLength = 65536; }, 6, 6, 0},
        {"local extra",
         [](ZipEntry& e) { e.localExtra = Extra(std::vector<uint8_t>(65536)), e.localExtraLength = 65536; }, 6, 0, 0},
        {"central extra",
         [](ZipEntry& e) { e.centralExtra = Extra(std::vector<uint8_t>(65536)), e.centralExtraLength = 65536; }, 0, 6,
         0},
        {"comment", [](ZipEntry& e) { e.comment.assign(65536, 'c'), e.commentLength = 65536; }, 0, 6, 0},
        // Lengths beyond the buffers they describe: never read past them.
        {"name beyond buffer", [](ZipEntry& e) { e.nameLength = 8; }, 5, 5, 0},
        {"local extra missing", [](ZipEntry& e) { e.localExtra.reset(); }, 5, 0, 0},
        {"central extra beyond buffer", [](ZipEntry& e) { e.centralExtraLength = 3; }, 0, 5, 0},
        {"comment beyond buffer", [](ZipEntry& e) { e.commentLength = 3; }, 0, 5, 0},
    };
    for (const Case& c : cases) {
        ZipEntry e = SampleEntry();
        c.spoil(e);
        MemoryOutput local, central, descriptor;
        EXPECT_EQ(WriteLocalHeader(e, local), c.local) << c.what;
        EXPECT_EQ(WriteCentralHeader(e, central), c.central) << c.what;
        EXPECT_EQ(WriteDataDescriptor(e, descriptor), c.descriptor) << c.what;
        EXPECT_EQ(local.bytes.empty(), c.local != 0) << c.what;
        EXPECT_EQ(central.bytes.empty(), c.central != 0) << c.what;
        EXPECT_EQ(descriptor.bytes.empty(), c.descriptor != 0) << c.what;
    }
    const std::vector<uint8_t> comment(65536, 'c');
    MemoryOutput out;
    EXPECT_EQ(WriteEndRecord(65536, 0, 0, nullptr, 0, out), kWriteEntryTooBig);
    EXPECT_EQ(WriteEndRecord(1, 0x100000000, 0, nullptr, 0, out), kWriteEntryTooBig);
    EXPECT_EQ(WriteEndRecord(1, 0, 0x100000000, nullptr, 0, out), kWriteEntryTooBig);
    EXPECT_EQ(WriteEndRecord(1, 0, 0, comment.data(), 65536, out), kWriteEntryTooBig);
    EXPECT_EQ(WriteEndRecord(1, 0, 0, nullptr, 1, out), kWriteInconsistentEntry);
    EXPECT_TRUE(out.bytes.empty());
    EXPECT_EQ(WriteEndRecord(0, 0, 0, comment.data(), 65535, out), kWriteOk);
    EXPECT_EQ(out.bytes.size(), kEndRecordSize + 65535);
}

// A stream that stops taking bytes anywhere inside a record gives result 10.
TEST(RecordWriters, ShortWriteGivesWriteFailure) {
    const ZipEntry e = SampleEntry();
    const size_t localSize = kLocalHeaderSize + 7 + 3, centralSize = kCentralHeaderSize + 7 + 2 + 2;
    for (size_t limit : {size_t{0}, size_t{29}, size_t{30}, size_t{36}, localSize - 1}) {
        MemoryOutput out(limit);
        EXPECT_EQ(WriteLocalHeader(e, out), kWriteFailure) << limit;
    }
    for (size_t limit : {size_t{45}, size_t{46}, size_t{53}, size_t{55}, centralSize - 1}) {
        MemoryOutput out(limit);
        EXPECT_EQ(WriteCentralHeader(e, out), kWriteFailure) << limit;
    }
    MemoryOutput dd(15), end(kEndRecordSize + 2);
    EXPECT_EQ(WriteDataDescriptor(e, dd), kWriteFailure);
    const uint8_t comment[] = {'x', 'y', 'z'};
    EXPECT_EQ(WriteEndRecord(1, 0, 0, comment, 3, end), kWriteFailure);
}

// An entry whose central extra is the local buffer writes it in both records.
TEST(RecordWriters, SharedExtraField) {
    ZipEntry e = SampleEntry();
    e.centralExtra = e.localExtra;
    e.centralExtraLength = 3;
    EXPECT_TRUE(e.SharesExtraField());
    MemoryOutput out;
    ASSERT_EQ(WriteCentralHeader(e, out), kWriteOk);
    EXPECT_EQ(
        std::vector<uint8_t>(out.bytes.begin() + kCentralHeaderSize + 7, out.bytes.begin() + kCentralHeaderSize + 10),
        (std::vector<uint8_t>{0xAA, 0xBB, 0xCC}));
}

TEST(ByteCursor, StaysFailedAfterOverrun) {
    const uint8_t data[] = {0x01, 0x02, 0x03, 0x04, 0x05};
    ByteCursor in(data, sizeof data);
    EXPECT_EQ(in.U32(), 0x04030201u);
    EXPECT_EQ(in.U16(), 0u);  // one byte left: overrun
    EXPECT_FALSE(in.Ok());
    EXPECT_EQ(in.U8(), 0u);  // even a read that would fit the rest
    EXPECT_EQ(in.Bytes(0), nullptr);
    EXPECT_EQ(in.Remaining(), 0u);
    EXPECT_EQ(ReadLE16(data + 3), 0x0504u);
}

}  // namespace
}  // namespace tovra::format
