// process_state.cpp - the one instance of the extraction side's process-wide
// values. It is a function-local static so that it exists before the first
// call into the library whatever the order of static construction, and lives
// until the library is unloaded.
#include "extract/process_state.h"

namespace tovra::extract {

ExtractProcessState& ProcessState() {
    static ExtractProcessState state;
    return state;
}

}  // namespace tovra::extract
