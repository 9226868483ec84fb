// testing_hooks.h - switches of the platform layer that only tests use.
//
// The library itself never calls these; they let a test exercise behaviour
// that otherwise depends on the environment of the process.
#pragma once

#include <cstdint>

namespace tovra::platform {

// Forces the ANSI code page used by IsLeadByte, NextChar and the text
// conversions. Natively 932 and 65001 are accepted and 0 returns to the page
// the environment chose (TOVRA_CODEPAGE, then the locale). On Windows the code
// page belongs to the system: only 0 and GetACP() itself are accepted.
// Returns true when the requested page is in force afterwards. Not thread-safe
// against concurrent users of the code page.
bool OverrideCodePageForTesting(int codePage);

// The beeps sounded so far in the process and the MessageBeep type of the
// last one (Beep() without a type counts as type 0, MB_OK).
struct BeepRecord {
    uint32_t count = 0;
    uint32_t lastType = 0;
};
BeepRecord BeepsForTesting();

}  // namespace tovra::platform
