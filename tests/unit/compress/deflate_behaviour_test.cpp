// Tests of the compressor's decisions: the level flag bits and the bad level,
// the whole-member store and stored blocks, the empty member, the text/binary
// verdict, write and read failures, the far 3-byte match rule, and the tree builder's
// length limits on frequencies that force its overflow correction.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <numeric>

#include "compress/deflate_memory.h"
#include "deflate_test_data.h"
#include "deflate_tokens.h"

namespace tovra::compress {
namespace {

using testing::Bytes;

class DeflateBehaviour : public ::testing::Test {
protected:
    DeflateResult Run(const Bytes& in, int level, bool repositionable) {
        return DeflateToMemory(*deflater_, out_, in.data(), in.size(), level, repositionable);
    }
    BitOutput out_;
    std::unique_ptr<Deflater> deflater_ = std::make_unique<Deflater>(out_);
};

TEST_F(DeflateBehaviour, LevelSetsItsFlagBits) {
    const Bytes text = testing::TextBytes(5000, 1);
    const uint16_t expected[10] = {0, 0x4, 0x4, 0, 0, 0, 0, 0, 0x2, 0x2};
    for (int level = 1; level <= 9; ++level) {
        EXPECT_EQ(Run(text, level, true).flags, expected[level]) << "level " << level;
    }
    // The bits are added to what the entry already holds.
    MemoryOutputStream stream(true, 30);
    MemoryDeflateHost host(text.data(), text.size());
    uint16_t attributes = kUnknownFileType, method = 8, flags = 0x0008;
    out_.Start(stream);
    deflater_->StartTrees(attributes, method);
    ASSERT_EQ(deflater_->StartMatcher(host, 9, flags), 0);
    EXPECT_EQ(flags, 0x000A);
}

TEST_F(DeflateBehaviour, LevelOutsideOneToNineIsARunError) {
    for (int level : {0, 10, -1}) {
        DeflateResult r = Run(Bytes{1, 2, 3}, level, true);
        EXPECT_EQ(r.error, 5);
        EXPECT_STREQ(r.errorText, "bad pack level");
        EXPECT_EQ(r.flags, 0);
    }
}

TEST_F(DeflateBehaviour, IncompressibleOnlyBlockIsStoredWithTheLevelFlag) {
    const Bytes noise = testing::RandomBytes(20000, 2);
    for (auto [level, flag] : {std::pair{9, 0x2}, std::pair{1, 0x4}, std::pair{6, 0x0}}) {
        DeflateResult r = Run(noise, level, true);
        EXPECT_EQ(r.method, kMethodStored) << level;
        EXPECT_EQ(r.data, noise);
        EXPECT_EQ(r.compressedSize, 20000);
        EXPECT_EQ(r.flags, flag);
    }
}

TEST_F(DeflateBehaviour, NonRepositionableOutputKeepsDeflateWithStoredBlocks) {
    const Bytes noise = testing::RandomBytes(20000, 3);
    DeflateResult r = Run(noise, 9, false);
    ASSERT_EQ(r.method, 8);
    EXPECT_EQ(r.data.size(), 20000u + 5);  // one stored block: header byte, LEN, NLEN
    testing::ParsedStream parsed = testing::TokenReader(r.data).Parse();
    EXPECT_EQ(parsed.blockTypes, std::vector<int>{0});
    EXPECT_EQ(testing::ZlibInflate(r.data, noise.size()), noise);
}

TEST_F(DeflateBehaviour, IncompressibleDataOfSeveralBlocksStaysDeflated) {
    const Bytes noise = testing::RandomBytes(100000, 4);  // more than one literal buffer
    DeflateResult r = Run(noise, 6, true);
    EXPECT_EQ(r.method, 8);
    testing::ParsedStream parsed = testing::TokenReader(r.data).Parse();
    EXPECT_GE(parsed.blockTypes.size(), 2u);
    for (int type : parsed.blockTypes) EXPECT_EQ(type, 0);
    EXPECT_EQ(testing::ZlibInflate(r.data, noise.size()), noise);
}

TEST_F(DeflateBehaviour, EmptyInput) {
    DeflateResult stored = Run({}, 6, true);
    EXPECT_EQ(stored.method, kMethodStored);
    EXPECT_EQ(stored.compressedSize, 0);
    EXPECT_TRUE(stored.data.empty());

    DeflateResult deflated = Run({}, 6, false);  // an empty fixed block: final bit, type 1, end code
    EXPECT_EQ(deflated.method, 8);
    EXPECT_EQ(deflated.data, (Bytes{0x03, 0x00}));
    EXPECT_EQ(deflated.compressedSize, 2);
}

TEST_F(DeflateBehaviour, TextOrBinaryVerdictFromTheFirstBlock) {
    EXPECT_EQ(Run(testing::TextBytes(50000, 5), 6, true).internalAttributes, kTextFile);
    EXPECT_EQ(Run(testing::RandomBytes(50000, 6), 6, true).internalAttributes, kBinaryFile);

    // Binary bytes up to a quarter of the text bytes still make text. The
    // bytes are laid out so that no match forms: every byte counts.
    Bytes mixed;
    for (int i = 0; i < 100; ++i) mixed.push_back(static_cast<uint8_t>(20 + i));
    for (int i = 0; i < 25; ++i) mixed.push_back(static_cast<uint8_t>(200 + i));
    EXPECT_EQ(Run(mixed, 6, true).internalAttributes, kTextFile);
    mixed.push_back(0x01);
    EXPECT_EQ(Run(mixed, 6, true).internalAttributes, kBinaryFile);
}

TEST_F(DeflateBehaviour, BinaryWithLineEndConversionWarnsAndKnownTypeIsKept) {
    const Bytes noise = testing::RandomBytes(3000, 7);
    for (int conversion : {0, 1}) {
        MemoryOutputStream stream(true, 30);
        MemoryDeflateHost host(noise.data(), noise.size(), 0, conversion);
        uint16_t attributes = kUnknownFileType, method = 8, flags = 0;
        out_.Start(stream);
        deflater_->StartTrees(attributes, method);
        ASSERT_EQ(deflater_->StartMatcher(host, 6, flags), 0);
        ASSERT_GE(deflater_->Compress(host), 0);
        EXPECT_EQ(attributes, kBinaryFile);
        EXPECT_EQ(host.warnings.size(), conversion == 0 ? 0u : 1u);
        if (conversion != 0) {
            EXPECT_EQ(host.warnings[0], "-l used on binary file");
        }
    }
    // An entry whose type is already known is not classified again.
    MemoryOutputStream stream(true, 30);
    MemoryDeflateHost host(noise.data(), noise.size(), 0, 1);
    uint16_t attributes = kTextFile, method = 8, flags = 0;
    out_.Start(stream);
    deflater_->StartTrees(attributes, method);
    ASSERT_EQ(deflater_->StartMatcher(host, 6, flags), 0);
    ASSERT_GE(deflater_->Compress(host), 0);
    EXPECT_EQ(attributes, kTextFile);
    EXPECT_TRUE(host.warnings.empty());
}

TEST_F(DeflateBehaviour, FailedWriteIsARunError) {
    const Bytes text = testing::TextBytes(300000, 8);
    MemoryOutputStream stream(false, 0, 5000);
    MemoryDeflateHost host(text.data(), text.size());
    uint16_t attributes = kUnknownFileType, method = 8, flags = 0;
    out_.Start(stream);
    deflater_->StartTrees(attributes, method);
    ASSERT_EQ(deflater_->StartMatcher(host, 1, flags), 0);
    EXPECT_EQ(deflater_->Compress(host), -1);
    EXPECT_EQ(deflater_->Error().code, 5);
    EXPECT_STREQ(deflater_->Error().text, "write error on zip file");
    EXPECT_EQ(stream.bytes.size(), 5000u);
}

TEST_F(DeflateBehaviour, FarThreeByteMatchIsDroppedOnlyByTheLazyMatcher) {
    // "xyz" at 10 and again 4990 bytes later, among two-byte counter values:
    // no other three bytes repeat.
    Bytes in;
    for (uint32_t c = 1000; in.size() < 5000; ++c) {
        in.push_back(static_cast<uint8_t>(c >> 8));
        in.push_back(static_cast<uint8_t>(c));
    }
    const Bytes marker{'x', 'y', 'z'};
    std::copy(marker.begin(), marker.end(), in.begin() + 10);
    in.insert(in.end(), marker.begin(), marker.end());
    const auto lastToken = [&](int level) {
        DeflateResult r = Run(in, level, false);
        return testing::TokenReader(r.data).Parse().tokens.back();
    };
    EXPECT_FALSE(lastToken(9).match);
    const testing::Token fast = lastToken(3);
    ASSERT_TRUE(fast.match);
    EXPECT_EQ(fast.distance, 4990u);
    EXPECT_EQ(fast.length, 3u);
}

// Kraft sum of a code, scaled by 2^maxLength: equal to 2^maxLength when complete.
uint64_t KraftScaled(const std::vector<uint8_t>& lengths, int maxLength) {
    uint64_t sum = 0;
    for (uint8_t l : lengths) {
        if (l != 0) sum += uint64_t{1} << (maxLength - l);
    }
    return sum;
}

TEST_F(DeflateBehaviour, TreeLengthsStayWithinTheLimitOnSkewedFrequencies) {
    for (auto [symbols, maxLength] : {std::pair{30, 15}, std::pair{286, 15}, std::pair{19, 7}}) {
        std::vector<uint32_t> freq(symbols, 0);
        uint32_t a = 1, b = 1;
        for (int n = 0; n < std::min(symbols, 25); ++n) {
            freq[n] = a;
            uint32_t c = a + b;
            a = b;
            b = c;
        }
        std::vector<uint8_t> lengths(symbols);
        const int64_t cost = deflater_->BuildCodeLengths(freq.data(), symbols, maxLength, lengths.data());
        int deepest = 0;
        int64_t expectedCost = 0;
        for (int n = 0; n < symbols; ++n) {
            deepest = std::max<int>(deepest, lengths[n]);
            expectedCost += int64_t{freq[n]} * lengths[n];
            EXPECT_EQ(lengths[n] == 0, freq[n] == 0) << "symbol " << n;
        }
        EXPECT_EQ(deepest, maxLength) << symbols << " symbols";
        EXPECT_EQ(KraftScaled(lengths, maxLength), uint64_t{1} << maxLength);
        EXPECT_EQ(cost, expectedCost) << "the bit count follows the corrected lengths";
    }
}

TEST_F(DeflateBehaviour, TreeOfOneSymbolGetsAPartner) {
    std::vector<uint32_t> freq(30, 0);
    freq[7] = 40;
    std::vector<uint8_t> lengths(30);
    const int64_t cost = deflater_->BuildCodeLengths(freq.data(), 30, 15, lengths.data());
    EXPECT_EQ(lengths[7], 1);
    EXPECT_EQ(lengths[0], 1);  // the dummy partner
    EXPECT_EQ(cost, 40);       // the dummy costs nothing
    freq.assign(30, 0);
    freq[1] = 5;
    deflater_->BuildCodeLengths(freq.data(), 30, 15, lengths.data());
    EXPECT_EQ(lengths[1], 1);
    EXPECT_EQ(lengths[2], 1);  // the symbol after the only one, below 2
}

TEST_F(DeflateBehaviour, SkewedLiteralsInflateAndSizeAgrees) {
    const Bytes skewed = testing::FibonacciSkewed(9);
    for (int level : {1, 6, 9}) {
        DeflateResult r = Run(skewed, level, false);
        EXPECT_EQ(static_cast<size_t>(r.compressedSize), r.data.size());
        EXPECT_EQ(testing::ZlibInflate(r.data, skewed.size()), skewed);
    }
}

}  // namespace
}  // namespace tovra::compress

