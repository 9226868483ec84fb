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
#include "extract/run_results.h"
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
    reader.blockStart = 0;
    reader.inputFill = 0;
    reader.readPointer = reader.inputBuffer;
    reader.bytesLeft = 0;
}

int64_t Cunzip::RefillInput() {
    // A short block ended the file: there is nothing after it.
    if (reader.inputFill > 0 && reader.inputFill < kBlock) {
        reader.readPointer = reader.inputBuffer + reader.inputFill;
        reader.bytesLeft = 0;
        return 0;
    }
    int64_t next = reader.inputFill == 0 ? reader.blockStart : reader.blockStart + kBlock;
    int64_t got = 0;
    if (Seek(next, platform::SeekOrigin::kBegin) == next) got = ReadFully(*this, reader.inputBuffer, kBlock);
    reader.blockStart = next;
    reader.inputFill = got;
    reader.readPointer = reader.inputBuffer;
    reader.bytesLeft = got;
    return got;
}

uint32_t Cunzip::ReadArchiveBytes(void* buffer, uint32_t count) {
    uint8_t* out = static_cast<uint8_t*>(buffer);
    uint32_t copied = 0;
    while (copied < count) {
        if (reader.bytesLeft <= 0 && RefillInput() <= 0) break;
        uint32_t n = static_cast<uint32_t>(std::min<int64_t>(reader.bytesLeft, count - copied));
        std::memcpy(out + copied, reader.readPointer, n);
        reader.readPointer += n;
        reader.bytesLeft -= n;
        copied += n;
    }
    return copied;
}

int Cunzip::SeekArchive(int64_t position) {
    if (position < 0) return kRunBadStructure;
    int64_t wanted = position - position % kBlock;
    if (wanted != reader.blockStart || reader.inputFill == 0) {
        int64_t got = 0;
        if (Seek(wanted, platform::SeekOrigin::kBegin) == wanted) got = ReadFully(*this, reader.inputBuffer, kBlock);
        reader.blockStart = wanted;
        reader.inputFill = got;
        reader.readPointer = reader.inputBuffer;
        reader.bytesLeft = 0;
        if (got <= 0) return kRunArchiveEnded;
    }
    int64_t offset = position - wanted;
    reader.readPointer = reader.inputBuffer + offset;
    reader.bytesLeft = std::max<int64_t>(0, reader.inputFill - offset);
    return kRunOk;
}

int Cunzip::FindEndRecord(int64_t searchLength) {
    const int64_t size = reader.archiveSize;
    uint8_t* hold = reader.inputEnd;
    int64_t found = -1;  // position of the signature inside inputBuffer

    // Highest candidate position first; a candidate near the block end reads
    // its last bytes from the hold area.
    auto scan = [&](int64_t highest) {
        for (int64_t p = highest; p >= 0; --p) {
            if (reader.inputBuffer[p] == reader.endSignature[0] &&
                std::memcmp(reader.inputBuffer + p, reader.endSignature, 4) == 0)
                return p;
        }
        return int64_t{-1};
    };
    auto fail = [&] {
        reader.inputFill = 0;
        reader.readPointer = reader.inputBuffer;
        reader.bytesLeft = 0;
        platform::Beep(1);  // the system's default beep
        return kRunError;
    };

    if (size <= kBlock) {
        if (size < kEndRecordLength) return fail();
        if (Seek(0, platform::SeekOrigin::kBegin) != 0) return fail();
        reader.blockStart = 0;
        reader.inputFill = ReadFully(*this, reader.inputBuffer, size);
        if (reader.inputFill < size) return fail();
        found = scan(size - kEndRecordLength);
    } else {
        const int64_t tail = size % kBlock;
        const int64_t base = size - tail;
        reader.blockStart = base;
        if (tail >= kMinTailToRead) {
            if (Seek(base, platform::SeekOrigin::kBegin) != base) return fail();
            reader.inputFill = ReadFully(*this, reader.inputBuffer, tail);
            if (reader.inputFill < tail) return fail();
            if (tail >= kEndRecordLength) found = scan(tail - kEndRecordLength);
            std::memcpy(hold, reader.inputBuffer, kHoldSize);
        } else {
            reader.inputFill = 0;
            std::memset(hold, 0, kHoldSize);
        }
        if (found < 0) {
            int64_t blocks = std::max<int64_t>(0, (searchLength - tail + kBlock - 1) / kBlock);
            blocks = std::min(blocks, base / kBlock);
            for (int64_t i = 0; i < blocks && found < 0; ++i) {
                reader.blockStart -= kBlock;
                reader.inputFill = 0;
                if (Seek(reader.blockStart, platform::SeekOrigin::kBegin) != reader.blockStart) return fail();
                if (ReadFully(*this, reader.inputBuffer, kBlock) != kBlock) return fail();
                reader.inputFill = kBlock;
                found = scan(kBlock - 1);
                std::memcpy(hold, reader.inputBuffer, kHoldSize);
            }
        }
    }
    if (found < 0) return fail();

    reader.endRecordPosition = reader.blockStart + found;
    reader.readPointer = reader.inputBuffer + found;
    reader.bytesLeft = std::max<int64_t>(0, reader.inputFill - found);
    uint8_t record[format::kEndRecordSize];
    // A record cut short by the end of the file is unusable, whether or not
    // some of its bytes could be read.
    if (ReadArchiveBytes(record, sizeof record) != sizeof record) return kRunArchiveEnded;
    format::ParseEndRecord(record + format::kSignatureSize, format::kEndRecordBodySize, &reader.endRecord);
    reader.expectedEndRecordPosition =
        static_cast<int64_t>(reader.endRecord.centralDirOffset) + static_cast<int64_t>(reader.endRecord.centralDirSize);
    return kRunOk;
}

}  // namespace tovra::extract
