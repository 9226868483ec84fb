// extract_all.h - the command line that UnzipExtractAll runs.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace tovra::api {

// UnzipExtractAll flag bits.
enum ExtractAllFlags : uint32_t {
    kExtractAllNeverOverwrite = 1,  // -n, unless kExtractAllOverwriteAll
    kExtractAllOverwriteAll = 2,    // -o
    kExtractAllFreshen = 4,         // -f
    kExtractAllNoCheck = 8,         // -x, unless kExtractAllFreshen
    kExtractAllKeepPaths = 16,      // -j
};

// Builds the command line for extracting `archivePath` into `outputDirectory`
// with `flags`: the option tokens, then both paths in double quotes, and a
// '\' appended to a directory that does not end in a separator or a drive
// colon (the last character is found stepping whole characters of the ANSI
// code page, so a Shift JIS second byte 0x5C is not taken for a separator).
// nullopt when the directory is empty: extracting into an unnamed place is
// refused rather than guessed.
std::optional<std::string> BuildExtractAllCommandLine(const std::string& archivePath,
                                                      const std::string& outputDirectory, uint32_t flags);

}  // namespace tovra::api
