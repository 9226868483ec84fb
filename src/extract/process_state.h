// process_state.h - the extraction side's process-wide values.
//
// They live as long as the library is loaded and are not locked: calls into
// the library must not overlap. The overwrite values outlive each call on
// purpose: an "o" in one command line stays in force for later calls until a
// negated option or the overwrite dialog's answer changes it.
#pragma once

#include <cstdint>

namespace tovra::ui {
class CDlgExtMsg;
}

namespace tovra::extract {

struct ExtractProcessState {
    // The progress dialog of the running call; null between calls. Reset to
    // null at the start of every extraction-side call.
    ui::CDlgExtMsg* ActiveProgressDialog = nullptr;
    int32_t NeverOverwriteFlag = 0;  // option n
    int32_t OverwriteAllFlag = 0;    // option o, or the overwrite-all answer
    int32_t AssumeYesFlag = 0;       // option o; also answers the engine's other yes/no question
    // 0, or 2 once a write of the current member's output failed. Cleared by
    // the member loop before each member; a failed write ends the loop.
    int32_t WriteFailureState = 0;
};

// The one instance, for the life of the library.
ExtractProcessState& ProcessState();

}  // namespace tovra::extract
