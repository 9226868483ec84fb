// archive_fuzzer.cpp - the archive scan on arbitrary bytes.
//
// Each input is written to one temporary file and run through the extraction
// engine three ways: a verbose listing with the case marks and the comment,
// a test run (every member read, decompressed and checked, nothing written),
// and a listing with the whole-file end-record search. The engine must come
// back with a result code every time, without touching memory it does not
// own and without hanging. Questions are answered No / Cancel, silently.
#include <cstddef>
#include <cstdint>
#include <string>

#include "extract/Cunzip.h"
#include "extract/process_state.h"
#include "platform/platform.h"
#include "platform/ui_host.h"

namespace {

class SilentHost : public tovra::platform::UiHost {
public:
    int Message(tovra::platform::WindowHandle, const std::string&, const std::string&, tovra::platform::MessageIcon,
                tovra::platform::MessageButtons buttons) override {
        return buttons == tovra::platform::MessageButtons::kYesNo ? tovra::platform::kIdNo : tovra::platform::kIdCancel;
    }
    tovra::platform::OverwriteAnswer AskOverwrite(tovra::platform::WindowHandle,
                                                  const tovra::platform::OverwriteQuestion&) override {
        return tovra::platform::OverwriteAnswer::kNo;
    }
    bool AskPassword(tovra::platform::WindowHandle, const std::string&, std::string*) override { return false; }
};

// One temporary file for the whole process, removed when it ends.
struct ScratchFile {
    std::string path = tovra::platform::CreateUniqueTempFile(tovra::platform::TempDirectory(), "TVRFUZZ");
    ~ScratchFile() {
        if (!path.empty()) tovra::platform::DeletePath(path);
    }
};

const std::string& ScratchArchive() {
    static const ScratchFile file;
    return file.path;
}

template <typename Configure>
void RunOnce(const std::string& path, Configure configure) {
    tovra::extract::ProcessState() = tovra::extract::ExtractProcessState{};
    tovra::extract::Cunzip context;
    if (!context.AllocateRunBuffers()) return;
    static char text[4096];
    context.archiveName = path;
    context.ArgumentList = {path, ""};
    context.sinkPointer = text;
    context.sinkCapacity = sizeof text;
    configure(context);
    (void)context.ProcessArchive();
    context.ReleaseRunBuffers();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static SilentHost host;
    tovra::platform::SetUiHost(&host);
    const std::string& path = ScratchArchive();
    if (path.empty()) return 0;
    {
        tovra::platform::File file;
        if (!file.Open(path, tovra::platform::OpenMode::kCreate)) return 0;
        if (size > 0 && file.Write(data, size) != static_cast<int64_t>(size)) return 0;
    }
    RunOnce(path, [](tovra::extract::Cunzip& c) {
        c.options.listLevel = 2;
        c.options.lowercaseNames = 1;
        c.quiet = 0;
    });
    RunOnce(path, [](tovra::extract::Cunzip& c) { c.options.test = 1; });
    RunOnce(path, [](tovra::extract::Cunzip& c) {
        c.options.listLevel = 1;
        c.fullSearch = 1;
    });
    return 0;
}
