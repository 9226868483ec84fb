// Round trips of the compressor through zlib's inflate at every level, on real
// and synthetic data, with repositionable and non-repositionable outputs and
// with short reads; and the proof that the fast paths emit the same bytes as
// the reference matcher and code output.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "compress/deflate_memory.h"
#include "deflate_test_data.h"

namespace tovra::compress {
namespace {

using testing::Bytes;

struct Engine {
    BitOutput out;
    std::unique_ptr<Deflater> deflater = std::make_unique<Deflater>(out);
    DeflateResult Run(const Bytes& in, int level, bool repositionable, uint32_t maxRead = 0) {
        return DeflateToMemory(*deflater, out, in.data(), in.size(), level, repositionable, maxRead);
    }
};

struct NamedInput {
    std::string name;
    Bytes data;
};

std::vector<NamedInput> Inputs() {
    std::vector<NamedInput> v;
    v.push_back({"empty", {}});
    v.push_back({"one byte", {0x41}});
    v.push_back({"two bytes", {0x41, 0x41}});
    v.push_back({"all one byte", Bytes(300000, 0x61)});
    v.push_back({"random", testing::RandomBytes(150000, 3)});
    v.push_back({"text", testing::TextBytes(400000, 4)});
    v.push_back({"period 1000", testing::RepeatedBlocks(200000, 1000, 5)});
    v.push_back({"period 30000", testing::RepeatedBlocks(200000, 30000, 6)});
    v.push_back({"period 32506", testing::RepeatedBlocks(150000, 32506, 7)});
    v.push_back({"period 40000", testing::RepeatedBlocks(200000, 40000, 8)});
    v.push_back({"skewed literals", testing::FibonacciSkewed(9)});
    Bytes mixed = testing::TextBytes(70000, 10);
    Bytes noise = testing::RandomBytes(70000, 11);
    mixed.insert(mixed.end(), noise.begin(), noise.end());
    mixed.insert(mixed.end(), 5000, 0);
    v.push_back({"text then noise", mixed});
    for (const char* path : {"/usr/bin/cmake", "/usr/share/common-licenses/GPL-3", "/bin/ls"}) {
        if (auto file = testing::ReadFile(path, 1 << 20)) v.push_back({path, *file});
    }
    return v;
}

void ExpectRoundTrip(const DeflateResult& r, const Bytes& in, const std::string& what) {
    ASSERT_EQ(r.error, 0) << what;
    EXPECT_EQ(static_cast<uint64_t>(r.compressedSize), r.data.size()) << what;
    EXPECT_EQ(r.bytesWritten, r.data.size()) << what;
    if (r.method == kMethodStored) {
        EXPECT_EQ(r.data, in) << what;
        return;
    }
    ASSERT_EQ(r.method, 8) << what;
    auto back = testing::ZlibInflate(r.data, in.size());
    ASSERT_TRUE(back.has_value()) << what << ": zlib rejects the stream";
    EXPECT_TRUE(*back == in) << what << ": inflated data differs";
}

TEST(DeflateRoundTrip, EveryLevelEveryInputInflatesBack) {
    Engine e;
    for (const auto& input : Inputs()) {
        for (int level = 1; level <= 9; ++level) {
            for (bool repositionable : {true, false}) {
                const std::string what =
                    input.name + " level " + std::to_string(level) + (repositionable ? " seekable" : " stream");
                ExpectRoundTrip(e.Run(input.data, level, repositionable), input.data, what);
            }
        }
    }
}

TEST(DeflateRoundTrip, ShortReadsInflateBack) {
    Engine e;
    const Bytes text = testing::TextBytes(300000, 12);
    const Bytes repeats = testing::RepeatedBlocks(300000, 20000, 13);
    for (uint32_t maxRead : {1u, 261u, 4095u, 40000u}) {
        for (int level : {1, 3, 4, 6, 9}) {
            const std::string what = "maxRead " + std::to_string(maxRead) + " level " + std::to_string(level);
            ExpectRoundTrip(e.Run(text, level, true, maxRead), text, "text " + what);
            ExpectRoundTrip(e.Run(repeats, level, false, maxRead), repeats, "repeats " + what);
        }
    }
}

TEST(DeflateRoundTrip, FastPathsEmitTheReferenceBytes) {
    Engine fast, reference;
    reference.deflater->SetReferenceMode(true);
    for (auto& input : Inputs()) {
        if (input.data.size() > 400000) input.data.resize(400000);  // the reference is slow
        for (int level = 1; level <= 9; ++level) {
            for (uint32_t maxRead : {0u, 777u}) {
                DeflateResult a = fast.Run(input.data, level, false, maxRead);
                DeflateResult b = reference.Run(input.data, level, false, maxRead);
                ASSERT_EQ(a.data, b.data) << input.name << " level " << level << " maxRead " << maxRead;
                EXPECT_EQ(a.internalAttributes, b.internalAttributes);
            }
        }
    }
}

// Size and FNV-1a hash of the stream at levels 1-9 for three fixed inputs.
// Every step of the compressor is fixed, so its bytes are too: a change here
// means an optimisation changed the output, which it must not.
struct Pinned {
    size_t size;
    uint64_t hash;
};
constexpr Pinned kPinned[3][9] = {
    {{65278, 0x89b687837508e230ull},
     {61976, 0x0f48c34ee2900245ull},
     {54010, 0x49050ed91bddc3afull},
     {53941, 0x0efe0447cfb8a73eull},
     {49784, 0x3512c343383d2487ull},
     {46096, 0xaac87aa8e4634ffaull},
     {44257, 0x457050d5c66dca6aull},
     {43232, 0x8d2c4065352b289dull},
     {43232, 0x8d2c4065352b289dull}},
    {{6964, 0xff72cfbdee6a1f46ull},
     {6964, 0xff72cfbdee6a1f46ull},
     {6903, 0x3de30dab5e62ddf0ull},
     {4576, 0x9f309013c944053aull},
     {4576, 0x9f309013c944053aull},
     {4576, 0x9f309013c944053aull},
     {4576, 0x9f309013c944053aull},
     {4529, 0x65348d79cf93fc69ull},
     {4529, 0x65348d79cf93fc69ull}},
    {{19955, 0xa4a96fbd96e6723dull},
     {19549, 0x09aad08136fdf799ull},
     {19096, 0x17e76b78146cdaedull},
     {18929, 0x529cbf7577f2ae25ull},
     {18551, 0x3be74fc8ff811fbbull},
     {18278, 0x094feca7602343b3ull},
     {18167, 0x8a51160073dd74a3ull},
     {18136, 0x610f689811c12878ull},
     {18134, 0xd319f66fc30c19cdull}},
};

TEST(DeflateRoundTrip, OutputBytesArePinned) {
    Engine e;
    const Bytes inputs[3] = {testing::TextBytes(300000, 42), testing::RepeatedBlocks(200000, 3000, 43),
                             testing::FibonacciSkewed(44)};
    for (int i = 0; i < 3; ++i) {
        for (int level = 1; level <= 9; ++level) {
            DeflateResult r = e.Run(inputs[i], level, false);
            uint64_t hash = 1469598103934665603ull;
            for (uint8_t b : r.data) hash = (hash ^ b) * 1099511628211ull;
            EXPECT_EQ(r.data.size(), kPinned[i][level - 1].size) << "input " << i << " level " << level;
            EXPECT_EQ(hash, kPinned[i][level - 1].hash) << "input " << i << " level " << level;
        }
    }
}

TEST(DeflateRoundTrip, OutputDoesNotDependOnThePreviousMember) {
    Engine e;
    const Bytes small = testing::TextBytes(1000, 14);
    DeflateResult first = e.Run(small, 9, false);
    e.Run(testing::RandomBytes(100000, 15), 9, false);
    DeflateResult again = e.Run(small, 9, false);
    EXPECT_EQ(first.data, again.data);
}

}  // namespace
}  // namespace tovra::compress
