// hostile_runner.cpp - runs every archive that scripts/make-hostile-archives.py
// wrote through the library's exports and checks that each ends cleanly.
//
//     hostile_runner CASE_DIR WORK_DIR [NAME_PART]
//
// For each line of CASE_DIR/cases.txt (file, weight, expected test result)
// the archive is tested, listed (-l and -v), extracted with kept and with
// junked paths into an absolute output directory, into a relative one, into
// none and into an empty quoted one (each from a current directory of its
// own), extracted whole by UnzipExtractAll, extracted to memory, enumerated
// and checked. A "light" case (too many members to extract in every form)
// gets the listing, the test, the enumeration, the memory extraction and the
// extraction of one selected member. After each case:
//   - every run ended with one of the library's result codes (a crash ends
//     the program; a run over its time budget is reported by the watchdog);
//   - the test run gave the expected result where cases.txt names one;
//   - nothing was written outside the case's output directories (WORK_DIR and
//     the case folder hold exactly what the runner made, the archives' folder
//     and the root of the drive are as before), no temporary file was left
//     and the current directory is the runner's again.
// One line per failing case; the last line is "N cases, M failed" and the
// exit status is 1 when any failed. WORK_DIR is emptied first and removed
// at the end. NAME_PART runs only the cases whose file name contains it.
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "api/api_test_support.h"
#include "platform/platform.h"
#include "support/scratch_dir.h"
#include "tovra.h"

namespace {

namespace platform = tovra::platform;
namespace apitest = tovra::apitest;

#ifdef _WIN32
constexpr char kSeparator = '\\';
#else
constexpr char kSeparator = '/';
#endif
// Generous: the slowest case (65535 members) takes a few seconds natively.
constexpr auto kCaseBudget = std::chrono::seconds(90);
constexpr int kMostRecords = 70000;
// A line of progress after this many cases (a run under Wine takes minutes).
constexpr int kProgressEvery = 500;
const std::set<int> kResultCodes = {0, 1, 2, 3, 5, 6, 9, 11, 50, 51, 76};
const std::set<std::string> kCaseFolders = {"abs", "absj", "all", "emptyq", "none", "rel"};

std::string Join(const std::string& directory, const std::string& name) { return directory + kSeparator + name; }
std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

// The runner's arguments name folders of the Linux side; under Wine those are
// reached through drive Z.
std::string HostPath(std::string path) {
#ifdef _WIN32
    if (!path.empty() && path[0] == '/') {
        path = "Z:" + path;
        for (char& c : path) {
            if (c == '/') c = '\\';
        }
    }
#endif
    return path;
}

std::set<std::string> Entries(const std::string& directory) {
    std::set<std::string> names;
    platform::DirectoryFinder finder;
    platform::FindData data;
    for (bool found = finder.FindFirst(Join(directory, "*"), &data); found; found = finder.FindNext(&data)) {
        if (data.name != "." && data.name != "..") names.insert(data.name);
    }
    return names;
}

std::string Describe(const std::set<std::string>& names) {
    std::string text;
    for (const std::string& name : names) text += (text.empty() ? "" : ", ") + name;
    return "{" + text + "}";
}

// Ends the process when one case outlives its budget: a hang is a fault, and
// the name of the case is the finding.
class Watchdog {
public:
    Watchdog() : thread_([this] { Watch(); }) {}
    ~Watchdog() {
        stop_ = true;
        thread_.join();
    }
    void Start(const std::string& name) {
        std::snprintf(name_, sizeof name_, "%s", name.c_str());
        deadline_ = Now() + std::chrono::duration_cast<std::chrono::milliseconds>(kCaseBudget).count();
    }

private:
    static int64_t Now() {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }
    void Watch() {
        while (!stop_) {
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            if (deadline_ != 0 && Now() > deadline_) {
                std::fprintf(stdout, "FAIL: %s: no result within %lld seconds (hang)\n", name_,
                             static_cast<long long>(kCaseBudget.count()));
                std::fflush(stdout);
                std::_Exit(3);
            }
        }
    }
    std::atomic<bool> stop_{false};
    std::atomic<int64_t> deadline_{0};
    char name_[256] = {};
    std::thread thread_;
};

struct Case {
    std::string file;
    bool light = false;
    std::string expect;  // "-" or the test run's result
};

class Runner {
public:
    Runner(std::string caseDir, std::string workDir)
        : caseDir_(std::move(caseDir)), work_(std::move(workDir)), temp_(Join(work_, "temp")) {}

