// name_match.cpp - member selection by whole, case-insensitive names (see
// name_match.h).
#include "extract/name_match.h"

#include "platform/platform.h"

namespace tovra::extract {
namespace {

unsigned char FoldAscii(unsigned char c) { return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c + 32) : c; }

}  // namespace

bool NamesEqualIgnoringCase(const char* a, const char* b) {
    while (*a != '\0' && *b != '\0') {
        const char* nextA = platform::NextChar(a);
        const char* nextB = platform::NextChar(b);
        if (nextA - a != nextB - b) return false;
        if (nextA - a == 1) {
            if (FoldAscii(static_cast<unsigned char>(*a)) != FoldAscii(static_cast<unsigned char>(*b))) return false;
        } else {
            for (const char *p = a, *q = b; p < nextA; ++p, ++q) {
                if (*p != *q) return false;
            }
        }
        a = nextA;
        b = nextB;
    }
    return *a == *b;
}

bool NameSelected(const char* name, const std::vector<std::string>& arguments, size_t first) {
    for (size_t i = first; i < arguments.size(); ++i) {
        if (NamesEqualIgnoringCase(name, arguments[i].c_str())) return true;
    }
    return false;
}

}  // namespace tovra::extract
