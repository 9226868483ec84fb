// archive_run.h - one archiving run after its command line was parsed:
// marking what to keep, replace, delete and add, writing the new archive into
// a temporary file (or onto the end of the archive itself with -g), the
// central directory and end record, the replacement of the old archive, and
// the archive-time and delete-sources options.
#pragma once

#include <string>

#include "archive/archive_context.h"

namespace tovra::archive {

// The whole of one Zip call on `context`: tokenizing `commandLine`, the base
// directory, the progress seam, parsing and the run, with the current
// directory restored. Returns the code of the first error reported in the
// run, 0 when there was none (warnings alone give 0).
int RunZip(ArchiveContext& context, platform::WindowHandle window, const std::string& commandLine);

// The run after parsing. Returns 0 or the code of the error it reported.
int RunArchiving(ArchiveContext& context);

// Fills context.tempArchivePath with a new unique "TVR" file in the system's
// temporary directory; leaves it empty on failure.
void MakeTempArchiveName(ArchiveContext& context);

// Puts the run's output away after an error or a cancel: closes the output
// slot, deletes the temporary archive, or, when the run was appending to the
// archive in place, writes the archive's old central directory back and
// cuts the file after it (announced in a message box when
// `announceRestore`). tempArchivePath is emptied.
void DiscardRunOutput(ArchiveContext& context, bool announceRestore);

// The end of a run: -o and -m, then the lists are freed. Returns 0 or the
// code of the error it reported.
int FinishRun(ArchiveContext& context);

}  // namespace tovra::archive
