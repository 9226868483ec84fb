// native_path.h - turning the library's paths into names the Linux calls take.
//
// The library writes paths with '\' (and sometimes '/'); Linux knows only '/'.
// Every posix function converts its path arguments here first. The scan steps
// by whole characters of the code page in force, so the second byte of a
// Shift JIS character (0x5C for U+8868 and many others) stays as it is.
#pragma once

#include <string>

namespace tovra::platform {

// `path` with every '\' separator turned into '/'.
std::string ToNativePath(const std::string& path);

// `path` converted like ToNativePath into `out` (`size` bytes, the
// terminating zero included) without allocating, for callers that must not
// fail for want of memory (a destructor putting the current directory back).
// False when the path does not fit.
bool ToNativePathBuffer(const std::string& path, char* out, size_t size);

// The last component of `path` (after its last '\' or '/'; the whole path when
// there is none). Empty when the path ends in a separator.
std::string LastComponent(const std::string& path);

}  // namespace tovra::platform