    bool Prepare() {
        tovra::test::RemoveTree(work_);
        if (!platform::MakeDirectory(work_) || !platform::MakeDirectory(temp_)) return false;
        runnerDirectory_ = platform::GetCurrentDir();
        caseDirEntries_ = Entries(caseDir_);
        // The roots where an escaping name would land: the work folder's drive
        // and, on Windows, drive C (a drive-relative name goes there).
        roots_.push_back(work_.substr(0, work_.find(kSeparator)));
#ifdef _WIN32
        if (roots_[0] != "C:" && roots_[0] != "c:") roots_.push_back("C:");
#endif
        for (const std::string& root : roots_) rootEntries_.push_back(Entries(root));
        return !caseDirEntries_.empty();
    }

    // The problems of one case; empty when it ended cleanly.
    std::vector<std::string> Run(const Case& c) {
        problems_.clear();
        const std::string archive = Join(caseDir_, c.file);
        const std::string folder = Join(work_, "case");
        platform::MakeDirectory(folder);
        for (const std::string& sub : kCaseFolders) platform::MakeDirectory(Join(folder, sub));
        {
#ifndef _WIN32
            apitest::LibraryUiHost answers;  // No / Cancel to every question, silently
#endif
            Runs(c, archive, folder);
        }
        Contained(folder);
        tovra::test::RemoveTree(folder);
        return problems_;
    }

private:
    void Expect(bool ok, const std::string& what) {
        if (!ok) problems_.push_back(what);
    }
    void Result(const std::string& run, int result) {
        Expect(kResultCodes.count(result) != 0, run + " gave " + std::to_string(result));
    }
    int Unzip(const std::string& run, const std::string& commandLine, const std::string& cwd = "") {
        if (!cwd.empty()) platform::SetCurrentDir(cwd);
        static char buffer[16384];
        const int result = ::Unzip(nullptr, commandLine.c_str(), buffer, sizeof buffer);
        if (!cwd.empty()) platform::SetCurrentDir(runnerDirectory_);
        Result(run, result);
        return result;
    }

    void Runs(const Case& c, const std::string& archive, const std::string& folder) {
        const std::string quoted = Quoted(archive);
        const int tested = Unzip("-t", "-t " + quoted);
        Expect(c.expect == "-" || std::to_string(tested) == c.expect,
               "-t gave " + std::to_string(tested) + ", expected " + c.expect);
        Unzip("-l", "-l " + quoted);
        Unzip("-v", "-v " + quoted);
        const std::string first = Enumerate(archive);
        Expect(UnzipCheckArchive(archive.c_str(), 0) >= 0 && UnzipCheckArchive(archive.c_str(), 2) >= 0, "check");
        ToMemory(archive, first.empty() ? "a.txt" : first);
        const std::string absolute = Join(folder, "abs") + kSeparator;
        if (c.light) {
            Unzip("one member", "-o " + quoted + " " + Quoted(absolute) + " " + Quoted(first));
            return;
        }
        Unzip("absolute", "-o " + quoted + " " + Quoted(absolute));
        Unzip("absolute -j", "-o -j " + quoted + " " + Quoted(Join(folder, "absj") + kSeparator));
        Unzip("relative", "-o " + quoted + " " + Quoted(std::string("out") + kSeparator), Join(folder, "rel"));
        Unzip("no directory", "-o " + quoted, Join(folder, "none"));
        Unzip("empty directory", "-o " + quoted + " \"\"", Join(folder, "emptyq"));
        const std::string all = Join(folder, "all") + kSeparator;
        Result("UnzipExtractAll", UnzipExtractAll(nullptr, archive.c_str(), all.c_str(), 2 | 16));
    }

    // Enumerates every record; returns the first member's name.
    std::string Enumerate(const std::string& archive) {
        TovraArchive handle = UnzipOpenArchive(nullptr, archive.c_str(), 0);
        if (handle == nullptr) return "";
        std::string first;
        EntryInfoRecord record;
        int count = 0;
        for (int found = UnzipFindFirst(handle, "*", &record); found == 0 && count < kMostRecords;
             found = UnzipFindNext(handle, &record), ++count) {
            if (count == 0) first.assign(record.name, strnlen(record.name, sizeof record.name));
        }
        Expect(count < kMostRecords, "enumeration never ended");
        Expect(UnzipFindNext(handle, &record) == -1, "enumeration went on after its end");
        UnzipCloseArchive(handle);
        return first;
    }

