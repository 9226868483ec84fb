// file_helpers.h - whole-file reads and writes for tests.
//
// Thin wrappers over platform::File so that tests can set up and check files
// in one line. Paths are ANSI bytes; both separators work on both builds.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tovra::test {

// Creates or truncates `path` and writes `data` to it. False on any failure.
bool WriteWholeFile(const std::string& path, std::string_view data);
// The whole content of `path`, or nullopt when it cannot be opened or read.
std::optional<std::string> ReadWholeFile(const std::string& path);
// `size` bytes of a fixed pseudo-random pattern (same seed, same bytes), for
// contents that compress badly and expose misplaced bytes.
std::string PatternBytes(size_t size, uint32_t seed = 1);

}  // namespace tovra::test
