// fault_sweep_test.cpp - every whole run of the library with each platform
// operation failing in turn.
//
// For each scenario a clean run first counts the calls of each kind (read,
// write, seek, create, delete, move, allocation); then, for every kind and
// every N up to that count, a fresh trial fails the Nth call and checks what
// the run left: no crash, a result code that says so, the old archive
// unchanged or the new one complete in place, no file of the caller lost, no
// temporary file left, no output file left short without the run saying so,
// and every block the run allocated given back.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "platform/fault/fault_injection.h"
#include "platform/platform.h"
#include "support/file_helpers.h"
#include "sweep_support.h"
#include "tovra.h"

namespace tovra::faulttest {
namespace {

namespace fault = platform::fault;

// Small inputs: text that deflates, and bytes that do not.
const Files& Inputs() {
    static const Files inputs = {
        {"a.txt", std::string(600, 'a') + "alpha\n"},
        {"b.c", test::PatternBytes(3000, 7)},
        {"sub/c.txt", "the third file\n"},
    };
    return inputs;
}

Files Only(std::initializer_list<const char*> names, const Files& from = Inputs()) {
    Files files;
    for (const char* name : names) files[name] = from.at(name);
    return files;
}

// What one run returned and left behind.
struct Outcome {
    int result = 0;
    size_t messages = 0;
    std::optional<std::string> oldArchive;  // the archive before the run
    bool fired = false;                     // the armed call was reached and failed
};

struct Scenario {
    const char* name;
    // A Zip command making the archive before the run ("" none).
    const char* setup;
    // Changes made to the inputs after the set-up (may be empty).
    std::function<void(Trial&)> prepare;
    // The run under test; its result code.
    std::function<int(Trial&)> run;
    // Checks the trial after the run.
    std::function<void(Trial&, const Outcome&)> check;
};

// ---------------------------------------------------------------- archiving checks

// An archiving run either did all of its work or none of it: with result 0
// the archive is the new one and `workAfter` is what work/ holds besides it;
// otherwise the archive is byte for byte the old one (or still missing), or
// the new one complete (a failure after it took its place), and no input file
// is gone unless the complete new archive holds it.
void CheckArchiving(Trial& trial, const Outcome& outcome, const Files& members, const Files& workAfter) {
    const std::optional<std::string> now = test::ReadWholeFile(trial.Archive());
    const std::string problem = ArchiveProblem(trial.Archive(), members, trial.Root() + "/verify");
    Files work = FilesUnder(trial.Work());
    work.erase("t.zip");
    if (outcome.result == 0) {
        const bool warned = outcome.messages > 0;
        EXPECT_EQ(warned ? ArchiveProblem(trial.Archive(), members, trial.Root() + "/verify2", true) : problem, "")
            << "result 0 but the archive is not the new one";
        EXPECT_EQ(work, workAfter) << "result 0 but the inputs are not as the run leaves them";
        return;
    }
    const bool unchanged = now == outcome.oldArchive;
    EXPECT_TRUE(unchanged || problem.empty()) << "archive neither old nor complete: " << problem;
    for (const auto& [name, content] : Inputs()) {
        if (work.count(name) == 0 && !(problem.empty() && members.count(name) != 0)) {
            ADD_FAILURE() << name << " is gone and the archive does not hold it";
        }
    }
    for (const auto& [name, content] : work) {
        if (Inputs().count(name) == 0 && workAfter.count(name) == 0) ADD_FAILURE() << "stray file " << name;
    }
}

std::function<void(Trial&, const Outcome&)> Archiving(Files members, Files workAfter) {
    return [members, workAfter](Trial& trial, const Outcome& outcome) {
        CheckArchiving(trial, outcome, members, workAfter);
    };
}

std::function<int(Trial&)> ZipRun(const char* command) {
    return [command](Trial& trial) { return trial.RunZip(command); };
}

// ---------------------------------------------------------------- reading checks

// Extraction: with result 0 and no message every member is out complete;
// otherwise whatever is out is either complete or the run said it failed.
void CheckExtraction(Trial& trial, const Outcome& outcome) {
    const Files out = FilesUnder(trial.Out());
    if (outcome.result == 0 && outcome.messages == 0) {
        EXPECT_EQ(out, Inputs()) << "a silent success left the output incomplete";
        return;
    }
    for (const auto& [name, content] : out) {
        if (Inputs().count(name) == 0) ADD_FAILURE() << "stray output " << name;
    }
}

const char* const kMemoryMember = "b.c";

// Extraction to memory: a block of the member's bytes exactly when the result
// is 0 (*right tells whether they are right), and the block freed again.
int ExtractToMemory(Trial& trial, bool* right) {
    const std::string archive = trial.Archive();
    const std::string& expected = Inputs().at(kMemoryMember);
    TovraMemory block = nullptr;
    uint32_t size = 0;
    trial.Start();
    const int result = UnzipExtractToMem(nullptr, archive.c_str(), kMemoryMember, &block, &size);
    *right = false;
    if (block != nullptr) {
        fault::Pause pause;
        // The platform layer's calls: the block's own on both builds (the
        // library is linked in, and TovraGlobalLock exists natively only).
        const void* bytes = platform::GlobalLock(block);
        *right = bytes != nullptr && size == expected.size() && std::memcmp(bytes, expected.data(), size) == 0;
        platform::GlobalUnlock(block);
        platform::GlobalFree(block);
    }
    trial.Stop();
    if (result != 0 && (block != nullptr || size != 1)) ADD_FAILURE() << "failure with a block or a size";
    return result;
}

// Enumeration: the records delivered are the archive's first members in
// order, and none but the right ones.
int Enumerate(Trial& trial, std::vector<std::string>* names) {
    const std::string archive = trial.Archive();
    names->reserve(Inputs().size() + 1);
    EntryInfoRecord record;
    std::memset(&record, 0, sizeof record);
    trial.Start();
    TovraArchive handle = UnzipOpenArchive(nullptr, archive.c_str(), 0);
    if (handle != nullptr) {
        for (int r = UnzipFindFirst(handle, "*", &record); r == 0; r = UnzipFindNext(handle, &record)) {
            fault::Pause pause;
            names->push_back(record.name);
        }
        UnzipCloseArchive(handle);
    }
    trial.Stop();
    return names->size() == Inputs().size() ? 0 : -1;
}

// ---------------------------------------------------------------- the scenarios

const char* const kAll = "t.zip a.txt b.c sub/c.txt";

const Files& UpdatedInputs() {
    static const Files files = [] {
        Files changed = Inputs();
        changed["a.txt"] = "a.txt, rewritten after the archive was made\n";
        return changed;
    }();
    return files;
}

std::vector<Scenario> Scenarios() {
    std::vector<Scenario> scenarios;
    scenarios.push_back({"create", "", nullptr, ZipRun(kAll), Archiving(Inputs(), Inputs())});
    scenarios.push_back(
        {"update", "t.zip a.txt b.c",
         [](Trial& trial) { test::WriteWholeFile(trial.Work() + "/a.txt", UpdatedInputs().at("a.txt")); },
         ZipRun("t.zip a.txt sub/c.txt"),
         [](Trial& trial, const Outcome& outcome) {
             CheckArchiving(trial, outcome, UpdatedInputs(), UpdatedInputs());
         }});
    scenarios.push_back(
        {"delete", kAll, nullptr, ZipRun("-d t.zip b.c"), Archiving(Only({"a.txt", "sub/c.txt"}), Inputs())});
    scenarios.push_back(
        {"append", "t.zip a.txt", nullptr, ZipRun("-g t.zip b.c sub/c.txt"), Archiving(Inputs(), Inputs())});
    scenarios.push_back(
        {"move", "t.zip a.txt", nullptr, ZipRun("-m t.zip b.c sub/c.txt"), Archiving(Inputs(), Only({"a.txt"}))});
    scenarios.push_back(
        {"extract", kAll, nullptr,
         [](Trial& trial) { return trial.RunUnzip("-o -j \"" + trial.Archive() + "\" \"" + trial.Out() + "/\""); },
         CheckExtraction});
    auto right = std::make_shared<bool>(false);
    scenarios.push_back({"memory", kAll, nullptr, [right](Trial& trial) { return ExtractToMemory(trial, right.get()); },
                         [right](Trial&, const Outcome& outcome) {
                             if (outcome.result == 0) {
                                 EXPECT_TRUE(*right) << "result 0 with the wrong bytes";
                             }
                         }});
    auto names = std::make_shared<std::vector<std::string>>();
    scenarios.push_back({"enumerate", kAll, nullptr,
                         [names](Trial& trial) {
                             names->clear();
                             return Enumerate(trial, names.get());
                         },
                         [names](Trial&, const Outcome&) {
                             const std::vector<std::string> all = {"a.txt", "b.c", "sub/c.txt"};
                             ASSERT_LE(names->size(), all.size());
                             EXPECT_TRUE(std::equal(names->begin(), names->end(), all.begin())) << "wrong records";
                         }});
    return scenarios;
}

// ---------------------------------------------------------------- the sweep

int FailureCount() { return ::testing::UnitTest::GetInstance()->current_test_info()->result()->total_part_count(); }

void PrintTo(const Scenario& scenario, std::ostream* out) { *out << scenario.name; }

// Runs the scenario once with the Nth call of `kind` failing (n = 0: none);
// returns the calls of each kind that the run made. The first run of a
// scenario may leave the process-wide values a first call makes (`warmUp`).
std::vector<uint64_t> RunTrial(const Scenario& scenario, fault::Kind kind, uint64_t n, bool warmUp = false) {
    const int failuresBefore = FailureCount();
    SCOPED_TRACE(std::string(scenario.name) + ": " + fault::KindName(kind) + " #" + std::to_string(n));
    Trial trial(Inputs());
    if (*scenario.setup != '\0') {
        EXPECT_EQ(trial.RunZip(scenario.setup), 0) << "set-up";
    }
    if (scenario.prepare) scenario.prepare(trial);
    Outcome outcome;
    outcome.oldArchive = test::ReadWholeFile(trial.Archive());
    const size_t messagesBefore = trial.host.messages;
    trial.Aim(kind, n);
    outcome.result = scenario.run(trial);
    outcome.messages = trial.host.messages - messagesBefore;
    outcome.fired = fault::Fired();
    std::vector<uint64_t> calls;
    for (int k = 0; k < fault::kKindCount; ++k) calls.push_back(fault::Calls(static_cast<fault::Kind>(k)));

    if (!warmUp) {
        EXPECT_EQ(trial.BlocksGained(), 0) << "blocks lost (result " << outcome.result << ")";
    }
    // A failed delete may be the one of a temporary file: that file, and only
    // it, may stay (nothing else could remove it).
    EXPECT_LE(EntryCount(trial.Temp()), kind == fault::Kind::kDelete && outcome.fired ? 1u : 0u)
        << "a temporary file was left";
    if (n == 0) {
        EXPECT_EQ(outcome.result, 0) << "the clean run fails";
    } else {
        // Runs are repeatable, so the calls before the Nth are the clean run's.
        EXPECT_TRUE(outcome.fired) << "the armed call never came";
    }
    scenario.check(trial, outcome);
    if (outcome.fired && outcome.result == 0) {
        std::printf("%s: %s #%llu failed, result 0 (%zu messages: %s)\n", scenario.name, fault::KindName(kind),
                    static_cast<unsigned long long>(n), outcome.messages, trial.host.lastMessage);
    }
    if (FailureCount() != failuresBefore) {
        std::printf("  %s #%llu: result %d, last message: %s\n", fault::KindName(kind),
                    static_cast<unsigned long long>(n), outcome.result, trial.host.lastMessage);
        std::fflush(stdout);
    }
    return calls;
}

class FaultSweep : public ::testing::TestWithParam<Scenario> {};

TEST_P(FaultSweep, EveryFailingCallEndsCleanly) {
    const Scenario& scenario = GetParam();
    RunTrial(scenario, fault::Kind::kRead, 0, true);
    const std::vector<uint64_t> counts = RunTrial(scenario, fault::Kind::kRead, 0);
    ASSERT_GT(counts[static_cast<int>(fault::Kind::kAllocation)], 0u) << "nothing counted: the sweep is blind";
    std::printf("%s: clean run calls", scenario.name);
    for (int k = 0; k < fault::kKindCount; ++k) {
        std::printf(" %s %llu", fault::KindName(static_cast<fault::Kind>(k)),
                    static_cast<unsigned long long>(counts[k]));
    }
    std::printf("\n");
    std::fflush(stdout);
    for (int k = 0; k < fault::kKindCount; ++k) {
        const auto kind = static_cast<fault::Kind>(k);
        // Three broken cases of one kind tell enough; the next kind may break differently.
        int broken = 0;
        for (uint64_t n = 1; n <= counts[k] && broken < 3; ++n) {
            const int failuresBefore = FailureCount();
            RunTrial(scenario, kind, n);
            if (FailureCount() != failuresBefore) ++broken;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Runs, FaultSweep, ::testing::ValuesIn(Scenarios()),
                         [](const ::testing::TestParamInfo<Scenario>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tovra::faulttest
