// native_path.cpp - separator conversion by whole characters.
#include "platform/posix/native_path.h"

#include "platform/platform.h"

namespace tovra::platform {

std::string ToNativePath(const std::string& path) {
    std::string native = path;
    // std::string keeps a terminating zero after its bytes, so NextChar stops
    // there; an embedded zero ends the scan the same way the system call would.
    char* const base = native.data();
    for (const char* p = base; *p != '\0'; p = NextChar(p)) {
        if (*p == '\\') base[p - base] = '/';
    }
    return native;
}

bool ToNativePathBuffer(const std::string& path, char* out, size_t size) {
    if (path.size() >= size) return false;
    path.copy(out, path.size());
    out[path.size()] = '\0';
    for (const char* p = out; *p != '\0'; p = NextChar(p)) {
        if (*p == '\\') out[p - out] = '/';
    }
    return true;
}

std::string LastComponent(const std::string& path) {
    const char* start = path.c_str();
    for (const char* p = start; *p != '\0'; p = NextChar(p)) {
        if (IsPathSeparator(*p)) start = p + 1;
    }
    return std::string(start);
}

}  // namespace tovra::platform
