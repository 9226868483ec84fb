// legacy_methods_test.cpp - the test-only encoders of the old methods and of
// the traditional encryption, checked by 7-Zip (an independent decoder), and
// the same archives extracted by the library through its Unzip export.
//
// For every method and variant an archive is built from the encoder's
// output; `7z t` must pass it and `7z x` must give back the input, so a
// mistake in an encoder cannot hide a matching mistake in a decoder. Then
// the library must give back the same bytes.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "support/file_helpers.h"
#include "support/legacy_encoders.h"
#include "support/scratch_dir.h"
#include "support/zip_builder.h"
#include "tovra.h"

namespace {

using tovra::test::ZipBuilder;

int Shell(const std::string& command) { return std::system(command.c_str()); }
std::string Quote(const std::string& s) { return "'" + s + "'"; }
bool SevenZipPresent() { return Shell("command -v 7z >/dev/null 2>&1") == 0; }

// Text-like data with long and short repeats, and noise.
std::string MixedData(size_t size, uint32_t seed) {
    std::string text;
    uint32_t x = seed;
    while (text.size() < size) {
        x = x * 1103515245u + 12345u;
        switch ((x >> 16) % 4) {
            case 0:
                text += "the quick brown fox " + std::to_string((x >> 8) % 1000) + " jumps\n";
                break;
            case 1:
                text += tovra::test::PatternBytes(1 + (x >> 20) % 40, x);
                break;
            case 2:
                if (text.size() > 300) text += text.substr(text.size() - 300 + (x >> 24), 50 + (x >> 26));
                break;
            default:
                text += std::string(1 + (x >> 22) % 300, static_cast<char>('a' + (x >> 12) % 3));
        }
    }
    text.resize(size);
    return text;
}

struct Case {
    const char* name;
    uint16_t method;
    uint16_t flags;
    size_t size;
};

std::string Encode(const Case& c, const std::string& data) {
    // flags 0xFFFF: the table fills up and stays full (no clear).
    if (c.method == 1 && c.flags == 0xFFFF) return tovra::test::Shrink(data, {0, false});
    if (c.method == 1) return tovra::test::Shrink(data, {c.flags, true});
    return tovra::test::Implode(data, c.flags);
}

class LegacyMethods : public ::testing::TestWithParam<Case> {
protected:
    tovra::test::ScratchDir scratch;

    // Runs Unzip on `archive` into `out` (test mode when out is empty).
    int Unzip(const std::string& arguments) {
        char buffer[4096] = {};
        return ::Unzip(nullptr, arguments.c_str(), buffer, sizeof buffer);
    }
};

TEST_P(LegacyMethods, SevenZipAgreesAndTheLibraryExtractsExactly) {
    if (!SevenZipPresent()) GTEST_SKIP() << "7z not installed";
    const Case& c = GetParam();
    const std::string data = MixedData(c.size, static_cast<uint32_t>(c.size));
    ZipBuilder zip;
    // Shrink cases carry their clear interval in `flags`; the member's own
    // flags stay 0 for them.
    zip.AddRaw("member.bin", c.method, Encode(c, data), data).flags = c.method == 6 ? c.flags : 0;
    const std::string archive = scratch / "legacy.zip";
    ASSERT_TRUE(zip.WriteTo(archive));
    ASSERT_EQ(Shell("7z t " + Quote(archive) + " >/dev/null || cp " + Quote(archive) + " /tmp/legacy_failed_" + c.name +
                    ".zip"),
              0);
    ASSERT_EQ(Shell("7z x -so " + Quote(archive) + " > " + Quote(scratch / "7z.out") + " 2>/dev/null"), 0);
    EXPECT_TRUE(tovra::test::ReadWholeFile(scratch / "7z.out") == data);

    EXPECT_EQ(Unzip("-o \"" + archive + "\" \"" + scratch.WithSeparator() + "out/\""), 0);
    EXPECT_TRUE(tovra::test::ReadWholeFile(scratch / "out/member.bin") == data);
}

INSTANTIATE_TEST_SUITE_P(
    Encoders, LegacyMethods,
    ::testing::Values(Case{"implode_0000", 6, 0x0000, 70000}, Case{"implode_0002", 6, 0x0002, 70000},
                      Case{"implode_0004", 6, 0x0004, 70000}, Case{"implode_0006", 6, 0x0006, 70000},
                      Case{"implode_0006_one_byte", 6, 0x0006, 1}, Case{"shrink_no_forced_clear", 1, 0, 300000},
                      Case{"shrink_clear_every_5000", 1, 5000, 120000}, Case{"shrink_clear_every_300", 1, 300, 20000},
                      Case{"shrink_full_table_no_clear", 1, 0xFFFF, 400000}),
    [](const auto& info) { return std::string(info.param.name); });

// The test encryption, with and without a data descriptor (check byte from
// the CRC or from the DOS time), as 7-Zip reads it.
TEST(LegacyEncryption, SevenZipDecryptsTheTestEncoder) {
    if (!SevenZipPresent()) GTEST_SKIP() << "7z not installed";
    tovra::test::ScratchDir scratch;
    const std::string data = MixedData(50000, 11);
    for (bool descriptor : {false, true}) {
        const uint8_t check = descriptor ? static_cast<uint8_t>(tovra::test::kDefaultDosTime >> 8)
                                         : static_cast<uint8_t>(tovra::test::ZipCrc32(data) >> 24);
        ZipBuilder zip;
        tovra::test::ZipMember& m =
            zip.AddRaw("secret.bin", 0, tovra::test::TraditionalEncrypt("open sesame", data, check), data);
        m.flags = 1;
        m.dataDescriptor = descriptor;
        const std::string archive = scratch / "encrypted.zip";
        ASSERT_TRUE(zip.WriteTo(archive));
        EXPECT_EQ(Shell("7z t '-popen sesame' " + Quote(archive) + " >/dev/null"), 0) << descriptor;
        ASSERT_EQ(
            Shell("7z x -so '-popen sesame' " + Quote(archive) + " > " + Quote(scratch / "plain") + " 2>/dev/null"), 0);
        EXPECT_TRUE(tovra::test::ReadWholeFile(scratch / "plain") == data);
    }
}

}  // namespace
