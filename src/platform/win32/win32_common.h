// win32_common.h - what the Windows implementation files share: the
// <windows.h> include with its settings, time and text conversions.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <cstdint>
#include <string>

namespace tovra::platform {

// Seconds since 1970 UTC to a FILETIME (100 ns since 1601 UTC); false when the
// time lies before 1601 or beyond what a FILETIME holds.
bool UnixToFileTime(int64_t unixSeconds, FILETIME* fileTime);
// FILETIME to seconds since 1970 UTC, rounded down.
int64_t FileTimeToUnix(const FILETIME& fileTime);

// UTF-8 to UTF-16; each byte that is not part of a well-formed sequence
// becomes `replacement`.
std::wstring Utf8ToWide(const std::string& utf8, wchar_t replacement);
// UTF-16 to UTF-8; an unpaired surrogate becomes `replacement`.
std::string WideToUtf8(const std::wstring& wide, char replacement);
// ANSI (CP_ACP) to UTF-16; each character that does not convert becomes `replacement`.
std::wstring AnsiToWide(const std::string& ansi, wchar_t replacement);
// UTF-16 to ANSI (CP_ACP) without best-fit guesses; each character that does
// not convert (a surrogate pair counts as one) becomes `replacement`.
std::string WideToAnsi(const std::wstring& wide, char replacement);

}  // namespace tovra::platform
