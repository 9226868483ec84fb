// Tests of reading an existing archive for update: sound archives with
// preambles, comments, extra fields and data descriptors; every warning and
// error case once, each on an archive that breaks one rule; the repair
// levels; offset adjusting; the lookup by name.
#include "compress/update_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "format/archive_errors.h"
#include "support/scratch_dir.h"
#include "support/scripted_ui_host.h"
#include "support/zip_builder.h"

namespace tovra::compress {
namespace {

using test::ZipBuilder;

// Keeps every warning as "text|name".
class RecordingReports : public ArchivingReports {
public:
    int ReportError(int code, const std::string& detail) override {
        errors.push_back(detail);
        return code;
    }
    void ReportWarning(const std::string& text, const std::string& name) override {
        warnings.push_back(text + "|" + name);
    }
    void ShowNotice(const std::string& text) override { notices.push_back(text); }
    std::vector<std::string> errors, warnings, notices;
};

struct ReadResult {
    int code = 0;
    ArchiveContents contents;
    RecordingReports reports;
};

void ReadBytes(const std::string& bytes, const UpdateReadOptions& options, ReadResult& r) {
    UpdateInput input;
    input.OpenMemory(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    r.code = ReadArchiveForUpdate(input, "a.zip", options, r.reports, r.contents);
}

std::vector<std::string> Names(const ArchiveContents& c) {
    std::vector<std::string> names;
    for (const format::ZipEntry* e = c.entries; e != nullptr; e = e->next) names.push_back(e->internalName);
    return names;
}

TEST(UpdateReader, SoundArchiveWithPreambleCommentAndExtras) {
    ZipBuilder zip;
    zip.preamble = std::string(1000, 'M');
    zip.archiveComment = "the comment";
    auto& a = zip.AddStored("b.txt", "hello");
    a.localExtra = std::string("\x55\x54\x05\x00\x01\x02\x03\x04\x05", 9);
    a.centralExtra = a.localExtra;
    a.comment = "member comment";
    a.versionMadeBy = 0x0314;
    auto& b = zip.AddDeflated("a/c.bin", "deflated data");
    b.dataDescriptor = true;
    b.localExtra = "\x01\x02\x03\x04";
    b.centralExtra = "\x09\x08";
    ReadResult r;
    ReadBytes(zip.Build(), {}, r);
    ASSERT_EQ(r.code, 0) << testing::PrintToString(r.reports.warnings);
    EXPECT_EQ(Names(r.contents), (std::vector<std::string>{"b.txt", "a/c.bin"}));
    EXPECT_EQ(r.contents.preambleSize, 1000u);
    EXPECT_EQ(r.contents.centralDirOffset, zip.CentralDirectoryPosition());
    EXPECT_EQ(std::string(r.contents.archiveComment.begin(), r.contents.archiveComment.end()), "the comment");
    EXPECT_EQ(r.reports.warnings, std::vector<std::string>{"a.zip| has a preamble of 1000 bytes"});
    const format::ZipEntry& first = *r.contents.entries;
    EXPECT_EQ(first.localHeaderOffset, 1000u);
    EXPECT_TRUE(first.SharesExtraField());
    EXPECT_EQ(std::string(first.comment.begin(), first.comment.end()), "member comment");
    EXPECT_EQ(first.uncompressedSize, 5u);
    EXPECT_EQ(first.dosCompatible, 0u);
    const format::ZipEntry& second = *first.next;
    EXPECT_FALSE(second.SharesExtraField());
    EXPECT_EQ(second.centralExtra->size(), 2u);
    EXPECT_EQ(second.localFlags & 8, 8);
    EXPECT_EQ(second.dosCompatible, 1u);
    EXPECT_EQ(second.uncompressedSize, 13u);
    ASSERT_EQ(r.contents.sortedEntries.size(), 2u);
    EXPECT_EQ(FindEntry(r.contents, "a/c.bin"), &second);
    EXPECT_EQ(FindEntry(r.contents, "b.txt"), &first);
    EXPECT_EQ(FindEntry(r.contents, "b.tx"), nullptr);
}

TEST(UpdateReader, MissingArchiveIsAnEmptyNewOne) {
    test::ScratchDir dir;
    RecordingReports reports;
    ArchiveContents contents;
    for (const std::string& path : {std::string(), std::string("-"), dir / "none.zip"}) {
        EXPECT_EQ(ReadArchiveForUpdate(path, {}, reports, contents), 0) << path;
        EXPECT_EQ(contents.entryCount, 0u);
    }
    EXPECT_TRUE(reports.warnings.empty());
}

TEST(UpdateReader, EndRecordAloneIsAnArchiveWithoutMembers) {
    ReadResult r;
    ReadBytes(test::EndRecordBytes(0, 0, 0), {}, r);
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.contents.entryCount, 0u);
    EXPECT_TRUE(r.reports.warnings.empty());
}

TEST(UpdateReader, DescriptorWithZeroLocalSizesIsFoundByScanning) {
    ZipBuilder zip;
    zip.AddStored("x", "PK\x07 not a descriptor PK").dataDescriptor = true;
    zip.AddStored("y", "second").dataDescriptor = true;
    ReadResult r;
    ReadBytes(zip.Build(), {}, r);
    ASSERT_EQ(r.code, 0) << testing::PrintToString(r.reports.warnings);
    EXPECT_EQ(r.contents.entries->next->compressedSize, 6u);
}

TEST(UpdateReader, Utf8FlaggedNameKeepsItsBytesAndFlag) {
    ZipBuilder zip;
    zip.AddStored("\xE6\x97\xA5.txt", "x").flags = 0x0800;
    ReadResult r;
    ReadBytes(zip.Build(), {}, r);
    ASSERT_EQ(r.code, 0);
    EXPECT_EQ(r.contents.entries->internalName, "\xE6\x97\xA5.txt");
    EXPECT_EQ(r.contents.entries->flags, 0x0800);
    EXPECT_EQ(r.contents.entries->localFlags, 0x0800);
}

// One broken rule per case: the archive's bytes, the result code, the warnings.
struct BrokenCase {
    const char* label;
    std::string (*bytes)();
    int code;
    std::vector<std::string> warnings;
};

// A one-member archive ("a", stored, optionally with a data descriptor)
// changed by `change`.
template <typename Change>
std::string One(Change change, bool descriptor = false) {
    ZipBuilder zip;
    zip.AddStored("a", "data").dataDescriptor = descriptor;
    change(zip);
    return zip.Build();
}

const std::string kMissingEnd = "missing end signature--probably not a zip file (did you|";
const std::string kBinaryMode = "remember to use binary mode when you transferred it?)|";

TEST(UpdateReader, EachBrokenRuleHasItsWarningAndCode) {
    const std::vector<BrokenCase> cases = {
        {"empty file", [] { return std::string(); }, 3, {kMissingEnd, kBinaryMode}},
        {"no record", [] { return std::string("PK\x01\x02"); }, 3, {kMissingEnd, kBinaryMode}},
        {"zero-length name",
         [] { return One([](ZipBuilder& z) { z.AddStored("", "x"); }); },
         3,
         {"zero-length name for entry #|2"}},
        {"headers differ",
         [] { return One([](ZipBuilder& z) { z.members[0].localFlags = 2; }); },
         3,
         {"local and central headers differ for |a", " offset 2--local = 02, central = 00|"}},
        {"high flag bits differ", [] { return One([](ZipBuilder& z) { z.members[0].localFlags = 0xE000; }); }, 0, {}},
        {"local offset",
         [] { return One([](ZipBuilder& z) { z.members[0].localHeaderOffset = 7; }); },
         3,
         {"local offset in central header incorrect for |a"}},
        {"names differ",
         [] { return One([](ZipBuilder& z) { z.members[0].localName = "b"; }); },
         3,
         {"names in local and central differ for |b"}},
        {"count",
         [] { return One([](ZipBuilder& z) { z.entriesOnDisk = z.totalEntries = 2; }); },
         3,
         {"count in end of central directory incorrect|"}},
        {"directory start",
         [] { return One([](ZipBuilder& z) { z.centralDirOffset = 1; }); },
         3,
         {"central directory start is incorrect|"}},
        {"directory size",
         [] { return One([](ZipBuilder& z) { z.centralDirSize = 1; }); },
         0,
         {"central directory size is incorrect (made by stzip?)|"}},
        {"multi-disk",
         [] { return One([](ZipBuilder& z) { z.diskNumber = 1; }); },
         0,
         {"multiple disk information ignored|"}},
        {"garbage",
         [] { return One([](ZipBuilder& z) { z.trailing = "xyz"; }); },
         0,
         {"garbage at end of zip file ignored|"}},
        {"descriptor without signature",
         [] {
             std::string bytes = One([](ZipBuilder&) {}, true);
             return bytes.erase(bytes.find("PK\x07\x08"), 4);
         },
         3,
         {"bad extended local header for |a"}},
        {"descriptor not where the size says",
         [] {
             std::string bytes = One([](ZipBuilder&) {}, true);
             bytes[18] = 2;  // local compressed size
             return bytes;
         },
         3,
         {"extended local header not found for |a"}},
        {"extraneous central header",
         [] {
             ZipBuilder zip;
             zip.AddStored("a", "data");
             std::string bytes = zip.Build();
             const size_t central = zip.CentralDirectoryPosition(), end = zip.EndRecordPosition();
             return bytes.insert(end, bytes.substr(central, end - central));
         },
         3,
         {"extraneous central header signature|"}},
        {"hostile size", [] { return One([](ZipBuilder& z) { z.members[0].compressedSize = 0xFFFFFFF0; }); }, 2, {}},
    };
    for (const BrokenCase& c : cases) {
        ReadResult r;
        ReadBytes(c.bytes(), {}, r);
        EXPECT_EQ(r.code, c.code) << c.label;
        EXPECT_EQ(r.reports.warnings, c.warnings) << c.label;
    }
}

TEST(UpdateReader, CutArchivesEndWithUnexpectedEnd) {
    ZipBuilder zip;
    zip.archiveComment = "comment";
    zip.AddStored("a", std::string(100, 'd'));
    const std::string whole = zip.Build();
    for (size_t keep : {size_t{10}, size_t{40}, size_t{100}, whole.size() - 30, whole.size() - 3}) {
        ReadResult r;
        ReadBytes(whole.substr(0, keep), {}, r);
        EXPECT_EQ(r.code, 2) << keep;
    }
}

TEST(UpdateReader, AdjustOffsetsAcceptsShiftedOffsets) {
    ZipBuilder zip;
    zip.preamble = std::string(64, 'S');
    zip.offsetsIncludePreamble = false;
    zip.AddStored("a", "data");
    ReadResult strict;
    ReadBytes(zip.Build(), {}, strict);
    EXPECT_EQ(strict.code, 3);
    UpdateReadOptions options;
    options.adjustOffsets = true;
    ReadResult adjusted;
    ReadBytes(zip.Build(), options, adjusted);
    ASSERT_EQ(adjusted.code, 0);
    EXPECT_EQ(adjusted.contents.entries->localHeaderOffset, 64u);
    EXPECT_EQ(adjusted.contents.centralDirOffset, zip.CentralDirectoryPosition());
}

TEST(UpdateReader, DuplicateNamesAreBothRead) {
    ZipBuilder zip;
    zip.AddStored("same", "1");
    zip.AddStored("same", "2");
    ReadResult r;
    ReadBytes(zip.Build(), {}, r);
    ASSERT_EQ(r.code, 0);
    EXPECT_EQ(r.contents.entryCount, 2u);
    EXPECT_NE(FindEntry(r.contents, "same"), nullptr);
}

TEST(UpdateReader, RepairLevelOneRebuildsFromLocalHeaders) {
    ZipBuilder zip;
    zip.AddStored("a", "data");
    zip.AddStored("b", "more");
    UpdateReadOptions options;
    options.repairLevel = 1;
    options.dosNames = true;
    ReadResult r;
    ReadBytes(zip.Build(), options, r);
    ASSERT_EQ(r.code, 0);
    EXPECT_EQ(Names(r.contents), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(r.contents.entries->versionMadeBy, 20);
    EXPECT_EQ(r.contents.entries->dosCompatible, 1u);
    EXPECT_EQ(r.contents.centralDirOffset, zip.CentralDirectoryPosition());
    EXPECT_TRUE(r.contents.archiveComment.empty());
    // Local headers alone, without any central directory.
    ReadResult cut;
    ReadBytes(zip.Build().substr(0, zip.CentralDirectoryPosition()), options, cut);
    EXPECT_EQ(cut.code, 3);
    options.showWarnings = false;
    ReadResult quiet;
    ReadBytes(zip.Build().substr(0, zip.CentralDirectoryPosition()), options, quiet);
    EXPECT_EQ(quiet.code, 0);
    EXPECT_EQ(quiet.contents.entryCount, 2u);
}

TEST(UpdateReader, RepairLevelTwoMeasuresDataToTheNextRecord) {
    ZipBuilder zip;
    zip.AddStored("a", "0123456789").compressedSize = 3;
    zip.AddStored("b", "xyz");
    UpdateReadOptions options;
    options.repairLevel = 2;
    ReadResult r;
    ReadBytes(zip.Build(), options, r);
    ASSERT_EQ(r.code, 0);
    ASSERT_EQ(r.contents.entryCount, 2u);
    EXPECT_EQ(r.contents.entries->compressedSize, 10u);
    EXPECT_EQ(r.contents.entries->next->compressedSize, 3u);
    EXPECT_EQ(r.contents.entries->next->localHeaderOffset, 31u + 10u);
    EXPECT_EQ(r.contents.centralDirOffset, zip.CentralDirectoryPosition());
}

TEST(UpdateReader, VerboseNotesInOrder) {
    ZipBuilder zip;
    auto& m = zip.AddStored("n", "d");
    m.versionMadeBy = 0x1E14;  // host 30
    m.versionNeeded = 45;
    m.flags = 0x0010;
    m.method = 12;
    m.internalAttributes = 2;
    m.localExtra = "ab";
    m.centralExtra = "cd";
    UpdateReadOptions options;
    options.verbosity = 1;
    ReadResult r;
    ReadBytes(zip.Build(), options, r);
    ASSERT_EQ(r.code, 0);
    EXPECT_EQ(r.reports.warnings, (std::vector<std::string>{
                                      "made by version 2.0 on system type 30: |n",
                                      "needs unzip 4.5 on system type 0: |n",
                                      "undefined bits used in flags = 0x0010: |n",
                                      "unknown compression method 12: |n",
                                      "unknown internal attributes = 0x0002: |n",
                                      "local extra (2 bytes) != central extra (2 bytes): |n",
                                  }));
}

}  // namespace
}  // namespace tovra::compress
