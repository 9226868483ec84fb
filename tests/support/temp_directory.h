// temp_directory.h - the system's temporary directory pointed elsewhere for a
// while, on both builds.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace tovra::test {

// Points the library's temporary directory (TMPDIR; TMP and TEMP on Windows,
// which GetTempPathA reads) at `path` for the object's lifetime, so that
// leftover temporary files can be counted exactly; the old values come back
// afterwards.
class ScopedTempDirectory {
public:
    explicit ScopedTempDirectory(const std::string& path);
    ~ScopedTempDirectory();
    ScopedTempDirectory(const ScopedTempDirectory&) = delete;
    ScopedTempDirectory& operator=(const ScopedTempDirectory&) = delete;

private:
    std::vector<std::optional<std::string>> saved_;
};

}  // namespace tovra::test
