// call_gate_test.cpp - calls that overlap: runs of two threads at once give
// exactly what the same runs give one after the other (archives, test and
// listing results, extracted files, enumeration records), and a call made
// from inside a run on the same thread - a UiHost callback natively, a window
// message that the progress dialog's pump dispatches on Windows - returns the
// export's "did not start" value while the outer run completes unharmed.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "api_test_support.h"
#include "platform/platform.h"
#include "support/file_helpers.h"
#include "support/scratch_dir.h"
#include "tovra.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace tovra::apitest {
namespace {

constexpr int kWorkers = 3;
constexpr int kRoundsPerWorker = 4;
constexpr int kFilesPerWorker = 3;

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

// Text that deflates to real Huffman blocks (so the compressor and inflate
// state shared by all runs is exercised), different for every worker and file.
std::string CompressibleText(int worker, int file) {
    std::string text;
    const std::string words[] = {"alpha ", "beta ", "gamma ", "delta ", "epsilon\n", "zeta "};
    uint32_t x = static_cast<uint32_t>(worker * 31 + file * 7 + 1);
    while (text.size() < 48 * 1024) {
        x = x * 1103515245u + 12345u;
        text += words[(x >> 16) % 6];
        if ((x >> 8) % 5 == 0) text += test::PatternBytes(8, x);
    }
    return text;
}

// Everything one worker's round produces, written down for comparison.
std::string WorkerRound(const test::ScratchDir& dir, int worker) {
    const std::string tag = std::to_string(worker);
    const std::string source = dir / ("src" + tag);
    const std::string archive = dir / ("arc" + tag + ".zip");
    const std::string output = dir / ("out" + tag);
    platform::DeletePath(archive);
    test::RemoveTree(output);
    std::string summary;
    summary += "zip " + std::to_string(Zip(nullptr, (source + "/ " + Quoted(archive) + " *.txt").c_str(), nullptr, 0));
    summary += " bytes " + test::ReadWholeFile(archive).value_or("(missing)");
    summary += " test " + std::to_string(Unzip(nullptr, ("-t " + Quoted(archive)).c_str(), nullptr, 0));
    char listing[4096] = {};
    summary += " list " + std::to_string(Unzip(nullptr, ("-v " + Quoted(archive)).c_str(), listing, sizeof listing));
    summary += listing;
    summary += " extract " + std::to_string(Unzip(
                                 nullptr, ("-o " + Quoted(archive) + " " + Quoted(output + "/")).c_str(), nullptr, 0));
    for (int file = 0; file < kFilesPerWorker; ++file) {
        const std::string name = "f" + std::to_string(file) + ".txt";
        const bool same = test::ReadWholeFile(output + "/" + name) == CompressibleText(worker, file);
        summary += " " + name + (same ? " same" : " differs");
    }
    TovraArchive handle = UnzipOpenArchive(nullptr, archive.c_str(), 0);
    summary += handle != nullptr ? " records" : " no handle";
    EntryInfoRecord record;
    for (int found = UnzipFindFirst(handle, "*", &record); found == 0; found = UnzipFindNext(handle, &record)) {
        summary += " " + std::string(record.name) + ":" + std::to_string(record.uncompressedSize);
    }
    UnzipCloseArchive(handle);
    return summary;
}

class CallGateTest : public ::testing::Test {
protected:
    void SetUp() override {
        callerDirectory = CurrentDirectory();
        for (int worker = 0; worker < kWorkers; ++worker) {
            const std::string source = dir / ("src" + std::to_string(worker));
            ASSERT_TRUE(platform::MakeDirectory(source));
            for (int file = 0; file < kFilesPerWorker; ++file) {
                ASSERT_TRUE(test::WriteWholeFile(source + "/f" + std::to_string(file) + ".txt",
                                                 CompressibleText(worker, file)));
            }
        }
    }
    void TearDown() override { EXPECT_EQ(CurrentDirectory(), callerDirectory); }

