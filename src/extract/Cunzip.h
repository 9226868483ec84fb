// Cunzip.h - the extraction engine's context.
//
// Cunzip is the archive file object itself (it extends platform::File: its
// own Open/Seek/Read/Close work on the archive) and carries every field an
// extraction-side run needs: the options parsed from the command line, the
// argument list, the host's text buffer (the output sink), and the engine's
// state in four private groups by owner (engine_state.h): reader, member,
// output and counters. The api layer's ExtractContext derives from it and
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

#include "extract/engine_state.h"
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
    int32_t listLevel = 0;         // 0 extract/test, 1 short listing, 2+ verbose listing
    int32_t test = 0;              // members are tested, nothing is written
    int32_t keepPaths = 0;         // j: keep the directory part of member names
    int32_t lowercaseNames = 0;    // L: mark names of DOS-like hosts for lower case (listing only)
    int32_t commentLevel = 0;      // z: > 0 shows the archive comment (may go negative)
    int32_t freshen = 0;           // f: extract only files that already exist
    int32_t update = 0;            // u, f: keep existing files newer than the member
    int32_t noExistenceCheck = 0;  // x: overwrite without looking
    int32_t textConversion = 0;    // a, b: counted, clamped to 2, no effect
    int32_t volumeLabel = 0;       // $: counted, no effect
    int32_t keepVersions = 0;      // V: no effect
};

class Cunzip : public platform::File {
public:
    Cunzip();
    ~Cunzip() override;

    // ---- interface-level fields (defaults as after construction)
    std::string archiveName;                        // path of the archive
    std::string outputDirectory;                    // prefix of every output path; absolute in a run
    platform::WindowHandle parentWindow = nullptr;  // host window while attached
    int32_t cancelSeen = 0;                         // copy of the progress dialog's cancel flag
    int32_t progressShown = 0;                      // 1 between the host's BeginRun and EndRun
    int32_t progressInterval = 1;                   // progress update once per that many flushes
    int32_t progressCountdown = 1;
    char* sinkPointer = nullptr;  // next free byte of the host's text buffer
    uint32_t sinkCapacity = 0;
    uint32_t sinkUsed = 0;
    int32_t memoryMode = 0;  // 1 while UnzipExtractToMem runs
    platform::MemoryHandle memoryBlock = nullptr;
    uint8_t* memoryWritePointer = nullptr;
    uint32_t memorySize = 0;
    int32_t processAllMembers = 1;  // 0: only members named on the command line
    int32_t quiet = 1;              // 1 by default, changed by nothing: no comment unless asked (z)
    int32_t fullSearch = 0;         // search the whole archive for the end record
    ExtractOptions options;
    std::vector<std::string> ArgumentList;  // archive, output directory, member names
    platform::File recordFile;              // enumeration records
    int32_t enumerationMode = 0;            // 1 while UnzipOpenArchive lists the archive
    uint8_t* recordBuffer = nullptr;        // 558 bytes: the record being filled

    // Appends one text to the host's buffer: `used` grows by n whether or not
    // the text is copied; it is copied (and zero-terminated) only when the new
    // `used` is below the capacity, so a text never arrives cut.
    void AppendOutput(const char* text, size_t n);
    void AppendOutput(const std::string& text) { AppendOutput(text.data(), text.size()); }

    // Allocates / releases the name, input and output buffers of one run.
    // AllocateRunBuffers returns false when memory is short (nothing held then).
    bool AllocateRunBuffers();
    void ReleaseRunBuffers();

    // ---- the engine's state, read-only (engine_state.h says who owns what)
    const ArchiveReaderState& Reader() const { return reader; }
    const MemberState& Member() const { return member; }
    const OutputState& Output() const { return output; }
    const RunCounters& Counters() const { return counters; }

    // Test seams: unit tests set up a single step of the engine (one member's
    // headers, an output path, a reader on a hand-made file) without an
    // archive run in front of it. Nothing but tests calls these.
    ArchiveReaderState& ReaderForTest() { return reader; }
    MemberState& MemberForTest() { return member; }
    OutputState& OutputForTest() { return output; }

