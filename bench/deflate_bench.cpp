// deflate_bench.cpp - throughput and compressed size of the library's deflate
// compressor beside zlib's raw deflate (window bits -15, memory level 8) and
// libdeflate, at levels 1, 6 and 9, on the same inputs in one run:
//   mixed   about 20 MiB of real text and binaries read at run time, each file
//           compressed as its own member (as an archiving run would);
//   text    8 MiB of highly compressible generated log text;
//   random  8 MiB of incompressible pseudo-random bytes.
// Each compressor runs several times per cell, the three taking turns so that
// a busy moment of a shared machine hits all of them alike, and its best time
// counts; the time is the process's CPU time, which other work on a shared
// machine disturbs less than the wall clock. Every stream of ours is inflated back
// with zlib and compared before timing.
//
// Usage: deflate_bench [repetitions]   (default 3)
//        deflate_bench --ours INPUT LEVEL
// The second form compresses one input (mixed, text or random) once at one
// level with our compressor alone and prints the size: a short, repeatable
// run to count instructions under callgrind.
#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "compress/deflate.h"
#include "compress/deflate_memory.h"
#include "format/streams.h"

namespace {

using Bytes = std::vector<uint8_t>;
namespace fs = std::filesystem;
using tovra::compress::BitOutput;
using tovra::compress::Deflater;

// Output into a buffer allocated once, as the peers get.
class BufferOutput : public tovra::format::OutputStream {
public:
    explicit BufferOutput(size_t capacity) : buffer_(capacity) {}
    size_t Write(const void* data, size_t n) override {
        if (n > buffer_.size() - used_) return 0;
        std::memcpy(buffer_.data() + used_, data, n);
        used_ += n;
        return n;
    }
    void Reset() { used_ = 0; }
    size_t used() const { return used_; }
    const uint8_t* data() const { return buffer_.data(); }

private:
    Bytes buffer_;
    size_t used_ = 0;
};

// Files under `root` in name order, regular and readable, up to `budget`
// bytes in total and `maxFile` each.
void Collect(const char* root, size_t budget, size_t maxFile, std::vector<Bytes>& files, size_t& total) {
    std::vector<fs::path> paths;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(root, fs::directory_options::skip_permission_denied, ec);
         it != fs::recursive_directory_iterator(); it.increment(ec)) {
        if (ec) break;
        if (it->is_regular_file(ec) && !it->is_symlink(ec)) paths.push_back(it->path());
    }
    std::sort(paths.begin(), paths.end());
    size_t added = 0;
    for (const auto& p : paths) {
        if (added >= budget) break;
        std::ifstream in(p, std::ios::binary);
        if (!in) continue;
        Bytes data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (data.empty() || data.size() > maxFile) continue;
        added += data.size();
        total += data.size();
        files.push_back(std::move(data));
    }
}

struct Input {
    const char* name;
    std::vector<Bytes> members;
    size_t total = 0;
};

Input MixedCorpus() {
    Input in{"mixed", {}, 0};
    Collect("/usr/share/doc", 6u << 20, 4u << 20, in.members, in.total);
    Collect("/usr/include", 4u << 20, 4u << 20, in.members, in.total);
    Collect("/usr/bin", 10u << 20, 4u << 20, in.members, in.total);
    return in;
}

Input CompressibleText() {
    Input in{"text", {}, 0};
    std::mt19937 rng(7);
    auto r = [&rng](unsigned n) { return static_cast<unsigned>(rng() % n); };
    static const char* const kLevels[] = {"INFO", "WARN", "DEBUG", "ERROR"};
    static const char* const kWords[] = {"request", "served", "cache", "miss", "user", "login", "timeout", "retry"};
    std::string s;
    while (s.size() < (8u << 20)) {
        char line[160];
        std::snprintf(line, sizeof line, "2026-12-08 19:%02u:%02u.%03u [%s] worker-%u %s %s in %u ms\n", r(60), r(60),
                      r(1000), kLevels[r(4)], r(8), kWords[r(8)], kWords[r(8)], r(500));
        s += line;
    }
    in.members.emplace_back(s.begin(), s.end());
    in.total = s.size();
    return in;
}

Input RandomData() {
    Input in{"random", {}, 0};
    Bytes b(8u << 20);
    std::mt19937_64 rng(11);
    for (size_t i = 0; i < b.size(); i += 8) {
        uint64_t v = rng();
        std::memcpy(&b[i], &v, 8);
    }
    in.members.push_back(std::move(b));
    in.total = in.members.back().size();
    return in;
}

struct Cell {
    double seconds = 1e30;
    size_t size = 0;
};

// One more run of `f` into `c`, which keeps the best time.
template <typename F>
void TimeOnce(Cell& c, F&& f) {
    const std::clock_t start = std::clock();
    const size_t size = f();
    const double took = static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
    c.seconds = std::min(c.seconds, took);
    c.size = size;
}

size_t Bound(size_t n) { return n + n / 8 + 1024; }

