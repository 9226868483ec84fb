// password_test.cpp - encrypted members through the member loop: how often
// the person is asked, what is remembered between members, the check byte
// (CRC or, with a data descriptor, DOS time), the 80-byte limit, and
// decrypted data reaching the decoders' fast paths (large stored and
// deflated members that span many input refills).
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdlib>
#include <string>

#include "scan_fixture.h"
#include "support/legacy_encoders.h"

namespace tovra::extract::testing {
namespace {

std::string RawDeflate(const std::string& data) {
    z_stream z{};
    EXPECT_EQ(deflateInit2(&z, 6, Z_DEFLATED, -15, 9, Z_DEFAULT_STRATEGY), Z_OK);
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

// Adds `content` encrypted under `password`, stored or deflated.
test::ZipMember& AddEncrypted(test::ZipBuilder& zip, const std::string& name, const std::string& content,
                              const std::string& password, bool deflated = false, bool descriptor = false) {
    const std::string packed = deflated ? RawDeflate(content) : content;
    const uint8_t check = descriptor ? static_cast<uint8_t>(test::kDefaultDosTime >> 8)
                                     : static_cast<uint8_t>(test::ZipCrc32(content) >> 24);
    test::ZipMember& member =
        zip.AddRaw(name, deflated ? 8 : 0, test::TraditionalEncrypt(password, packed, check), content);
    member.flags = 1;
    member.dataDescriptor = descriptor;
    return member;
}

class Password : public EngineFixture {};

TEST_F(Password, TwoMembersWithOnePasswordAskOnce) {
    test::ZipBuilder zip;
    AddEncrypted(zip, "a.txt", "first secret", "pw");
    AddEncrypted(zip, "b.txt", test::PatternBytes(70000, 3), "pw", true);
    ui.passwordAnswers.push_back("pw");
    EXPECT_EQ(RunBytes(zip.Build()).result, 0) << ui.AllMessageTexts();
    EXPECT_EQ(ui.passwordRequests.size(), 1u);
    EXPECT_EQ(test::ReadWholeFile(scratch / "a.txt"), "first secret");
    EXPECT_TRUE(test::ReadWholeFile(scratch / "b.txt") == test::PatternBytes(70000, 3));
}

TEST_F(Password, ThreeWrongAnswersSkipTheMemberAndTheNextOneAsksAgain) {
    test::ZipBuilder zip;
    AddEncrypted(zip, "a.txt", "alpha", "right");
    AddEncrypted(zip, "b.txt", "beta", "other");
    for (const char* answer : {"x", "y", "z", "other"}) ui.passwordAnswers.push_back(answer);
    EXPECT_EQ(RunBytes(zip.Build()).result, 1);
    EXPECT_EQ(ui.passwordRequests.size(), 4u);
    EXPECT_FALSE(test::ReadWholeFile(scratch / "a.txt").has_value());
    EXPECT_EQ(test::ReadWholeFile(scratch / "b.txt"), "beta");
}

TEST_F(Password, CancelFirstStopsEveryLaterQuestion) {
    test::ZipBuilder zip;
    AddEncrypted(zip, "a.txt", "alpha", "pw");
    AddEncrypted(zip, "b.txt", "beta", "pw");
    AddEncrypted(zip, "c.txt", "gamma", "pw");
    ui.passwordAnswers.push_back(std::nullopt);
    EXPECT_EQ(TestBytes(zip.Build()).result, 1);
    EXPECT_EQ(ui.passwordRequests.size(), 1u);
}

TEST_F(Password, CancelAfterAWrongAnswerRefusesTheSameAnswerAgain) {
    test::ZipBuilder zip;
    AddEncrypted(zip, "a.txt", "alpha", "pw");
    ui.passwordAnswers = {std::string("bad"), std::nullopt, std::string("pw")};
    EXPECT_EQ(TestBytes(zip.Build()).result, 0);
    EXPECT_EQ(ui.passwordRequests.size(), 3u);
}

TEST_F(Password, DataDescriptorMemberIsCheckedAgainstItsTime) {
    test::ZipBuilder zip;
    AddEncrypted(zip, "d.bin", test::PatternBytes(20000, 8), "pw", true, true);
    ui.passwordAnswers.push_back("pw");
    EXPECT_EQ(TestBytes(zip.Build()).result, 0);
    EXPECT_EQ(ui.passwordRequests.size(), 1u);
}

TEST_F(Password, CheckByteMatchingOverDamagedDataFailsTheCrc) {
    test::ZipBuilder zip;
    test::ZipMember& member = AddEncrypted(zip, "a.txt", "some plain text here", "pw");
    member.data[15] = static_cast<char>(member.data[15] ^ 0x40);
    ui.passwordAnswers.push_back("pw");
    EXPECT_EQ(TestBytes(zip.Build()).result, 2);
}

TEST_F(Password, AnswerLongerThanEightyBytesIsRefusedNotCut) {
    const std::string eighty(80, 'k');
    test::ZipBuilder zip;
    AddEncrypted(zip, "a.txt", "alpha", eighty);
    AddEncrypted(zip, "b.txt", "beta", eighty.substr(0, 79));
    // 81 bytes whose first 80 are the password: refused as typed.
    // b.txt: the held 80 bytes fail, the next 81 are refused, then two
    // cancels count as refusals of what is held.
    ui.passwordAnswers = {eighty + "k", eighty, eighty + "k"};
    EXPECT_EQ(TestBytes(zip.Build()).result, 1);
    EXPECT_EQ(ui.passwordRequests.size(), 5u);
}

TEST_F(Password, NoQuestionForAMemberShorterThanItsHeader) {
    test::ZipBuilder zip;
    AddEncrypted(zip, "short.txt", "", "pw").compressedSize = 5;
    EXPECT_EQ(TestBytes(zip.Build()).result, 2);
    EXPECT_TRUE(ui.passwordRequests.empty());
}

TEST_F(Password, ArchiveEncryptedBySevenZip) {
#ifdef _WIN32
    GTEST_SKIP() << "7z runs on the Linux side";
#else
    if (std::system("command -v 7z >/dev/null 2>&1") != 0) GTEST_SKIP() << "7z not installed";
    const std::string source = scratch / "src";
    ASSERT_EQ(std::system(("mkdir -p '" + source + "'").c_str()), 0);
    ASSERT_TRUE(test::WriteWholeFile(source + "/big.bin", test::PatternBytes(100000, 4) + std::string(50000, 'z')));
    ASSERT_TRUE(test::WriteWholeFile(source + "/small.txt", "tiny"));
    const std::string archive = scratch / "seven.zip";
    for (const char* level : {"-mx=0", "-mx=5"}) {
        std::remove(archive.c_str());
        ASSERT_EQ(std::system(("cd '" + source + "' && 7z a -tzip -mem=ZipCrypto -psecret " + level + " '" + archive +
                               "' big.bin small.txt >/dev/null")
                                  .c_str()),
                  0);
        ui.passwordAnswers.push_back("secret");
        ui.passwordRequests.clear();
        EXPECT_EQ(RunPath(archive, [](Cunzip& c) { c.options.test = 1; }).result, 0) << level;
        EXPECT_EQ(ui.passwordRequests.size(), 1u);
    }
#endif
}

}  // namespace
}  // namespace tovra::extract::testing
