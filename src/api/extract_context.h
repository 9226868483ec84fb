// extract_context.h - the per-call object of every extraction-side export.
//
// ExtractContext is the extraction engine's context (Cunzip: the archive file
// object with every option, buffer and engine field) plus the interface-level
// operations that prepare a run: ResetRunState, ParseCommandLine and the run
// driver RunCommandLine. One is built on the heap by each export and destroyed
// before the export returns; the enumeration handle is the one that outlives
// its call.
#pragma once

#include <cstdint>

#include "extract/Cunzip.h"
#include "platform/platform.h"

namespace tovra::api {

class ExtractContext : public extract::Cunzip {
public:
    // Restores every per-run value to its default before a run: all option
    // fields 0, process-all 1, full search, enumeration mode, memory mode and
    // the cancel copy 0, the output sink disconnected, and no active progress
    // dialog. The process-wide overwrite values are left alone on purpose.
    void ResetRunState();

    // Splits `commandLine` (null counts as empty) into ArgumentList and the
    // option fields, reading response files ("@path") as it goes. Option
    // tokens apply wherever they stand on the line. Never fails: unknown
    // letters are ignored, and an unreadable response file contributes
    // nothing. Always returns 0.
    int ParseCommandLine(const char* commandLine);

    // One whole command-line run (the work of Unzip): reset, parse, prepare
    // and enter the output directory, run the archive, tear everything down.
    // `buffer`/`bufferSize` are the host's text buffer (null or a size <= 0:
    // no text is copied). Returns the result code of the archive run, 9 when
    // the command line names no archive, 5 when the run's buffers cannot be
    // allocated, and -1 when the output directory cannot be prepared (the
    // user has been told). The process's current directory is the caller's
    // again on every return.
    int RunCommandLine(platform::WindowHandle window, const char* commandLine, char* buffer, int32_t bufferSize);

private:
    // Option evaluation of ParseCommandLine: one option token (without its
    // leading '-') against the pending-negation counter shared by the line.
    void ApplyOptionToken(const std::string& letters, int64_t* pendingNegation);
    // Appends the positional arguments of one response file.
    void ReadResponseFile(const std::string& path);
};

}  // namespace tovra::api
