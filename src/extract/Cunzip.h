// Cunzip.h - the extraction engine's context.
//
// Cunzip is the archive file object itself (it extends platform::File: its
// own Open/Seek/Read/Close work on the archive) and carries every field an
// extraction-side run needs: the options parsed from the command line, the
// argument list, the host's text buffer (the output sink), the per-run buffers
// and the engine's state. The api layer's ExtractContext derives from it and
// adds the command-line parser and the run driver; the engine operations
// (ProcessArchive and what it calls) are members here.
//
// Ownership: the three per-run buffers are allocated at the start of each run
// (AllocateRunBuffers) and released at its end (ReleaseRunBuffers); the
// destructor releases whatever a run left behind.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "extract/member_batch.h"
#include "extract/process_state.h"
#include "format/records.h"
#include "platform/platform.h"

namespace tovra::extract {

// Sizes of the per-run buffers.
inline constexpr size_t kNameBufferSize = 261;
inline constexpr size_t kInputBlockSize = 8192;
inline constexpr size_t kInputBufferSize = kInputBlockSize + 4;
inline constexpr size_t kOutputBufferSize = 65537;
inline constexpr size_t kSlideWindowSize = 0x8000;

// Option fields set by the command line (all 0 after ResetRunState).
struct ExtractOptions {
    int32_t listLevel = 0;          // 0 extract/test, 1 short listing, 2+ verbose listing
    int32_t test = 0;               // members are tested, nothing is written
    int32_t keepPaths = 0;          // j: keep the directory part of member names
    int32_t lowercaseNames = 0;     // L: mark names of DOS-like hosts for lower case (listing only)
    int32_t commentLevel = 0;       // z: > 0 shows the archive comment (may go negative)
    int32_t freshen = 0;            // f: extract only files that already exist
    int32_t update = 0;             // u, f: keep existing files newer than the member
    int32_t noExistenceCheck = 0;   // x: overwrite without looking
    int32_t textConversion = 0;     // a, b: counted, clamped to 2, no effect
    int32_t volumeLabel = 0;        // $: counted, no effect
    int32_t keepVersions = 0;       // V: no effect
};

class Cunzip : public platform::File {
public:
    Cunzip();
    ~Cunzip() override;

    // ---- interface-level fields (defaults as after construction)
    platform::File outputFile;           // the member file being written
    std::string archiveName;             // path of the archive
    std::string outputDirectory;         // extraction base directory
    char* nameBuffer = nullptr;          // 261 bytes: current member's name / output name
    std::string outputPath;              // full path of the file being written
    platform::WindowHandle parentWindow = nullptr;  // host window while attached
    uint32_t bytesDone = 0;              // bytes of the current member written so far
    int32_t cancelSeen = 0;              // copy of the progress dialog's cancel flag
    int32_t progressInterval = 1;        // progress update once per that many flushes
    int32_t progressCountdown = 1;
    char* sinkPointer = nullptr;         // next free byte of the host's text buffer
    uint32_t sinkCapacity = 0;
    uint32_t sinkUsed = 0;
    uint8_t* inputBuffer = nullptr;      // 8196 bytes; inputEnd marks byte 8192
    uint8_t* inputEnd = nullptr;
    uint8_t* outputBuffer = nullptr;     // 65537 bytes
    int32_t memoryMode = 0;              // 1 while UnzipExtractToMem runs
    platform::MemoryHandle memoryBlock = nullptr;
    uint8_t* memoryWritePointer = nullptr;
    uint32_t memorySize = 0;
    int32_t processAllMembers = 1;       // 0: only members named on the command line
    int32_t fullSearch = 0;              // search the whole archive for the end record
    ExtractOptions options;
    char unknownMethodText[16] = {};     // "Unk:%03d" of the current member
    std::vector<std::string> ArgumentList;  // archive, output directory, member names
    platform::File recordFile;           // enumeration records
    int32_t enumerationMode = 0;         // 1 while UnzipOpenArchive lists the archive
    uint8_t* recordBuffer = nullptr;     // 558 bytes: the record being filled

    // Appends one text to the host's buffer: `used` grows by n whether or not
    // the text is copied; it is copied (and zero-terminated) only when the new
    // `used` is below the capacity, so a text never arrives cut.
    void AppendOutput(const char* text, size_t n);
    void AppendOutput(const std::string& text) { AppendOutput(text.data(), text.size()); }

    // Allocates / releases the name, input and output buffers of one run.
    // AllocateRunBuffers returns false when memory is short (nothing held then).
    bool AllocateRunBuffers();
    void ReleaseRunBuffers();

