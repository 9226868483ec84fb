// The library's compressor against the independent reference compressor
// (tests/compress/reference_deflate), byte for byte: a corpus of real files and
// synthetic inputs, every level, reads of the whole input, of 1 byte and of odd
// sizes, output to memory (seekable and not) and to a file. Any difference in
// the bytes, the size, the method, the flags or the text verdict fails.
//
// TOVRA_REFERENCE_FULL=1 compresses the real files whole instead of their
// first 192 KiB (minutes instead of seconds).
#include "compress/reference_deflate/reference_deflate.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "compress/archive_output.h"
#include "compress/deflate_memory.h"
#include "support/scratch_dir.h"
#include "unit/compress/deflate_test_data.h"

namespace tovra::compress {
namespace {

using testing::Bytes;

// Hands out the input in reads of the sizes in `pattern` (repeated; 0 = all
// that is asked for), never more than asked.
class PatternInput : public format::InputStream {
public:
    PatternInput(const Bytes& data, std::vector<uint32_t> pattern) : data_(data), pattern_(std::move(pattern)) {}
    size_t Read(void* buffer, size_t n) override {
        size_t take = std::min(n, data_.size() - pos_);
        const uint32_t limit = pattern_[reads_++ % pattern_.size()];
        if (limit != 0) take = std::min<size_t>(take, limit);
        if (take > 0) std::memcpy(buffer, data_.data() + pos_, take);
        pos_ += take;
        return take;
    }

private:
    const Bytes& data_;
    std::vector<uint32_t> pattern_;
    size_t pos_ = 0;
    size_t reads_ = 0;
};

struct ReadPattern {
    const char* name;
    std::vector<uint32_t> sizes;
    size_t maxInput;  // longer inputs are cut for this pattern (reads of 1 byte are slow)
};
const ReadPattern kPatterns[] = {
    {"whole", {0}, SIZE_MAX},
    {"odd sizes", {5, 4093, 1, 261, 777, 65535, 3}, SIZE_MAX},
    {"1 byte", {1}, 80000},
};

enum class Output { kMemorySeekable, kMemoryStream, kFile };
const char* Name(Output o) {
    return o == Output::kMemorySeekable ? "memory seekable" : o == Output::kMemoryStream ? "memory stream" : "file";
}

struct Outcome {
    int error = 0;
    int64_t size = 0;
    uint16_t method = 8, flags = 0, attributes = kUnknownFileType;
    Bytes data;
};

// A notional local header precedes the member, as in an archive, so the
// output can be repositioned backwards.
constexpr int64_t kHeaderBytes = 30;

Outcome Failed() {
    Outcome o;
    o.error = -1;
    return o;
}

struct Engines {
    BitOutput bits;
    std::unique_ptr<Deflater> ours = std::make_unique<Deflater>(bits);
    std::unique_ptr<reference::ReferenceDeflater> reference = std::make_unique<reference::ReferenceDeflater>();
    test::ScratchDir dir;

    Outcome Ours(const Bytes& in, int level, const ReadPattern& p, Output kind) {
        PatternInput input(in, p.sizes);
        StreamDeflateHost host(input);
        Outcome o;
        MemoryOutputStream memory(kind == Output::kMemorySeekable, kind == Output::kMemorySeekable ? kHeaderBytes : 0);
        ArchiveOutput file;
        format::OutputStream* out = &memory;
        const std::string path = dir / "member.bin";
        if (kind == Output::kFile) {
            if (!file.Open(path, platform::OpenMode::kCreate)) return Failed();
            const Bytes header(kHeaderBytes, 0x50);
            file.Write(header.data(), header.size());
            out = &file;
        }
        bits.Start(*out);
        ours->StartTrees(o.attributes, o.method);
        o.error = ours->StartMatcher(host, level, o.flags);
        if (o.error == 0) {
            o.size = ours->Compress(host);
            if (o.size < 0) o.error = ours->Error().code;
        }
        if (kind == Output::kFile) {
            file.Close();
            auto all = testing::ReadFile(path, SIZE_MAX);
            if (!all || all->size() < kHeaderBytes) return Failed();
            o.data.assign(all->begin() + kHeaderBytes, all->end());
        } else {
            o.data = std::move(memory.bytes);
        }
        return o;
    }

