// name_match.h - how the extraction side selects members by the names given
// on a command line (or to the extract-to-memory call).
//
// A member is selected when its whole name equals one of the given names
// without regard to the case of ASCII letters. The comparison steps whole
// characters of the ANSI code page, so the second byte of a double-byte
// character is compared exactly and never folded; no character is special
// ('*' and '?' match only themselves).
#pragma once

#include <string>
#include <vector>

namespace tovra::extract {

// True when the zero-terminated names `a` and `b` are equal as described above.
bool NamesEqualIgnoringCase(const char* a, const char* b);

// True when `name` equals one of arguments[first..]; false when there are none.
bool NameSelected(const char* name, const std::vector<std::string>& arguments, size_t first);

}  // namespace tovra::extract
