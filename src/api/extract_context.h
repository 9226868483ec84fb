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
#include <string>

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

    // ---- the enumeration handle (UnzipOpenArchive .. UnzipCloseArchive)

    // Lists the archive at `archivePath` once into a new temporary record file
    // (one EntryInfoRecord per member) and leaves that file open for reading.
    // Returns the listing run's result; on any nonzero result the caller must
    // call CloseEnumeration, which removes the file.
    int OpenForEnumeration(const char* archivePath);
    // Reads the next whole record into `record` (kEntryRecordSize bytes),
    // from the first one when `rewind` is set. 0, or -1 at the end or on a read
    // error; `record` is only written when a whole record was read.
    int ReadRecord(void* record, bool rewind);
    // Closes and deletes the record file (nothing when none was created).
    void CloseEnumeration();

    // ---- the special runs of UnzipCheckArchive and UnzipExtractToMem

    // A listing pass without text over `archivePath` (mode 2: the end record is
    // searched through the whole file). Returns the run's result code.
    int CheckArchiveRun(const char* archivePath, int32_t mode);
    // Extracts the members named `memberName` into a movable memory block.
    // On result 0 (and no cancel) *block receives the block (unlocked, now the
    // caller's) and *size its data size; otherwise *block = null and
    // *size = 1, and no block is left behind. Either pointer may be null.
    int ExtractToMemoryRun(platform::WindowHandle window, const char* archivePath, const char* memberName,
                           platform::MemoryHandle* block, uint32_t* size);

private:
    // The record file's name while an enumeration handle exists ("" otherwise).
    std::string recordPath_;

    // Option evaluation of ParseCommandLine: one option token (without its
    // leading '-') against the pending-negation counter shared by the line.
    void ApplyOptionToken(const std::string& letters, int64_t* pendingNegation);
    // Appends the positional arguments of one response file.
    void ReadResponseFile(const std::string& path);
};

}  // namespace tovra::api
