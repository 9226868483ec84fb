// update_reader.h - reading an existing archive before an archiving run
// changes it.
//
// The reader walks the archive forward, local header by local header and then
// central header by central header, checks each member's local header against
// its central header, and fills an ArchiveContents. Repair levels rebuild the
// list from the local headers alone; the offset-adjusting option accepts an
// archive whose stored offsets are shifted by a preamble.
#pragma once

#include <string>

#include "compress/archive_contents.h"
#include "compress/archiving_reports.h"
#include "compress/update_input.h"

namespace tovra::compress {

struct UpdateReadOptions {
    int repairLevel = 0;            // 0 normal; 1 rebuild from local headers; 2+ also ignore stored sizes
    bool adjustOffsets = false;     // stored offsets are not checked
    int verbosity = 0;              // above 0: consistency notes
    bool dosNames = false;          // DOS-style names (repair mode)
    bool showWarnings = true;       // repair level 1 refuses an archive without central headers only when set
    char* messageBuffer = nullptr;  // 1105-byte scratch buffer for formatted notes (not owned)
    bool progressShown = false;     // the host shows the run's progress: it is told the archive name and,
                                    // in repair mode, "reading..." for each member
};

// Reads the archive at `archivePath` into `contents` (cleared first). A
// missing file is success with nothing read; a file that is there but cannot
// be opened or measured is kArchiveErrorRead. Returns 0, or
// kArchiveErrorUnexpectedEnd (2), kArchiveErrorStructure (3),
// kArchiveErrorMemory (4), kArchiveErrorRead (11) without reporting it: the
// caller reports the error with the archive path as detail. Warnings go
// through `reports`.
int ReadArchiveForUpdate(const std::string& archivePath, const UpdateReadOptions& options, ArchivingReports& reports,
                         ArchiveContents& contents);

// The same steps and results over an archive already open in `input` (read
// from its start); `archivePath` only names it in the preamble warning.
int ReadArchiveForUpdate(UpdateInput& input, const std::string& archivePath, const UpdateReadOptions& options,
                         ArchivingReports& reports, ArchiveContents& contents);

}  // namespace tovra::compress