size_t Ours(const Input& in, int level, BufferOutput& out, bool verify) {
    BitOutput& bits = tovra::compress::TheBitOutput();
    Deflater& d = tovra::compress::TheDeflater();
    size_t total = 0;
    for (const Bytes& m : in.members) {
        out.Reset();
        tovra::compress::MemoryDeflateHost host(m.data(), m.size());
        uint16_t attributes = tovra::compress::kUnknownFileType, method = 8, flags = 0;
        bits.Start(out);
        d.StartTrees(attributes, method);
        d.StartMatcher(host, level, flags);
        int64_t size = d.Compress(host);
        if (size < 0 || static_cast<size_t>(size) != out.used()) {
            std::fprintf(stderr, "compressor failed\n");
            std::exit(1);
        }
        if (verify) {
            Bytes back(m.size() + 1);
            uLongf backLen = back.size();
            z_stream z{};
            inflateInit2(&z, -15);
            z.next_in = const_cast<Bytef*>(out.data());
            z.avail_in = static_cast<uInt>(out.used());
            z.next_out = back.data();
            z.avail_out = static_cast<uInt>(backLen);
            int rc = inflate(&z, Z_FINISH);
            bool ok =
                rc == Z_STREAM_END && z.total_out == m.size() && std::memcmp(back.data(), m.data(), m.size()) == 0;
            inflateEnd(&z);
            if (!ok) {
                std::fprintf(stderr, "round trip failed at level %d\n", level);
                std::exit(1);
            }
        }
        total += out.used();
    }
    return total;
}

size_t Zlib(const Input& in, int level, Bytes& out) {
    z_stream z{};
    deflateInit2(&z, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
    size_t total = 0;
    for (const Bytes& m : in.members) {
        deflateReset(&z);
        z.next_in = const_cast<Bytef*>(m.data());
        z.avail_in = static_cast<uInt>(m.size());
        z.next_out = out.data();
        z.avail_out = static_cast<uInt>(out.size());
        if (deflate(&z, Z_FINISH) != Z_STREAM_END) std::exit(1);
        total += out.size() - z.avail_out;
    }
    deflateEnd(&z);
    return total;
}

size_t Libdeflate(const Input& in, int level, Bytes& out) {
    libdeflate_compressor* c = libdeflate_alloc_compressor(level);
    size_t total = 0;
    for (const Bytes& m : in.members)
        total += libdeflate_deflate_compress(c, m.data(), m.size(), out.data(), out.size());
    libdeflate_free_compressor(c);
    return total;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[1], "--ours") == 0) {
        const std::string name = argv[2];
        Input in = name == "mixed" ? MixedCorpus() : name == "text" ? CompressibleText() : RandomData();
        if (name != in.name) {
            std::fprintf(stderr, "unknown input %s (mixed, text or random)\n", argv[2]);
            return 2;
        }
        size_t largest = 0;
        for (const Bytes& m : in.members) largest = std::max(largest, m.size());
        BufferOutput ours(Bound(largest));
        std::printf("%s level %d: %zu bytes\n", in.name, std::atoi(argv[3]), Ours(in, std::atoi(argv[3]), ours, false));
        return 0;
    }
    const int repetitions = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    std::vector<Input> inputs;
    inputs.push_back(MixedCorpus());
    inputs.push_back(CompressibleText());
    inputs.push_back(RandomData());

    std::printf("deflate, best of %d runs; MB/s of input (CPU time); size in bytes; ratios against zlib\n",
                repetitions);
    std::printf("%-7s %5s | %9s %11s | %9s %11s | %9s %11s | %6s %7s\n", "input", "level", "tovra", "size", "zlib",
                "size", "libdefl", "size", "speed", "size");
    for (const Input& in : inputs) {
        size_t largest = 0;
        for (const Bytes& m : in.members) largest = std::max(largest, m.size());
        BufferOutput ours(Bound(largest));
        Bytes peer(Bound(largest));
        for (int level : {1, 6, 9}) {
            Ours(in, level, ours, true);
            Cell t, z, l;
            for (int i = 0; i < repetitions; ++i) {
                TimeOnce(t, [&] { return Ours(in, level, ours, false); });
                TimeOnce(z, [&] { return Zlib(in, level, peer); });
                TimeOnce(l, [&] { return Libdeflate(in, level, peer); });
            }
            const double mb = static_cast<double>(in.total) / 1e6;
            std::printf("%-7s %5d | %9.1f %11zu | %9.1f %11zu | %9.1f %11zu | %5.2fx %+6.2f%%\n", in.name, level,
                        mb / t.seconds, t.size, mb / z.seconds, z.size, mb / l.seconds, l.size, z.seconds / t.seconds,
                        100.0 * (static_cast<double>(t.size) / static_cast<double>(z.size) - 1.0));
        }
    }
    std::printf("(mixed: %zu files, %zu bytes)\n", inputs[0].members.size(), inputs[0].total);
    return 0;
}
