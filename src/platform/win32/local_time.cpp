// local_time.cpp - local calendar time on Windows through the system's time
// zone (SystemTimeToTzSpecificLocalTime and its reverse), so daylight saving
// is applied by the date's own rule, as Explorer shows file times. The C
// runtime's conversion is not used: it reads a TZ variable in its own format
// and would disagree with the system whenever one is set.
//
// Out-of-range fields are normalised here before the system sees them:
// months beyond 12 carry into years, and days, hours, minutes and seconds are
// added as plain amounts of time to the first of the month.
#include "platform/platform.h"
#include "platform/win32/win32_common.h"

namespace tovra::platform {
namespace {

constexpr int64_t kSecondsPerDay = 86'400;

int64_t FloorDiv(int64_t a, int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

// Days since 1970-01-01 of a proleptic Gregorian date (month 1-12).
int64_t DaysFromCivil(int64_t year, int64_t month, int64_t day) {
    year -= month <= 2;
    const int64_t era = FloorDiv(year, 400);
    const int64_t yearOfEra = year - era * 400;
    const int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146'097 + dayOfEra - 719'468;
}

// The calendar date of a day number (inverse of DaysFromCivil).
void CivilFromDays(int64_t days, int64_t* year, int* month, int* day) {
    days += 719'468;
    const int64_t era = FloorDiv(days, 146'097);
    const int64_t dayOfEra = days - era * 146'097;
    const int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36'524 - dayOfEra / 146'096) / 365;
    const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const int64_t monthIndex = (5 * dayOfYear + 2) / 153;
    *day = static_cast<int>(dayOfYear - (153 * monthIndex + 2) / 5 + 1);
    *month = static_cast<int>(monthIndex < 10 ? monthIndex + 3 : monthIndex - 9);
    *year = yearOfEra + era * 400 + (*month <= 2);
}

}  // namespace

bool ToLocalTime(int64_t unixSeconds, CalendarTime* local) {
    FILETIME fileTime;
    SYSTEMTIME utc, localTime;
    if (!UnixToFileTime(unixSeconds, &fileTime) || !FileTimeToSystemTime(&fileTime, &utc) ||
        !SystemTimeToTzSpecificLocalTime(nullptr, &utc, &localTime)) {
        return false;
    }
    local->year = localTime.wYear;
    local->month = localTime.wMonth;
    local->day = localTime.wDay;
    local->hour = localTime.wHour;
    local->minute = localTime.wMinute;
    local->second = localTime.wSecond;
    return true;
}

bool FromLocalTime(const CalendarTime& local, int64_t* unixSeconds) {
    // Local wall-clock seconds since 1970, with every field carried over.
    const int64_t monthIndex = static_cast<int64_t>(local.month) - 1;
    const int64_t year = local.year + FloorDiv(monthIndex, 12);
    const int64_t month = monthIndex - FloorDiv(monthIndex, 12) * 12 + 1;
    const int64_t wallClock = (DaysFromCivil(year, month, 1) + local.day - 1) * kSecondsPerDay +
                              int64_t{local.hour} * 3'600 + int64_t{local.minute} * 60 + local.second;
    int64_t normalisedYear;
    int normalisedMonth, normalisedDay;
    CivilFromDays(FloorDiv(wallClock, kSecondsPerDay), &normalisedYear, &normalisedMonth, &normalisedDay);
    if (normalisedYear < 1601 || normalisedYear > 30'827) return false;
    const int64_t secondOfDay = wallClock - FloorDiv(wallClock, kSecondsPerDay) * kSecondsPerDay;
    SYSTEMTIME localTime{};
    localTime.wYear = static_cast<WORD>(normalisedYear);
    localTime.wMonth = static_cast<WORD>(normalisedMonth);
    localTime.wDay = static_cast<WORD>(normalisedDay);
    localTime.wHour = static_cast<WORD>(secondOfDay / 3'600);
    localTime.wMinute = static_cast<WORD>(secondOfDay / 60 % 60);
    localTime.wSecond = static_cast<WORD>(secondOfDay % 60);
    SYSTEMTIME utc;
    FILETIME fileTime;
    if (!TzSpecificLocalTimeToSystemTime(nullptr, &localTime, &utc) || !SystemTimeToFileTime(&utc, &fileTime)) {
        return false;
    }
    *unixSeconds = FileTimeToUnix(fileTime);
    return true;
}

}  // namespace tovra::platform
