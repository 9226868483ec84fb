// entry_writer.h - puts members into the archive an archiving run writes:
// a member from a file on disk (method choice, provisional local header,
// stored or deflated data, header rewrite or data descriptor), a member of
// the old archive copied unchanged, and a raw byte range (the preamble).
// All file data enters through the block reader, with its optional line-end
// conversion, its CRC-32 and its progress reporting.
//
// One member is written at a time (the compressor's state is process-wide).
#pragma once

#include <cstdint>
#include <string>

#include "compress/archive_input.h"
#include "compress/archive_output.h"
#include "compress/archiving_reports.h"
#include "format/zip_entry.h"
#include "platform/platform.h"

namespace tovra::compress {

// The archiving run's settings that the writer reads.
struct EntryWriterSettings {
    int forcedMethod = -1;      // -1: chosen per file; 0: store every member
    int compressionLevel = 6;   // 0..9
    std::string storeSuffixes;  // ':'-separated suffixes stored without compression ("" none)
    int lineEndConversion = 0;  // 0 none, 1 LF -> CR LF, 2+ CR LF -> LF
    bool writeExtraFields = true;
    int repairLevel = 0;         // 3+: name lengths recomputed when copying
    bool progressShown = false;  // the host shows the run's progress (activity texts, file starts)
};

// Writes the member `entry` (internalName, externalName and dosCompatible
// set) from its file into `out`, filling in every other field of `entry`.
// Returns 0; kArchiveErrorMemory (4); kArchiveErrorTooBig (6) when the file
// or its member would pass the 32-bit sizes or offsets of the records
// (checked before the header is written when the file's size tells it);
// kArchiveErrorTemp (10) when a write fails; kArchiveErrorRead (11) when the
// output cannot be positioned back after the header rewrite; the code of a run
// error raised through `reports` (5, 14, 16); kArchiveErrorNotFound (18) when the file cannot
// be opened or its time read; kArchiveFileIsDirectory (-1) when the name and
// the file system disagree about being a directory. Errors are not reported
// here: the caller turns 18 and -1 into warnings and any other code into the
// run's error "was zipping %s". When the run is cancelled while the data is
// read, 0 comes back at once and the member is incomplete (the run ends
// without writing its central header).
int WriteMemberFromFile(const EntryWriterSettings& settings, format::ZipEntry& entry, ArchiveOutput& out,
                        ArchivingReports& reports);

// Copies the member `entry` of the old archive `in` unchanged (local header,
// data and data descriptor) to `out`; entry.localHeaderOffset becomes its
// new offset. Returns 0, 2 (the old archive cannot be positioned, or it ends
// before the member does), 4, 6 (the new offset passes 32 bits), 10 (write
// failure) or 11 (read failure); the caller reports "was copying %s".
// Members copied in file order are read ahead in large blocks (archive_input.h).
int CopyExistingMember(const EntryWriterSettings& settings, format::ZipEntry& entry, ArchiveInput& in,
                       ArchiveOutput& out);

// Copies `count` bytes (kCopyToEnd: up to the end of the input) from the
// current position of `in` to `out`, updating the progress when `showProgress`.
// Returns 0, 4, 10 or 11.
inline constexpr uint64_t kCopyToEnd = 0xFFFFFFFFu;
int CopyByteRange(ArchiveInput& in, ArchiveOutput& out, uint64_t count, bool showProgress);

// True when `name` ends with one of the ':' or ';' separated `suffixes`,
// letters compared without case (a-z fold to A-Z); an empty item matches
// every name. The writer stores such files without compression.
bool HasStoredSuffix(const std::string& name, const std::string& suffixes);

}  // namespace tovra::compress
