// code_page.cpp - the ANSI code page of the Windows build: the system's
// (GetACP), with its lead bytes from the system's tables. UTF-8 as the ANSI
// code page (65001) steps by whole UTF-8 sequences, as natively.
#include <array>

#include "platform/char_step.h"
#include "platform/platform.h"
#include "platform/testing_hooks.h"
#include "platform/win32/win32_common.h"

namespace tovra::platform {
namespace {

struct LeadByteTable {
    UINT codePage;
    std::array<bool, 256> lead{};
    LeadByteTable() : codePage(GetACP()) {
        if (codePage == CP_UTF8) return;
        for (int byte = 0x80; byte < 0x100; ++byte)
            lead[byte] = IsDBCSLeadByteEx(codePage, static_cast<BYTE>(byte)) != 0;
    }
};

const LeadByteTable& Table() {
    static const LeadByteTable table;
    return table;
}

}  // namespace

int CodePage() { return static_cast<int>(Table().codePage); }

bool OverrideCodePageForTesting(int codePage) { return codePage == 0 || codePage == CodePage(); }

bool IsLeadByte(unsigned char byte) { return Table().lead[byte]; }

const char* NextChar(const char* p) {
    const LeadByteTable& table = Table();
    if (table.codePage == CP_UTF8) return StepUtf8(p);
    if (*p == '\0') return p;
    return table.lead[static_cast<unsigned char>(*p)] && p[1] != '\0' ? p + 2 : p + 1;
}

std::string AnsiToUtf8(const std::string& ansi) { return WideToUtf8(AnsiToWide(ansi, L'?'), '?'); }

std::string Utf8ToAnsi(const std::string& utf8) { return WideToAnsi(Utf8ToWide(utf8, L'?'), '?'); }

std::string Utf8NameToAnsi(const std::string& utf8) { return WideToAnsi(Utf8ToWide(utf8, L'_'), '_'); }

}  // namespace tovra::platform
