// legacy_codecs_test.cpp - unshrink, unreduce and explode on hand-built bit
// streams that each hit one rule or one fault, and on the test encoders'
// output cut short or lengthened.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "codecs/codec_memory.h"
#include "codecs/explode.h"
#include "codecs/traditional_crypto.h"
#include "codecs/unreduce.h"
#include "codecs/unshrink.h"
#include "format/crc32.h"
#include "support/file_helpers.h"
#include "support/legacy_encoders.h"

namespace tovra::codecs {
namespace {

using test::LsbBitWriter;

struct Outcome {
    int result;
    std::string output;
    int64_t difference = 0;
};

std::vector<uint8_t> window(kWindowSize);

Outcome RunUnshrink(const std::string& in) {
    MemorySource source(reinterpret_cast<const uint8_t*>(in.data()), in.size(), 7);
    MemorySink sink;
    const int result = Unshrinker(source, sink, window.data()).Unshrink();
    return {result, std::string(sink.output.begin(), sink.output.end())};
}

Outcome RunUnreduce(const std::string& in, int factor, int64_t size) {
    MemorySource source(reinterpret_cast<const uint8_t*>(in.data()), in.size(), 5);
    MemorySink sink;
    const int result = Unreducer(source, sink, window.data(), factor, size).Unreduce();
    return {result, std::string(sink.output.begin(), sink.output.end())};
}

Outcome RunExplode(const std::string& in, uint16_t flags, int64_t size) {
    MemorySource source(reinterpret_cast<const uint8_t*>(in.data()), in.size(), 3);
    MemorySink sink;
    Exploder exploder(source, sink, window.data(), flags, static_cast<int64_t>(in.size()), size);
    const int result = exploder.Explode();
    return {result, std::string(sink.output.begin(), sink.output.end()), exploder.InputDifference()};
}

// ---------------------------------------------------------------- unshrink

std::string Codes(std::initializer_list<std::pair<uint32_t, int>> codes) {
    LsbBitWriter w;
    for (auto [code, bits] : codes) w.Put(code, bits);
    return w.Finish();
}

TEST(Unshrink, NotYetDefinedCodeIsThePreviousStringAndItsFirstByte) {
    EXPECT_EQ(RunUnshrink(Codes({{'a', 9}, {257, 9}, {257, 9}})).output, "aaaaa");
}

TEST(Unshrink, FourGrowthStepsReachThirteenBitsAndAFifthIsDamage) {
    const std::initializer_list<std::pair<uint32_t, int>> grow = {{'x', 9},  {256, 9}, {1, 9},    {256, 10}, {1, 10},
                                                                  {256, 11}, {1, 11},  {256, 12}, {1, 12},   {'y', 13}};
    EXPECT_EQ(RunUnshrink(Codes(grow)).output, "xy");
    LsbBitWriter w;
    for (auto [code, bits] : grow) w.Put(code, bits);
    w.Put(256, 13);
    w.Put(1, 13);
    const auto r = RunUnshrink(w.Finish());
    EXPECT_EQ(r.result, kUnshrinkBadData);
    EXPECT_EQ(r.output, "xy");
}

TEST(Unshrink, CodesAfterAPartialClearTakeTheLowestFreeNodes) {
    const auto r = RunUnshrink(Codes({{'a', 9}, {'b', 9}, {'c', 9}, {256, 9}, {2, 9}, {'d', 9}, {257, 9}}));
    EXPECT_EQ(r.result, 0);
    EXPECT_EQ(r.output, "abcdcd");
}

TEST(Unshrink, ParentChainReachingAFreeNodeIsDamage) {
    // 258 ("bc") is the previous code at the clear, which frees it; "d" then
    // defines 257 under the free 258.
    const auto r = RunUnshrink(Codes({{'a', 9}, {'b', 9}, {'c', 9}, {258, 9}, {256, 9}, {2, 9}, {'d', 9}, {257, 9}}));
    EXPECT_EQ(r.result, kUnshrinkBadData);
    EXPECT_EQ(r.output, "abcbcd");
}

TEST(Unshrink, SelfParentedNodeIsDamageNotALoop) {
    // 257 ("ab") is freed by the clear and taken again under itself.
    const auto r = RunUnshrink(Codes({{'a', 9}, {'b', 9}, {257, 9}, {256, 9}, {2, 9}, {'c', 9}, {257, 9}}));
    EXPECT_EQ(r.result, kUnshrinkBadData);
}

TEST(Unshrink, FirstCodeMustBeALiteral) { EXPECT_EQ(RunUnshrink(Codes({{300, 9}})).result, kUnshrinkBadData); }

TEST(Unshrink, FullTableDefinesNothingMoreAndGoesOn) {
    std::string data;
    for (uint32_t x = 1; data.size() < 200000; x = x * 1103515245u + 12345u)
        data += static_cast<char>('a' + (x >> 16) % 20);
    const auto r = RunUnshrink(test::Shrink(data, {0, false}));
    EXPECT_EQ(r.result, 0);
    EXPECT_TRUE(r.output == data);
}

// ---------------------------------------------------------------- unreduce

// Follower sets: all empty except `set` for byte 0.
LsbBitWriter EmptySets(const std::string& setOfZero = "") {
    LsbBitWriter w;
    for (int x = 255; x > 0; --x) w.Put(0, 6);
    w.Put(static_cast<uint32_t>(setOfZero.size()), 6);
    for (char c : setOfZero) w.Put(static_cast<uint8_t>(c), 8);
    return w;
}

std::string RawBytes(LsbBitWriter w, const std::string& bytes) {
    for (char c : bytes) w.Put(static_cast<uint8_t>(c), 8);
    return w.Finish();
}

TEST(Unreduce, EscapeFollowedByZeroIsTheByte144) {
    EXPECT_EQ(RunUnreduce(RawBytes(EmptySets(), std::string("A\x90\x00"
                                                            "B",
                                                            4)),
                          4, 3)
                  .output,
              "A\x90"
              "B");
}

TEST(Unreduce, FactorOneCopyOfLengthEightFrom273Back) {
    std::string literals;
    for (int i = 0; i < 273; ++i) literals += static_cast<char>('a' + i % 26);
    const auto r = RunUnreduce(RawBytes(EmptySets(), literals + "\x90\x85\x10"), 1, 281);
    EXPECT_EQ(r.output, literals + literals.substr(0, 8));
}

TEST(Unreduce, ReferenceBeforeTheFirstByteGivesZeros) {
    const auto r = RunUnreduce(RawBytes(EmptySets(), std::string("A\x90\x01\x05", 4)), 1, 5);
    EXPECT_EQ(r.output, std::string("A\0\0\0\0", 5));
}

TEST(Unreduce, FollowerIndexBeyondItsSetStaysInTheRow) {
    LsbBitWriter inSet = EmptySets("Q");
    inSet.Put(0, 1);
    inSet.Put(0, 1);
    EXPECT_EQ(RunUnreduce(inSet.Finish(), 2, 1).output, "Q");
    LsbBitWriter beyond = EmptySets("Q");
    beyond.Put(0, 1);
    beyond.Put(1, 1);
    EXPECT_EQ(RunUnreduce(beyond.Finish(), 2, 1).output, std::string(1, '\0'));
}

TEST(Unreduce, EveryFactorRoundTripsAndACutMemberStopsEarly) {
    std::string data;
    for (int i = 0; data.size() < 50000; ++i) data += "line " + std::to_string(i % 97) + "\x90 ";
    for (int factor = 1; factor <= 4; ++factor) {
        const std::string reduced = test::Reduce(data, factor);
        EXPECT_TRUE(RunUnreduce(reduced, factor, static_cast<int64_t>(data.size())).output == data) << factor;
        // A member cut to a tenth, declaring 4 GiB, ends soon after its bytes.
        const auto cut = RunUnreduce(reduced.substr(0, reduced.size() / 10), factor, int64_t{1} << 32);
        EXPECT_LT(cut.output.size(), data.size());
    }
}

// ---------------------------------------------------------------- explode

// Trees of 64 codes of 6 bits each; symbol s is sent as the complement of s.
std::string FlatTree() { return std::string("\x03\xF5\xF5\xF5\xF5", 5); }
void PutSymbol(LsbBitWriter& w, uint32_t symbol) {
    const uint32_t code = ~symbol & 63;
    for (int i = 5; i >= 0; --i) w.Put((code >> i) & 1, 1);
}

TEST(Explode, ReferenceBeforeTheFirstByteGivesZeros) {
    LsbBitWriter w;
    w.Put(1, 1);
    w.Put('A', 8);
    w.Put(0, 1);
    w.Put(4, 6);      // low distance bits: distance 5
    PutSymbol(w, 0);  // distance base 1
    PutSymbol(w, 1);  // length 2 + 1
    const auto r = RunExplode(FlatTree() + FlatTree() + w.Finish(), 0, 4);
    EXPECT_EQ(r.result, kExplodeOk);
    EXPECT_EQ(r.output, std::string("A\0\0\0", 4));
}

TEST(Explode, TreeDescriptionOf255CodesIsRefused) {
    std::string tree(1, '\x0F');
    tree += std::string(15, '\xF7') + "\xE7";
    EXPECT_EQ(RunExplode(tree + FlatTree() + FlatTree(), 4, 10).result, kExplodeBadTree);
}

TEST(Explode, LongestMatchesOfBothLengthBases) {
    for (uint16_t flags : {0, 2, 4, 6}) {
        const size_t longest = (flags & 4) != 0 ? 321 : 320;
        for (size_t n : {longest + 1, 2 * longest + 5, size_t{70000}}) {
            const std::string data(n, 'q');
            const auto r = RunExplode(test::Implode(data, flags), flags, static_cast<int64_t>(n));
            EXPECT_EQ(r.result, kExplodeOk) << flags;
            EXPECT_TRUE(r.output == data) << flags << " " << n;
        }
    }
}

TEST(Explode, SpareByteAndCutInputEndWithAResult) {
    std::string data;
    for (int i = 0; data.size() < 40000; ++i) data += "word" + std::to_string(i % 300) + " ";
    const std::string imploded = test::Implode(data, 6);
    const auto spare = RunExplode(imploded + "!", 6, static_cast<int64_t>(data.size()));
    EXPECT_EQ(spare.result, kExplodeInputMismatch);
    EXPECT_EQ(spare.difference, 1);
    EXPECT_TRUE(spare.output == data);
    const auto cut = RunExplode(imploded.substr(0, imploded.size() / 2), 6, static_cast<int64_t>(data.size()));
    EXPECT_EQ(cut.result, kExplodeBadData);
}

// ---------------------------------------------------------------- decryption

TEST(TraditionalCipher, UndoesTheEncoderAndChecksTheHeader) {
    uint32_t table[256];
    format::BuildCrcTable(table);
    const std::string plain = test::PatternBytes(1000, 6);
    std::string cipher = test::TraditionalEncrypt("secret", plain, 0xA7);
    TraditionalCipher c(table);
    c.SetPassword("wrong");
    EXPECT_FALSE(c.CheckHeader(reinterpret_cast<const uint8_t*>(cipher.data()), 0xA7));
    c.SetPassword("secret");
    ASSERT_TRUE(c.CheckHeader(reinterpret_cast<const uint8_t*>(cipher.data()), 0xA7));
    // In two pieces: the keys carry over.
    auto* body = reinterpret_cast<uint8_t*>(cipher.data()) + kEncryptionHeaderSize;
    c.DecryptBytes(body, 333);
    c.DecryptBytes(body + 333, plain.size() - 333);
    EXPECT_TRUE(cipher.substr(kEncryptionHeaderSize) == plain);
}

// A long member cut into refills of every awkward size (empty, one byte, odd
// lengths, one larger than the rest) decrypts as in one call and ends with the
// same keys: nothing of a byte's step is left behind between calls.
TEST(TraditionalCipher, UnevenPiecesEqualOnePiece) {
    uint32_t table[256];
    format::BuildCrcTable(table);
    const std::string plain = test::PatternBytes(150000, 9);
    const std::string sealed = test::TraditionalEncrypt("pieces", plain, 0x3C);
    const std::string cipher = sealed.substr(kEncryptionHeaderSize);
    const auto* header = reinterpret_cast<const uint8_t*>(sealed.data());
    TraditionalCipher whole(table);
    whole.SetPassword("pieces");
    ASSERT_TRUE(whole.CheckHeader(header, 0x3C));
    std::string expected = cipher;
    whole.DecryptBytes(reinterpret_cast<uint8_t*>(expected.data()), 0);
    whole.DecryptBytes(reinterpret_cast<uint8_t*>(expected.data()), expected.size());
    ASSERT_TRUE(expected == plain);
    for (const std::vector<size_t>& pattern :
         {std::vector<size_t>{1}, {0, 3, 1}, {7, 8192, 1, 13}, {65537, 2}, {8191, 8193, 4095, 0, 1}}) {
        TraditionalCipher pieces(table);
        pieces.SetPassword("pieces");
        ASSERT_TRUE(pieces.CheckHeader(header, 0x3C));
        std::string text = cipher;
        size_t at = 0;
        for (size_t k = 0; at < text.size(); ++k) {
            const size_t n = std::min(pattern[k % pattern.size()], text.size() - at);
            pieces.DecryptBytes(reinterpret_cast<uint8_t*>(text.data()) + at, n);
            at += n;
        }
        EXPECT_TRUE(text == plain) << pattern.size();
        EXPECT_EQ(pieces.Keys().key0, whole.Keys().key0);
        EXPECT_EQ(pieces.Keys().key1, whole.Keys().key1);
        EXPECT_EQ(pieces.Keys().key2, whole.Keys().key2);
    }
}

// A stored member that 7-Zip enciphered (`7z a -tzip -mem=ZipCrypto -pSecret
// -mx=0`): its 12-byte header and data as they stand in the archive. The
// check byte is the high byte of the member's CRC (0xA8B14537).
TEST(TraditionalCipher, DecryptsAMemberEncryptedBySevenZip) {
    const std::string hex =
        "ba42f470888a8c627b9a75ee10d45f19d60752dd72cfd1390223b3a0409be8e0f8df2c453af27d7399287de813225c706dbc4ffec1"
        "c21885dbbd36c41e1b7bafd567e70fdbcc6ee1e2";
    std::vector<uint8_t> sealed;
    for (size_t i = 0; i < hex.size(); i += 2)
        sealed.push_back(static_cast<uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    uint32_t table[256];
    format::BuildCrcTable(table);
    TraditionalCipher c(table);
    c.SetPassword("Secret");
    ASSERT_TRUE(c.CheckHeader(sealed.data(), 0xA8));
    c.DecryptBytes(sealed.data() + kEncryptionHeaderSize, sealed.size() - kEncryptionHeaderSize);
    EXPECT_EQ(std::string(sealed.begin() + kEncryptionHeaderSize, sealed.end()),
              "Known plaintext for the traditional cipher, stored by 7-Zip.\n");
}

}  // namespace
}  // namespace tovra::codecs
