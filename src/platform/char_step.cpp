// char_step.cpp - the Shift JIS and UTF-8 character steps.
#include "platform/char_step.h"

#include "platform/cp932_table.h"

namespace tovra::platform {

const char* StepShiftJis(const char* p) {
    if (*p == '\0') return p;
    if (IsShiftJisLeadByte(static_cast<unsigned char>(p[0])) && p[1] != '\0') return p + 2;
    return p + 1;
}

size_t Utf8SequenceLength(const char* p, const char* end) {
    const auto at = [&](size_t i) -> int {
        if (end != nullptr && p + i >= end) return -1;
        return static_cast<unsigned char>(p[i]);
    };
    const int lead = at(0);
    if (lead < 0) return 0;
    if (lead < 0x80) return 1;
    size_t length;
    int low = 0x80, high = 0xBF;  // allowed range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;   // no overlong forms
        if (lead == 0xED) high = 0x9F;  // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;   // no overlong forms
        if (lead == 0xF4) high = 0x8F;  // nothing above U+10FFFF
    } else {
        return 0;  // continuation byte, C0/C1, F5-FF
    }
    const int second = at(1);
    if (second < low || second > high) return 0;  // also catches the terminating zero and `end`
    for (size_t i = 2; i < length; ++i) {
        const int next = at(i);
        if (next < 0x80 || next > 0xBF) return 0;
    }
    return length;
}

uint32_t DecodeUtf8(const char* p, size_t length) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(p);
    switch (length) {
        case 1:
            return bytes[0];
        case 2:
            return ((bytes[0] & 0x1Fu) << 6) | (bytes[1] & 0x3Fu);
        case 3:
            return ((bytes[0] & 0x0Fu) << 12) | ((bytes[1] & 0x3Fu) << 6) | (bytes[2] & 0x3Fu);
        default:
            return ((bytes[0] & 0x07u) << 18) | ((bytes[1] & 0x3Fu) << 12) | ((bytes[2] & 0x3Fu) << 6) |
                   (bytes[3] & 0x3Fu);
    }
}

const char* StepUtf8(const char* p) {
    if (*p == '\0') return p;
    const size_t length = Utf8SequenceLength(p);
    return p + (length == 0 ? 1 : length);
}

std::string CleanUtf8(const std::string& text, char replacement) {
    std::string output;
    output.reserve(text.size());
    const char* p = text.data();
    const char* end = p + text.size();
    while (p < end) {
        const size_t length = Utf8SequenceLength(p, end);
        if (length == 0) {
            output += replacement;
            ++p;
        } else {
            output.append(p, length);
            p += length;
        }
    }
    return output;
}

std::string Utf8ToCp932(const std::string& text, char replacement) {
    std::string output;
    output.reserve(text.size());
    const char* p = text.data();
    const char* end = p + text.size();
    while (p < end) {
        const size_t length = Utf8SequenceLength(p, end);
        const int code = length == 0 ? -1 : Cp932Code(DecodeUtf8(p, length));
        p += length == 0 ? 1 : length;
        if (code < 0) {
            output += replacement;
        } else {
            if (code > 0xFF) output += static_cast<char>(code >> 8);
            output += static_cast<char>(code & 0xFF);
        }
    }
    return output;
}

}  // namespace tovra::platform
