// exports.cpp - the fourteen exported functions of the library.
//
// Every export that does real work follows one frame: create its context on
// the heap, run the context's worker, destroy the context, map the result.
// Nothing is ever thrown across the interface: a context that cannot be
// created gives the export's "did not start" value, and an exception that
// escapes a run (only an allocation failure can) becomes a result code of the
// run (5, out of memory; 2 for anything else) after the run's own tear-down
// has restored the process.
//
// On Windows the names are exported through TOVRA64.def (which also makes
// UnzipGetRunning and UnzipSetCursorMode aliases); natively they are the only
// default-visibility symbols of the shared library, and the two aliases are
// alias symbols of the same functions.
#include <memory>
#include <new>

#include "api/archive_context.h"
#include "api/extract_context.h"
#include "tovra.h"

namespace {

using tovra::api::ArchiveContext;
using tovra::api::ExtractContext;

// The result of an export whose run could not start.
constexpr int kNotStarted = -1;
// Run results for an exception that escaped a run.
constexpr int kRunOutOfMemory = 5;
constexpr int kRunFailed = 2;
constexpr int kVersion = 131;

// Creates a context; null when memory is short.
template <class Context>
std::unique_ptr<Context> NewContext() {
    try {
        return std::make_unique<Context>();
    } catch (...) {
        return nullptr;
    }
}

// Runs one worker; an escaping exception becomes a run result.
template <class Work>
int GuardRun(Work&& work) {
    try {
        return work();
    } catch (const std::bad_alloc&) {
        return kRunOutOfMemory;
    } catch (...) {
        return kRunFailed;
    }
}

tovra::platform::WindowHandle Owner(TovraWindow window) { return static_cast<tovra::platform::WindowHandle>(window); }

}  // namespace

extern "C" {

TOVRA_EXPORT int TOVRA_CALL Unzip(TovraWindow window, const char* commandLine, char* outBuffer, int outSize) {
    std::unique_ptr<ExtractContext> context = NewContext<ExtractContext>();
    if (context == nullptr) {
        return kNotStarted;
    }
    return GuardRun([&] { return context->RunCommandLine(Owner(window), commandLine, outBuffer, outSize); });
}

TOVRA_EXPORT int TOVRA_CALL UnzipCheckArchive(const char* archivePath, int mode) {
    (void)archivePath, (void)mode;
    // The archive check is not built yet: every file counts as unusable.
    return 0;
}

TOVRA_EXPORT int TOVRA_CALL UnzipCloseArchive(TovraArchive handle) {
    // UnzipOpenArchive hands out no handle yet, so there is nothing to close.
    (void)handle;
    return 0;
}

TOVRA_EXPORT int TOVRA_CALL UnzipExtractAll(TovraWindow window, const char* archivePath, const char* outputDir,
                                            uint32_t flags) {
    (void)window, (void)archivePath, (void)outputDir, (void)flags;
    // Extract-all is not built yet: the run does not start.
    return kNotStarted;
}

TOVRA_EXPORT int TOVRA_CALL UnzipExtractToMem(TovraWindow window, const char* archivePath, const char* memberName,
                                              TovraMemory* block, uint32_t* size) {
    (void)window, (void)archivePath, (void)memberName;
    // Extraction to memory is not built yet: the documented failure values.
    if (block != nullptr) {
        *block = nullptr;
    }
    if (size != nullptr) {
        *size = 1;
    }
    return kNotStarted;
}

TOVRA_EXPORT int TOVRA_CALL UnzipFindFirst(TovraArchive handle, const char* wildcard, EntryInfoRecord* record) {
    (void)handle, (void)wildcard, (void)record;
    return -1;  // no enumeration handle exists yet
}

TOVRA_EXPORT int TOVRA_CALL UnzipFindNext(TovraArchive handle, EntryInfoRecord* record) {
    (void)handle, (void)record;
    return -1;  // no enumeration handle exists yet
}

TOVRA_EXPORT int TOVRA_CALL UnzipGetBackGroundMode(void) { return 0; }

TOVRA_EXPORT int TOVRA_CALL UnzipGetVersion(void) { return kVersion; }

TOVRA_EXPORT TovraArchive TOVRA_CALL UnzipOpenArchive(TovraWindow window, const char* archivePath, int mode) {
    (void)window, (void)archivePath, (void)mode;
    // The enumeration interface is not built yet: no archive can be listed.
    return nullptr;
}

TOVRA_EXPORT int TOVRA_CALL UnzipSetBackGroundMode(int mode) {
    (void)mode;
    return 1;
}

TOVRA_EXPORT int TOVRA_CALL Zip(TovraWindow window, const char* commandLine, char* outBuffer, int outSize) {
    (void)outBuffer, (void)outSize;  // the archiving side never writes to the host's buffer
    std::unique_ptr<ArchiveContext> context = NewContext<ArchiveContext>();
    if (context == nullptr) {
        return kNotStarted;
    }
    (void)window, (void)commandLine;
    // The archiving run is not built yet; once the context exists the call
    // has reached the run, and Zip's result is 0 whatever the run does.
    return 0;
}

#ifndef _WIN32
// The same functions under their second names (TOVRA64.def does this on Windows).
TOVRA_EXPORT int UnzipGetRunning(void) __attribute__((alias("UnzipGetBackGroundMode")));
TOVRA_EXPORT int UnzipSetCursorMode(int mode) __attribute__((alias("UnzipSetBackGroundMode")));
#endif

}  // extern "C"
