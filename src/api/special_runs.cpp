// special_runs.cpp - the two runs that need no command line: the archive
// check of UnzipCheckArchive and the extraction into a memory block of
// UnzipExtractToMem. Both set the context up directly and run the archive
// once; like every run they release their buffers on every path.
#include "api/extract_context.h"
#include "extract/process_state.h"
#include "extract/run_results.h"
#include "platform/ui_host.h"

namespace tovra::api {
namespace {

// Mode value of UnzipCheckArchive that asks for a whole-file search.
constexpr int32_t kFullSearchMode = 2;
// Size reported to the host with a failed extraction to memory.
constexpr uint32_t kFailedSize = 1;

// Releases whatever a run left in the context, on every way out.
class SpecialRunTearDown {
public:
    explicit SpecialRunTearDown(ExtractContext* context) : context_(context) {}
    SpecialRunTearDown(const SpecialRunTearDown&) = delete;
    SpecialRunTearDown& operator=(const SpecialRunTearDown&) = delete;
    ~SpecialRunTearDown() {
        if (context_->progressShown != 0) {
            platform::CurrentUiHost().EndRun();
            context_->progressShown = 0;
        }
        context_->memoryMode = 0;
        if (context_->memoryBlock != nullptr) {  // not handed over: unlock fully and free
            while (platform::GlobalUnlock(context_->memoryBlock)) {
            }
            platform::GlobalFree(context_->memoryBlock);
            context_->memoryBlock = nullptr;
        }
        context_->memoryWritePointer = nullptr;
        context_->parentWindow = nullptr;
        extract::ProcessState().ActiveProgressDialog = nullptr;
        context_->ArgumentList.clear();
        context_->ReleaseRunBuffers();
        context_->archiveName.clear();
    }

private:
    ExtractContext* context_;
};

}  // namespace

int ExtractContext::CheckArchiveRun(const char* archivePath, int32_t mode) {
    ResetRunState();
    SpecialRunTearDown tearDown(this);
    archiveName = archivePath != nullptr ? archivePath : "";
    if (!AllocateRunBuffers()) {
        return extract::kRunOutOfMemory;
    }
    options.listLevel = 1;
    options.test = 0;
    fullSearch = mode == kFullSearchMode ? 1 : 0;
    // The sink stays disconnected and no dialog is shown: no text, no window.
    return ProcessArchive();
}

int ExtractContext::ExtractToMemoryRun(platform::WindowHandle window, const char* archivePath, const char* memberName,
                                       platform::MemoryHandle* block, uint32_t* size) {
    if (block != nullptr) {
        *block = nullptr;
    }
    if (size != nullptr) {
        *size = kFailedSize;
    }
    ResetRunState();
    SpecialRunTearDown tearDown(this);
    archiveName = archivePath != nullptr ? archivePath : "";
    if (!AllocateRunBuffers()) {
        return extract::kRunOutOfMemory;
    }
    // The member name selects like a name on the command line; ".\" stands for
    // an output directory that is never written to.
    ArgumentList = {archiveName, ".\\", memberName != nullptr ? memberName : ""};
    // The window owns the engine's messages and questions and shows the
    // progress; the first update comes after four flushes.
    parentWindow = window;
    if (platform::RunShowsProgress(window)) {
        platform::CurrentUiHost().BeginRun(window, platform::ProgressMode::kExtraction);
        progressShown = 1;
        progressCountdown = 4;
    }
    processAllMembers = 0;
    memoryMode = 1;
    options.noExistenceCheck = 1;  // nothing on disk is looked at, nobody is asked

    int result = ProcessArchive();
    memoryMode = 0;
    if (result != 0 || cancelSeen != 0) {
        return result;  // the tear-down frees a block that exists
    }
    if (memoryBlock == nullptr) {
        // Nothing was extracted into memory (the name selected no file
        // member): a host must never see result 0 with a null block.
        return extract::kRunNothingMatched;
    }
    if (block != nullptr && size != nullptr) {
        *block = memoryBlock;
        *size = memorySize;
        memoryBlock = nullptr;  // the host's now
    }
    return result;
}

}  // namespace tovra::api
