// dialog_texts.h - the texts the dialogs compute from numbers and names: the
// size rule and the time-and-size line of the overwrite question, the
// progress percentage, the done/total counter, the move's progress steps and
// names shown with '\' as separator. Pure functions, built and tested on both
// platforms; the dialogs (Windows) and the terminal host use them.
#pragma once

#include <cstdint>
#include <string>

#include "platform/platform.h"

namespace tovra::ui {

// A size for a person, UTF-8: up to 999,999 the number with ',' every three
// digits and " バイト"; up to 1,048,576 the KiB with separators and "KB"; below
// 104,857,600 the MiB as "%.3lf" cut to four characters and "MB"; above that
// the whole MiB with separators and "MB".
std::string SizeText(uint64_t size);

// " yyyy-mm-dd  hh:mm:ss   <size text>" for the overwrite question, UTF-8.
// A time that could not be converted (null) shows its fields as '?', so the
// question can still be asked.
std::string TimeAndSizeLine(const platform::CalendarTime* local, uint64_t size);

// The bar position for `done` of `total`: (done / total) * 100 + 0.5 in double
// precision, truncated, and never more than 100. 0 when total is 0.
int ProgressPercent(uint64_t done, uint64_t total);

// The done/total counter of the archiving mode and of a move: "%7llu/%8llu".
std::string CounterText(uint64_t done, uint64_t total);
// The counter before anything was done.
inline constexpr const char* kEmptyCounterText = "      0/      0";

// `name` (ANSI bytes) with every '/' that is a whole character made '\'; the
// second byte of a double-byte character is never taken for a separator.
std::string WithBackslashes(const std::string& name);

// One step of the move's progress routine: when `percent` lies above
// `*threshold`, the threshold becomes percent + 4 (at most 100) and the bar is
// to be redrawn (true); otherwise nothing changes (false).
bool AdvanceMoveThreshold(int percent, int* threshold);

}  // namespace tovra::ui
