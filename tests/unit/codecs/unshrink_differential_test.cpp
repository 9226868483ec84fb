// unshrink_differential_test.cpp - the shipped unshrink decoder against the
// reference decoder kept in tests/support: on the fuzz seeds, on random code
// streams, on the test encoder's output cut short or damaged, and with a sink
// that fails, both give the same result, the same bytes in the same flushes,
// and stop at the same input byte.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "codecs/codec_memory.h"
#include "codecs/unshrink.h"
#include "support/legacy_encoders.h"
#include "support/unshrink_reference.h"

namespace tovra::codecs {
namespace {

std::vector<uint8_t> window(kWindowSize);
std::vector<uint8_t> referenceWindow(kWindowSize);

struct Run {
    int result;
    std::vector<uint8_t> output;
    int flushes;
    int64_t left;
};

Run Decode(const std::string& in, size_t block, int failAfter, bool reference) {
    MemorySource source(reinterpret_cast<const uint8_t*>(in.data()), in.size(), block);
    MemorySink sink;
    if (failAfter >= 0) sink.FailAfter(failAfter, 9);
    const int result = reference ? test::ReferenceUnshrink(source, sink, referenceWindow.data())
                                 : Unshrinker(source, sink, window.data()).Unshrink();
    return {result, std::move(sink.output), sink.flushes, source.BytesLeft()};
}

testing::AssertionResult Same(const std::string& in, size_t block = 8192, int failAfter = -1) {
    const Run ours = Decode(in, block, failAfter, false);
    const Run expected = Decode(in, block, failAfter, true);
    if (ours.result == expected.result && ours.output == expected.output && ours.flushes == expected.flushes &&
        ours.left == expected.left) {
        return testing::AssertionSuccess();
    }
    return testing::AssertionFailure() << "result " << ours.result << " vs " << expected.result << ", "
                                       << ours.output.size() << " vs " << expected.output.size() << " bytes, "
                                       << ours.flushes << " vs " << expected.flushes << " flushes, " << ours.left
                                       << " vs " << expected.left << " left; input " << in.size() << " bytes";
}

// Text-like data with long repeats, so strings grow long and cross windows.
std::string Sample(size_t size, uint32_t seed) {
    std::mt19937 rng(seed);
    std::string out;
    while (out.size() < size) {
        if (!out.empty() && rng() % 3 == 0) {
            const size_t from = rng() % out.size();
            out.append(out, from, 1 + rng() % 300);
        } else {
            out.push_back(static_cast<char>('a' + rng() % (1 + seed % 26)));
        }
    }
    out.resize(size);
    return out;
}

TEST(UnshrinkDifferential, FuzzSeedsWithEveryRefillSize) {
    const std::filesystem::path dir = std::filesystem::path(TOVRA_SOURCE_DIR) / "fuzz" / "corpus" / "unshrink";
    int seeds = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        std::ifstream file(entry.path(), std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        if (bytes.empty()) continue;
        ++seeds;
        for (size_t block : {1, 7, 4096, 8192}) EXPECT_TRUE(Same(bytes.substr(1), block)) << entry.path();
    }
    EXPECT_GT(seeds, 0);
}

TEST(UnshrinkDifferential, EncodedDataWholeCutAndDamaged) {
    const struct {
        size_t size;
        test::ShrinkOptions options;
    } cases[] = {
        {1, {}}, {70000, {}}, {200000, {0, false}}, {150000, {5000, true}}, {300000, {0, true}},
    };
    for (const auto& c : cases) {
        const std::string data = Sample(c.size, static_cast<uint32_t>(c.size));
        const std::string shrunk = test::Shrink(data, c.options);
        ASSERT_EQ(Decode(shrunk, 8192, -1, false).output, std::vector<uint8_t>(data.begin(), data.end()));
        EXPECT_TRUE(Same(shrunk));
        for (size_t cut = 0; cut < shrunk.size(); cut += 1 + shrunk.size() / 23) {
            EXPECT_TRUE(Same(shrunk.substr(0, cut), 7)) << "cut at " << cut;
        }
        std::mt19937 rng(static_cast<uint32_t>(c.size));
        for (int flip = 0; flip < 40 && !shrunk.empty(); ++flip) {
            std::string damaged = shrunk;
            const size_t at = rng() % damaged.size();
            damaged[at] = static_cast<char>(damaged[at] ^ (1 << rng() % 8));
            EXPECT_TRUE(Same(damaged)) << "bit flipped in byte " << at;
        }
    }
}

// Codes drawn near the node being defined, with growth steps and partial
// clears mixed in: not-yet-defined codes, free parents, reused nodes.
TEST(UnshrinkDifferential, RandomCodeStreams) {
    std::mt19937 rng(10);
    for (int stream = 0; stream < 400; ++stream) {
        test::LsbBitWriter w;
        int bits = 9;
        uint32_t defined = 257;
        w.Put(rng() % 256, bits);
        const int codes = 50 + static_cast<int>(rng() % 3000);
        for (int i = 0; i < codes; ++i) {
            const uint32_t roll = rng() % 100;
            if (roll < 2 && bits < 14) {
                w.Put(256, bits);
                w.Put(1, bits);
                ++bits;
            } else if (roll < 5) {
                w.Put(256, bits);
                w.Put(2, bits);
            } else if (roll < 40) {
                w.Put(rng() % 256, bits);
            } else {
                const uint32_t near = defined + 2 - rng() % std::min<uint32_t>(defined, 40);
                w.Put(near & ((1u << bits) - 1), bits);
                if (defined < kShrinkNodes) ++defined;
            }
        }
        EXPECT_TRUE(Same(w.Finish(), 1 + rng() % 9)) << "stream " << stream;
    }
}

TEST(UnshrinkDifferential, SinkFailingAtEachFlush) {
    const std::string shrunk = test::Shrink(Sample(150000, 3), {});
    for (int failAfter = 0; failAfter < 6; ++failAfter) EXPECT_TRUE(Same(shrunk, 8192, failAfter)) << failAfter;
}

TEST(UnshrinkDifferential, RandomBytes) {
    std::mt19937 rng(11);
    for (int stream = 0; stream < 300; ++stream) {
        std::string bytes(rng() % 4000, '\0');
        for (char& b : bytes) b = static_cast<char>(rng());
        // A literal first, so decoding goes beyond the first code.
        if (!bytes.empty()) bytes[1 % bytes.size()] &= static_cast<char>(0xFE);
        EXPECT_TRUE(Same(bytes, 1 + rng() % 9)) << "stream " << stream;
    }
}

}  // namespace
}  // namespace tovra::codecs
