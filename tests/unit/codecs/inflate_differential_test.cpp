// inflate_differential_test.cpp - inflate against zlib on real streams, and
// the fast loop against the careful loop on valid, truncated and corrupted
// streams: same result, same bytes, same input consumed.
#include <gtest/gtest.h>

#include "inflate_test_helpers.h"

namespace tovra::codecs::test {
namespace {

struct Sample {
    const char* name;
    Bytes data;
};

std::vector<Sample> Samples() {
    std::mt19937 rng(7);
    Bytes random(100000);
    for (auto& b : random) b = static_cast<uint8_t>(rng());
    Bytes zeros(200000, 0);
    Bytes twoByteRuns(70000);
    for (size_t i = 0; i < twoByteRuns.size(); ++i) twoByteRuns[i] = static_cast<uint8_t>("ab"[i % 2]);
    return {
        {"empty", {}},      {"one byte", {42}}, {"text", SampleData(300000, 1)}, {"small text", SampleData(5000, 2)},
        {"random", random}, {"zeros", zeros},   {"two-byte runs", twoByteRuns}};
}

TEST(InflateRoundTrip, EveryLevelAndStrategyMatchesTheInput) {
    const int strategies[] = {Z_DEFAULT_STRATEGY, Z_FILTERED, Z_HUFFMAN_ONLY, Z_RLE, Z_FIXED};
    for (const Sample& sample : Samples()) {
        for (int level = 0; level <= 9; ++level) {
            for (int strategy : strategies) {
                const Bytes stream = RawDeflate(sample.data, level, strategy);
                for (bool fast : {false, true}) {
                    const InflateRun run = RunInflate(stream, static_cast<int64_t>(sample.data.size()), fast);
                    ASSERT_EQ(run.result, kInflateOk) << sample.name << " level " << level << " strategy " << strategy;
                    ASSERT_TRUE(run.output == sample.data)
                        << sample.name << " level " << level << " strategy " << strategy << " fast " << fast;
                    ASSERT_EQ(run.bytesLeft, 0) << sample.name;
                }
            }
        }
    }
}

TEST(InflateRoundTrip, SmallInputBlocksAndSmallMemoryLevel) {
    const Bytes data = SampleData(120000, 3);
    for (size_t blockSize : {1u, 7u, 16u, 17u, 100u, 8192u}) {
        const Bytes stream = RawDeflate(data, 9, Z_DEFAULT_STRATEGY, 1);
        const InflateRun run = RunInflate(stream, static_cast<int64_t>(data.size()), true, blockSize);
        ASSERT_EQ(run.result, kInflateOk) << blockSize;
        ASSERT_TRUE(run.output == data) << blockSize;
    }
}

// Compares the two loops on one stream, with the block sizes the engine and
// odd ones.
void ExpectSameOutcome(const Bytes& stream, int64_t declaredSize, const std::string& what) {
    const InflateRun careful = RunInflate(stream, declaredSize, false);
    for (size_t blockSize : {8192u, 37u}) {
        const InflateRun fast = RunInflate(stream, declaredSize, true, blockSize);
        ASSERT_EQ(fast.result, careful.result) << what << " block " << blockSize;
        ASSERT_EQ(fast.output.size(), careful.output.size()) << what << " block " << blockSize;
        ASSERT_TRUE(fast.output == careful.output) << what << " block " << blockSize;
        ASSERT_EQ(fast.bytesLeft, careful.bytesLeft) << what << " block " << blockSize;
    }
}

TEST(InflateDifferential, FastAndCarefulAgreeOnDamagedStreams) {
    std::mt19937 rng(11);
    const int strategies[] = {Z_DEFAULT_STRATEGY, Z_FILTERED, Z_HUFFMAN_ONLY, Z_RLE, Z_FIXED};
    int cases = 0;
    for (int round = 0; round < 60; ++round) {
        const size_t size = rng() % 3 == 0 ? rng() % 2000 : 20000 + rng() % 60000;
        const Bytes data = SampleData(size, rng());
        const int level = static_cast<int>(rng() % 10);
        const Bytes stream = RawDeflate(data, level, strategies[rng() % 5]);
        const int64_t declared = static_cast<int64_t>(data.size());
        ExpectSameOutcome(stream, declared, "intact");
        ++cases;
        for (int k = 0; k < 25; ++k) {
            // Truncated, with the right or a smaller declared size.
            Bytes cut(stream.begin(), stream.begin() + (stream.empty() ? 0 : rng() % stream.size()));
            ExpectSameOutcome(cut, rng() % 2 ? declared : static_cast<int64_t>(rng() % (declared + 1)), "cut");
            // Bit flips.
            Bytes flipped = stream;
            const int flips = 1 + static_cast<int>(rng() % 4);
            for (int f = 0; f < flips && !flipped.empty(); ++f) flipped[rng() % flipped.size()] ^= 1u << (rng() % 8);
            ExpectSameOutcome(flipped, declared, "flipped");
            // A run of random bytes pasted over the stream.
            Bytes pasted = stream;
            if (!pasted.empty()) {
                const size_t at = rng() % pasted.size();
                for (size_t i = at; i < pasted.size() && i < at + 1 + rng() % 64; ++i)
                    pasted[i] = static_cast<uint8_t>(rng());
            }
            ExpectSameOutcome(pasted, declared, "pasted");
            cases += 3;
        }
    }
    // Streams of pure noise.
    for (int k = 0; k < 1500; ++k) {
        Bytes noise(rng() % 3000);
        for (auto& b : noise) b = static_cast<uint8_t>(rng());
        ExpectSameOutcome(noise, rng() % 5000, "noise");
        ++cases;
    }
    EXPECT_GT(cases, 5000);
}

// A failed write (50) or a cancel (any other code from the sink) stops
// decoding at the flush that reports it.
TEST(InflateDifferential, SinkFailureStopsBothLoopsAtOnce) {
    const Bytes data = SampleData(200000, 5);
    const Bytes stream = RawDeflate(data, 6);
    for (bool fast : {false, true}) {
        static uint8_t window[kInflateBufferSize];
        MemorySource source(stream.data(), stream.size());
        MemorySink sink;
        sink.FailAfter(2, fast ? 50 : 2);
        Inflater inflater(source, sink, window, static_cast<int64_t>(data.size()));
        inflater.SetFastPath(fast);
        EXPECT_EQ(inflater.Inflate(), fast ? 50 : 2);
        EXPECT_EQ(sink.output.size(), 2 * kWindowSize);
        EXPECT_TRUE(std::equal(sink.output.begin(), sink.output.end(), data.begin()));
    }
}

}  // namespace
}  // namespace tovra::codecs::test
