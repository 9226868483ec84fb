// member_output.cpp - the two ends of one member's data: the input side that
// hands out the member's compressed bytes (NextMemberByte, and the same bytes
// a buffer at a time) and the output side that takes what a decompressor
// produced (FlushOutput): it keeps the CRC-32, and writes to the output file
// through a large write buffer, or to the memory block in memory mode, or
// nowhere in test mode.
//
// Output state (fields of Cunzip):
//   memberCrc       CRC-32 of the member's bytes flushed so far, finished
//                   form (0 before the first byte).
//   writeBuffer     kWriteBufferSize bytes, allocated on the first member;
//   writePending    bytes in it not yet written to outputFile. Small members
//                   thus reach the file in one write when they end.
//   memoryBase      locked address of memoryBlock in memory mode; the data
//                   runs from there to memoryWritePointer, and memoryCapacity
//                   is the block's size, always larger than the data so that
//                   at least one zero byte follows it.
// The write-failure state is process-wide (ProcessState()).
#include <algorithm>
#include <cstring>
#include <new>

#include "extract/Cunzip.h"
#include "extract/member_codec_io.h"
#include "extract/process_state.h"
#include "extract/run_results.h"
#include "format/crc32.h"
#include "platform/platform.h"
#include "platform/ui_host.h"