    void ToMemory(const std::string& archive, const std::string& member) {
        TovraMemory block = nullptr;
        uint32_t size = 0;
        const int result = UnzipExtractToMem(nullptr, archive.c_str(), member.c_str(), &block, &size);
        Result("UnzipExtractToMem", result);
        if (block != nullptr) {
            Expect(result == 0 && apitest::BlockSize(block) >= size,
                   "memory block with result " + std::to_string(result));
            apitest::FreeBlock(block);
        } else {
            Expect(size == 1, "no memory block but size " + std::to_string(size));
        }
    }

    void Contained(const std::string& folder) {
        Expect(platform::GetCurrentDir() == runnerDirectory_, "current directory changed");
        const std::set<std::string> inWork = Entries(work_);
        Expect(inWork == std::set<std::string>{"case", "temp"}, "work folder holds " + Describe(inWork));
        const std::set<std::string> inTemp = Entries(temp_);
        Expect(inTemp.empty(), "temporary files left: " + Describe(inTemp));
        const std::set<std::string> inCase = Entries(folder);
        Expect(inCase == kCaseFolders, "case folder holds " + Describe(inCase));
        const std::set<std::string> inRel = Entries(Join(folder, "rel"));
        Expect(inRel.empty() || inRel == std::set<std::string>{"out"},
               "relative run's folder holds " + Describe(inRel));
        Expect(Entries(caseDir_) == caseDirEntries_, "the archives' folder changed");
        for (size_t i = 0; i < roots_.size(); ++i) {
            const std::set<std::string> inRoot = Entries(roots_[i]);
            Expect(inRoot == rootEntries_[i], "the root " + roots_[i] + kSeparator + " holds " + Describe(inRoot));
        }
    }

    std::string caseDir_, work_, temp_, runnerDirectory_;
    std::vector<std::string> roots_;  // without their separator ("" for "/", "C:")
    std::set<std::string> caseDirEntries_;
    std::vector<std::set<std::string>> rootEntries_;
    std::vector<std::string> problems_;
};

std::vector<Case> ReadCases(const std::string& caseDir) {
    std::vector<Case> cases;
    std::ifstream list(Join(caseDir, "cases.txt"));
    std::string line;
    while (std::getline(list, line)) {
        std::istringstream fields(line);
        Case c;
        std::string weight;
        if (std::getline(fields, c.file, '\t') && std::getline(fields, weight, '\t') &&
            std::getline(fields, c.expect)) {
            c.light = weight == "light";
            cases.push_back(c);
        }
    }
    return cases;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s CASE_DIR WORK_DIR [NAME_PART]\n", argv[0]);
        return 2;
    }
    const std::string caseDir = HostPath(argv[1]);
    const std::string workDir = HostPath(argv[2]);
    const std::string only = argc > 3 ? argv[3] : "";
    const std::vector<Case> cases = ReadCases(caseDir);
    if (cases.empty()) {
        std::printf("FAIL: no cases in %s (run scripts/make-hostile-archives.py)\n0 cases, 1 failed\n",
                    caseDir.c_str());
        return 1;
    }
    Runner runner(caseDir, workDir);
    if (!runner.Prepare()) {
        std::printf("FAIL: cannot prepare %s\n0 cases, 1 failed\n", workDir.c_str());
        return 1;
    }
    // The library's temporary files go to the work folder, where leftovers can be counted.
    apitest::ScopedTempDirectory temp(Join(workDir, "temp"));
    Watchdog watchdog;
    int run = 0, failed = 0;
    for (const Case& c : cases) {
        if (!only.empty() && c.file.find(only) == std::string::npos) continue;
        watchdog.Start(c.file);
        const std::vector<std::string> problems = runner.Run(c);
        if (++run % kProgressEvery == 0) {
            std::printf("... %d cases done\n", run);
            std::fflush(stdout);
        }
        if (!problems.empty()) {
            ++failed;
            std::string text;
            for (const std::string& p : problems) text += (text.empty() ? "" : "; ") + p;
            std::printf("FAIL: %s: %s\n", c.file.c_str(), text.c_str());
            std::fflush(stdout);
        }
    }
    watchdog.Start("(cleaning up)");
    tovra::test::RemoveTree(workDir);
    std::printf("%d cases, %d failed\n", run, failed);
    return failed == 0 ? 0 : 1;
}
