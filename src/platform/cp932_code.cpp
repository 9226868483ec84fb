// cp932_code.cpp - looking a character up in the code page 932 table.
#include <algorithm>

#include "platform/cp932_table.h"

namespace tovra::platform {

int Cp932Code(uint32_t unicode) {
    if (unicode == 0) return 0;
    if (unicode > 0xFFFF) return -1;
    const Cp932Mapping* end = kCp932Table + kCp932TableSize;
    const Cp932Mapping* found = std::lower_bound(
        kCp932Table, end, unicode, [](const Cp932Mapping& entry, uint32_t value) { return entry.unicode < value; });
    return found != end && found->unicode == unicode ? found->code : -1;
}

}  // namespace tovra::platform
