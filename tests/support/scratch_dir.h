// scratch_dir.h - a private temporary directory for one test.
//
// ScratchDir creates a new, uniquely named directory under the system's
// temporary directory when it is constructed and removes it with everything in
// it when it is destroyed (read-only files and directories included). It works
// on both builds and goes through the platform layer, so names are ANSI bytes
// (Shift JIS names work where the code page is 932).
#pragma once

#include <string>

namespace tovra::test {

class ScratchDir {
public:
    // Creates the directory; aborts the test program when that is impossible
    // (a test without its directory cannot mean anything).
    ScratchDir();
    // Removes the directory tree; failures are reported on stderr, not fatal.
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    // The directory's absolute path without a trailing separator
    // (e.g. "/tmp/tovra-test-1a2b3c" natively, "C:\users\...\Temp\tovra-test-1a2b3c" on Windows).
    const std::string& Path() const { return path_; }
    // Path() + the build's separator ('/' natively, '\' on Windows) + relative.
    // `relative` is appended as given; both separators work on both builds.
    std::string operator/(const std::string& relative) const;
    // Path() with a trailing separator, the form output-directory arguments use.
    std::string WithSeparator() const;

private:
    std::string path_;
};

// Removes `path` and everything below it (clearing read-only first). A missing
// path counts as success. Returns false when something could not be removed.
bool RemoveTree(const std::string& path);

}  // namespace tovra::test
