// engine_state.h - the extraction engine's working state, grouped by owner.
//
// Cunzip holds one of each group. The fields that the interface layer sets
// before a run (options, argument list, sink, memory mode ...) stay on Cunzip
// itself; what is here belongs to one part of the engine, which alone writes
// it. The comment of each group says who that is and when it is reset.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "codecs/traditional_crypto.h"
#include "extract/member_batch.h"
#include "format/records.h"
#include "platform/platform.h"

namespace tovra::extract {

// The archive reader and end-record search (archive_reader.cpp), plus the
// scan's preamble correction (Cunzip.cpp). The block buffer lives from
// AllocateRunBuffers to ReleaseRunBuffers; ResetReader empties the positions
// and ProcessArchive builds the signatures and clears extraBytes at the start
// of every archive; FindEndRecord sets the end-record fields.
//
// The reader keeps inputBuffer aligned to 8192-byte blocks of the file:
// blockStart is the file position of inputBuffer[0], inputFill the count of
// valid bytes in it (0: nothing valid), readPointer the next unread byte and
// bytesLeft the unread valid bytes from there (never negative). The 3 bytes
// at inputEnd are the end-record search's hold area.
struct ArchiveReaderState {
    uint8_t* inputBuffer = nullptr;  // 8196 bytes; inputEnd marks byte 8192
    uint8_t* inputEnd = nullptr;
    int64_t blockStart = 0;
    int64_t inputFill = 0;
    uint8_t* readPointer = nullptr;
    int64_t bytesLeft = 0;
    int64_t archiveSize = 0;                // from the file system, before opening
    int64_t endRecordPosition = 0;          // where the end record's signature was found
    int64_t expectedEndRecordPosition = 0;  // central directory offset + size, as recorded
    format::EndRecord endRecord;            // fields of the end record as read
    uint8_t centralSignature[4] = {};
    uint8_t endSignature[4] = {};
    uint8_t localSignature[4] = {};
    int64_t extraBytes = 0;  // preamble length added to every offset (negative: bytes missing)
};

// The member being worked on: its headers, names, sizes, CRC and password
// state, owned by the member loop and the listing (Cunzip.cpp, listing.cpp,
// member_password.cpp, member_spans.cpp) and by member extraction
// (member_extract.cpp, member_output.cpp) for the CRC and declared size. The
// header fields are overwritten by each header read; the name buffer lives
// from AllocateRunBuffers to ReleaseRunBuffers; the CRC table and the overlap
// list exist only while the member loop runs; the password buffer and
// passwordGaveUp last for the rest of the run once set.
struct MemberState {
    char* nameBuffer = nullptr;             // 261 bytes: current member's name / output name
    std::string storedName;                 // the name field just read, all its bytes as stored
    bool nameIsUtf8 = false;                // the header being read flags its name as UTF-8 (bit 11)
    char unknownMethodText[16] = {};        // "Unk:%03d" of the current member
    format::CentralHeader centralHeader;    // current central header (fields after the signature)
    format::LocalHeader localHeader;        // current local header (fields after the signature)
    std::unique_ptr<uint8_t[]> extraField;  // current extra field (central or local), exactly extraFieldLength bytes
    uint32_t extraFieldLength = 0;
    int64_t compressedBytesLeft = 0;      // member data not yet consumed; may go negative
    int64_t uncompressedSize = 0;         // local header's uncompressed size
    uint32_t declaredSize = 0;            // DeclaredUncompressedSize() of the member being written
    uint32_t memberCrc = 0;               // CRC-32 of the member's output so far (finished form)
    MemberInfo* currentMember = nullptr;  // the MemberBatch slot being worked on
    uint32_t* crcTable = nullptr;         // 256 entries while the member loop runs
    // Per central directory entry (overlapEntryCount of them): 1 when the
    // member's data overlaps another member's (member_spans.h).
    std::unique_ptr<uint8_t[]> overlappingEntries;
    uint32_t overlapEntryCount = 0;
    std::unique_ptr<char[]> passwordBuffer;  // 81 bytes from the run's first encrypted member on
    int32_t passwordGaveUp = 0;              // an empty password was given: stop asking in this run
    codecs::TraditionalKeys cipherKeys;      // the current encrypted member's keys
    bool decryptingMember = false;           // the member's refills are decrypted (its password was accepted)
    uint8_t* decryptedEnd = nullptr;         // while decrypting: end of the decrypted bytes in inputBuffer
};

// Where a member's data goes, owned by output path mapping, the overwrite
// decision and member output (output_path.cpp, overwrite_decision.cpp,
// member_extract.cpp, member_output.cpp). The output buffer (the decoders'
// window) lives from AllocateRunBuffers to ReleaseRunBuffers; the rest is
// set up again for each member by MapOutputPath, DecideOverwrite and
// BeginMemberOutput.
struct OutputState {
    platform::File outputFile;               // the member file being written
    std::string outputPath;                  // full path of the file being written
    uint8_t* outputBuffer = nullptr;         // 65537 bytes
    uint32_t bytesDone = 0;                  // bytes of the current member written so far
    int32_t nameWarning = 0;                 // MapOutputPath dropped parts of a hostile name
    int32_t outputExisted = 1;               // the output path held a file before (1 when unknown)
    std::unique_ptr<uint8_t[]> writeBuffer;  // kWriteBufferSize bytes gathered for one write
    size_t writePending = 0;                 // bytes in writeBuffer not yet written
    int32_t sizeExceeded = 0;                // the data ran past declaredSize (the rest was not written)
    uint8_t* memoryBase = nullptr;           // locked start of memoryBlock in memory mode
    uint32_t memoryCapacity = 0;             // size of memoryBlock in bytes
    bool fileTimeCacheValid = false;         // MemberFileTime's last conversion
    uint32_t fileTimeCacheDos = 0;
    int64_t fileTimeCacheUnix = 0;
};

// Counts the member loop keeps over one archive; cleared when it starts.
struct RunCounters {
    uint16_t skippedMembers = 0;  // refused by AcceptMember
    uint16_t givenUpMembers = 0;  // no usable password
};

}  // namespace tovra::extract
