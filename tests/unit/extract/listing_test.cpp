// listing_test.cpp - the listing: exact short and verbose texts with totals,
// ratios (grown members, encryption headers, large sizes), method names,
// control characters in names, the case-conversion header and mark,
// selection by name, structural errors, and the 558-byte enumeration records.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "extract/listing_text.h"
#include "scan_fixture.h"
#include "support/file_helpers.h"
#include "tovra.h"

namespace tovra::extract::testing {
namespace {

using Listing = EngineFixture;

test::ZipBuilder SmallArchive() {
    test::ZipBuilder zip;
    zip.AddStored("readme.txt", "hello, world\n");
    zip.AddDeflated("data/big.txt", std::string(1000, 'a'));  // stored blocks: 1005 bytes, it grew
    zip.AddStored("bell\x07.txt", "");
    return zip;
}

TEST_F(Listing, ShortListingText) {
    const EngineOutcome outcome = ListBytes(SmallArchive().Build(), 1);
    EXPECT_EQ(outcome.result, 0);
    EXPECT_EQ(outcome.text,
              "    Length    Date    Time    Name\r\n"
              " ---------    ----    ----    ----\r\n"
              "     13  06-20-15  13:45   readme.txt\r\n"
              "   1000  06-20-15  13:45   data/big.txt\r\n"
              "      0  06-20-15  13:45   bell^G.txt\r\n"
              " ---------                    -------\r\n"
              "   1013                    3      \r\n");
}

TEST_F(Listing, VerboseListingText) {
    const EngineOutcome outcome = ListBytes(SmallArchive().Build(), 2);
    EXPECT_EQ(outcome.result, 0);
    EXPECT_EQ(outcome.text,
              "    Length   Method    Size   Ratio   Date      Time     CRC-32  Attr  Name\r\n"
              " ---------   ------  -------- -----   ----      ----    -------- ----  ----\r\n"
              "        13  Stored         13   0%  06-20-15  13:45:30  f4247453 a--w  readme.txt\r\n"
              "      1000  DeflatN      1005  -1%  06-20-15  13:45:30  9a38da03 a--w  data/big.txt\r\n"
              "         0  Stored          0   0%  06-20-15  13:45:30  00000000 a--w  bell^G.txt\r\n"
              " ---------           --------  ---                                     -------\r\n"
              "      1013               1018  -1%                                           3\r\n");
}

TEST_F(Listing, CaseConversionHeaderAndMark) {
    test::ZipBuilder zip;
    zip.AddStored("DOS.TXT", "d");                          // host 0: marked
    zip.AddStored("unix.txt", "u").versionMadeBy = 0x0314;  // host 3: not marked
    const EngineOutcome outcome = RunBytes(zip.Build(), [](Cunzip& c) {
        c.options.listLevel = 1;
        c.options.lowercaseNames = 1;
    });
    EXPECT_EQ(outcome.result, 0);
    EXPECT_EQ(outcome.text.substr(0, outcome.text.find("      1  ")),
              "    Length    Date    Time    Name (\"^\" ==> case\r\n"
              " ---------    ----    ----    ----   conversion)\r\n");
    EXPECT_NE(outcome.text.find("13:45  ^DOS.TXT\r\n"), std::string::npos) << outcome.text;
    EXPECT_NE(outcome.text.find("13:45   unix.txt\r\n"), std::string::npos) << outcome.text;
}

TEST_F(Listing, RatioTexts) {
    EXPECT_EQ(RatioText(0, 0), " 0%");
    EXPECT_EQ(RatioText(0, 50), " 0%");
    EXPECT_EQ(RatioText(100, 100), " 0%");
    EXPECT_EQ(RatioText(1000, 250), " 75%");
    EXPECT_EQ(RatioText(10, 20), "-100%");
    EXPECT_EQ(RatioText(1000, 1004), "-0%");  // grew, by less than half a percent
    EXPECT_EQ(RatioText(1000, 1006), "-1%");
    EXPECT_EQ(RatioText(4000000, 1000000), " 75%");  // large sizes take the thousandths path
    EXPECT_EQ(RatioText(3000000000u, 4000000000u), "-33%");
    // A tiny member that "compressed" to four gigabytes still fits the text.
    EXPECT_LE(RatioText(1, 0xFFFFFFFF).size(), 9u);
}

TEST_F(Listing, MethodNamesAndEncryptionHeader) {
    test::ZipBuilder zip;
    zip.AddDeflated("x.bin", "x").flags = 2;
    zip.AddDeflated("f.bin", "f").flags = 4;
    zip.AddDeflated("s.bin", "s").flags = 6;
    zip.AddRaw("u.bin", 12, "u", "u");
    zip.AddRaw("i.bin", 6, "i", "i");
    test::ZipMember& secret = zip.AddStored("e.bin", std::string(112, 'e'));
    secret.flags = 1;
    secret.uncompressedSize = 100;
    const std::string text = ListBytes(zip.Build(), 2).text;
    for (const char* method : {"DeflatX", "DeflatF", "DeflatS", "Unk:012", "Implode"}) {
        EXPECT_NE(text.find(method), std::string::npos) << method << "\n" << text;
    }
    // 112 bytes with the 12-byte encryption header count as 100: nothing saved.
    EXPECT_NE(text.find("       100  Stored        100   0%"), std::string::npos) << text;
}

TEST_F(Listing, NamesOnTheCommandLineSelectWhatIsListed) {
    const std::string bytes = SmallArchive().Build();
    const EngineOutcome one = ListBytes(bytes, 1, {"README.TXT"});
    EXPECT_EQ(one.result, 0);
    EXPECT_NE(one.text.find("readme.txt"), std::string::npos);
    EXPECT_EQ(one.text.find("big.txt"), std::string::npos);
    EXPECT_NE(one.text.find("     13                    1      \r\n"), std::string::npos) << one.text;
    EXPECT_EQ(ListBytes(bytes, 1, {"readme"}).result, 11);
}

TEST_F(Listing, StructuralErrors) {
    test::ZipBuilder zip = SmallArchive();
    zip.totalEntries = 4;
    const EngineOutcome extra = ListBytes(zip.Build(), 1);
    EXPECT_EQ(extra.result, 3);
    EXPECT_EQ(extra.text.find(" ---------                    -------"), std::string::npos);  // no totals
    zip.totalEntries = 2;
    EXPECT_EQ(ListBytes(zip.Build(), 1).result, 1);  // no end signature after the directory
    test::ZipBuilder longName;
    longName.AddStored(std::string(300, 'n'), "x");
    const EngineOutcome cut = ListBytes(longName.Build(), 1);
    EXPECT_EQ(cut.result, 1);
    EXPECT_NE(cut.text.find(std::string(260, 'n') + "\r\n"), std::string::npos);
}

// Fields of the packed record, taken by value (a reference to a packed field
// may be misaligned).
template <typename T>
T Value(T field) {
    return field;
}

class Enumeration : public EngineFixture {
protected:
    // Lists `zip` in enumeration mode and returns the records written.
    std::vector<EntryInfoRecord> Records(const test::ZipBuilder& zip, int* result) {
        const std::string recordPath = scratch / "records.tmp";
        *result = RunBytes(zip.Build(), [&](Cunzip& c) {
                      c.options.listLevel = 1;
                      c.enumerationMode = 1;
                      c.recordBuffer = new uint8_t[kEntryRecordSize];  // the context owns it
                      c.sinkPointer = nullptr;
                      c.sinkCapacity = 0;
                      EXPECT_TRUE(c.recordFile.Open(recordPath, platform::OpenMode::kCreate));
                  }).result;
        std::vector<EntryInfoRecord> records;
        const std::string bytes = test::ReadWholeFile(recordPath).value_or("");
        EXPECT_EQ(bytes.size() % sizeof(EntryInfoRecord), 0u);
        for (size_t at = 0; at + sizeof(EntryInfoRecord) <= bytes.size(); at += sizeof(EntryInfoRecord)) {
            EntryInfoRecord r;
            std::memcpy(&r, bytes.data() + at, sizeof r);
            records.push_back(r);
        }
        return records;
    }
};

TEST_F(Enumeration, RecordsCarryTheCentralValues) {
    test::ZipBuilder zip;
    test::ZipMember& plain = zip.AddStored("dir/plain.txt", "plain text");
    plain.externalAttributes = 0x20;
    test::ZipMember& hidden = zip.AddDeflated("hidden.bin", "hh");
    hidden.flags = 2;
    hidden.externalAttributes = 0x03;  // read-only, hidden
    zip.AddRaw("u.bin", 1000, "u", "u");
    test::ZipMember& secret = zip.AddStored("secret", std::string(112, 's'));
    secret.flags = 1;
    secret.uncompressedSize = 100;
    int result = -1;
    const std::vector<EntryInfoRecord> records = Records(zip, &result);
    EXPECT_EQ(result, 0);
    ASSERT_EQ(records.size(), 4u);

    const EntryInfoRecord& r0 = records[0];
    EXPECT_EQ(Value(r0.uncompressedSize), 10u);
    EXPECT_EQ(Value(r0.compressedSize), 10u);
    EXPECT_EQ(Value(r0.crc), test::ZipCrc32("plain text"));
    EXPECT_EQ(Value(r0.flag), 0u);
    EXPECT_EQ(Value(r0.osType), 0u);
    EXPECT_EQ(Value(r0.ratio), 0u);
    EXPECT_EQ(Value(r0.date), test::kDefaultDosTime >> 16);
    EXPECT_EQ(Value(r0.time), test::kDefaultDosTime & 0xFFFF);
    EXPECT_STREQ(r0.name, "dir/plain.txt");
    EXPECT_STREQ(r0.attribute, "a--w");
    EXPECT_STREQ(r0.method, "Stored");
    // Every byte after the texts is zero.
    const auto* raw = reinterpret_cast<const uint8_t*>(&r0);
    for (size_t i = 26 + 14; i < 542; ++i) ASSERT_EQ(raw[i], 0) << i;
    for (size_t i = 542 + 5; i < 550; ++i) ASSERT_EQ(raw[i], 0) << i;
    for (size_t i = 550 + 7; i < 558; ++i) ASSERT_EQ(raw[i], 0) << i;

    EXPECT_STREQ(records[1].attribute, "--hr");
    EXPECT_STREQ(records[1].method, "DeflatX");
    // "Unk:1000" does not fit the 8-byte field with its zero: it is cut.
    EXPECT_STREQ(records[2].method, "Unk:100");
    EXPECT_EQ(Value(records[3].compressedSize), 100u);
    EXPECT_EQ(Value(records[3].uncompressedSize), 100u);
}

TEST_F(Enumeration, VolumeLabelLosesTheDotOfItsEightThreeName) {
    test::ZipBuilder zip;
    test::ZipMember& label = zip.AddStored("MYDISKAB.CDE", "");
    label.externalAttributes = 0x08;
    zip.AddStored("ABCDEFGH.IJK", "");  // not a label: the name stays
    int result = -1;
    const std::vector<EntryInfoRecord> records = Records(zip, &result);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_STREQ(records[0].name, "MYDISKABCDE");
    EXPECT_STREQ(records[1].name, "ABCDEFGH.IJK");
}

}  // namespace
}  // namespace tovra::extract::testing
