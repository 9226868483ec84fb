// entry_copy.cpp - copies what the new archive keeps of the old one: a
// member byte for byte (local header, data, data descriptor), or, after a
// repair, with a local header written afresh from the entry; and raw byte
// ranges such as the preamble.
#include <algorithm>

#include "compress/entry_writer.h"
#include "format/archive_errors.h"
#include "format/records.h"
#include "platform/ui_host.h"

namespace tovra::compress {
namespace {

constexpr size_t kCopyChunk = 32768;
constexpr int kChunksPerProgress = 4;

// Copies up to `count` bytes (kCopyToEnd: to the end) from `in` to `out` in
// chunks of kCopyChunk bytes (fewer only at the end), the progress following
// every kChunksPerProgress chunks. Sets `endedEarly` when the input ended
// first. Returns 0, 4, 10, 11.
int CopyChunks(ArchiveInput& in, ArchiveOutput& out, uint64_t count, const std::string* progressName,
               bool& endedEarly) {
    const bool toEnd = count == kCopyToEnd;
    uint64_t done = 0;
    endedEarly = false;
    bool atEnd = false;
    for (int chunk = 1; !atEnd && (toEnd || done < count); ++chunk) {
        const size_t want = toEnd ? kCopyChunk : static_cast<size_t>(std::min<uint64_t>(kCopyChunk, count - done));
        size_t got = 0;
        while (got < want) {
            const uint8_t* data = nullptr;
            const int64_t n = in.Next(&data, want - got);
            if (n == ArchiveInput::kNoMemory) return format::kArchiveErrorMemory;
            if (n < 0) return format::kArchiveErrorRead;
            if (n == 0) {
                atEnd = true;
                break;
            }
            if (out.Write(data, static_cast<size_t>(n)) != static_cast<size_t>(n)) return format::kArchiveErrorTemp;
            got += static_cast<size_t>(n);
        }
        if (got == 0) {
            endedEarly = !toEnd;
            break;
        }
        done += got;
        if (progressName != nullptr && chunk % kChunksPerProgress == 0) {
            platform::CurrentUiHost().Progress(*progressName, done, toEnd ? 0 : count);
        }
    }
    if (atEnd && !toEnd && done < count) endedEarly = true;
    if (progressName != nullptr) platform::CurrentUiHost().Progress(*progressName, done, toEnd ? done : count);
    return format::kArchiveOk;
}

}  // namespace

int CopyExistingMember(const EntryWriterSettings& settings, format::ZipEntry& entry, ArchiveInput& in,
                       ArchiveOutput& out) {
    uint64_t headerLength = format::kLocalHeaderSize + entry.nameLength + entry.localExtraLength;
    const int64_t newOffset = out.Position();
    if (newOffset < 0 || static_cast<uint64_t>(newOffset) > format::kMaxFieldValue32) {
        return format::kArchiveErrorTooBig;
    }
    uint64_t count;
    if (settings.repairLevel >= 2) {
        if (!in.Seek(static_cast<int64_t>(entry.localHeaderOffset + headerLength))) {
            return format::kArchiveErrorUnexpectedEnd;
        }
        if (settings.repairLevel >= 3) entry.nameLength = entry.internalName.size();
        if (int rc = format::WriteLocalHeader(entry, out); rc != format::kWriteOk) return rc;
        count = entry.compressedSize;
    } else {
        if (!in.Seek(static_cast<int64_t>(entry.localHeaderOffset))) return format::kArchiveErrorUnexpectedEnd;
        count = headerLength + entry.compressedSize;
    }
    if ((entry.localFlags & format::kFlagDataDescriptor) != 0) count += format::kDataDescriptorSize;
    entry.localHeaderOffset = static_cast<uint64_t>(newOffset);
    if (settings.progressShown) {
        platform::CurrentUiHost().SetActivity("copying...");
        platform::CurrentUiHost().BeginFile(entry.externalName, std::string(), count);
    }
    platform::CurrentUiHost().Progress(entry.externalName, 0, count);
    bool endedEarly = false;
    if (int rc = CopyChunks(in, out, count, &entry.externalName, endedEarly); rc != 0) return rc;
    // A member cut short would be written with sizes that its bytes do not
    // have: the old archive ended under it.
    return endedEarly ? format::kArchiveErrorUnexpectedEnd : format::kArchiveOk;
}

int CopyByteRange(ArchiveInput& in, ArchiveOutput& out, uint64_t count, bool showProgress) {
    const std::string name = in.Path();
    bool endedEarly = false;
    return CopyChunks(in, out, count, showProgress ? &name : nullptr, endedEarly);
}

}  // namespace tovra::compress
