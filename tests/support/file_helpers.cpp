// file_helpers.cpp - whole-file reads and writes through platform::File.
#include "support/file_helpers.h"

#include "platform/platform.h"

namespace tovra::test {

bool WriteWholeFile(const std::string& path, std::string_view data) {
    platform::File file;
    if (!file.Open(path, platform::OpenMode::kCreate)) return false;
    const int64_t written = file.Write(data.data(), data.size());
    file.Close();
    return written == static_cast<int64_t>(data.size());
}

std::optional<std::string> ReadWholeFile(const std::string& path) {
    platform::File file;
    if (!file.Open(path, platform::OpenMode::kRead)) return std::nullopt;
    std::string content;
    char block[65536];
    for (;;) {
        const int64_t got = file.Read(block, sizeof block);
        if (got < 0) return std::nullopt;
        if (got == 0) break;
        content.append(block, static_cast<size_t>(got));
    }
    return content;
}

std::string PatternBytes(size_t size, uint32_t seed) {
    std::string bytes(size, '\0');
    uint32_t state = seed * 2654435761u + 1;
    for (char& byte : bytes) {
        // xorshift32: cheap, deterministic, no long runs.
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        byte = static_cast<char>(state >> 24);
    }
    return bytes;
}

}  // namespace tovra::test