    // ---- archive reader and end record (archive_reader.cpp)
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
    int64_t ReaderPosition() const { return reader.blockStart + (reader.readPointer - reader.inputBuffer); }
    // Backward search for the end record over the last `searchLength` bytes.
    // 0: found (endRecord, endRecordPosition and expectedEndRecordPosition set,
    // reader behind the record); 2: not found or unreadable (after the beep);
    // 51: the file ends inside the record.
    int FindEndRecord(int64_t searchLength);

    // ---- archive scan and member loop (Cunzip.cpp)

    // Field modes of ReadFieldBytes.
    enum FieldMode : int { kFieldSkip = 0, kFieldDisplay = 1, kFieldName = 2, kFieldExtra = 3 };

    // The archive scan: opens the archive named by archiveName and extracts,
    // tests or lists it as the options say. Returns the run's result code.
    int ProcessArchive();
    // The member loop over the central directory (reader on its first header).
    int ProcessMembers();
    // Reads the 42 bytes after a central signature into centralHeader and sets
    // hostSystem, lowercaseName and volumeLabel of *currentMember and
    // nameIsUtf8. 0, or 51 when the archive ends inside them.
    int ReadCentralHeader();
    // Consumes `length` bytes of a variable field in `mode` (FieldMode). 0; 1
    // when a name was cut to 260 bytes; 3 when a skip would seek before the
    // file start; 51 when the archive ends early.
    // kFieldName keeps the whole field in storedName and puts the member's
    // name into nameBuffer: the stored bytes, or, when nameIsUtf8 is set,
    // their conversion to the ANSI code page (Utf8NameToAnsi).
    // kFieldExtra, read right after the name of the same header: when the
    // field holds a Unicode path field whose CRC matches storedName, that
    // field's name, converted the same way, becomes the member's name.
    int ReadFieldBytes(uint32_t length, int mode);
    // Fills the remaining MemberInfo fields of *currentMember from
    // centralHeader and decides whether the member can be extracted at all
    // (version and method checks, with their messages).
    bool AcceptMember();
    // The listing over the central directory (reader on its first header).
    int ListMembers();
    // Tries the password buffer against the 12 encryption header bytes (left
    // unchanged). 0: accepted; the keys are ready and the member's bytes
    // already in the input buffer are decrypted. -1: refused.
    int CheckPassword(const uint8_t* header);
    // Decrypts `count` bytes in place with the member's keys.
    void DecryptBytes(uint8_t* data, size_t count);

    // ---- member extraction and output files (output_path.cpp,
    //      overwrite_decision.cpp, member_extract.cpp, member_output.cpp)

    static constexpr size_t kWriteBufferSize = size_t{1} << 18;
    // Results of MapOutputPath.
    enum : int {
        kMapGoOn = 0,             // write the member at outputPath
        kMapDirectoryFailed = 3,  // a directory could not be made (reported); skip, run result >= 2
        kMapDirectoryEntry = 77,  // a directory entry: nothing to write, no error
        kMapNothingLeft = 78,     // nothing of a hostile name remains (warned); skip, run result >= 1
    };
    // Results of DecideOverwrite.
    enum : int { kOverwriteExtract = 0, kOverwriteSkip = 1 };

