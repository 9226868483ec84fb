// sweep_support.h - one trial of the fault sweep: a fresh directory with the
// scenario's input files, the temporary directory pointed into it, a UI host
// that answers like the library's default one and records the messages, and
// the checks every scenario shares (what a directory tree holds, whether an
// archive is the complete one a run should have made).
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/fault/fault_injection.h"
#include "platform/ui_host.h"
#include "support/scratch_dir.h"
#include "support/temp_directory.h"

namespace tovra::faulttest {

// Relative name ('/' separators) -> content, of the files of a tree.
using Files = std::map<std::string, std::string>;

// Answers No / Cancel / OK like the library's default host and counts the
// messages, keeping the start of the last one. It never allocates, so the
// blocks a run leaves alive are the library's.
class QuietHost : public platform::UiHost {
public:
    QuietHost();
    ~QuietHost() override;
    QuietHost(const QuietHost&) = delete;
    QuietHost& operator=(const QuietHost&) = delete;

    int Message(platform::WindowHandle owner, const std::string& textUtf8, const std::string& captionUtf8,
                platform::MessageIcon icon, platform::MessageButtons buttons) override;
    platform::OverwriteAnswer AskOverwrite(platform::WindowHandle owner,
                                           const platform::OverwriteQuestion& question) override;
    bool AskPassword(platform::WindowHandle owner, const std::string& memberName, std::string* password) override;

    size_t messages = 0;
    char lastMessage[160] = {};  // UTF-8, cut

private:
    platform::UiHost* previous_ = nullptr;
};

// A scratch directory holding work/ (the inputs, the current directory while
// a Zip command runs), tmp/ (the temporary directory for the trial) and out/ (for extraction).
class Trial {
public:
    // Writes `inputs` under work/.
    explicit Trial(const Files& inputs);
    ~Trial();
    Trial(const Trial&) = delete;
    Trial& operator=(const Trial&) = delete;

    // What fails while the trial is started: the nth call of `kind` (0 none).
    void Aim(platform::fault::Kind kind, uint64_t n) { kind_ = kind, n_ = n; }
    // Starts and stops counting and failing around the library's calls, and
    // counts the heap blocks alive at both ends. Nothing of the test itself
    // may allocate in between, or must do it under a fault::Pause.
    void Start();
    void Stop();
    int64_t BlocksGained() const { return blocksAfter_ - blocksBefore_; }

    // Runs a Zip command with work/ as the current directory, started; the result.
    int RunZip(const char* command);
    // Runs an Unzip command (absolute paths in it), started; the result.
    int RunUnzip(const std::string& command);

    std::string Work() const { return dir_ / "work"; }
    std::string Temp() const { return dir_ / "tmp"; }
    std::string Out() const { return dir_ / "out"; }
    std::string Archive() const { return dir_ / "work/t.zip"; }
    const std::string& Root() const { return dir_.Path(); }

    QuietHost host;

private:
    platform::fault::Kind kind_ = platform::fault::Kind::kRead;
    uint64_t n_ = 0;
    int64_t blocksBefore_ = 0, blocksAfter_ = 0;
    test::ScratchDir dir_;
    std::string caller_;
    std::optional<test::ScopedTempDirectory> tempDirectory_;  // tmp/, while the trial lives
};

// Every regular file under `root`, by relative name. Directories only add
// their files.
Files FilesUnder(const std::string& root);
// Number of entries directly in `directory` besides "." and "..".
size_t EntryCount(const std::string& directory);

// Empty when `archive` is complete and holds exactly `members` (our test run
// passes and extracting it anew gives back the same files); otherwise what
// differs. With `shortAllowed` a member may hold the start of its file only
// (a run that warned about a read error keeps what it read). Extracts under
// `scratch`, which must not exist yet.
std::string ArchiveProblem(const std::string& archive, const Files& members, const std::string& scratch,
                           bool shortAllowed = false);

}  // namespace tovra::faulttest
