// local_time.cpp - local calendar time on Linux through the C library
// (localtime_r and mktime), so the time zone and its daylight saving rules are
// the system's (TZ, /etc/localtime), as `ls -l` shows them.
#include <climits>
#include <ctime>

#include "platform/platform.h"

namespace tovra::platform {

bool ToLocalTime(int64_t unixSeconds, CalendarTime* local) {
    const auto seconds = static_cast<time_t>(unixSeconds);
    struct tm fields {};
    if (localtime_r(&seconds, &fields) == nullptr) return false;
    if (fields.tm_year > INT_MAX - 1900) return false;
    local->year = fields.tm_year + 1900;
    local->month = fields.tm_mon + 1;
    local->day = fields.tm_mday;
    local->hour = fields.tm_hour;
    local->minute = fields.tm_min;
    local->second = fields.tm_sec;
    return true;
}

bool FromLocalTime(const CalendarTime& local, int64_t* unixSeconds) {
    if (local.year < INT_MIN + 1900) return false;
    struct tm fields {};
    fields.tm_year = local.year - 1900;
    fields.tm_mon = local.month - 1;
    fields.tm_mday = local.day;
    fields.tm_hour = local.hour;
    fields.tm_min = local.minute;
    fields.tm_sec = local.second;
    fields.tm_isdst = -1;  // daylight saving: the system decides
    // mktime returns -1 both on failure and for 1969-12-31 23:59:59 UTC; a
    // success always fills in the day of the week.
    fields.tm_wday = -1;
    const time_t result = mktime(&fields);
    if (result == static_cast<time_t>(-1) && fields.tm_wday == -1) return false;
    *unixSeconds = static_cast<int64_t>(result);
    return true;
}

}  // namespace tovra::platform
