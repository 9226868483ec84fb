// inflate_bench.cpp - raw-inflate throughput of our decoder beside zlib's and
// libdeflate's, on the same data in one run.
//
// The corpus is a fixed, sorted selection of real files read at run time (text
// from /usr/share/doc, binaries from /usr/bin, about 32 MiB), each compressed
// by zlib at level 6 as a raw deflate stream, as a ZIP member would be. Each
// decoder inflates every stream; the best of several passes counts. Output
// is checked against the original bytes. Prints MB/s of output (per second
// of the thread's CPU time) and ratios.
//
// Usage: inflate_bench [passes] [decoder]   (default 9 passes, all decoders;
// decoder is tovra, zlib or libdeflate, for profiling one alone, for example
// under callgrind with 1 pass)
#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "codecs/codec_memory.h"
#include "codecs/inflate.h"

namespace {

using Bytes = std::vector<uint8_t>;
namespace fs = std::filesystem;
using tovra::codecs::kInflateBufferSize;

struct Member {
    Bytes data;
    Bytes stream;
};

// Regular files under `root`, sorted by path, skipping already-compressed
// ones, until `budget` bytes (files above `maxFile` are skipped).
void Collect(const char* root, size_t budget, size_t maxFile, std::vector<Member>& members) {
    std::vector<fs::path> paths;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(root, fs::directory_options::skip_permission_denied, ec);
         it != fs::recursive_directory_iterator(); it.increment(ec)) {
        if (ec) break;
        if (!it->is_regular_file(ec) || it->is_symlink(ec)) continue;
        const std::string ext = it->path().extension().string();
        if (ext == ".gz" || ext == ".xz" || ext == ".bz2" || ext == ".zst" || ext == ".png") continue;
        paths.push_back(it->path());
    }
    std::sort(paths.begin(), paths.end());
    size_t total = 0;
    for (const fs::path& path : paths) {
        if (total >= budget) break;
        const auto size = fs::file_size(path, ec);
        if (ec || size == 0 || size > maxFile) continue;
        std::ifstream in(path, std::ios::binary);
        Member member;
        member.data.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        if (member.data.size() != size) continue;
        total += size;
        members.push_back(std::move(member));
    }
}

Bytes Deflate(const Bytes& data) {
    z_stream z{};
    deflateInit2(&z, 6, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
    Bytes out(deflateBound(&z, data.size()));
    z.next_in = const_cast<Bytef*>(data.data());
    z.avail_in = static_cast<uInt>(data.size());
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

// Our decoder as the engine drives it: input in 8 KiB blocks, each full window
// copied to the member's output.
class CopySink : public tovra::codecs::CodecSink {
public:
    explicit CopySink(uint8_t* out, size_t capacity) : out_(out), capacity_(capacity) {}
    int FlushWindow(const uint8_t* data, size_t count) override {
        if (count > capacity_ - used_) return 50;
        std::memcpy(out_ + used_, data, count);
        used_ += count;
        return 0;
    }
    size_t used_ = 0;

private:
    uint8_t* out_;
    size_t capacity_;
};

bool OursInflate(const Member& m, Bytes& out) {
    static uint8_t window[kInflateBufferSize];
    tovra::codecs::MemorySource source(m.stream.data(), m.stream.size(), 8192);
    CopySink sink(out.data(), out.size());
    tovra::codecs::Inflater inflater(source, sink, window, static_cast<int64_t>(m.data.size()));
    return inflater.Inflate() == 0 && sink.used_ == m.data.size();
}

bool ZlibInflate(const Member& m, Bytes& out) {
    static z_stream z{};
    static bool ready = false;
    if (!ready) {
        inflateInit2(&z, -15);
        ready = true;
    } else {
        inflateReset(&z);
    }
    z.next_in = const_cast<Bytef*>(m.stream.data());
    z.avail_in = static_cast<uInt>(m.stream.size());
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    return inflate(&z, Z_FINISH) == Z_STREAM_END && z.total_out == m.data.size();
}

bool LibdeflateInflate(const Member& m, Bytes& out) {
    static libdeflate_decompressor* d = libdeflate_alloc_decompressor();
    size_t actual = 0;
    return libdeflate_deflate_decompress(d, m.stream.data(), m.stream.size(), out.data(), out.size(), &actual) ==
               LIBDEFLATE_SUCCESS &&
           actual == m.data.size();
}

using Decoder = bool (*)(const Member&, Bytes&);

// CPU seconds of this thread: the machine may be shared, and time spent
// waiting for a core says nothing about a decoder.
double ThreadSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

// CPU seconds of one pass of `decode` over every member (output checked once).
double TimePass(const std::vector<Member>& members, Decoder decode, const char* name, bool check) {
    static Bytes out;
    const double t0 = ThreadSeconds();
    for (const Member& m : members) {
        out.resize(m.data.size());
        if (!decode(m, out) || (check && !std::equal(out.begin(), out.end(), m.data.begin()))) {
            std::fprintf(stderr, "%s: wrong output\n", name);
            std::exit(1);
        }
    }
    return ThreadSeconds() - t0;
}

}  // namespace

int main(int argc, char** argv) {
    const int passes = argc > 1 ? std::max(1, std::atoi(argv[1])) : 9;
    const char* const only = argc > 2 ? argv[2] : nullptr;
    std::vector<Member> members;
    Collect("/usr/share/doc", 12u << 20, 4u << 20, members);
    Collect("/usr/bin", 20u << 20, 8u << 20, members);
    size_t raw = 0, packed = 0;
    for (Member& m : members) {
        m.stream = Deflate(m.data);
        raw += m.data.size();
        packed += m.stream.size();
    }
    std::printf("corpus: %zu files, %.1f MiB, deflated (zlib level 6) to %.1f MiB\n", members.size(), raw / 1048576.0,
                packed / 1048576.0);

    // The decoders take turns within each pass, so that a change in the
    // machine's load hits all of them; the best pass of each counts.
    const Decoder decoders[3] = {OursInflate, ZlibInflate, LibdeflateInflate};
    const char* const names[3] = {"tovra", "zlib", "libdeflate"};
    double best[3] = {1e30, 1e30, 1e30};
    for (int pass = 0; pass < passes; ++pass) {
        for (int d = 0; d < 3; ++d) {
            if (only != nullptr && std::strcmp(only, names[d]) != 0) continue;
            best[d] = std::min(best[d], TimePass(members, decoders[d], names[d], pass == 0));
        }
    }
    if (only != nullptr) return 0;
    const double ours = best[0], zlib = best[1], libdeflate = best[2];
    auto rate = [&](double seconds) { return raw / 1e6 / seconds; };
    std::printf("%-12s %10s %14s %14s\n", "decoder", "MB/s", "vs zlib", "vs libdeflate");
    std::printf("%-12s %10.1f %13.2fx %13.2fx\n", "tovra", rate(ours), zlib / ours, libdeflate / ours);
    std::printf("%-12s %10.1f %13.2fx %13.2fx\n", "zlib", rate(zlib), 1.0, libdeflate / zlib);
    std::printf("%-12s %10.1f %13.2fx %13.2fx\n", "libdeflate", rate(libdeflate), zlib / libdeflate, 1.0);
    return 0;
}
