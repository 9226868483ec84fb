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
// The library serves one call at a time (call_gate.h): every export that runs
// the engines takes the CallGate first, so a second thread's call waits, and
// a call made from inside a run on the same thread (a window message that the
// run's pump dispatches) gets the export's "did not start" value at once:
// -1 for Unzip, Zip, UnzipExtractAll and UnzipExtractToMem (with a null block
// and the size 1), 0 for UnzipCheckArchive, null for UnzipOpenArchive. The
// record reads and UnzipCloseArchive work on their own handle only, and the
// constant exports touch nothing, so they never wait.
//
// On Windows the names are exported through TOVRA64.def (which also makes
// UnzipGetRunning and UnzipSetCursorMode aliases); natively they are the only
// default-visibility symbols of the shared library, and the two aliases are
// alias symbols of the same functions.
#include <cstdint>
#include <memory>
#include <new>
#include <optional>
#include <string>

#include "api/call_gate.h"
#include "api/extract_all.h"
#include "api/extract_context.h"
#include "archive/archive_context.h"
#include "archive/archive_run.h"
#include "extract/run_results.h"
#include "tovra.h"

namespace {

using tovra::api::CallGate;
using tovra::api::ExtractContext;
using tovra::archive::ArchiveContext;

// The result of an export whose run could not start.
constexpr int kNotStarted = -1;
// Run results for an exception that escaped a run (and for a context that
// could not be made).
using tovra::extract::kRunError;
using tovra::extract::kRunOutOfMemory;
constexpr int kVersion = 131;
// Pointer values below this are string-table numbers (UnzipExtractAll).
constexpr uintptr_t kFirstPointerValue = 65536;

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
        return kRunError;
    }
}

// Runs one record read; anything escaping it is a failed read.
template <class Read>
int GuardRead(Read&& read) {
    try {
        return read();
    } catch (...) {
        return -1;
    }
}

tovra::platform::WindowHandle Owner(TovraWindow window) { return static_cast<tovra::platform::WindowHandle>(window); }

}  // namespace

