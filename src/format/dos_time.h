// dos_time.h - the 32-bit DOS date and time of the ZIP records and its
// conversion to and from file times (seconds since 1970 UTC) through the
// platform's local-time conversion.
//
// Packing: bits 0-4 seconds / 2, 5-10 minutes, 11-15 hours (the time, low 16
// bits); 16-20 day, 21-24 month, 25-31 years since 1980 (the date, high 16
// bits).
#pragma once

#include <cstdint>

#include "platform/platform.h"

namespace tovra::format {

// 1980-01-01 00:00:00, written for every file time before 1980.
inline constexpr uint32_t kDosTimeMinimum = 0x00210000;
// 2107-12-31 23:59:58, the last value the 7-bit year can hold; later file
// times are written as this value rather than wrapping into an early year.
inline constexpr uint32_t kDosTimeMaximum = 0xFF9FBF7D;

// The two 16-bit halves, as records of other layouts store them separately.
constexpr uint16_t DosDatePart(uint32_t dosDateTime) { return static_cast<uint16_t>(dosDateTime >> 16); }
constexpr uint16_t DosTimePart(uint32_t dosDateTime) { return static_cast<uint16_t>(dosDateTime); }

// Packs calendar fields. The year must lie in 1980-2107 and the fields in
// their ranges; nothing is checked.
constexpr uint32_t PackDosTime(const platform::CalendarTime& t) {
    return (static_cast<uint32_t>(t.year - 1980) << 25) | (static_cast<uint32_t>(t.month) << 21) |
           (static_cast<uint32_t>(t.day) << 16) | (static_cast<uint32_t>(t.hour) << 11) |
           (static_cast<uint32_t>(t.minute) << 5) | (static_cast<uint32_t>(t.second) >> 1);
}

// Unpacks the fields as stored; they may be out of range (month 0, second 62).
constexpr platform::CalendarTime UnpackDosTime(uint32_t dos) {
    platform::CalendarTime t;
    t.year = 1980 + static_cast<int>(dos >> 25);
    t.month = static_cast<int>((dos >> 21) & 0x0F);
    t.day = static_cast<int>((dos >> 16) & 0x1F);
    t.hour = static_cast<int>((dos >> 11) & 0x1F);
    t.minute = static_cast<int>((dos >> 5) & 0x3F);
    t.second = static_cast<int>(dos & 0x1F) * 2;
    return t;
}

// File time to DOS date and time: the time is first rounded up to an even
// second (add 1, clear bit 0), then converted to local calendar time. Years
// before 1980 give kDosTimeMinimum, years after 2107 kDosTimeMaximum; a time
// the platform cannot convert gives the nearer of the two.
uint32_t UnixToDosTime(int64_t unixSeconds);

// DOS date and time to a file time. Out-of-range fields are left to the
// platform's local-time conversion to normalise (month 13 is January of the
// next year, and so on). Returns false when the platform cannot convert.
bool DosTimeToUnix(uint32_t dosDateTime, int64_t* unixSeconds);

}  // namespace tovra::format
