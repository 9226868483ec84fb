// archive_errors.h - the archiving side's error codes and their messages.
//
// Every failure of an archiving run is one of these codes. ReportError
// (src/archive/archive_reports.h) shows the message of the code with a detail text;
// Zip returns the code of the first error its run reported. Code 0 is
// success and is never reported. kArchiveErrorNotFound and the value
// kArchiveFileIsDirectory come back from the entry writer and become warnings,
// never errors.
#pragma once

namespace tovra::format {

enum ArchiveError : int {
    kArchiveOk = 0,
    kArchiveErrorUnexpectedEnd = 2,    // "Unexpected end of zip file"
    kArchiveErrorStructure = 3,        // "Zip file structure invalid"
    kArchiveErrorMemory = 4,           // "Out of memory"
    kArchiveErrorLogic = 5,            // "Internal logic error"
    kArchiveErrorTooBig = 6,           // "Entry too big to split"
    kArchiveErrorComment = 7,          // "Invalid comment format"
    kArchiveErrorTest = 8,             // "Zip file invalid or could not spawn unzip"
    kArchiveErrorInterrupted = 9,      // "Interrupted"
    kArchiveErrorTemp = 10,            // "Temporary file failure"
    kArchiveErrorRead = 11,            // "Input file read failure"
    kArchiveErrorNothingToDo = 12,     // "Nothing to do!"
    kArchiveErrorMissingArchive = 13,  // "Missing or empty zip file"
    kArchiveErrorWrite = 14,           // "Output file write failure"
    kArchiveErrorCreate = 15,          // "Could not create output file"
    kArchiveErrorParameters = 16,      // "Invalid command arguments"
    kArchiveErrorNotFound = 18,        // "File not found or no read permission"
};

// A file and a directory have the same name (entry writer; a warning).
inline constexpr int kArchiveFileIsDirectory = -1;

inline constexpr int kArchiveErrorCount = 19;  // codes 0..18

// The message of code `code`; "" for 0, 1, 17 and any code outside 0..18.
inline const char* ArchiveErrorMessage(int code) {
    static const char* const kMessages[kArchiveErrorCount] = {
        "",
        "",
        "Unexpected end of zip file",
        "Zip file structure invalid",
        "Out of memory",
        "Internal logic error",
        "Entry too big to split",
        "Invalid comment format",
        "Zip file invalid or could not spawn unzip",
        "Interrupted",
        "Temporary file failure",
        "Input file read failure",
        "Nothing to do!",
        "Missing or empty zip file",
        "Output file write failure",
        "Could not create output file",
        "Invalid command arguments",
        "",
        "File not found or no read permission",
    };
    return code >= 0 && code < kArchiveErrorCount ? kMessages[code] : "";
}

}  // namespace tovra::format
