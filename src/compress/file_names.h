// file_names.h - what the archiving side asks of a file on disk and how a
// stored member name becomes a disk name.
#pragma once

#include <cstdint>
#include <string>

#include "platform/platform.h"

namespace tovra::compress {

// What FileDosTime reports besides the time.
struct FileFacts {
    uint32_t attributes = 0;    // mode word in bits 16-31, Windows attribute byte in bits 0-7
    int64_t size = -1;          // size of a regular file; -1 for anything else
    uint32_t accessTime = 0;    // DOS date-time of the last access (0 unknown)
    uint32_t creationTime = 0;  // DOS date-time of creation (0 unknown)
    bool isDirectory = false;
};

// DOS date-time of the last modification of the file or directory `name`
// (a trailing '/' is ignored), 0 when it does not exist. Fills `facts` when
// not null.
uint32_t FileDosTime(const std::string& name, FileFacts* facts);

// FileDosTime, also handing back the status it was computed from (when the
// answer is not 0): size and modification time as the system gives them, so
// a caller that needs both reads the file system once.
uint32_t FileDosTimeAndStatus(const std::string& name, platform::FileStatus* status);

// The disk name of a member read from an existing archive: its stored name in
// the file system's form. Throws std::bad_alloc when memory runs out.
std::string ToDiskName(const std::string& storedName);

}  // namespace tovra::compress
