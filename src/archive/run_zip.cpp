// run_zip.cpp - the body of one Zip call: tokenizing the command string,
// changing to the base directory, parsing, the run, and the current
// directory restored on every return.
#include <cstdlib>
#include <new>
#include <string>

#include "archive/archive_command_line.h"
#include "archive/archive_run.h"
#include "compress/archive_output.h"
#include "format/archive_errors.h"
#include "platform/platform.h"
#include "platform/ui_host.h"

namespace tovra::archive {
namespace {

// Puts the process's current directory back when the call ends, however it ends.
class CurrentDirectoryGuard {
public:
    CurrentDirectoryGuard() : saved_(platform::GetCurrentDir()) {}
    ~CurrentDirectoryGuard() {
        if (!saved_.empty()) platform::SetCurrentDir(saved_);
    }
    CurrentDirectoryGuard(const CurrentDirectoryGuard&) = delete;
    CurrentDirectoryGuard& operator=(const CurrentDirectoryGuard&) = delete;

private:
    std::string saved_;
};

// The base directory as it is made current: one trailing '\' goes unless the
// text is a drive root such as "C:\" ('/' stays).
std::string BaseDirectoryToEnter(const std::string& base) {
    if (base.size() > 3 && base.back() == '\\' && base[base.size() - 2] != ':') {
        return base.substr(0, base.size() - 1);
    }
    return base;
}

int ParseAndRun(ArchiveContext& context) {
    if (!context.baseDirectory.empty()) {
        // A base directory that cannot be entered would make every relative
        // name (and -m's deletions) apply to the caller's directory instead.
        if (!platform::SetCurrentDir(BaseDirectoryToEnter(context.baseDirectory))) {
            return context.ReportError(format::kArchiveErrorParameters, context.baseDirectory);
        }
    }
    const int parsed = ParseArchiveArguments(context);
    if (parsed == kParseStop) return context.firstErrorCode;
    if (parsed != 0) return parsed;
    return RunArchiving(context);
}

}  // namespace

// Frames the run's progress for the host while a window was given (or the
// host draws progress without one): the progress window goes on every return.
class ProgressRun {
public:
    ProgressRun(ArchiveContext& context, platform::WindowHandle window) : context_(context) {
        context_.writer.progressShown = platform::RunShowsProgress(window);
        if (context_.writer.progressShown) {
            platform::CurrentUiHost().BeginRun(window, platform::ProgressMode::kArchiving);
        }
    }
    ProgressRun(const ProgressRun&) = delete;
    ProgressRun& operator=(const ProgressRun&) = delete;
    ~ProgressRun() {
        if (context_.writer.progressShown) platform::CurrentUiHost().EndRun();
        context_.writer.progressShown = false;
    }

private:
    ArchiveContext& context_;
};

int RunZip(ArchiveContext& context, platform::WindowHandle window, const std::string& commandLine) {
    CurrentDirectoryGuard directory;
    context.ResetRunSettings();
    context.parentWindow = window;
    ProgressRun progress(context, window);
    const char* tz = std::getenv("TZ");
    if (tz == nullptr || *tz == '\0') context.writer.writeExtraFields = false;
    context.argumentList.clear();
    context.argumentList.push_back("Zip");
    int result = 0;
    try {
        TokenizeArchiveCommandLine(context, commandLine);
        result = ParseAndRun(context);
    } catch (const std::bad_alloc&) {
        result = context.ReportError(format::kArchiveErrorMemory, platform::Utf8ToAnsi("was processing arguments"));
    }
    compress::OutputSlot() = nullptr;
    if (context.firstErrorCode != 0) return context.firstErrorCode;
    if (context.cancelled) return format::kArchiveErrorInterrupted;
    return result > 0 ? result : 0;
}

}  // namespace tovra::archive