    Outcome Reference(const Bytes& in, int level, const ReadPattern& p, bool seekable) {
        PatternInput input(in, p.sizes);
        MemoryOutputStream memory(seekable, seekable ? kHeaderBytes : 0);
        reference::ReferenceResult r = reference->Compress(input, memory, level);
        return {r.error, r.compressedSize, r.method, r.flags, r.internalAttributes, std::move(memory.bytes)};
    }
};

void ExpectSame(const Outcome& ours, const Outcome& ref, const std::string& what) {
    EXPECT_EQ(ours.error, ref.error) << what;
    EXPECT_EQ(ours.size, ref.size) << what;
    EXPECT_EQ(ours.method, ref.method) << what;
    EXPECT_EQ(ours.flags, ref.flags) << what;
    EXPECT_EQ(ours.attributes, ref.attributes) << what;
    ASSERT_EQ(ours.data.size(), ref.data.size()) << what;
    const auto diff = std::mismatch(ours.data.begin(), ours.data.end(), ref.data.begin());
    ASSERT_TRUE(diff.first == ours.data.end())
        << what << ": first difference at byte " << (diff.first - ours.data.begin());
}

// Every level, pattern and output kind for one input.
void CompareEverywhere(Engines& e, const std::string& name, const Bytes& data) {
    for (const ReadPattern& p : kPatterns) {
        const Bytes cut(data.begin(), data.begin() + static_cast<std::ptrdiff_t>(std::min(data.size(), p.maxInput)));
        for (int level = 1; level <= 9; ++level) {
            const std::string at = name + ", level " + std::to_string(level) + ", reads " + p.name + ", ";
            const Outcome seekable = e.Reference(cut, level, p, true);
            const Outcome stream = e.Reference(cut, level, p, false);
            // Decoding proves the reference itself right, not just equal.
            if (stream.error == 0) {
                auto back = testing::ZlibInflate(stream.data, cut.size());
                ASSERT_TRUE(back && *back == cut) << at << "the reference's stream does not inflate back";
            }
            for (Output kind : {Output::kMemorySeekable, Output::kMemoryStream, Output::kFile}) {
                if (p.sizes[0] == 1 && kind == Output::kFile) continue;  // the file adds nothing per read pattern
                ExpectSame(e.Ours(cut, level, p, kind), kind == Output::kMemoryStream ? stream : seekable,
                           at + Name(kind));
                if (::testing::Test::HasFatalFailure()) return;
            }
        }
    }
}

struct CorpusFile {
    const char* path;
    size_t cut;  // bytes used unless TOVRA_REFERENCE_FULL is set
};
constexpr size_t kDefaultCut = 192 * 1024;
const CorpusFile kFiles[] = {
    {"/usr/share/common-licenses/GPL-3", kDefaultCut},
    {"/usr/share/mime/packages/freedesktop.org.xml", kDefaultCut},
    {"/usr/lib/x86_64-linux-gnu/libstdc++.so.6", kDefaultCut},
    {"/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf", kDefaultCut},
    {"/usr/share/misc/magic.mgc", kDefaultCut},
    {"/usr/lib/x86_64-linux-gnu/libz.so.1", kDefaultCut},
    {"/usr/share/X11/locale/compose.dir", kDefaultCut},
    {"/usr/share/zoneinfo/Europe/Berlin", kDefaultCut},
};

class RealFiles : public ::testing::TestWithParam<CorpusFile> {};

TEST_P(RealFiles, MatchTheReference) {
    const bool full = std::getenv("TOVRA_REFERENCE_FULL") != nullptr;
    auto data = testing::ReadFile(GetParam().path, full ? SIZE_MAX : GetParam().cut);
    if (!data) GTEST_SKIP() << GetParam().path << " is not on this system";
    Engines e;
    CompareEverywhere(e, GetParam().path, *data);
}

INSTANTIATE_TEST_SUITE_P(Corpus, RealFiles, ::testing::ValuesIn(kFiles), [](const auto& info) {
    std::string name = info.param.path;
    name = name.substr(name.rfind('/') + 1);
    for (char& c : name) {
        if (!isalnum(static_cast<unsigned char>(c))) c = '_';
    }
    return name;
});

// Random nibbles (compressible, so the blocks are Huffman coded) with one
// 40-byte random string repeated exactly 32506 bytes later, at 65273: read 5
// bytes at a time, the window then slides right between finding the match
// there and recording it. No position in between shares the string's hash,
// so the copy 32506 back heads its chain.
Bytes MatchAtTheReachAcrossASlide() {
    constexpr size_t kFirst = 32767, kSecond = kFirst + 32506, kLength = 40;
    Bytes d = testing::RandomBytes(100000, 77);
    for (size_t i = 0; i < d.size(); ++i) {
        if (i < kFirst || i >= kFirst + kLength) d[i] &= 0x0F;
    }
    const auto hash = [&d](size_t i) { return ((d[i] << 10) ^ (d[i + 1] << 5) ^ d[i + 2]) & 0x7FFF; };
    for (bool clean = false; !clean;) {
        std::copy_n(d.begin() + kFirst, kLength, d.begin() + kSecond);
        clean = true;
        for (size_t i = kFirst + kLength; i < kSecond; ++i) {
            if (hash(i) != hash(kFirst)) continue;
            d[i] ^= 0x01;  // moves bit 10 of the hash
            clean = false;
        }
    }
    return d;
}

struct Synthetic {
    const char* name;
    Bytes (*make)();
};
const Synthetic kSynthetic[] = {
    {"empty", [] { return Bytes{}; }},
    {"one byte", [] { return Bytes{0x41}; }},
    {"two bytes",
     [] {
         return Bytes{0x00, 0x00};
     }},
    {"text", [] { return testing::TextBytes(150000, 21); }},
    {"random", [] { return testing::RandomBytes(100000, 22); }},
    {"runs", [] { return Bytes(200000, 0x20); }},
    {"period 32506", [] { return testing::RepeatedBlocks(150000, 32506, 23); }},
    {"skewed literals", [] { return testing::FibonacciSkewed(24); }},
    {"match at the reach across a slide", MatchAtTheReachAcrossASlide},
};

TEST(SyntheticInputs, MatchTheReference) {
    Engines e;
    for (const Synthetic& s : kSynthetic) {
        CompareEverywhere(e, s.name, s.make());
        if (HasFatalFailure()) return;
    }
}

TEST(ReferenceSwitch, ZeroedTailIsWhatMakesMembersIndependent) {
    // The second member ends with P, which also follows "R" and "S" earlier:
    // both earlier copies match up to the end. Past the end the window still
    // holds the first member ("R" + P ...), where the copy followed by "R"
    // matches further and wins, unless the tail is zeroed.
    const Bytes p = testing::RandomBytes(20, 32);
    Bytes second{'Q'};
    for (uint8_t sep : {'R', 'S', '\0'}) {
        second.insert(second.end(), p.begin(), p.end());
        if (sep != 0) second.push_back(sep);
    }
    Bytes first = second;
    first.push_back('R');
    first.insert(first.end(), p.begin(), p.end());
    first.insert(first.end(), 100, 'S');
    const ReadPattern& whole = kPatterns[0];
    for (bool zero : {true, false}) {
        Engines e;
        e.reference->zeroBytesAfterInput = zero;
        const Outcome fresh = e.Reference(second, 9, whole, false);
        e.Reference(first, 9, whole, false);
        const Outcome after = e.Reference(second, 9, whole, false);
        EXPECT_EQ(fresh.data == after.data, zero) << "zeroed tail " << zero;
        // The library zeroes the tail: its bytes after the first member are
        // those of a fresh start.
        if (zero) {
            e.Ours(first, 9, whole, Output::kMemoryStream);
            ExpectSame(e.Ours(second, 9, whole, Output::kMemoryStream), fresh, "library after a member");
        }
    }
}

TEST(SlideBetweenFindAndRecord, MatchAtTheFullReachKeepsItsDistance) {
    // Read 5 bytes at a time the window ends at 65535 and slides at position
    // 65274, one step after the lazy matcher found the match at 65273 whose
    // start lies the full 32506 bytes back (32767, which the slide moves to
    // -1). The match must still be recorded with its distance.
    const Bytes data = MatchAtTheReachAcrossASlide();
    const ReadPattern fives{"5 bytes", {5}, SIZE_MAX};
    Engines e;
    for (int level = 4; level <= 9; ++level) {
        const Outcome ours = e.Ours(data, level, fives, Output::kMemoryStream);
        auto back = testing::ZlibInflate(ours.data, data.size());
        EXPECT_TRUE(back && *back == data) << "level " << level << ": the stream does not inflate back";
        ExpectSame(ours, e.Reference(data, level, fives, false), "level " + std::to_string(level));
    }
}

}  // namespace
}  // namespace tovra::compress