    // Step 6 of the member loop (not in test mode): maps the output path,
    // creates its directories and decides about overwriting. Returns the value
    // the run result is to be raised to (0, 1 after a hostile name, 2 when a
    // directory could not be made); *extract tells whether to extract.
    int PrepareMemberOutput(bool* extract);
    // Sets outputPath from nameBuffer, the output directory and the keep-paths
    // option, and creates the directories. Parts of a hostile name that could
    // lead out of the output directory are dropped with a warning (nameWarning
    // = 1). Returns a kMap* value; does nothing (kMapGoOn) in memory mode.
    int MapOutputPath();
    // Whether the file at outputPath may be replaced, by the options, the
    // process-wide overwrite values and, when those leave it open, the answer
    // of the UiHost (which updates those values). Returns kOverwrite*.
    int DecideOverwrite();
    // Extracts *currentMember (local header read, reader on its data) into
    // outputPath, the memory block, or nowhere in test mode. Returns 0, 1
    // (incomplete data, or a method without a decoder), 2 (damaged data, CRC
    // mismatch, data longer or shorter than the declared uncompressed size,
    // cancel), 6 (out of memory), 50 (output failure). Never more than the
    // declared size is written; a stored member whose compressed size is not
    // its declared size is refused before anything is written.
    int ExtractMember();
    // Takes the decoder's next n output bytes: CRC, then file, memory block or
    // nothing; then progress to the UiHost and the cancel request into
    // cancelSeen. 0; 50 when this or an earlier write of the member failed
    // (ProcessState().WriteFailureState is then 2); kFlushSizeExceeded when
    // the bytes run past declaredSize: only the part up to it is taken and
    // sizeExceeded is set, so the decoder stops at once.
    int FlushOutput(const uint8_t* data, size_t n);
    static constexpr int kFlushSizeExceeded = 2;
    // The member's next compressed byte, or -1 when its bytes are used up
    // (compressedBytesLeft keeps counting down below 0) or the archive ends.
    int NextMemberByte();

private:
    // The codec adapter works on the reader and the member's counts directly.
    friend class MemberCodecIo;

    ArchiveReaderState reader;
    MemberState member;
    OutputState output;
    RunCounters counters;

    // ---- steps of the operations above, used only inside the engine
    // Steps of ProcessArchive while the archive is open: end record, comment,
    // preamble correction, directory check, then listing or member loop.
    int ScanOpenArchive();
    // Puts `name` into nameBuffer as the member's name: cut to 260 bytes
    // (result 1; a `converted` name is cut before the character that would
    // not fit whole), then the volume-label dot rule. Returns 0 or 1.
    int TakeMemberName(const std::string& name, bool converted);
    // The overlap pre-pass of the member loop (member_spans.cpp): walks the
    // whole central directory from the reader's place, fills
    // overlappingEntries and puts the reader back. 0; 5 when the lists cannot
    // be allocated; 51 when the reader cannot return to its place.
    int FindOverlappingMembers();
    // Whether central directory entry `entry` overlaps another member.
    bool EntryOverlaps(uint32_t entry) const;
    // Whether a local header signature stands at the recorded `offset`, with
    // or without the preamble correction (moves the reader).
    bool LocalHeaderAt(uint64_t offset);
    // Copies the cancel request of the running command's progress display
    // into cancelSeen; true when the run is to stop.
    bool PollCancel();
    // The password step for the encrypted *currentMember, run after the local
    // header has been read. True: extract it. False: skip it (counted in
    // givenUpMembers, or *result raised to 5 when no password buffer could be
    // allocated).
    bool PasswordStep(int* result);
    // Decrypts the first min(bytesLeft, memberBytes) bytes at readPointer
    // when the current member is being decrypted (after each refill).
    void DecryptRefill(int64_t memberBytes);
    // The member's next run of compressed bytes straight from the reader's
    // buffer (valid until the next read): sets *data, returns the count, 0
    // when the member's bytes are used up or the archive ends.
    int64_t TakeMemberInput(const uint8_t** data);
    // Steps of ExtractMember and FlushOutput.
    bool BeginMemberOutput();
    bool WritePending();
    bool GrowMemoryBlock(size_t needed);
    bool OpenMemoryBlock();
    // The member's uncompressed size: the local one, or the central one when
    // a data descriptor (or a local 0, or the Zip64 placeholder) makes the
    // local one unusable.
    uint32_t DeclaredUncompressedSize() const;
    void ReportDecoderFailure(const char* cause, const char* methodWord);
    // Result 2 with its message for a member whose data is longer (`longer`)
    // or shorter than its declared size.
    int ReportSizeMismatch(bool longer);
    int64_t MemberFileTime(bool* known);
    int CopyStored();
    int InflateMember();
    int UnshrinkMember();
    int UnreduceMember();
    int ExplodeMember();
    int FinishOutputFile();
};

// Creates every directory of `path` up to its last separator ('\' or '/').
// Returns 1 when they all exist afterwards, 0 after a failure that has been
// reported to the user in a message box owned by `owner`.
int CreatePathDirectories(const std::string& path, platform::WindowHandle owner);

}  // namespace tovra::extract
