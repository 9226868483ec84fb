// update_reader_fuzzer.cpp - feeds arbitrary bytes to the update reader as an
// existing archive, with the option sets a run can choose: normal, offset
// adjusting with verbose notes, and repair levels 1, 2 and 3.
//
// After each read the result must be one of the reader's codes, the member
// list must hold no more members than the input has room for local headers,
// every name must lie within the input, and on success the sorted index must
// be in order and find every member by its name. Any breach aborts.
#include <cstdlib>
#include <string>

#include "compress/update_reader.h"
#include "format/zip_values.h"
#include "platform/ui_host.h"

using namespace tovra::compress;

namespace {

void Require(bool condition) {
    if (!condition) std::abort();
}

class SilentReports : public ArchivingReports {
public:
    int ReportError(int code, const std::string&) override { return code; }
    void ReportWarning(const std::string& text, const std::string& name) override {
        shown += text.size() + name.size();
    }
    void ShowNotice(const std::string& text) override { shown += text.size(); }
    size_t shown = 0;
};

// Answers every message without showing it.
class SilentHost : public tovra::platform::UiHost {
public:
    int Message(tovra::platform::WindowHandle, const std::string&, const std::string&, tovra::platform::MessageIcon,
                tovra::platform::MessageButtons) override {
        return tovra::platform::kIdOk;
    }
    tovra::platform::OverwriteAnswer AskOverwrite(tovra::platform::WindowHandle,
                                                  const tovra::platform::OverwriteQuestion&) override {
        return tovra::platform::OverwriteAnswer::kNo;
    }
    bool AskPassword(tovra::platform::WindowHandle, const std::string&, std::string*) override { return false; }
};

void ReadOnce(const uint8_t* data, size_t size, const UpdateReadOptions& options) {
    UpdateInput input;
    input.OpenMemory(data, size);
    SilentReports reports;
    ArchiveContents contents;
    const int code = ReadArchiveForUpdate(input, "fuzz.zip", options, reports, contents);
    Require(code == 0 || code == 2 || code == 3 || code == 11);
    Require(contents.entryCount <= size / tovra::format::kLocalHeaderSize + 1);
    size_t names = 0;
    for (const tovra::format::ZipEntry* e = contents.entries; e != nullptr; e = e->next) {
        names += e->internalName.size();
        Require(e->localHeaderOffset <= size);
    }
    Require(names <= size);
    if (code != 0) return;
    Require(contents.sortedEntries.size() == contents.entryCount);
    for (size_t i = 1; i < contents.sortedEntries.size(); ++i) {
        Require(CompareStoredNames(contents.sortedEntries[i - 1]->internalName,
                                   contents.sortedEntries[i]->internalName) <= 0);
    }
    for (const tovra::format::ZipEntry* e = contents.entries; e != nullptr; e = e->next) {
        const tovra::format::ZipEntry* found = FindEntry(contents, e->internalName);
        Require(found != nullptr && found->internalName == e->internalName);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static SilentHost host;
    tovra::platform::SetUiHost(&host);
    char messages[1105];
    UpdateReadOptions options;
    options.messageBuffer = messages;
    ReadOnce(data, size, options);
    options.adjustOffsets = true;
    options.verbosity = 1;
    ReadOnce(data, size, options);
    options = UpdateReadOptions{};
    options.messageBuffer = messages;
    for (int level : {1, 2, 3}) {
        options.repairLevel = level;
        options.dosNames = level == 3;
        options.showWarnings = level != 2;
        ReadOnce(data, size, options);
    }
    tovra::platform::SetUiHost(nullptr);
    return 0;
}
