// overwrite_decision.cpp - whether a member may be written over the file that
// is already at its output path, and the member loop's output step that maps
// the path and then asks this.
//
// The decision reads the output options (x, f, u), the process-wide overwrite
// values (n, o and the overwrite-all answer, which stay in force from one run
// to the next) and the existing file's modification time; when they leave the
// question open it asks the person through the UiHost, whose answer changes the
// process-wide values for later members and later runs.
#include <string>

#include "extract/Cunzip.h"
#include "extract/process_state.h"
#include "platform/platform.h"
#include "platform/ui_host.h"

namespace tovra::extract {

int Cunzip::DecideOverwrite() {
    ExtractProcessState& state = ProcessState();
    output.outputExisted = 1;  // unknown counts as existing: attributes are then always set
    if (options.noExistenceCheck != 0) {
        return options.freshen != 0 ? kOverwriteSkip : kOverwriteExtract;
    }
    platform::FileStatus disk;
    if (!platform::GetFileStatus(output.outputPath, &disk) || !disk.exists) {
        output.outputExisted = 0;
        return options.freshen != 0 ? kOverwriteSkip : kOverwriteExtract;
    }

    bool memberTimeKnown = false;
    const int64_t memberTime = MemberFileTime(&memberTimeKnown);
    // A member time that cannot be converted counts as not older.
    const bool memberOlder = memberTimeKnown && memberTime < disk.modificationTime;
    if (state.NeverOverwriteFlag != 0 || (memberOlder && options.update != 0)) {
        return kOverwriteSkip;
    }
    if (state.OverwriteAllFlag != 0 || state.AssumeYesFlag != 0) {
        return kOverwriteExtract;
    }

    platform::OverwriteQuestion question;
    for (const char* p = member.nameBuffer; *p != '\0';) {
        const char* next = platform::NextChar(p);
        if (next == p + 1 && *p == '/') {
            question.path += '\\';
        } else {
            question.path.append(p, static_cast<size_t>(next - p));
        }
        p = next;
    }
    question.memberTime = memberTime;
    question.memberSize = member.localHeader.uncompressedSize;
    question.diskTime = disk.modificationTime;
    question.diskSize = disk.size;
    platform::Beep(platform::kBeepAsterisk);
    switch (platform::CurrentUiHost().AskOverwrite(parentWindow, question)) {
        case platform::OverwriteAnswer::kYesToAll:
            state.OverwriteAllFlag = 1;
            state.NeverOverwriteFlag = 0;
            return kOverwriteExtract;
        case platform::OverwriteAnswer::kYes:
            return kOverwriteExtract;
        case platform::OverwriteAnswer::kNo:
            break;
    }
    state.OverwriteAllFlag = 0;
    state.AssumeYesFlag = 0;
    return kOverwriteSkip;
}

int Cunzip::PrepareMemberOutput(bool* extract) {
    *extract = false;
    const int mapped = MapOutputPath();
    int raise = output.nameWarning != 0 ? 1 : 0;
    switch (mapped) {
        case kMapGoOn:
            break;
        case kMapDirectoryFailed:
            return 2;
        default:  // a directory entry, or nothing left of the name
            return raise;
    }
    if (memoryMode == 0 && DecideOverwrite() == kOverwriteSkip) {
        return raise;
    }
    *extract = true;
    return raise;
}

}  // namespace tovra::extract
