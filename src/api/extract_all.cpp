// extract_all.cpp - the command line of UnzipExtractAll (see extract_all.h).
#include "api/extract_all.h"

#include "platform/platform.h"

namespace tovra::api {

std::optional<std::string> BuildExtractAllCommandLine(const std::string& archivePath,
                                                      const std::string& outputDirectory, uint32_t flags) {
    if (outputDirectory.empty()) {
        return std::nullopt;
    }
    std::string line;
    if ((flags & kExtractAllFreshen) != 0) {
        line += "-f ";
    } else if ((flags & kExtractAllNoCheck) != 0) {
        line += "-x ";
    } else {
        line += "-u ";
    }
    if ((flags & kExtractAllKeepPaths) != 0) {
        line += "-j ";
    }
    if ((flags & kExtractAllOverwriteAll) != 0) {
        line += "-o ";
    } else if ((flags & kExtractAllNeverOverwrite) != 0) {
        line += "-n ";
    }

    // ':' (a drive's current directory, "D:") is never the second byte of a
    // double-byte character, so looking at the last byte is enough for it.
    std::string directory = outputDirectory;
    if (!platform::EndsInSeparator(directory) && directory.back() != ':') {
        directory += '\\';
    }
    line += "\"" + archivePath + "\" \"" + directory + "\"";
    return line;
}

}  // namespace tovra::api
