// legacy_bench.cpp - the old methods' decoders and the traditional decryption,
// tested whole-archive beside `7z t -mmt1` on the same archives in one run.
//
// The corpus is a fixed, sorted selection of real files read at run time
// (every 11th regular file of /usr/share and /usr/lib between 1 KiB and
// 512 KiB, about 6 MiB). The test encoders make one archive per method:
// implode in its four variants, shrink, and deflate (zlib level 6) both plain
// and under the traditional encryption. Each archive is written to /dev/shm
// (or TMPDIR) and tested by our extraction engine in this process (the run
// the library's test mode makes: every member decoded and its CRC checked)
// and by 7-Zip as a child process. Each side runs RUNS times (default 3) in
// turn and its best counts. Times are CPU seconds (user + system, every
// thread of the process or the child): on a shared machine they repeat far
// better than wall time, which is printed beside them. 7-Zip's figures
// include its start-up (a few milliseconds against runs of 100 ms or more).
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "codecs/traditional_crypto.h"
#include "extract/Cunzip.h"
#include "extract/process_state.h"
#include "format/crc32.h"
#include "platform/platform.h"
#include "platform/ui_host.h"
#include "support/legacy_encoders.h"
#include "support/zip_builder.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using tovra::test::ZipBuilder;

constexpr char kPassword[] = "bench-password";
constexpr size_t kBudget = 6u << 20;

struct Source {
    std::string name;
    std::string data;
};

struct Times {
    double cpu = 1e30;
    double wall = 1e30;
};

// Answers every password question with kPassword and every other one No.
class BenchHost : public tovra::platform::UiHost {
public:
    int Message(tovra::platform::WindowHandle, const std::string&, const std::string&, tovra::platform::MessageIcon,
                tovra::platform::MessageButtons buttons) override {
        return buttons == tovra::platform::MessageButtons::kYesNo ? tovra::platform::kIdNo : tovra::platform::kIdCancel;
    }
    tovra::platform::OverwriteAnswer AskOverwrite(tovra::platform::WindowHandle,
                                                  const tovra::platform::OverwriteQuestion&) override {
        return tovra::platform::OverwriteAnswer::kNo;
    }
    bool AskPassword(tovra::platform::WindowHandle, const std::string&, std::string* password) override {
        *password = kPassword;
        return true;
    }
};

std::vector<Source> Collect() {
    std::vector<fs::path> paths;
    std::error_code ec;
    for (const char* root : {"/usr/share", "/usr/lib"}) {
        for (auto it = fs::recursive_directory_iterator(root, fs::directory_options::skip_permission_denied, ec);
             it != fs::recursive_directory_iterator(); it.increment(ec)) {
            if (ec) break;
            if (it->is_symlink(ec) || !it->is_regular_file(ec)) continue;
            const std::string ext = it->path().extension().string();
            if (ext == ".gz" || ext == ".xz" || ext == ".bz2" || ext == ".zst" || ext == ".png" || ext == ".jpg") {
                continue;
            }
            paths.push_back(it->path());
        }
    }
    std::sort(paths.begin(), paths.end());
    std::vector<Source> sources;
    size_t total = 0;
    for (size_t i = 0; i < paths.size() && total < kBudget; i += 11) {
        const auto size = fs::file_size(paths[i], ec);
        if (ec || size < 1024 || size > 512 * 1024) continue;
        std::ifstream in(paths[i], std::ios::binary);
        Source source;
        source.name = "f";
        source.name += std::to_string(sources.size());
        source.data.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        if (source.data.size() != size) continue;
        total += size;
        sources.push_back(std::move(source));
    }
    return sources;
}

