// enumeration.cpp - the enumeration handle: the archive is listed once into a
// temporary file of 558-byte EntryInfoRecords, which UnzipFindFirst and
// UnzipFindNext read back and UnzipCloseArchive deletes.
//
// The record file is created in the system's temporary directory with the
// prefix "TVR". Whatever happens after it was created, it is deleted again
// unless a handle that owns it is handed to the host: a failed listing, a
// failure to reopen it, and an escaping exception all end in CloseEnumeration.
#include <cstring>
#include <memory>

#include "api/extract_context.h"
#include "extract/listing_text.h"
#include "extract/run_results.h"

namespace tovra::api {
namespace {

using extract::kEntryRecordSize;
// Prefix of the record file's name.
constexpr const char* kRecordFilePrefix = "TVR";

}  // namespace

int ExtractContext::OpenForEnumeration(const char* archivePath) {
    ResetRunState();
    archiveName = archivePath != nullptr ? archivePath : "";
    if (!AllocateRunBuffers()) {
        archiveName.clear();
        return extract::kRunOutOfMemory;
    }
    recordPath_ = platform::CreateUniqueTempFile(platform::TempDirectory(), kRecordFilePrefix);
    int result = extract::kRunOutputFailed;
    if (!recordPath_.empty() && recordFile.Open(recordPath_, platform::OpenMode::kCreate)) {
        recordBuffer = new uint8_t[kEntryRecordSize]();
        enumerationMode = 1;
        options.listLevel = 1;
        // The sink stays disconnected and no dialog is shown: the pass
        // produces records only.
        result = ProcessArchive();
        enumerationMode = 0;
        delete[] recordBuffer;
        recordBuffer = nullptr;
    }
    ReleaseRunBuffers();
    archiveName.clear();

    recordFile.Close();
    if (result == 0 && !recordFile.Open(recordPath_, platform::OpenMode::kRead)) {
        result = extract::kRunOutputFailed;
    }
    return result;
}

int ExtractContext::ReadRecord(void* record, bool rewind) {
    if (record == nullptr || !recordFile.IsOpen()) {
        return -1;
    }
    if (rewind && recordFile.Seek(0, platform::SeekOrigin::kBegin) != 0) {
        return -1;
    }
    uint8_t whole[kEntryRecordSize];
    size_t got = 0;
    while (got < kEntryRecordSize) {
        const int64_t n = recordFile.Read(whole + got, kEntryRecordSize - got);
        if (n <= 0) {
            return -1;  // the end, or a short record: nothing is delivered
        }
        got += static_cast<size_t>(n);
    }
    std::memcpy(record, whole, kEntryRecordSize);
    return 0;
}

void ExtractContext::CloseEnumeration() {
    recordFile.Close();
    if (!recordPath_.empty()) {
        // A file that another program holds open cannot be deleted; the handle
        // is closed all the same.
        platform::DeletePath(recordPath_);
        recordPath_.clear();
    }
}

}  // namespace tovra::api
