// archive_fuzzer.cpp - the archive scan on arbitrary bytes.
//
// Each input is written to one temporary file and run through the extraction
// engine five ways: a verbose listing with the case marks and the comment,
// a test run (every member read, decompressed and checked, nothing written),
// a listing with the whole-file end-record search, an extraction with paths
// into a scratch directory of this process (emptied after every input), and
// the extraction of every member into a memory block as UnzipExtractToMem
// does it, and the enumeration (the record file of UnzipOpenArchive read back
// as UnzipFindFirst/UnzipFindNext do, then closed). The engine must come back with a result code every time, without
// touching memory it does not own and without hanging. Questions are
// answered No / Cancel, silently.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

#include "api/extract_context.h"
#include "extract/Cunzip.h"
#include "extract/listing_text.h"
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

// One scratch directory for the whole process (named after the scratch
// archive, so it is unique too); its contents are removed after every input
// and the directory itself when the process ends.
struct ScratchDirectory {
    std::filesystem::path path;
    ScratchDirectory() {
        std::error_code error;
        path = std::filesystem::path(ScratchArchive() + ".out");
        if (!std::filesystem::create_directory(path, error) || error) path.clear();
    }
    void Empty() const {
        std::error_code error;
        for (const auto& entry : std::filesystem::directory_iterator(path, error)) {
            std::filesystem::remove_all(entry.path(), error);
        }
    }
    ~ScratchDirectory() {
        std::error_code error;
        if (!path.empty()) std::filesystem::remove_all(path, error);
    }
};

const ScratchDirectory& ScratchOutput() {
    static const ScratchDirectory directory;
    return directory;
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

// The name recorded by the first central header in the input (empty when
// there is none): UnzipExtractToMem selects members by their exact name, so
// this is what reaches its extraction.
std::string FirstCentralName(const uint8_t* data, size_t size) {
    constexpr size_t kHeaderSize = 46;
    constexpr size_t kNameLengthAt = 28;
    for (size_t at = 0; at + kHeaderSize <= size; ++at) {
        if (data[at] != 'P' || data[at + 1] != 'K' || data[at + 2] != 1 || data[at + 3] != 2) continue;
        size_t length = data[at + kNameLengthAt] | (data[at + kNameLengthAt + 1] << 8);
        length = std::min({length, size - at - kHeaderSize, size_t{260}});
        std::string name(reinterpret_cast<const char*>(data + at + kHeaderSize), length);
        return name.substr(0, name.find('\0'));
    }
    return {};
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
    const ScratchDirectory& output = ScratchOutput();
    if (!output.path.empty()) {
        RunOnce(path, [&output](tovra::extract::Cunzip& c) {
            c.options.keepPaths = 1;
            c.outputDirectory = output.path.string() + "/";
        });
        output.Empty();
    }
    {
        tovra::api::ExtractContext context;
        tovra::platform::MemoryHandle block = nullptr;
        uint32_t blockSize = 0;
        const std::string member = FirstCentralName(data, size);
        (void)context.ExtractToMemoryRun(nullptr, path.c_str(), member.c_str(), &block, &blockSize);
        if (block != nullptr) tovra::platform::GlobalFree(block);
    }
    {
        tovra::api::ExtractContext context;
        if (context.OpenForEnumeration(path.c_str()) == 0) {
            // Every record is whole: reading stops at the file's end, at most
            // once per central header the input can hold.
            static uint8_t record[tovra::extract::kEntryRecordSize];
            size_t records = 0;
            for (int got = context.ReadRecord(record, true); got == 0; got = context.ReadRecord(record, false)) {
                if (++records > size / 46 + 1) std::abort();
            }
        }
        context.CloseEnumeration();
    }
    return 0;
}