    // ---- archive reader and end record (archive_reader.cpp)
    // The reader keeps inputBuffer aligned to 8192-byte blocks of the file:
    // blockStart is the file position of inputBuffer[0], inputFill the count of
    // valid bytes in it (0: nothing valid), readPointer the next unread byte and
    // bytesLeft the unread valid bytes from there (never negative). The 3 bytes
    // at inputEnd are the end-record search's hold area.
    int64_t blockStart = 0;
    int64_t inputFill = 0;
    uint8_t* readPointer = nullptr;
    int64_t bytesLeft = 0;
    int64_t archiveSize = 0;                // from the file system, before opening
    int64_t endRecordPosition = 0;          // where the end record's signature was found
    int64_t expectedEndRecordPosition = 0;  // central directory offset + size, as recorded
    format::EndRecord endRecord;            // fields of the end record as read
    // Signatures, built at the start of every run.
    uint8_t centralSignature[4] = {};
    uint8_t endSignature[4] = {};
    uint8_t localSignature[4] = {};

    // Empties the reader: nothing buffered, block start 0.
    void ResetReader();
    // Copies up to `count` bytes from the archive's read position into
    // `buffer`, refilling block by block; returns the count copied (fewer only
    // when the file ends or cannot be read).
    uint32_t ReadArchiveBytes(void* buffer, uint32_t count);
    // Positions the reader on the file position `position`. Returns 0, 3 for a
    // negative position, 51 when the block holding it cannot be read at all.
    int SeekArchive(int64_t position);
    // Reads the block after the buffered one into inputBuffer; returns the
    // bytes read (0 at the end of the file or on a read error). readPointer is
    // set to inputBuffer and bytesLeft to the count.
    int64_t RefillInput();
    // File position of the next byte the reader delivers.
    int64_t ReaderPosition() const { return blockStart + (readPointer - inputBuffer); }
    // Backward search for the end record over the last `searchLength` bytes.
    // 0: found (endRecord, endRecordPosition and expectedEndRecordPosition set,
    // reader behind the record); 2: not found or unreadable (after the beep);
    // 51: the file ends inside the record.
    int FindEndRecord(int64_t searchLength);

    // ---- archive scan and member loop (Cunzip.cpp)
    int64_t extraBytes = 0;                 // preamble length added to every offset (negative: bytes missing)
    format::CentralHeader centralHeader;    // current central header (fields after the signature)
    format::LocalHeader localHeader;        // current local header (fields after the signature)
    int64_t compressedBytesLeft = 0;        // member data not yet consumed; may go negative
    int64_t uncompressedSize = 0;           // local header's uncompressed size
    std::unique_ptr<uint8_t[]> extraField;  // current extra field (central or local), exactly extraFieldLength bytes
    uint32_t extraFieldLength = 0;
    uint32_t* crcTable = nullptr;           // 256 entries while the member loop runs
    uint16_t skippedMembers = 0;            // refused by AcceptMember
    uint16_t givenUpMembers = 0;            // no usable password
    MemberInfo* currentMember = nullptr;    // the MemberBatch slot being worked on

    // Field modes of ReadFieldBytes.
    enum FieldMode : int { kFieldSkip = 0, kFieldDisplay = 1, kFieldName = 2, kFieldExtra = 3 };

    // The archive scan: opens the archive named by archiveName and extracts,
    // tests or lists it as the options say. Returns the run's result code.
    int ProcessArchive();
    // The member loop over the central directory (reader on its first header).
    int ProcessMembers();
    // Reads the 42 bytes after a central signature into centralHeader and sets
    // hostSystem, lowercaseName and volumeLabel of *currentMember. 0, or 51
    // when the archive ends inside them.
    int ReadCentralHeader();
    // Consumes `length` bytes of a variable field in `mode` (FieldMode). 0; 1
    // when a name was cut to 260 bytes; 3 when a skip would seek before the
    // file start; 51 when the archive ends early.
    int ReadFieldBytes(uint32_t length, int mode);
    // Fills the remaining MemberInfo fields of *currentMember from
    // centralHeader and decides whether the member can be extracted at all
    // (version and method checks, with their messages).
    bool AcceptMember();
    // The listing over the central directory (reader on its first header).
    int ListMembers();
};

// Creates every directory of `path` up to its last separator ('\' or '/').
// Returns 1 when they all exist afterwards, 0 after a failure that has been
// reported to the user in a message box owned by `owner`.
int CreatePathDirectories(const std::string& path, platform::WindowHandle owner);

}  // namespace tovra::extract