namespace tovra::extract {
namespace {

// Largest memory block a member may grow: its size must fit memorySize.
inline constexpr uint64_t kMaxMemoryBlock = 0xFFFFFFFFu;

}  // namespace

// ---------------------------------------------------------------- input

int64_t Cunzip::TakeMemberInput(const uint8_t** data) {
    if (member.compressedBytesLeft <= 0) {
        return 0;
    }
    if (reader.bytesLeft <= 0) {
        if (RefillInput() <= 0) {
            return 0;
        }
        DecryptRefill(member.compressedBytesLeft);
    }
    int64_t n = std::min(reader.bytesLeft, member.compressedBytesLeft);
    if (member.decryptingMember) {
        n = std::min<int64_t>(n, member.decryptedEnd - reader.readPointer);
        if (n <= 0) {
            return 0;
        }
    }
    *data = reader.readPointer;
    reader.readPointer += n;
    reader.bytesLeft -= n;
    member.compressedBytesLeft -= n;
    return n;
}

int Cunzip::NextMemberByte() {
    if (member.compressedBytesLeft <= 0) {
        // Counted below zero on purpose: decoders read how far they ran past
        // the member's end.
        --member.compressedBytesLeft;
        return -1;
    }
    --member.compressedBytesLeft;
    if (reader.bytesLeft <= 0) {
        if (RefillInput() <= 0) {
            return -1;
        }
        // The byte being taken still belongs to the member.
        DecryptRefill(member.compressedBytesLeft + 1);
    }
    --reader.bytesLeft;
    return *reader.readPointer++;
}

// ---------------------------------------------------------------- output

bool Cunzip::BeginMemberOutput() {
    member.memberCrc = 0;
    output.bytesDone = 0;
    member.declaredSize = DeclaredUncompressedSize();
    output.sizeExceeded = 0;
    output.writePending = 0;
    ProcessState().WriteFailureState = 0;
    platform::CurrentUiHost().Progress(member.nameBuffer, 0, member.declaredSize);
    if (memoryMode == 0 && options.test == 0 && output.writeBuffer == nullptr) {
        output.writeBuffer.reset(new (std::nothrow) uint8_t[kWriteBufferSize]);
        return output.writeBuffer != nullptr;
    }
    return true;
}

bool Cunzip::WritePending() {
    if (output.writePending == 0) {
        return true;
    }
    const int64_t written = output.outputFile.Write(output.writeBuffer.get(), output.writePending);
    const bool ok = written == static_cast<int64_t>(output.writePending);
    output.writePending = 0;
    if (!ok) {
        ProcessState().WriteFailureState = 2;
    }
    return ok;
}

bool Cunzip::GrowMemoryBlock(size_t needed) {
    const size_t produced = static_cast<size_t>(memoryWritePointer - output.memoryBase);
    // Doubling keeps the number of moves small; the +4 keeps a zero byte
    // behind the data, as the first block does.
    uint64_t capacity = std::max<uint64_t>(uint64_t{output.memoryCapacity} * 2, uint64_t{produced} + needed + 4);
    capacity = (capacity + 3) & ~uint64_t{3};
    if (uint64_t{produced} + needed >= kMaxMemoryBlock) {
        return false;
    }
    capacity = std::min(capacity, kMaxMemoryBlock);
    platform::GlobalUnlock(memoryBlock);
    platform::MemoryHandle grown = platform::GlobalReAllocZeroed(memoryBlock, static_cast<size_t>(capacity));
    if (grown != nullptr) {
        memoryBlock = grown;
        output.memoryCapacity = static_cast<uint32_t>(capacity);
    }
    output.memoryBase = static_cast<uint8_t*>(platform::GlobalLock(memoryBlock));
    if (output.memoryBase == nullptr) {
        memoryWritePointer = nullptr;
        return false;
    }
    memoryWritePointer = output.memoryBase + produced;
    return grown != nullptr;
}

int Cunzip::FlushOutput(const uint8_t* data, size_t n) {
    // Nothing past the declared size is taken: the part up to it is written,
    // and the result stops the decoder before it makes any more.
    const uint32_t room = output.bytesDone < member.declaredSize ? member.declaredSize - output.bytesDone : 0;
    const bool exceeded = n > room;
    if (exceeded) {
        n = room;
        output.sizeExceeded = 1;
    }
    member.memberCrc = format::Crc32(member.memberCrc, data, n);
    ExtractProcessState& state = ProcessState();
    if (n == 0) {
        return exceeded ? kFlushSizeExceeded : kRunOk;
    }
    if (state.WriteFailureState != 0) {
        return kRunOutputFailed;
    }
    if (options.test != 0) {
        // Nothing is written.
    } else if (memoryMode != 0) {
        if (memoryWritePointer == nullptr) {
            state.WriteFailureState = 2;
        } else {
            const size_t produced = static_cast<size_t>(memoryWritePointer - output.memoryBase);
            // The block never takes bytes past its end: it grows first, and
            // when it cannot, the member fails as a failed write would.
            if (output.memoryCapacity - produced <= n && !GrowMemoryBlock(n)) {
                state.WriteFailureState = 2;
            } else {
                std::memcpy(memoryWritePointer, data, n);
                memoryWritePointer += n;
            }
        }
    } else if (output.writePending + n <= kWriteBufferSize) {
        std::memcpy(output.writeBuffer.get() + output.writePending, data, n);
        output.writePending += n;
    } else if (WritePending()) {
        if (n >= kWriteBufferSize) {
            if (output.outputFile.Write(data, n) != static_cast<int64_t>(n)) {
                state.WriteFailureState = 2;
            }
        } else {
            std::memcpy(output.writeBuffer.get(), data, n);
            output.writePending = n;
        }
    }
    // Progress every progressInterval flushes (the first after
    // progressCountdown of them), then the cancel request is copied.
    output.bytesDone += static_cast<uint32_t>(n);
    if (--progressCountdown <= 0) {
        platform::CurrentUiHost().Progress(member.nameBuffer, output.bytesDone, member.declaredSize);
        progressCountdown = progressInterval > 0 ? progressInterval : 1;
    }
    PollCancel();
    if (state.WriteFailureState == 2) {
        return kRunOutputFailed;
    }
    return exceeded ? kFlushSizeExceeded : kRunOk;
}

// ---------------------------------------------------------------- codec adapter

const uint8_t* MemberCodecIo::Buffered(size_t& count) {
    int64_t n = std::min(context_.reader.bytesLeft, context_.member.compressedBytesLeft);
    // An encrypted member's bytes are handed out only as far as they are
    // decrypted.
    if (context_.member.decryptingMember)
        n = std::min<int64_t>(n, context_.member.decryptedEnd - context_.reader.readPointer);
    count = n > 0 ? static_cast<size_t>(n) : 0;
    return context_.reader.readPointer;
}

void MemberCodecIo::Consume(size_t n) {
    const auto consumed = static_cast<int64_t>(n);
    context_.reader.readPointer += n;
    context_.reader.bytesLeft -= consumed;
    context_.member.compressedBytesLeft -= consumed;
}

int MemberCodecIo::FlushWindow(const uint8_t* data, size_t count) {
    const int result = context_.FlushOutput(data, count);
    if (result != 0) {
        return result;
    }
    return context_.cancelSeen != 0 ? kRunError : kRunOk;
}

}  // namespace tovra::extract
