// name_matching.h - the wildcard matcher of the archiving side: '?' one
// character, '*' any run of characters, [...] a set; a literal character
// matches the same character without regard to case, stepping by whole
// characters of the ANSI code page.
#pragma once

namespace tovra::archive {

inline constexpr int kMatchNo = 0;
inline constexpr int kMatchYes = 1;
inline constexpr int kMatchGiveUp = 2;  // no later starting point can match either

// Matches the whole `name` against `pattern` (both zero-terminated). Returns
// kMatchYes, kMatchNo or kMatchGiveUp; only kMatchYes counts as a match.
int MatchPattern(const char* pattern, const char* name);

}  // namespace tovra::archive
