// utf8_names_test.cpp - member names that the archive flags as UTF-8 (flag
// bit 11) or carries in a Unicode path extra field (0x7075), read in code
// page 932: converted before selection, listing and the output path see them,
// cut to 260 bytes only after the conversion and never inside a character.
// Names without either stay the stored bytes.
#include <gtest/gtest.h>

#include <string>

#include "format/byte_cursor.h"
#include "scan_fixture.h"
#include "support/code_page.h"
#include "support/file_helpers.h"

namespace tovra::extract::testing {
namespace {

constexpr uint16_t kUtf8Flag = 0x0800;

// Code page 932 forms of the names used below.
const std::string kNihongo = "\x93\xFA\x96\x7B\x8C\xEA";  // 日本語
const std::string kHyouji = "\x95\x5C\x8E\xA6";           // 表示 (second byte of 表 is 0x5C)
const std::string kHyo = "\x95\x5C";                      // 表

// A Unicode path extra field: version, CRC-32 of `crcOf`, `utf8Name`.
std::string UnicodePathField(const std::string& utf8Name, const std::string& crcOf, uint8_t version = 1) {
    std::string field(9, '\0');
    auto* bytes = reinterpret_cast<uint8_t*>(field.data());
    format::StoreLE16(bytes, 0x7075);
    format::StoreLE16(bytes + 2, static_cast<uint16_t>(5 + utf8Name.size()));
    bytes[4] = version;
    format::StoreLE32(bytes + 5, test::ZipCrc32(crcOf));
    return field + utf8Name;
}

class Utf8Names : public EngineFixture {
protected:
    void SetUp() override {
        EngineFixture::SetUp();
        ASSERT_TRUE(sjis.Active());
    }
    // The names of a short listing, in order.
    std::string Listed(const std::string& bytes, int* result = nullptr) {
        EngineOutcome outcome = ListBytes(bytes, 1);
        if (result != nullptr) *result = outcome.result;
        return outcome.text;
    }
    test::ScopedCodePage sjis{932};
};

struct FlaggedCase {
    const char* what;
    std::string utf8;
    std::string landsAt;  // code page 932, relative to the output directory
};

TEST_F(Utf8Names, FlaggedNamesExtractAndListInCodePage932) {
    const FlaggedCase cases[] = {
        {"directory and 0x5C trail bytes", "日本語/表示.txt", kNihongo + "/" + kHyouji + ".txt"},
        {"katakana", "ソフト.txt", "\x83\x5C\x83\x74\x83\x67.txt"},
        {"Chinese partly held", "我们.txt", "\x89\xE4_.txt"},
        {"accented Latin", "café.txt", "caf_.txt"},
        {"last UTF-8 byte a lead byte before '/'", "Á/x.txt", "_/x.txt"},
        {"last UTF-8 byte a lead byte before '.'", "Ё.txt", "\x84\x46.txt"},
        {"é before '/'", "é/y.txt", "_/y.txt"},
        {"yen sign and fullwidth backslash", "¥＼.txt", "_\x81\x5F.txt"},
    };
    test::ZipBuilder zip;
    for (const FlaggedCase& c : cases) zip.AddStored(c.utf8, c.what).flags = kUtf8Flag;
    const std::string bytes = zip.Build();

    EXPECT_EQ(RunBytes(bytes, [](Cunzip& c) { c.options.keepPaths = 1; }).result, 0) << ui.AllMessageTexts();
    const std::string listing = Listed(bytes);
    for (const FlaggedCase& c : cases) {
        EXPECT_EQ(test::ReadWholeFile(scratch / c.landsAt), std::optional<std::string>(c.what)) << c.what;
        EXPECT_NE(listing.find("  " + c.landsAt + "\r\n"), std::string::npos) << c.what << "\n" << listing;
    }
}

TEST_F(Utf8Names, SelectionComparesTheConvertedName) {
    test::ZipBuilder zip;
    zip.AddStored("日本語/表示.txt", "x").flags = kUtf8Flag;
    const std::string bytes = zip.Build();
    EXPECT_EQ(TestBytes(bytes, {kNihongo + "/" + kHyouji + ".TXT"}).result, 0);
    EXPECT_EQ(TestBytes(bytes, {"日本語/表示.txt"}).result, 11);
}

TEST_F(Utf8Names, UnflaggedNamesStayStoredBytes) {
    test::ZipBuilder zip;
    zip.AddStored(kHyo + "/a.txt", "raw");  // code page 932 bytes, flag clear
    zip.AddStored("\xC3\xA9.txt", "e");     // UTF-8 bytes, flag clear: two half-width katakana
    const std::string bytes = zip.Build();
    EXPECT_EQ(RunBytes(bytes, [](Cunzip& c) { c.options.keepPaths = 1; }).result, 0);
    EXPECT_EQ(test::ReadWholeFile(scratch / (kHyo + "/a.txt")), std::optional<std::string>("raw"));
    EXPECT_EQ(test::ReadWholeFile(scratch / "\xC3\xA9.txt"), std::optional<std::string>("e"));
}

TEST_F(Utf8Names, TheCutTo260BytesAppliesToTheConvertedName) {
    std::string kanji130;  // 390 bytes in UTF-8, 260 in code page 932
    for (int i = 0; i < 130; ++i) kanji130 += "表";
    std::string expected130;
    for (int i = 0; i < 130; ++i) expected130 += kHyo;
    int result = -1;
    test::ZipBuilder whole;
    whole.AddStored(kanji130, "w").flags = kUtf8Flag;
    EXPECT_NE(Listed(whole.Build(), &result).find("  " + expected130 + "\r\n"), std::string::npos);
    EXPECT_EQ(result, 0);

    // One byte more: 261 bytes, and the last character must not be halved.
    test::ZipBuilder cut;
    cut.AddStored("a" + kanji130, "c").flags = kUtf8Flag;
    const std::string listing = Listed(cut.Build(), &result);
    EXPECT_EQ(result, 1);
    EXPECT_NE(listing.find("  a" + expected130.substr(0, 258) + "\r\n"), std::string::npos) << listing;
}

TEST_F(Utf8Names, UnicodePathFieldIsUsedOnlyWhenItsCrcMatches) {
    const std::string stored = "stored.txt";
    const struct {
        const char* what;
        std::string extra;
        std::string landsAt;
    } cases[] = {
        {"matching CRC", UnicodePathField("日本語/表示.txt", stored), kNihongo + "/" + kHyouji + ".txt"},
        {"CRC of another name", UnicodePathField("日本語/表示.txt", "other.txt"), stored},
        {"unknown version", UnicodePathField("日本語/表示.txt", stored, 2), stored},
        {"after another field", std::string("\x55\x54\x01\x00\x00", 5) + UnicodePathField("表.txt", stored),
         kHyo + ".txt"},
        {"cut short", UnicodePathField("日本語/表示.txt", stored).substr(0, 12), stored},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        test::ScratchDir out;
        test::ZipBuilder zip;
        test::ZipMember& member = zip.AddStored(stored, c.what);
        member.localExtra = member.centralExtra = c.extra;
        const std::string bytes = zip.Build();
        EXPECT_EQ(RunBytes(bytes,
                           [&](Cunzip& context) {
                               context.options.keepPaths = 1;
                               context.outputDirectory = out.WithSeparator();
                           })
                      .result,
                  0);
        EXPECT_EQ(test::ReadWholeFile(out / c.landsAt), std::optional<std::string>(c.what));
        EXPECT_NE(Listed(bytes).find("  " + c.landsAt + "\r\n"), std::string::npos);
    }
}

TEST_F(Utf8Names, UnderUtf8OnlyBadBytesOfAFlaggedNameChange) {
    test::ScopedCodePage utf8(65001);
    if (!utf8.Active()) GTEST_SKIP() << "the ANSI code page is the system's";
    test::ZipBuilder zip;
    zip.AddStored("日本語/表示.txt", "u").flags = kUtf8Flag;
    zip.AddStored("\xC3/x.txt", "bad").flags = kUtf8Flag;
    EXPECT_EQ(RunBytes(zip.Build(), [](Cunzip& c) { c.options.keepPaths = 1; }).result, 0);
    EXPECT_EQ(test::ReadWholeFile(scratch / "日本語/表示.txt"), std::optional<std::string>("u"));
    EXPECT_EQ(test::ReadWholeFile(scratch / "_/x.txt"), std::optional<std::string>("bad"));
}

}  // namespace
}  // namespace tovra::extract::testing
