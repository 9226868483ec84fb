// string_table.cpp - the built-in copy of the library's string table. Keep it
// identical to the STRINGTABLE of ui/resources/TOVRA64.rc (a unit test
// compares the two).
#include "platform/string_table.h"

#include <cstddef>

namespace tovra::platform {
namespace {

struct StringEntry {
    unsigned id;
    const char* text;
};

constexpr StringEntry kStrings[] = {
    {1, "error:  %s%s %s"},
    {2, "error:  %s%s"},
    {3, "%7lu  %-7s%7lu %4s  %02u-%02u-%02u  %02u:%02u  %08lx  %c"},
    {4, "%7lu  %02u-%02u-%02u  %02u:%02u  %c"},
};

}  // namespace

const char* BuiltInString(unsigned id) {
    for (const StringEntry& entry : kStrings) {
        if (entry.id == id) return entry.text;
    }
    return nullptr;
}

}  // namespace tovra::platform
