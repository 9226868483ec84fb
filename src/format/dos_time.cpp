// dos_time.cpp - conversion between file times and the DOS date and time of
// the ZIP records.
#include "format/dos_time.h"

namespace tovra::format {

uint32_t UnixToDosTime(int64_t unixSeconds) {
    // Odd seconds round up to the next even second; the DOS form has 2-second steps.
    const int64_t even = unixSeconds < INT64_MAX ? (unixSeconds + 1) & ~int64_t{1} : unixSeconds - 1;
    platform::CalendarTime local;
    if (!platform::ToLocalTime(even, &local)) return even < 0 ? kDosTimeMinimum : kDosTimeMaximum;
    if (local.year < 1980) return kDosTimeMinimum;
    if (local.year > 2107) return kDosTimeMaximum;
    return PackDosTime(local);
}

bool DosTimeToUnix(uint32_t dosDateTime, int64_t* unixSeconds) {
    return platform::FromLocalTime(UnpackDosTime(dosDateTime), unixSeconds);
}

}  // namespace tovra::format
