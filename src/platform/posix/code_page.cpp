// code_page.cpp - the ANSI code page of the native build.
//
// Linux has no ANSI code page; file names are whatever bytes the user's tools
// wrote. The page in force is 932 (Shift JIS) when TOVRA_CODEPAGE is "932", or,
// without TOVRA_CODEPAGE, when the locale variables (LC_ALL, LC_CTYPE, LANG,
// first one set) name a Shift JIS codeset; any other TOVRA_CODEPAGE value and
// every other locale give 65001 (UTF-8 stepping). The choice is made once, at
// first use, without touching the process's locale. Conversions from 932 use
// iconv's CP932 (Microsoft's variant, as Windows converts); conversions into
// 932 use the exact mappings of cp932_table.h, because iconv approximates
// characters the page does not hold (the yen sign U+00A5 would become '\').
#include <iconv.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <string_view>

#include "platform/char_step.h"
#include "platform/platform.h"
#include "platform/testing_hooks.h"

namespace tovra::platform {
namespace {

constexpr int kShiftJis = 932;
constexpr int kUtf8 = 65001;

// True when a locale name such as "ja_JP.SJIS" or "ja_JP.Shift_JIS@euro"
// names a Shift JIS codeset.
bool LocaleIsShiftJis(std::string_view locale) {
    const size_t dot = locale.find('.');
    if (dot == std::string_view::npos) return false;
    std::string_view codeset = locale.substr(dot + 1);
    codeset = codeset.substr(0, codeset.find('@'));
    std::string normalised;
    for (char c : codeset) {
        if (c != '-' && c != '_') normalised += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return normalised == "sjis" || normalised == "shiftjis" || normalised == "cp932" || normalised == "windows31j" ||
           normalised == "mskanji";
}

int CodePageOfEnvironment() {
    if (const char* forced = std::getenv("TOVRA_CODEPAGE"); forced != nullptr && *forced != '\0') {
        return std::string_view(forced) == "932" ? kShiftJis : kUtf8;
    }
    for (const char* name : {"LC_ALL", "LC_CTYPE", "LANG"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && *value != '\0') return LocaleIsShiftJis(value) ? kShiftJis : kUtf8;
    }
    return kUtf8;
}

std::atomic<int> codePageInForce{0};  // 0: not decided yet

// Converts with iconv; a sequence that does not convert becomes '?' and the
// input moves on by `skip(p)` bytes.
template <typename Skip>
std::string Convert(const char* from, const char* to, const std::string& input, Skip skip) {
    iconv_t converter = iconv_open(to, from);
    if (converter == reinterpret_cast<iconv_t>(-1)) return std::string(input.size(), '?');
    std::string output;
    output.reserve(input.size() * 2);
    char* in = const_cast<char*>(input.data());  // iconv's prototype is not const-correct
    size_t inLeft = input.size();
    char buffer[1024];
    while (inLeft > 0) {
        char* out = buffer;
        size_t outLeft = sizeof buffer;
        const size_t result = iconv(converter, &in, &inLeft, &out, &outLeft);
        output.append(buffer, static_cast<size_t>(out - buffer));
        if (result != static_cast<size_t>(-1) || errno == E2BIG) continue;
        // EILSEQ or EINVAL (cut short at the end): replace and go on.
        output += '?';
        const size_t step = std::min(inLeft, skip(in, in + inLeft));
        in += step;
        inLeft -= step;
        iconv(converter, nullptr, nullptr, nullptr, nullptr);
    }
    iconv_close(converter);
    return output;
}

}  // namespace

int CodePage() {
    int page = codePageInForce.load(std::memory_order_relaxed);
    if (page == 0) {
        page = CodePageOfEnvironment();
        codePageInForce.store(page, std::memory_order_relaxed);
    }
    return page;
}

bool OverrideCodePageForTesting(int codePage) {
    if (codePage == 0) {
        codePageInForce.store(CodePageOfEnvironment(), std::memory_order_relaxed);
        return true;
    }
    if (codePage != kShiftJis && codePage != kUtf8) return false;
    codePageInForce.store(codePage, std::memory_order_relaxed);
    return true;
}

bool IsLeadByte(unsigned char byte) { return CodePage() == kShiftJis && IsShiftJisLeadByte(byte); }

const char* NextChar(const char* p) { return CodePage() == kShiftJis ? StepShiftJis(p) : StepUtf8(p); }

std::string AnsiToUtf8(const std::string& ansi) {
    if (CodePage() != kShiftJis) return CleanUtf8(ansi);
    return Convert("CP932", "UTF-8", ansi, [](const char* p, const char* end) -> size_t {
        // A lead byte with a valid trail byte is one unconvertible character;
        // a lead byte followed by anything else is a stray byte of its own.
        if (!IsShiftJisLeadByte(static_cast<unsigned char>(p[0])) || end - p < 2) return 1;
        const auto trail = static_cast<unsigned char>(p[1]);
        return (trail >= 0x40 && trail <= 0xFC && trail != 0x7F) ? 2 : 1;
    });
}

std::string Utf8ToAnsi(const std::string& utf8) {
    return CodePage() == kShiftJis ? Utf8ToCp932(utf8, '?') : CleanUtf8(utf8, '?');
}

std::string Utf8NameToAnsi(const std::string& utf8) {
    return CodePage() == kShiftJis ? Utf8ToCp932(utf8, '_') : CleanUtf8(utf8, '_');
}

}  // namespace tovra::platform