std::string RawDeflate(const std::string& data) {
    z_stream z{};
    deflateInit2(&z, 6, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&z, data.size()), '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    z.avail_in = static_cast<uInt>(data.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

enum class Kind { kImplode, kShrink, kDeflate, kEncryptedDeflate };

// One archive of every source under one method.
std::string BuildArchive(const std::vector<Source>& sources, Kind kind, uint16_t implodeFlags) {
    ZipBuilder zip;
    for (const Source& s : sources) {
        switch (kind) {
            case Kind::kImplode:
                zip.AddRaw(s.name, 6, tovra::test::Implode(s.data, implodeFlags), s.data).flags = implodeFlags;
                break;
            case Kind::kShrink:
                zip.AddRaw(s.name, 1, tovra::test::Shrink(s.data), s.data);
                break;
            case Kind::kDeflate:
                zip.AddRaw(s.name, 8, RawDeflate(s.data), s.data);
                break;
            case Kind::kEncryptedDeflate: {
                // The check byte is the high byte of the CRC (no data descriptor).
                const uint8_t check = static_cast<uint8_t>(tovra::test::ZipCrc32(s.data) >> 24);
                const std::string sealed =
                    tovra::test::TraditionalEncrypt(kPassword, RawDeflate(s.data), check, 7 + zip.members.size());
                zip.AddRaw(s.name, 8, sealed, s.data).flags = 1;
                break;
            }
        }
    }
    return zip.Build();
}

double CpuNow() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return t.tv_sec + t.tv_nsec * 1e-9;
}

double WallNow() { return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count(); }

// Our test run of the whole archive; false unless every member tested sound.
bool TestOurs(const std::string& path, Times& best) {
    tovra::extract::ProcessState() = tovra::extract::ExtractProcessState{};
    tovra::extract::Cunzip context;
    if (!context.AllocateRunBuffers()) return false;
    static char text[1 << 16];
    context.archiveName = path;
    context.ArgumentList = {path, ""};
    context.sinkPointer = text;
    context.sinkCapacity = sizeof text;
    context.options.test = 1;
    const double cpu = CpuNow();
    const double wall = WallNow();
    const int result = context.ProcessArchive();
    best.cpu = std::min(best.cpu, CpuNow() - cpu);
    best.wall = std::min(best.wall, WallNow() - wall);
    context.ReleaseRunBuffers();
    if (result != 0) std::fprintf(stderr, "our test run of %s returned %d\n", path.c_str(), result);
    return result == 0;
}

// `7z t -mmt1` as a child; false unless it exits with 0.
bool TestSevenZip(const std::string& path, Times& best) {
    std::string password = "-p";
    password += kPassword;
    std::vector<std::string> args = {"7z", "t", "-mmt1", "-bd", password, path};
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const double wall = WallNow();
    const int spawned = posix_spawnp(&pid, "7z", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) return false;
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) != pid) return false;
    const double cpu =
        usage.ru_utime.tv_sec + usage.ru_utime.tv_usec * 1e-6 + usage.ru_stime.tv_sec + usage.ru_stime.tv_usec * 1e-6;
    best.cpu = std::min(best.cpu, cpu);
    best.wall = std::min(best.wall, WallNow() - wall);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Cycles per CPU second, from a chain of dependent multiplies; the seed is
// volatile so the chain cannot be folded away.
double ClockHz() {
    constexpr uint64_t kSteps = 200000000;
    constexpr double kMultiplyLatency = 3;
    static volatile uint64_t seed = 0x9E3779B97F4A7C15u;
    double best = 1e30;
    for (int r = 0; r < 3; ++r) {
        uint64_t x = seed;
        const double start = CpuNow();
        for (uint64_t i = 0; i < kSteps; ++i) x *= 0xD1342543DE82EF95u;
        best = std::min(best, CpuNow() - start);
        seed = x;
    }
    return kSteps * kMultiplyLatency / best;
}

// Best CPU seconds of decrypting all of `data` in 8 KiB pieces, the way the
// engine hands its refills to the cipher.
double TimeDecryption(std::string data, int runs) {
    uint32_t table[256];
    tovra::format::BuildCrcTable(table);
    double best = 1e30;
    for (int r = 0; r < runs; ++r) {
        tovra::codecs::TraditionalCipher cipher(table);
        cipher.SetPassword(kPassword);
        auto* bytes = reinterpret_cast<uint8_t*>(data.data());
        const double start = CpuNow();
        for (size_t at = 0; at < data.size(); at += 8192)
            cipher.DecryptBytes(bytes + at, std::min<size_t>(8192, data.size() - at));
        best = std::min(best, CpuNow() - start);
    }
    return best;
}

