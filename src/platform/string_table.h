// string_table.h - the library's string table as built-in UTF-8 texts.
//
// The same four entries are compiled into the Windows DLL as a STRINGTABLE
// resource (ui/resources/TOVRA64.rc); the native build, which has no
// resources, answers LoadStringResource from this table.
#pragma once

namespace tovra::platform {

// The UTF-8 text of entry `id`, or null when there is no such entry.
const char* BuiltInString(unsigned id);

}  // namespace tovra::platform
