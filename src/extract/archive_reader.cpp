// archive_reader.cpp - the buffered reader through which the extraction side
// reads every archive byte, and the backward search for the end record.
//
// Reader state (fields of Cunzip):
//   blockStart   file position of inputBuffer[0]; always a multiple of
//                kInputBlockSize once a block has been read.
//   inputFill    valid bytes in inputBuffer (0..kInputBlockSize); 0 means the
//                buffer holds nothing usable and the next seek re-reads.
//                A fill below kInputBlockSize means that block ends the file.
//   readPointer  next byte to deliver, inside inputBuffer.
//   bytesLeft    valid bytes from readPointer on; never negative.
// The three bytes at inputEnd (inputBuffer + 8192) are the hold area of the
// end-record search: they keep the first bytes of the block scanned before,
// so a signature that straddles two blocks is still seen.
#include <algorithm>
#include <cstring>

#include "extract/Cunzip.h"
#include "format/records.h"

namespace tovra::extract {
namespace {

inline constexpr int64_t kBlock = static_cast<int64_t>(kInputBlockSize);
inline constexpr size_t kHoldSize = 3;
inline constexpr int64_t kEndRecordLength = static_cast<int64_t>(format::kEndRecordSize);
// A tail shorter than this cannot hold an end record that starts in the block
// before it with only its first kHoldSize bytes there.
inline constexpr int64_t kMinTailToRead = kEndRecordLength - static_cast<int64_t>(kHoldSize);
static_assert(kInputBufferSize >= kInputBlockSize + kHoldSize, "the hold area follows the block");
static_assert(kMinTailToRead == 19);

// Reads up to n bytes, retrying short reads; returns the count read (a read
// error counts as the end of the file).
int64_t ReadFully(platform::File& file, uint8_t* buffer, int64_t n) {
    int64_t got = 0;
    while (got < n) {
        int64_t r = file.Read(buffer + got, static_cast<size_t>(n - got));
        if (r <= 0) break;
        got += r;
    }
    return got;
}

}  // namespace

void Cunzip::ResetReader() {
    blockStart = 0;
    inputFill = 0;
    readPointer = inputBuffer;
    bytesLeft = 0;
}

int64_t Cunzip::RefillInput() {
    // A short block ended the file: there is nothing after it.
    if (inputFill > 0 && inputFill < kBlock) {
        readPointer = inputBuffer + inputFill;
        bytesLeft = 0;
        return 0;
    }
    int64_t next = inputFill == 0 ? blockStart : blockStart + kBlock;
    int64_t got = 0;
    if (Seek(next, platform::SeekOrigin::kBegin) == next) got = ReadFully(*this, inputBuffer, kBlock);
    blockStart = next;
    inputFill = got;
    readPointer = inputBuffer;
    bytesLeft = got;
    return got;
}

uint32_t Cunzip::ReadArchiveBytes(void* buffer, uint32_t count) {
    uint8_t* out = static_cast<uint8_t*>(buffer);
    uint32_t copied = 0;
    while (copied < count) {
        if (bytesLeft <= 0 && RefillInput() <= 0) break;
        uint32_t n = static_cast<uint32_t>(std::min<int64_t>(bytesLeft, count - copied));
        std::memcpy(out + copied, readPointer, n);
        readPointer += n;
        bytesLeft -= n;
        copied += n;
    }
    return copied;
}

int Cunzip::SeekArchive(int64_t position) {
    if (position < 0) return 3;
    int64_t wanted = position - position % kBlock;
    if (wanted != blockStart || inputFill == 0) {
        int64_t got = 0;
        if (Seek(wanted, platform::SeekOrigin::kBegin) == wanted) got = ReadFully(*this, inputBuffer, kBlock);
        blockStart = wanted;
        inputFill = got;
        readPointer = inputBuffer;
        bytesLeft = 0;
        if (got <= 0) return 51;
    }
    int64_t offset = position - wanted;
    readPointer = inputBuffer + offset;
    bytesLeft = std::max<int64_t>(0, inputFill - offset);
    return 0;
}

int Cunzip::FindEndRecord(int64_t searchLength) {
    const int64_t size = archiveSize;
    uint8_t* hold = inputEnd;
    int64_t found = -1;  // position of the signature inside inputBuffer

    // Highest candidate position first; a candidate near the block end reads
    // its last bytes from the hold area.
    auto scan = [&](int64_t highest) {
        for (int64_t p = highest; p >= 0; --p) {
            if (inputBuffer[p] == endSignature[0] && std::memcmp(inputBuffer + p, endSignature, 4) == 0) return p;
        }
        return int64_t{-1};
    };
    auto fail = [&] {
        inputFill = 0;
        readPointer = inputBuffer;
        bytesLeft = 0;
        platform::Beep(1);  // the system's default beep
        return 2;
    };

    if (size <= kBlock) {
        if (size < kEndRecordLength) return fail();
        if (Seek(0, platform::SeekOrigin::kBegin) != 0) return fail();
        blockStart = 0;
        inputFill = ReadFully(*this, inputBuffer, size);
        if (inputFill < size) return fail();
        found = scan(size - kEndRecordLength);
    } else {
        const int64_t tail = size % kBlock;
        const int64_t base = size - tail;
        blockStart = base;
        if (tail >= kMinTailToRead) {
            if (Seek(base, platform::SeekOrigin::kBegin) != base) return fail();
            inputFill = ReadFully(*this, inputBuffer, tail);
            if (inputFill < tail) return fail();
            if (tail >= kEndRecordLength) found = scan(tail - kEndRecordLength);
            std::memcpy(hold, inputBuffer, kHoldSize);
        } else {
            inputFill = 0;
            std::memset(hold, 0, kHoldSize);
        }
        if (found < 0) {
            int64_t blocks = std::max<int64_t>(0, (searchLength - tail + kBlock - 1) / kBlock);
            blocks = std::min(blocks, base / kBlock);
            for (int64_t i = 0; i < blocks && found < 0; ++i) {
                blockStart -= kBlock;
                inputFill = 0;
                if (Seek(blockStart, platform::SeekOrigin::kBegin) != blockStart) return fail();
                if (ReadFully(*this, inputBuffer, kBlock) != kBlock) return fail();
                inputFill = kBlock;
                found = scan(kBlock - 1);
                std::memcpy(hold, inputBuffer, kHoldSize);
            }
        }
    }
    if (found < 0) return fail();

    endRecordPosition = blockStart + found;
    readPointer = inputBuffer + found;
    bytesLeft = std::max<int64_t>(0, inputFill - found);
    uint8_t record[format::kEndRecordSize];
    // A record cut short by the end of the file is unusable, whether or not
    // some of its bytes could be read.
    if (ReadArchiveBytes(record, sizeof record) != sizeof record) return 51;
    format::ParseEndRecord(record + format::kSignatureSize, format::kEndRecordBodySize, &endRecord);
    expectedEndRecordPosition =
        static_cast<int64_t>(endRecord.centralDirOffset) + static_cast<int64_t>(endRecord.centralDirSize);
    return 0;
}

}  // namespace tovra::extract