struct Row {
    const char* label;
    Kind kind;
    uint16_t flags;
    Times ours;
    Times seven;
};

}  // namespace

int main() {
    static BenchHost host;
    tovra::platform::SetUiHost(&host);
    const char* runsText = std::getenv("RUNS");
    const int runs = runsText != nullptr ? std::max(1, std::atoi(runsText)) : 3;
    const std::vector<Source> sources = Collect();
    size_t bytes = 0;
    for (const Source& s : sources) bytes += s.data.size();
    if (sources.empty()) {
        std::fprintf(stderr, "no input files found\n");
        return 1;
    }
    const char* tmp = std::getenv("TMPDIR");
    fs::path dir = fs::exists("/dev/shm") ? fs::path("/dev/shm") : fs::path(tmp != nullptr ? tmp : "/tmp");
    dir /= "tovra-legacy-bench." + std::to_string(getpid());
    fs::create_directories(dir);

    std::vector<Row> rows = {
        {"explode 4K", Kind::kImplode, 0x0000, {}, {}},
        {"explode 8K", Kind::kImplode, 0x0002, {}, {}},
        {"explode 4K+lit", Kind::kImplode, 0x0004, {}, {}},
        {"explode 8K+lit", Kind::kImplode, 0x0006, {}, {}},
        {"unshrink", Kind::kShrink, 0, {}, {}},
        {"inflate", Kind::kDeflate, 0, {}, {}},
        {"decrypt+inflate", Kind::kEncryptedDeflate, 0, {}, {}},
    };
    std::printf("%zu files, %.2f MiB; best of %d runs; MB/s of output per CPU second\n", sources.size(),
                bytes / 1048576.0, runs);
    std::printf("%-16s %10s %10s %10s %10s %10s\n", "", "archive", "ours", "7z -mmt1", "cpu ratio", "wall ratio");
    bool ok = true;
    for (Row& row : rows) {
        std::string file = std::to_string(&row - rows.data());
        file += ".zip";
        const std::string path = (dir / file).string();
        const std::string archive = BuildArchive(sources, row.kind, row.flags);
        {
            std::ofstream out(path, std::ios::binary);
            out.write(archive.data(), static_cast<std::streamsize>(archive.size()));
        }
        for (int r = 0; r < runs; ++r) {
            ok = TestOurs(path, row.ours) && ok;
            ok = TestSevenZip(path, row.seven) && ok;
        }
        // Ratios above 1: ours is faster.
        std::printf("%-16s %9.2fM %10.1f %10.1f %10.2f %10.2f\n", row.label, archive.size() / 1048576.0,
                    bytes / 1e6 / row.ours.cpu, bytes / 1e6 / row.seven.cpu, row.seven.cpu / row.ours.cpu,
                    row.seven.wall / row.ours.wall);
    }
    const Row& plain = rows[5];
    const Row& sealed = rows[6];
    std::printf("decryption adds %.1f%% to inflate (ours), %.1f%% (7z -mmt1)\n",
                100.0 * (sealed.ours.cpu / plain.ours.cpu - 1), 100.0 * (sealed.seven.cpu / plain.seven.cpu - 1));
    std::string corpus;
    for (const Source& s : sources) corpus += s.data;
    const double decryption = TimeDecryption(corpus, runs * 3);
    const double hz = ClockHz();
    std::printf(
        "decryption alone %.1f MB/s of ciphertext, %.1f cycles/byte at %.2f GHz; inflate (ours) reads %.1f MB/s\n",
        corpus.size() / 1e6 / decryption, decryption * hz / corpus.size(), hz / 1e9,
        fs::file_size(dir / "5.zip") / 1e6 / plain.ours.cpu);
    std::error_code ec;
    fs::remove_all(dir, ec);
    if (!ok) std::fprintf(stderr, "a test run failed\n");
    return ok ? 0 : 1;
}
