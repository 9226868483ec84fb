// run_driver.cpp - RunCommandLine, the driver of one command-line extraction
// run (the work behind Unzip).
//
// Order of a run: reset the options, remember the caller's current directory,
// parse the command line, create the output directory and make it current,
// allocate the run's buffers, show the progress dialog when a window was given
// and the run writes or tests, connect the host's text buffer, run the
// archive, then undo all of it. The tear-down runs on every path that leaves,
// an exception included, so the caller's current directory is restored
// whatever happened.
//
// A relative archive path or output directory is taken relative to the
// caller's current directory: both are made absolute before the run enters the
// output directory. (Resolved after the change of directory, a relative
// archive path would be looked for inside the output directory, and relative
// output paths, which carry the output directory as their prefix, would land
// in a copy of it nested inside itself.) Without an output directory, or with
// an empty one, the run writes into the caller's current directory, which
// becomes the output directory with a trailing separator: every output path
// is then absolute, and no mapped name is ever read relative to anything else
// (such as the current directory of another drive). An output directory
// given without a trailing separator stays a plain prefix ("out" and
// "readme.txt" give "outreadme.txt"); only its relative part is resolved.
#include <string>

#include "api/extract_context.h"
#include "extract/process_state.h"
#include "platform/ui_host.h"

namespace tovra::api {
namespace {

// Undoes what a run changed in the process and in the context. Built right
// after the caller's current directory has been read.
class RunTearDown {
public:
    RunTearDown(ExtractContext* context, std::string savedDirectory)
        : context_(context), savedDirectory_(std::move(savedDirectory)) {}
    RunTearDown(const RunTearDown&) = delete;
    RunTearDown& operator=(const RunTearDown&) = delete;

    ~RunTearDown() {
        if (context_->progressShown != 0) {
            platform::CurrentUiHost().EndRun();
            context_->progressShown = 0;
        }
        context_->outputDirectory.clear();
        context_->ArgumentList.clear();
        context_->ReleaseRunBuffers();
        context_->archiveName.clear();
        // The sink points into the host's buffer; nothing may reach it after the run.
        context_->sinkPointer = nullptr;
        context_->sinkCapacity = 0;
        if (!savedDirectory_.empty()) {
            platform::SetCurrentDir(savedDirectory_);
        }
    }

private:
    ExtractContext* context_;
    std::string savedDirectory_;
};

}  // namespace

int ExtractContext::RunCommandLine(platform::WindowHandle window, const char* commandLine, char* buffer,
                                   int32_t bufferSize) {
    ResetRunState();
    const std::string callerDirectory = platform::GetCurrentDir();
    RunTearDown tearDown(this, callerDirectory);
    ParseCommandLine(commandLine);

    // Without an archive path there is nothing to run; the result is the one
    // for an archive that cannot be found.
    if (ArgumentList.empty()) {
        return 9;
    }
    // Both are resolved while the caller's directory is still current.
    if (!ArgumentList[0].empty()) {
        ArgumentList[0] = platform::AbsolutePath(ArgumentList[0]);
    }
    outputDirectory = platform::AbsolutePath(ArgumentList.size() >= 2 ? ArgumentList[1] : std::string());
    if (ArgumentList.size() >= 2) {
        ArgumentList[1] = outputDirectory;
        if (extract::CreatePathDirectories(outputDirectory, window) == 0) {
            return -1;
        }
        // When the last component had no trailing separator and so was not
        // created, this fails quietly and the run stays in the caller's
        // directory; output paths carry the output directory as their prefix
        // anyway.
        platform::SetCurrentDir(outputDirectory);
    }
    archiveName = ArgumentList[0];

    if (!AllocateRunBuffers()) {
        return 5;
    }

    // The window owns the engine's questions and messages; extraction and
    // test runs show their progress in it (or, without one, on a host that
    // draws progress itself), a plain listing never does.
    parentWindow = window;
    if (platform::RunShowsProgress(window) && (options.listLevel == 0 || options.test != 0)) {
        platform::CurrentUiHost().BeginRun(window, platform::ProgressMode::kExtraction);
        progressShown = 1;
    }

    // The host's buffer is neither cleared nor terminated here: a run that
    // produces no text leaves it exactly as it was. A negative size would be
    // a capacity of more than 2 GiB taken as unsigned; it means no buffer.
    sinkUsed = 0;
    sinkPointer = buffer;
    sinkCapacity = (buffer != nullptr && bufferSize > 0) ? static_cast<uint32_t>(bufferSize) : 0;

    const int result = ProcessArchive();

    parentWindow = nullptr;
    extract::ProcessState().ActiveProgressDialog = nullptr;
    return result;
}

}  // namespace tovra::api