namespace tovra::compress {
namespace {

// An input stream that fails after `good` bytes, as a file with a bad sector.
class FailingInput : public format::InputStream {
public:
    FailingInput(const Bytes& data, size_t good) : data_(data), good_(good) {}
    size_t Read(void* out, size_t n) override {
        if (pos_ >= good_) {
            failed_ = pos_ < data_.size();
            return 0;
        }
        n = std::min(n, good_ - pos_);
        std::memcpy(out, data_.data() + pos_, n);
        pos_ += n;
        return n;
    }
    bool Failed() const override { return failed_; }

private:
    const Bytes& data_;
    size_t good_;
    size_t pos_ = 0;
    bool failed_ = false;
};

TEST_F(DeflateBehaviour, ReadErrorEndsTheInputQuietly) {
    const Bytes text = testing::TextBytes(200000, 9);
    for (size_t good : {size_t{0}, size_t{70000}, text.size()}) {
        FailingInput input(text, good);
        StreamDeflateHost host(input);
        MemoryOutputStream stream(false);
        uint16_t attributes = kUnknownFileType, method = 8, flags = 0;
        out_.Start(stream);
        deflater_->StartTrees(attributes, method);
        ASSERT_EQ(deflater_->StartMatcher(host, 6, flags), 0);
        ASSERT_GE(deflater_->Compress(host), 0) << good;
        EXPECT_EQ(input.Failed(), good < text.size());
        EXPECT_EQ(deflater_->InputLength(), good);
        EXPECT_EQ(testing::ZlibInflate(stream.bytes, text.size()), Bytes(text.begin(), text.begin() + good));
    }
}

// The first distance of each of the 30 distance codes.
constexpr uint32_t kFirstDistance[kDistCodes + 1] = {
    1,   2,   3,   4,   5,    7,    9,    13,   17,   25,   33,   49,    65,    97,    129,  193,
    257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577, 32769};

TEST(DistanceCode, FirstAndLastDistanceOfEveryCode) {
    for (uint32_t code = 0; code < kDistCodes; ++code) {
        EXPECT_EQ(DistCode(kFirstDistance[code] - 1), code) << "first distance of code " << code;
        EXPECT_EQ(DistCode(kFirstDistance[code + 1] - 2), code) << "last distance of code " << code;
    }
}

TEST_F(DeflateBehaviour, MatchDistancesEitherSideOfTheNearTableAreKept) {
    // Random nibbles (so the blocks are Huffman coded) around 40 random
    // bytes at 50, copied `distance` bytes later front to back as a decoder
    // would: the only long match. Bit 4 of a position's hash is bit 4
    // of its third byte, set at 52 alone: no nibble position shares the
    // chain, so both matchers find the string and record its distance.
    for (uint32_t distance : {1u, 255u, 256u, 257u, 384u, 385u, 4097u, 32506u}) {
        Bytes in = testing::RandomBytes(distance + 40 + 100, distance);
        for (size_t i = 0; i < in.size(); ++i) {
            if (i < 50 || i >= 90) in[i] = static_cast<uint8_t>(in[i] & 0x0F);
        }
        in[50] &= 0xEF;
        in[51] &= 0xEF;
        in[52] |= 0x10;
        for (uint32_t i = 50; i < 90; ++i) in[i + distance] = in[i];
        for (int level : {1, 6}) {
            DeflateResult r = Run(in, level, false);
            uint32_t longest = 0, at = 0;
            for (const testing::Token& t : testing::TokenReader(r.data).Parse().tokens) {
                if (t.match && t.length > longest) {
                    longest = t.length;
                    at = t.distance;
                }
            }
            // A chance match among the nibbles just before may take the
            // copy's first bytes.
            EXPECT_GE(longest, 30u) << "distance " << distance << " level " << level;
            EXPECT_EQ(at, distance) << "level " << level;
        }
    }
}

}  // namespace
}  // namespace tovra::compress
