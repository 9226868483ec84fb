// path_text.cpp - separator tests on path text, shared by both builds. They
// step whole characters of the ANSI code page, because in code page 932 the
// second byte of many characters (0x95 0x5C, 表) is the byte of '\'.
#include <string>

#include "platform/platform.h"

namespace tovra::platform {

bool EndsInSeparator(const std::string& path) {
    const char* last = nullptr;
    for (const char* p = path.c_str(); *p != '\0'; p = NextChar(p)) last = p;
    return last != nullptr && NextChar(last) == last + 1 && IsPathSeparator(*last);
}

}  // namespace tovra::platform
