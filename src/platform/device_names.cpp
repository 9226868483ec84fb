// device_names.cpp - the Windows rules for the names of files: the bytes a
// name cannot hold, and the device names (CON, NUL, COM1, ...) that open a
// device wherever they stand in a path, so a member named "con.txt" must never
// be written under that name on Windows. Pure text checks, the same on both
// builds, so that both sets of rules can be tested on either.
#include <algorithm>
#include <string>

#include "platform/platform.h"

namespace tovra::platform {
namespace {

// A superscript digit as the ANSI code page spells it. Windows reads a name as
// UTF-16, where COM and LPT followed by U+00B9, U+00B2 or U+00B3 are devices
// too; these are the byte forms of those three characters in the ANSI code
// pages that have them.
struct SuperscriptSpelling {
    int codePage;
    const char* bytes;
};
constexpr SuperscriptSpelling kSuperscripts[] = {
    {1252, "\xB9"},      {1252, "\xB2"},    {1252, "\xB3"},    {1253, "\xB2"},      {1253, "\xB3"},
    {1254, "\xB9"},      {1254, "\xB2"},    {1254, "\xB3"},    {1255, "\xB9"},      {1255, "\xB2"},
    {1255, "\xB3"},      {1256, "\xB9"},    {1256, "\xB2"},    {1256, "\xB3"},      {1257, "\xB9"},
    {1257, "\xB2"},      {1257, "\xB3"},    {1258, "\xB9"},    {1258, "\xB2"},      {1258, "\xB3"},
    {949, "\xA9\xF6"},   {949, "\xA9\xF7"}, {949, "\xA9\xF8"}, {65001, "\xC2\xB9"}, {65001, "\xC2\xB2"},
    {65001, "\xC2\xB3"},
};

bool IsSuperscriptDigit(const std::string& text, int codePage) {
    for (const SuperscriptSpelling& s : kSuperscripts) {
        if (s.codePage == codePage && text == s.bytes) return true;
    }
    return false;
}

char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// True when `text` equals the upper-case ASCII `word` without regard to case.
bool EqualsWord(const std::string& text, size_t length, const char* word) {
    size_t i = 0;
    for (; i < length && word[i] != '\0'; ++i) {
        if (Upper(text[i]) != word[i]) return false;
    }
    return i == length && word[i] == '\0';
}

}  // namespace

bool IsWindowsDeviceName(const std::string& component, int codePage) {
    std::string base = component;
    while (!base.empty() && (base.back() == '.' || base.back() == ' ')) base.pop_back();
    base.erase(std::min(base.find('.'), base.size()));
    while (!base.empty() && base.back() == ' ') base.pop_back();
    for (const char* device : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"}) {
        if (EqualsWord(base, base.size(), device)) return true;
    }
    if (base.size() < 4 || !(EqualsWord(base, 3, "COM") || EqualsWord(base, 3, "LPT"))) return false;
    const std::string digit = base.substr(3);
    return (digit.size() == 1 && digit[0] >= '1' && digit[0] <= '9') || IsSuperscriptDigit(digit, codePage);
}

FileNameRules SystemFileNameRules() {
    FileNameRules rules;
#ifdef _WIN32
    rules.windows = true;
#endif
    rules.codePage = CodePage();
    return rules;
}

}  // namespace tovra::platform