    test::ScratchDir dir;
    std::string callerDirectory;
};

TEST_F(CallGateTest, ConcurrentRunsGiveWhatSequentialRunsGive) {
    std::vector<std::string> expected;
    for (int worker = 0; worker < kWorkers; ++worker) expected.push_back(WorkerRound(dir, worker));
    for (int worker = 0; worker < kWorkers; ++worker) {
        ASSERT_NE(expected[static_cast<size_t>(worker)].find("zip 0 "), std::string::npos);
        ASSERT_NE(expected[static_cast<size_t>(worker)].find("extract 0 "), std::string::npos);
        ASSERT_EQ(expected[static_cast<size_t>(worker)].find("differs"), std::string::npos);
    }

    std::vector<std::vector<std::string>> seen(kWorkers);
    std::vector<std::thread> threads;
    for (int worker = 0; worker < kWorkers; ++worker) {
        threads.emplace_back([&, worker] {
            for (int round = 0; round < kRoundsPerWorker; ++round) {
                seen[static_cast<size_t>(worker)].push_back(WorkerRound(dir, worker));
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    for (int worker = 0; worker < kWorkers; ++worker) {
        for (int round = 0; round < kRoundsPerWorker; ++round) {
            EXPECT_TRUE(seen[static_cast<size_t>(worker)][static_cast<size_t>(round)] ==
                        expected[static_cast<size_t>(worker)])
                << "worker " << worker << " round " << round;
        }
    }
}

// Every export that runs the engines, called from inside a run; each result
// is written as "<export>=<value>" so that one comparison shows them all.
std::string NestedCalls(const std::string& archive, const std::string& scratch) {
    std::string results;
    results += "Unzip=" + std::to_string(Unzip(nullptr, ("-t " + Quoted(archive)).c_str(), nullptr, 0));
    results += " Zip=" + std::to_string(Zip(nullptr, (Quoted(scratch + "/nested.zip") + " " + Quoted(archive)).c_str(),
                                            nullptr, 0));
    results += " UnzipCheckArchive=" + std::to_string(UnzipCheckArchive(archive.c_str(), 0));
    TovraArchive handle = UnzipOpenArchive(nullptr, archive.c_str(), 0);
    results += std::string(" UnzipOpenArchive=") + (handle == nullptr ? "null" : "handle");
    UnzipCloseArchive(handle);
    TovraMemory block = reinterpret_cast<TovraMemory>(uintptr_t{1});
    uint32_t size = 0;
    const int toMemory = UnzipExtractToMem(nullptr, archive.c_str(), "f0.txt", &block, &size);
    results += " UnzipExtractToMem=" + std::to_string(toMemory) + (block == nullptr ? " null" : " block") + " size " +
               std::to_string(size);
    if (block != nullptr) FreeBlock(block);
    results +=
        " UnzipExtractAll=" + std::to_string(UnzipExtractAll(nullptr, archive.c_str(), (scratch + "/all/").c_str(), 0));
    results += " UnzipGetVersion=" + std::to_string(UnzipGetVersion());
    return results;
}

const char kRefusedEverywhere[] =
    "Unzip=-1 Zip=-1 UnzipCheckArchive=0 UnzipOpenArchive=null UnzipExtractToMem=-1 null size 1 "
    "UnzipExtractAll=-1 UnzipGetVersion=131";

#ifndef _WIN32
// Calls every export once, when the outer run first names what it does.
class ReentrantHost : public LibraryUiHost {
public:
    ReentrantHost(std::string archive, std::string scratch)
        : archive_(std::move(archive)), scratch_(std::move(scratch)) {}
    void SetActivity(const char* activityUtf8) override {
        LibraryUiHost::SetActivity(activityUtf8);
        if (nested.empty()) nested = NestedCalls(archive_, scratch_);
    }
    std::string nested;

private:
    std::string archive_;
    std::string scratch_;
};

TovraWindow SomeWindow() { return reinterpret_cast<TovraWindow>(uintptr_t{0x1234}); }

TEST_F(CallGateTest, CallFromInsideAnExtractionIsRefusedAndTheRunCompletes) {
    const std::string archive = dir / "arc0.zip";
    ASSERT_EQ(Zip(nullptr, (dir / "src0/ " + Quoted(archive) + " *.txt").c_str(), nullptr, 0), 0);
    ReentrantHost host(archive, dir.Path());
    ASSERT_EQ(Unzip(SomeWindow(), ("-o " + Quoted(archive) + " " + Quoted(dir / "out/")).c_str(), nullptr, 0), 0);
    EXPECT_EQ(host.nested, kRefusedEverywhere);
    for (int file = 0; file < kFilesPerWorker; ++file) {
        const std::string name = "f" + std::to_string(file) + ".txt";
        EXPECT_TRUE(test::ReadWholeFile(dir / ("out/" + name)) == CompressibleText(0, file)) << name;
    }
    EXPECT_FALSE(platform::FileExists(dir / "nested.zip"));
    EXPECT_FALSE(platform::FileExists(dir / "all"));
    // Once the run is over the library serves calls again.
    EXPECT_EQ(NestedCalls(archive, dir.Path()).substr(0, 8), "Unzip=0 ");
}

TEST_F(CallGateTest, CallFromInsideAnArchivingRunIsRefusedAndTheArchiveIsWhole) {
    const std::string archive = dir / "arc0.zip";
    ASSERT_EQ(Zip(nullptr, (dir / "src1/ " + Quoted(dir / "other.zip") + " *.txt").c_str(), nullptr, 0), 0);
    ReentrantHost host(dir / "other.zip", dir.Path());
    ASSERT_EQ(Zip(SomeWindow(), (dir / "src0/ " + Quoted(archive) + " *.txt").c_str(), nullptr, 0), 0);
    EXPECT_EQ(host.nested, kRefusedEverywhere);
    EXPECT_EQ(Unzip(nullptr, ("-t " + Quoted(archive)).c_str(), nullptr, 0), 0);
    EXPECT_FALSE(platform::FileExists(dir / "nested.zip"));
}
#else
// A window of the test's own thread whose procedure makes the nested calls
// when it receives kNestedMessage; the progress dialog's pump dispatches it.
constexpr UINT kNestedMessage = WM_APP + 12;
std::string* nestedResults = nullptr;
std::string nestedArchive, nestedScratch;

LRESULT CALLBACK HostProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kNestedMessage && nestedResults != nullptr && nestedResults->empty()) {
        *nestedResults = NestedCalls(nestedArchive, nestedScratch);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

TEST_F(CallGateTest, CallFromAWindowMessageThePumpDispatchesIsRefusedAndTheRunCompletes) {
    const std::string archive = dir / "arc0.zip";
    ASSERT_EQ(Zip(nullptr, (dir / "src0/ " + Quoted(archive) + " *.txt").c_str(), nullptr, 0), 0);
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = HostProcedure;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"TovraCallGateHost";
    RegisterClassW(&windowClass);
    HWND window = CreateWindowExW(0, windowClass.lpszClassName, L"host", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr,
                                  nullptr, windowClass.hInstance, nullptr);
    if (window == nullptr) {
        // No display (Wine without X): no progress dialog, so no pump. The
        // api_reentry_pump test runs this case under Xvfb.
        GTEST_SKIP() << "no window can be created here";
    }
    std::string results;
    nestedResults = &results;
    nestedArchive = archive;
    nestedScratch = dir.Path();
    ASSERT_NE(PostMessageW(window, kNestedMessage, 0, 0), 0);
    const int outer = Unzip(reinterpret_cast<TovraWindow>(window),
                            ("-o " + Quoted(archive) + " " + Quoted(dir / "out\\")).c_str(), nullptr, 0);
    nestedResults = nullptr;
    DestroyWindow(window);
    EXPECT_EQ(outer, 0);
    EXPECT_EQ(results, kRefusedEverywhere);
    for (int file = 0; file < kFilesPerWorker; ++file) {
        const std::string name = "f" + std::to_string(file) + ".txt";
        EXPECT_TRUE(test::ReadWholeFile(dir / ("out\\" + name)) == CompressibleText(0, file)) << name;
    }
    EXPECT_FALSE(platform::FileExists(dir / "nested.zip"));
}
#endif

}  // namespace
}  // namespace tovra::apitest
