// member_extract.cpp - extracting one member whose local header the member
// loop has read: open the output (a file, a memory block, or nothing in test
// mode), run the method's decoder, finish the output, stamp the file with the
// member's time and attributes, and compare the CRC-32.
//
// A member that fails after its output was opened leaves the file on disk as
// far as it was written; the CRC is compared after the file is stamped, and a
// mismatch leaves the file too (the result says it is damaged).
//
// The declared uncompressed size is a promise hosts rely on (they check free
// space and size limits from it before they extract): the flush never takes
// more than that many bytes, and a member whose data is longer or shorter
// fails like a damaged one (result 2, with a message). A stored member whose
// compressed size differs from it is refused before anything is written.
#include <algorithm>
#include <cstring>

#include "extract/Cunzip.h"
#include "extract/member_acceptance.h"
#include "extract/process_state.h"
#include "extract/run_results.h"
#include "format/dos_time.h"
#include "format/zip_values.h"
#include "platform/platform.h"
#include "platform/ui_host.h"

namespace tovra::extract {
namespace {

// Attribute bits that a newly created file does not have already; only when
// one of them is wanted (or the file existed before) is SetAttributes called.
inline constexpr uint32_t kAttrNotOnNewFile = platform::kAttrReadOnly | platform::kAttrHidden | platform::kAttrSystem;

// A memory block holds the data and at least one zero byte after it: the size
// rounded down to a multiple of 4, plus 4.
constexpr uint64_t MemoryBlockSize(uint64_t dataSize) { return (dataSize & ~uint64_t{3}) + 4; }

// The declared size is only the archive's claim: a first block is never made
// larger than this, and grows with the data instead, so that a lying header
// cannot make the library reserve gigabytes for a few bytes.
inline constexpr uint64_t kFirstMemoryBlockLimit = uint64_t{64} << 20;

}  // namespace

int64_t Cunzip::MemberFileTime(bool* known) {
    const uint32_t dos = member.localHeader.dosDateTime;
    if (!output.fileTimeCacheValid || output.fileTimeCacheDos != dos) {
        output.fileTimeCacheValid = format::DosTimeToUnix(dos, &output.fileTimeCacheUnix);
        output.fileTimeCacheDos = dos;
    }
    *known = output.fileTimeCacheValid;
    return output.fileTimeCacheUnix;
}

uint32_t Cunzip::DeclaredUncompressedSize() const {
    // The local size is unusable when a data descriptor carries the real one
    // (the local field is then often 0); the central directory has it.
    const bool localUsable = (member.localHeader.flags & format::kFlagDataDescriptor) == 0 &&
                             member.localHeader.uncompressedSize != 0 &&
                             member.localHeader.uncompressedSize != format::kZip64Placeholder32;
    if (!localUsable && member.currentMember != nullptr) {
        return member.currentMember->uncompressedSize;
    }
    return member.localHeader.uncompressedSize;
}

bool Cunzip::OpenMemoryBlock() {
    // Only the block of the last member named is handed over: an earlier
    // one is given back here so that it cannot be lost.
    if (memoryBlock != nullptr) {
        while (platform::GlobalUnlock(memoryBlock)) {
        }
        platform::GlobalFree(memoryBlock);
        memoryBlock = nullptr;
    }
    output.memoryBase = nullptr;
    memoryWritePointer = nullptr;
    memorySize = 0;
    const uint64_t size = std::min(MemoryBlockSize(DeclaredUncompressedSize()), kFirstMemoryBlockLimit);
    memoryBlock = platform::GlobalAllocZeroed(static_cast<size_t>(size));
    if (memoryBlock == nullptr) {
        return false;
    }
    output.memoryCapacity = static_cast<uint32_t>(size);
    output.memoryBase = static_cast<uint8_t*>(platform::GlobalLock(memoryBlock));
    memoryWritePointer = output.memoryBase;
    return output.memoryBase != nullptr;
}

int Cunzip::CopyStored() {
    // The member's bytes go to the flush straight from the reader's buffer,
    // a buffer at a time; the flush gathers them for the file.
    int64_t remaining = member.compressedBytesLeft;
    while (remaining > 0) {
        const uint8_t* data = nullptr;
        const int64_t n = TakeMemberInput(&data);
        if (n <= 0) {
            return kRunError;  // the archive ended inside the member
        }
        remaining -= n;
        if (FlushOutput(data, static_cast<size_t>(n)) != 0) {
            return kRunOutputFailed;
        }
        if (cancelSeen != 0) {
            return kRunError;
        }
    }
    return kRunOk;
}

int Cunzip::FinishOutputFile() {
    const bool flushed = WritePending();
    bool timeKnown = false;
    const int64_t fileTime = MemberFileTime(&timeKnown);
    // The time goes on through the open handle: no second lookup by name.
    if (timeKnown) {
        output.outputFile.SetModificationTime(fileTime);
    }
    output.outputFile.Close();
    const uint32_t attributes =
        (member.currentMember != nullptr ? member.currentMember->attributeByte : platform::kAttrArchive) &
        ~uint32_t{platform::kAttrNormal};
    if (output.outputExisted != 0 || (attributes & kAttrNotOnNewFile) != 0) {
        platform::SetAttributes(output.outputPath, attributes | platform::kAttrArchive);
    }
    return flushed ? kRunOk : kRunOutputFailed;
}

int Cunzip::ExtractMember() {
    if (cancelSeen != 0) {
        return kRunError;
    }
    platform::UiHost& ui = platform::CurrentUiHost();
    if (progressShown != 0) ui.BeginFile(member.nameBuffer, output.outputPath, DeclaredUncompressedSize());
    const uint16_t method = member.localHeader.method;
    if (!MethodHasDecoder(method)) {
        // No decoder for this method here: reported as not extracted, before
        // an empty output file could be left behind.
        return kRunWarning;
    }
    if (method == format::kMethodStored && member.compressedBytesLeft != int64_t{DeclaredUncompressedSize()}) {
        // Copying would write a length that is not the declared one.
        return ReportSizeMismatch(member.compressedBytesLeft > int64_t{DeclaredUncompressedSize()});
    }
    if (!BeginMemberOutput()) {
        return kRunDecoderNoMemory;
    }
    if (memoryMode != 0) {
        if (!OpenMemoryBlock()) {
            return kRunDecoderNoMemory;
        }
    } else if (options.test == 0) {
        if (!output.outputFile.Open(output.outputPath, platform::OpenMode::kCreate)) {
            return kRunOutputFailed;
        }
    }

    int result;
    switch (method) {
        case format::kMethodStored:
            if (progressShown != 0) ui.SetActivity("extracting...");
            result = CopyStored();
            break;
        case format::kMethodShrunk:
            if (progressShown != 0) ui.SetActivity("unshrinking...");
            result = UnshrinkMember();
            break;
        case format::kMethodImploded:
            if (progressShown != 0) ui.SetActivity("exploding...");
            result = ExplodeMember();
            break;
        case format::kMethodDeflated:
            if (progressShown != 0) ui.SetActivity("inflating...");
            result = InflateMember();
            break;
        default:  // the four reduce factors
            if (progressShown != 0) ui.SetActivity("unreducing...");
            result = UnreduceMember();
            break;
    }
    if (cancelSeen != 0) {
        result = kRunError;
    }
    if (ProcessState().WriteFailureState == 2) {
        result = kRunOutputFailed;
    }

    if (memoryMode != 0) {
        if (output.memoryBase != nullptr) {
            memorySize = static_cast<uint32_t>(memoryWritePointer - output.memoryBase);
            platform::GlobalUnlock(memoryBlock);
            // A block that grew (or started at the limit) is cut back to the
            // size an exact first block would have had.
            const uint64_t exact = MemoryBlockSize(memorySize);
            if (output.memoryCapacity != MemoryBlockSize(DeclaredUncompressedSize()) && output.memoryCapacity > exact) {
                if (platform::MemoryHandle trimmed = platform::GlobalReAllocZeroed(memoryBlock, exact)) {
                    memoryBlock = trimmed;
                    output.memoryCapacity = static_cast<uint32_t>(exact);
                }
            }
        }
        output.memoryBase = nullptr;
        memoryWritePointer = nullptr;
    } else if (options.test == 0) {
        if (FinishOutputFile() != 0 && result <= kRunWarning) {
            result = kRunOutputFailed;
        }
    }
    if (result > kRunWarning) {
        return result;
    }
    if (output.sizeExceeded != 0 || output.bytesDone != member.declaredSize) {
        return ReportSizeMismatch(output.sizeExceeded != 0);
    }
    const uint32_t expected =
        (member.localHeader.flags & format::kFlagDataDescriptor) != 0 && member.currentMember != nullptr
            ? member.currentMember->crc32
            : member.localHeader.crc32;
    return member.memberCrc == expected ? result : 2;
}

int Cunzip::ReportSizeMismatch(bool longer) {
    ReportDecoderFailure(longer ? "more data than declared to " : "less data than declared to ",
                         member.localHeader.method == format::kMethodDeflated ? "inflate" : "extract");
    return kRunError;
}

}  // namespace tovra::extract
