// win32_common.cpp - FILETIME and text conversions of the Windows build.
//
// UTF-8 is decoded and encoded here rather than by MultiByteToWideChar, so
// that malformed bytes are replaced the same way on every Windows version (and
// under Wine); the ANSI side goes through the system's code page tables.
#include "platform/win32/win32_common.h"

#include "platform/char_step.h"
#include "platform/platform.h"

namespace tovra::platform {
namespace {

constexpr int64_t kUnixEpochAsFileTimeSeconds = 11'644'473'600;  // 1601-01-01 to 1970-01-01
constexpr int64_t kTicksPerSecond = 10'000'000;
constexpr int64_t kMaxFileTimeSeconds = INT64_MAX / kTicksPerSecond;

// Converts one piece of ANSI text; false when it does not convert cleanly.
bool ConvertAnsi(const char* text, int length, std::wstring* out) {
    if (length == 0) return true;
    const int needed = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, text, length, nullptr, 0);
    if (needed <= 0) return false;
    const size_t start = out->size();
    out->resize(start + static_cast<size_t>(needed));
    return MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, text, length, out->data() + start, needed) == needed;
}

}  // namespace

bool UnixToFileTime(int64_t unixSeconds, FILETIME* fileTime) {
    if (unixSeconds < -kUnixEpochAsFileTimeSeconds || unixSeconds > kMaxFileTimeSeconds - kUnixEpochAsFileTimeSeconds) {
        return false;
    }
    const auto ticks = static_cast<uint64_t>((unixSeconds + kUnixEpochAsFileTimeSeconds) * kTicksPerSecond);
    fileTime->dwLowDateTime = static_cast<DWORD>(ticks);
    fileTime->dwHighDateTime = static_cast<DWORD>(ticks >> 32);
    return true;
}

int64_t FileTimeToUnix(const FILETIME& fileTime) {
    const uint64_t ticks = (static_cast<uint64_t>(fileTime.dwHighDateTime) << 32) | fileTime.dwLowDateTime;
    return static_cast<int64_t>(ticks / kTicksPerSecond) - kUnixEpochAsFileTimeSeconds;
}

std::wstring Utf8ToWide(const std::string& utf8, wchar_t replacement) {
    std::wstring wide;
    wide.reserve(utf8.size());
    const char* p = utf8.data();
    const char* end = p + utf8.size();
    while (p < end) {
        const size_t length = Utf8SequenceLength(p, end);
        if (length == 0) {
            wide += replacement;
            ++p;
            continue;
        }
        const auto* bytes = reinterpret_cast<const unsigned char*>(p);
        uint32_t code;
        switch (length) {
            case 1:
                code = bytes[0];
                break;
            case 2:
                code = ((bytes[0] & 0x1Fu) << 6) | (bytes[1] & 0x3Fu);
                break;
            case 3:
                code = ((bytes[0] & 0x0Fu) << 12) | ((bytes[1] & 0x3Fu) << 6) | (bytes[2] & 0x3Fu);
                break;
            default:
                code = ((bytes[0] & 0x07u) << 18) | ((bytes[1] & 0x3Fu) << 12) | ((bytes[2] & 0x3Fu) << 6) |
                       (bytes[3] & 0x3Fu);
                break;
        }
        if (code >= 0x10000) {
            code -= 0x10000;
            wide += static_cast<wchar_t>(0xD800 + (code >> 10));
            wide += static_cast<wchar_t>(0xDC00 + (code & 0x3FF));
        } else {
            wide += static_cast<wchar_t>(code);
        }
        p += length;
    }
    return wide;
}

std::string WideToUtf8(const std::wstring& wide, char replacement) {
    std::string utf8;
    utf8.reserve(wide.size() * 3);
    for (size_t i = 0; i < wide.size(); ++i) {
        uint32_t code = static_cast<uint16_t>(wide[i]);
        if (code >= 0xD800 && code <= 0xDBFF && i + 1 < wide.size() && wide[i + 1] >= 0xDC00 && wide[i + 1] <= 0xDFFF) {
            code = 0x10000 + ((code - 0xD800) << 10) + (static_cast<uint16_t>(wide[i + 1]) - 0xDC00);
            ++i;
        } else if (code >= 0xD800 && code <= 0xDFFF) {
            utf8 += replacement;
            continue;
        }
        if (code < 0x80) {
            utf8 += static_cast<char>(code);
        } else if (code < 0x800) {
            utf8 += static_cast<char>(0xC0 | (code >> 6));
            utf8 += static_cast<char>(0x80 | (code & 0x3F));
        } else if (code < 0x10000) {
            utf8 += static_cast<char>(0xE0 | (code >> 12));
            utf8 += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            utf8 += static_cast<char>(0x80 | (code & 0x3F));
        } else {
            utf8 += static_cast<char>(0xF0 | (code >> 18));
            utf8 += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
            utf8 += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            utf8 += static_cast<char>(0x80 | (code & 0x3F));
        }
    }
    return utf8;
}

std::wstring AnsiToWide(const std::string& ansi, wchar_t replacement) {
    if (GetACP() == CP_UTF8) return Utf8ToWide(ansi, replacement);
    std::wstring wide;
    if (ansi.size() > static_cast<size_t>(INT32_MAX)) return wide;
    if (ansi.empty()) return wide;
    if (ConvertAnsi(ansi.data(), static_cast<int>(ansi.size()), &wide)) return wide;
    // Something does not convert: go character by character.
    wide.clear();
    const char* p = ansi.data();
    const char* end = p + ansi.size();
    while (p < end) {
        const char* next = *p == '\0' ? p + 1 : NextChar(p);
        if (next > end) next = end;
        if (!ConvertAnsi(p, static_cast<int>(next - p), &wide)) {
            wide += replacement;
            // A lead byte whose second byte cannot be a trail byte (a space,
            // say) spoils only itself.
            const auto trail = static_cast<unsigned char>(next - p == 2 ? p[1] : 0x40);
            if (trail < 0x40 || trail == 0x7F || trail > 0xFC) next = p + 1;
        }
        p = next;
    }
    return wide;
}

std::string WideToAnsi(const std::wstring& input, char replacement) {
    if (GetACP() == CP_UTF8) return WideToUtf8(input, replacement);
    // No ANSI code page holds characters beyond U+FFFF: each surrogate pair
    // (or stray surrogate) becomes one replacement, not two.
    std::wstring wide;
    wide.reserve(input.size());
    for (size_t i = 0; i < input.size(); ++i) {
        const wchar_t unit = input[i];
        if (unit >= 0xD800 && unit <= 0xDFFF) {
            if (unit <= 0xDBFF && i + 1 < input.size() && input[i + 1] >= 0xDC00 && input[i + 1] <= 0xDFFF) ++i;
            wide += static_cast<wchar_t>(static_cast<unsigned char>(replacement));
        } else {
            wide += unit;
        }
    }
    std::string ansi;
    if (wide.empty() || wide.size() > static_cast<size_t>(INT32_MAX / 2)) return ansi;
    const int length = static_cast<int>(wide.size());
    // The default character must be a single byte of the code page; both
    // replacements used ('?' and '_') are ASCII.
    const char defaultChar[2] = {replacement, '\0'};
    BOOL usedDefault = FALSE;
    const int needed =
        WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), length, nullptr, 0, defaultChar, &usedDefault);
    if (needed <= 0) return std::string(wide.size(), replacement);
    ansi.resize(static_cast<size_t>(needed));
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), length, ansi.data(), needed, defaultChar,
                        &usedDefault);
    return ansi;
}

}  // namespace tovra::platform