extern "C" {

TOVRA_EXPORT int TOVRA_CALL Unzip(TovraWindow window, const char* commandLine, char* outBuffer, int outSize) {
    CallGate gate;
    if (!gate.Entered()) {
        return kNotStarted;
    }
    std::unique_ptr<ExtractContext> context = NewContext<ExtractContext>();
    if (context == nullptr) {
        return kNotStarted;
    }
    return GuardRun([&] { return context->RunCommandLine(Owner(window), commandLine, outBuffer, outSize); });
}

TOVRA_EXPORT int TOVRA_CALL UnzipCheckArchive(const char* archivePath, int mode) {
    CallGate gate;
    if (!gate.Entered()) {
        return 0;
    }
    std::unique_ptr<ExtractContext> context = NewContext<ExtractContext>();
    if (context == nullptr) {
        return 0;
    }
    // Every failure, a warning included, means "not usable".
    return GuardRun([&] { return context->CheckArchiveRun(archivePath, mode); }) == 0 ? 1 : 0;
}

TOVRA_EXPORT int TOVRA_CALL UnzipCloseArchive(TovraArchive handle) {
    if (handle == nullptr) {
        return 0;
    }
    auto* context = static_cast<ExtractContext*>(handle);
    try {
        context->CloseEnumeration();
    } catch (...) {
        // The handle goes away all the same.
    }
    delete context;
    return 0;
}

TOVRA_EXPORT int TOVRA_CALL UnzipExtractAll(TovraWindow window, const char* archivePath, const char* outputDir,
                                            uint32_t flags) {
    CallGate gate;
    if (!gate.Entered()) {
        return kNotStarted;
    }
    std::optional<std::string> commandLine;
    try {
        // A pointer value below 65536 is the number of a string-table entry.
        const auto value = reinterpret_cast<uintptr_t>(outputDir);
        std::string directory;
        if (value != 0 && value < kFirstPointerValue) {
            tovra::platform::LoadStringResource(static_cast<unsigned>(value), &directory);  // none: stays empty
        } else if (outputDir != nullptr) {
            directory = outputDir;
        }
        commandLine =
            tovra::api::BuildExtractAllCommandLine(archivePath != nullptr ? archivePath : "", directory, flags);
    } catch (...) {
        return kNotStarted;
    }
    if (!commandLine) {
        return kNotStarted;  // no output directory to prepare
    }
    std::unique_ptr<ExtractContext> context = NewContext<ExtractContext>();
    if (context == nullptr) {
        return kNotStarted;
    }
    return GuardRun([&] { return context->RunCommandLine(Owner(window), commandLine->c_str(), nullptr, 0); });
}

TOVRA_EXPORT int TOVRA_CALL UnzipExtractToMem(TovraWindow window, const char* archivePath, const char* memberName,
                                              TovraMemory* block, uint32_t* size) {
    if (block != nullptr) {
        *block = nullptr;
    }
    if (size != nullptr) {
        *size = 1;
    }
    CallGate gate;
    if (!gate.Entered()) {
        return kNotStarted;
    }
    std::unique_ptr<ExtractContext> context = NewContext<ExtractContext>();
    if (context == nullptr) {
        return kRunOutOfMemory;
    }
    return GuardRun([&] {
        tovra::platform::MemoryHandle handle = nullptr;
        const int result = context->ExtractToMemoryRun(Owner(window), archivePath, memberName, &handle, size);
        if (block != nullptr) {
            *block = static_cast<TovraMemory>(handle);
        } else if (handle != nullptr) {
            tovra::platform::GlobalFree(handle);  // nowhere to hand it
        }
        return result;
    });
}

TOVRA_EXPORT int TOVRA_CALL UnzipFindFirst(TovraArchive handle, const char* wildcard, EntryInfoRecord* record) {
    (void)wildcard;  // every member is delivered
    if (handle == nullptr) {
        return -1;
    }
    return GuardRead([&] { return static_cast<ExtractContext*>(handle)->ReadRecord(record, true); });
}

TOVRA_EXPORT int TOVRA_CALL UnzipFindNext(TovraArchive handle, EntryInfoRecord* record) {
    if (handle == nullptr) {
        return -1;
    }
    return GuardRead([&] { return static_cast<ExtractContext*>(handle)->ReadRecord(record, false); });
}

TOVRA_EXPORT int TOVRA_CALL UnzipGetBackGroundMode(void) { return 0; }

TOVRA_EXPORT int TOVRA_CALL UnzipGetVersion(void) { return kVersion; }

TOVRA_EXPORT TovraArchive TOVRA_CALL UnzipOpenArchive(TovraWindow window, const char* archivePath, int mode) {
    (void)window, (void)mode;  // not used
    CallGate gate;
    if (!gate.Entered()) {
        return nullptr;
    }
    std::unique_ptr<ExtractContext> context = NewContext<ExtractContext>();
    if (context == nullptr) {
        return nullptr;
    }
    if (GuardRun([&] { return context->OpenForEnumeration(archivePath); }) != 0) {
        context->CloseEnumeration();  // no record file stays behind
        return nullptr;
    }
    return context.release();
}

TOVRA_EXPORT int TOVRA_CALL UnzipSetBackGroundMode(int mode) {
    (void)mode;
    return 1;
}

TOVRA_EXPORT int TOVRA_CALL Zip(TovraWindow window, const char* commandLine, char* outBuffer, int outSize) {
    (void)outBuffer, (void)outSize;  // the archiving side never writes to the host's buffer
    CallGate gate;
    if (!gate.Entered()) {
        return kNotStarted;
    }
    std::unique_ptr<ArchiveContext> context = NewContext<ArchiveContext>();
    if (context == nullptr) {
        return kNotStarted;
    }
    // The code of the run's first error, 0 when it had none (warnings alone give 0).
    return GuardRun(
        [&] { return tovra::archive::RunZip(*context, Owner(window), commandLine != nullptr ? commandLine : ""); });
}

#ifndef _WIN32
// The same functions under their second names (TOVRA64.def does this on Windows).
TOVRA_EXPORT int UnzipGetRunning(void) __attribute__((alias("UnzipGetBackGroundMode")));
TOVRA_EXPORT int UnzipSetCursorMode(int mode) __attribute__((alias("UnzipSetBackGroundMode")));
#endif

}  // extern "C"
