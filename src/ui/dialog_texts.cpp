// dialog_texts.cpp - the dialogs' computed texts (see dialog_texts.h).
#include "ui/dialog_texts.h"

#include <cinttypes>
#include <cstdio>

namespace tovra::ui {
namespace {

// The number with a ',' between every three digits from the right.
std::string WithSeparators(uint64_t value) {
    char digits[32];
    std::snprintf(digits, sizeof digits, "%" PRIu64, value);
    const std::string plain = digits;
    std::string text;
    for (size_t i = 0; i < plain.size(); ++i) {
        if (i != 0 && (plain.size() - i) % 3 == 0) text += ',';
        text += plain[i];
    }
    return text;
}

}  // namespace

std::string SizeText(uint64_t size) {
    if (size <= 999999) return WithSeparators(size) + " \xE3\x83\x90\xE3\x82\xA4\xE3\x83\x88";  // バイト
    if (size <= 1048576) return WithSeparators(size / 1024) + "KB";
    if (size < 104857600) {
        char number[32];
        std::snprintf(number, sizeof number, "%.3f", static_cast<double>(size / 1024) * 0.0009765625);
        char text[40];
        std::snprintf(text, sizeof text, "%-4.4sMB", number);
        return text;
    }
    return WithSeparators(size / 1048576) + "MB";
}

std::string TimeAndSizeLine(const platform::CalendarTime* local, uint64_t size) {
    char line[64];
    if (local == nullptr) {
        // Fields of '?' (built up so that no '??' sequence reads as a trigraph).
        const std::string two(2, '?');
        return " " + two + two + "-" + two + "-" + two + "  " + two + ":" + two + ":" + two + "   " + SizeText(size);
    } else {
        std::snprintf(line, sizeof line, " %d-%02d-%02d  %02d:%02d:%02d   ", local->year, local->month, local->day,
                      local->hour, local->minute, local->second);
    }
    return line + SizeText(size);
}

int ProgressPercent(uint64_t done, uint64_t total) {
    if (total == 0) return 0;
    const double percent = static_cast<double>(done) / static_cast<double>(total) * 100.0 + 0.5;
    return percent >= 100.0 ? 100 : static_cast<int>(percent);
}

std::string CounterText(uint64_t done, uint64_t total) {
    char text[48];
    std::snprintf(text, sizeof text, "%7" PRIu64 "/%8" PRIu64, done, total);
    return text;
}

std::string WithBackslashes(const std::string& name) {
    std::string shown;
    shown.reserve(name.size());
    for (const char* p = name.c_str(); *p != '\0';) {
        const char* next = platform::NextChar(p);
        if (next == p + 1 && *p == '/') {
            shown += '\\';
        } else {
            shown.append(p, static_cast<size_t>(next - p));
        }
        p = next;
    }
    return shown;
}

bool AdvanceMoveThreshold(int percent, int* threshold) {
    if (percent <= *threshold) return false;
    *threshold = percent + 4 > 100 ? 100 : percent + 4;
    return true;
}

}  // namespace tovra::ui
