// run_results.h - the result codes of an extraction-side run.
//
// Every step and every member of a run gives one of these; the run returns
// the largest it met. The same values come back from Unzip, UnzipCheckArchive,
// UnzipOpenArchive, UnzipExtractToMem and UnzipExtractAll, so hosts compare
// them by number: the values never change.
#pragma once

namespace tovra::extract {

inline constexpr int kRunOk = 0;
inline constexpr int kRunWarning = 1;          // a warning (a name changed, a member skipped)
inline constexpr int kRunError = 2;            // a member failed, or the run was cancelled
inline constexpr int kRunBadStructure = 3;     // the archive's records do not fit together
inline constexpr int kRunOutOfMemory = 5;      // the run's buffers could not be allocated
inline constexpr int kRunDecoderNoMemory = 6;  // a decoder ran out of memory
inline constexpr int kRunNoArchive = 9;        // the archive is missing or not an archive
inline constexpr int kRunNothingMatched = 11;  // no member was processed
inline constexpr int kRunOutputFailed = 50;    // an output (or the record file) could not be written
inline constexpr int kRunArchiveEnded = 51;    // the archive ended early
inline constexpr int kRunArchiveIsDirectory = 76;

}  // namespace tovra::extract
