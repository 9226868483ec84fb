// archive_run_steps.h - steps of the archiving run shared by its source
// files (the run, the replacement of the old archive, the finish).
#pragma once

#include <cstddef>
#include <string>

#include "archive/archive_context.h"

namespace tovra::archive {

// Puts the temporary archive (tempArchivePath) in the place of the archive
// (archivePath): the old archive is deleted and the temporary one moved
// there, or copied into it when the archive has further hard links (the
// links keep seeing the new archive) or the move fails. Whenever the new
// archive cannot be put in place, the temporary archive is kept, its name is
// shown ("new zip file left as: ") and an error is reported. Returns 0 or
// the reported code.
int ReplaceArchive(ArchiveContext& context);

// `text` cut to at most `limit` bytes, never inside a double-byte character.
std::string BoundedText(const std::string& text, size_t limit);

}  // namespace tovra::archive
