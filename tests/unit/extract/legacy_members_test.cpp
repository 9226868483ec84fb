// legacy_members_test.cpp - shrunk, reduced and imploded members through the
// member loop: the real reduce archives of an old DOS archiver, the test
// encoders' members (also encrypted), and the member results of explode's
// input mismatch.
#include <gtest/gtest.h>

#include <string>

#include "format/crc32.h"
#include "scan_fixture.h"
#include "support/legacy_encoders.h"

namespace tovra::extract::testing {
namespace {

std::string DataPath(const std::string& name) { return std::string(TOVRA_SOURCE_DIR) + "/tests/data/" + name; }

class LegacyMembers : public EngineFixture {};

TEST_F(LegacyMembers, RealReducedArchivesExtractExactly) {
    struct Expected {
        const char* name;
        size_t size;
        uint32_t crc;
    };
    const Expected files[] = {
        {"TEST.EXE", 45056, 0xcfb109c8}, {"TEST.JPG", 40372, 0x088814e3}, {"TECT.TXT", 15498, 0x9bd160fa}};
    for (int factor = 1; factor <= 4; ++factor) {
        const std::string archive = DataPath("Zip.reduce" + std::to_string(factor) + ".zip");
        ASSERT_TRUE(test::ReadWholeFile(archive).has_value()) << archive;
        EXPECT_EQ(RunPath(archive, [](Cunzip&) { ProcessState().OverwriteAllFlag = 1; }).result, 0) << factor;
        for (const Expected& f : files) {
            const auto data = test::ReadWholeFile(scratch / f.name);
            ASSERT_TRUE(data.has_value()) << f.name;
            EXPECT_EQ(data->size(), f.size) << f.name;
            EXPECT_EQ(format::Crc32(0, data->data(), data->size()), f.crc) << f.name << " factor " << factor;
        }
    }
}

TEST_F(LegacyMembers, EncoderMembersOfEveryMethodRoundTrip) {
    std::string data;
    for (int i = 0; data.size() < 100000; ++i) data += "record " + std::to_string(i * 37 % 1000) + " ";
    data += test::PatternBytes(3000, 2) + std::string(1, '\x90') + std::string(500, '\x90');
    test::ZipBuilder zip;
    zip.AddRaw("shrunk.bin", 1, test::Shrink(data, {1000, true}), data);
    for (int factor = 1; factor <= 4; ++factor) {
        zip.AddRaw("reduced" + std::to_string(factor) + ".bin", static_cast<uint16_t>(1 + factor),
                   test::Reduce(data, factor), data);
    }
    for (uint16_t flags : {0, 2, 4, 6}) {
        zip.AddRaw("imploded" + std::to_string(flags) + ".bin", 6, test::Implode(data, flags), data).flags = flags;
    }
    const uint8_t check = static_cast<uint8_t>(test::ZipCrc32(data) >> 24);
    zip.AddRaw("secret.bin", 6, test::TraditionalEncrypt("pw", test::Implode(data, 6), check), data).flags = 7;
    ui.passwordAnswers.push_back("pw");
    EXPECT_EQ(RunBytes(zip.Build()).result, 0) << ui.AllMessageTexts();
    for (const test::ZipMember& m : zip.members) {
        EXPECT_TRUE(test::ReadWholeFile(scratch / m.name) == data) << m.name;
    }
}

TEST_F(LegacyMembers, ExplodeInputMismatchResults) {
    const std::string data = "abcabcabcabcabc hello hello hello";
    const std::string imploded = test::Implode(data, 0);
    test::ZipBuilder spare;
    spare.AddRaw("spare.bin", 6, imploded + "x", data);
    EXPECT_EQ(TestBytes(spare.Build()).result, 1);
    test::ZipBuilder cut;
    cut.AddRaw("cut.bin", 6, imploded.substr(0, imploded.size() - 2), data);
    EXPECT_EQ(TestBytes(cut.Build()).result, 2);
}

}  // namespace
}  // namespace tovra::extract::testing
