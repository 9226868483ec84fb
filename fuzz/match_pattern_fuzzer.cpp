// match_pattern_fuzzer.cpp - feeds arbitrary patterns and names to
// MatchPattern, the matcher of the archiving side's wildcards.
//
// The input up to its first zero byte is the pattern (at most 1024 bytes,
// more than any command line gives a pattern), the rest up to the next zero
// byte the name (a member name of a hostile archive may be long). Each pair is
// matched in code page 932 and in UTF-8 stepping. The rules that always hold
// are checked: the result is 0, 1 or 2; a name matches itself, itself with
// the case of its ASCII letters changed, and itself after a '*'; '*' matches
// everything. Any violation aborts.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "archive/name_matching.h"
#include "platform/platform.h"
#include "platform/testing_hooks.h"

namespace {

constexpr size_t kMaxPatternBytes = 1024;

void Require(bool condition) {
    if (!condition) std::abort();
}

// `name` with the case of every ASCII letter that starts a character swapped.
std::string SwapCase(const std::string& name) {
    std::string swapped = name;
    char* const base = swapped.data();
    for (const char* p = base; *p != '\0'; p = tovra::platform::NextChar(p)) {
        const char c = *p;
        if (c >= 'a' && c <= 'z') base[p - base] = static_cast<char>(c - 32);
        if (c >= 'A' && c <= 'Z') base[p - base] = static_cast<char>(c + 32);
    }
    return swapped;
}

void Check(const std::string& pattern, const std::string& name) {
    using tovra::archive::MatchPattern;
    const int result = MatchPattern(pattern.c_str(), name.c_str());
    Require(result == tovra::archive::kMatchNo || result == tovra::archive::kMatchYes ||
            result == tovra::archive::kMatchGiveUp);
    Require(MatchPattern(name.c_str(), name.c_str()) == tovra::archive::kMatchYes);
    Require(MatchPattern(SwapCase(name).c_str(), name.c_str()) == tovra::archive::kMatchYes);
    Require(MatchPattern(("*" + name).c_str(), name.c_str()) == tovra::archive::kMatchYes);
    Require(MatchPattern("*", name.c_str()) == tovra::archive::kMatchYes);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const char* text = reinterpret_cast<const char*>(data);
    const size_t patternLength = strnlen(text, size);
    if (patternLength > kMaxPatternBytes) return 0;
    const std::string pattern(text, patternLength);
    std::string name;
    if (patternLength < size) {
        const char* rest = text + patternLength + 1;
        name.assign(rest, strnlen(rest, size - patternLength - 1));
    }
    for (const int codePage : {932, 65001}) {
        if (!tovra::platform::OverrideCodePageForTesting(codePage)) continue;
        Check(pattern, name);
    }
    tovra::platform::OverrideCodePageForTesting(0);
    return 0;
}
