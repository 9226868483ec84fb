// platform.h - the only interface through which the library reaches the
// operating system. Two implementations: posix/ (Linux) and win32/ (Windows).
//
// File names are ANSI bytes of the system code page and are passed through
// untouched (Win32 uses the A functions). Texts that the library shows to a
// person (message boxes) are UTF-8 here and converted by the implementation
// (to UTF-16 for MessageBoxW on Windows; left as UTF-8 for a Linux terminal).
//
// Linux mapping of Windows concepts: '\' and '/' are both separators;
// read-only = no owner write permission; hidden = a name starting with '.';
// system = never; the archive attribute is set on every regular file; the mode
// word is the real st_mode. Code page 932 is in force when TOVRA_CODEPAGE=932
// or the locale's codeset is Shift JIS; otherwise names step as UTF-8.
// Names avoid the Win32 macros (MessageBox, DeleteFile, CreateDirectory, ...)
// so that the win32 implementation can include <windows.h>.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace tovra::platform {

// ---------------------------------------------------------------- files

// Windows file attribute bits (also the DOS attribute byte of ZIP records).
enum : uint32_t {
    kAttrReadOnly = 0x01,
    kAttrHidden = 0x02,
    kAttrSystem = 0x04,
    kAttrVolumeLabel = 0x08,
    kAttrDirectory = 0x10,
    kAttrArchive = 0x20,
    kAttrNormal = 0x80,
};

enum class OpenMode {
    kRead,             // existing file, read only
    kCreate,           // create or truncate, write only
    kReadWrite,        // existing file, read and write
    kCreateReadWrite,  // create or truncate, read and write
};

enum class SeekOrigin { kBegin, kCurrent, kEnd };

// A file handle with 64-bit positions. Not copyable; closes itself when
// destroyed. Every operation on a closed file fails without side effects.
class File {
public:
    File() = default;
    virtual ~File();
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    // Opens `path`; returns false (file stays closed) on any failure.
    // An already open file is closed first.
    bool Open(const std::string& path, OpenMode mode);
    void Close();
    bool IsOpen() const { return handle_ != kInvalid; }
    // The path given to the last successful Open (kept after Close).
    const std::string& Path() const { return path_; }

    // Reads up to n bytes; returns the count read (0 at end of file), -1 on error.
    int64_t Read(void* buffer, size_t n);
    // Writes n bytes; returns the count written (less than n only on error), -1 on error.
    int64_t Write(const void* buffer, size_t n);
    // Moves the position; returns the new position, or -1 (position unchanged).
    int64_t Seek(int64_t offset, SeekOrigin origin);
    int64_t Tell();
    // Current size in bytes, or -1.
    int64_t Size();
    // Flushes buffered data to the system.
    bool Flush();
    // Cuts the file at the current position (everything after it is dropped).
    bool Truncate();
    // Sets the last-write (and last-access) time of the open file, in seconds
    // since 1970 UTC.
    bool SetModificationTime(int64_t unixSeconds);

private:
    static constexpr intptr_t kInvalid = -1;
    intptr_t handle_ = kInvalid;
    std::string path_;
};

struct FileStatus {
    bool exists = false;
    bool isDirectory = false;
    uint64_t size = 0;
    int64_t modificationTime = 0;  // seconds since 1970 UTC
    uint32_t linkCount = 0;
    uint32_t mode = 0;        // Unix-style mode word (type and permission bits)
    uint32_t attributes = 0;  // Windows attribute bits (kAttr*)
};

// Status by name. A missing file gives exists = false and returns false.
bool GetFileStatus(const std::string& path, FileStatus* status);
bool FileExists(const std::string& path);
bool IsDirectory(const std::string& path);

// What tells two names of one file from two files: the volume and the
// file's number on it (natively st_dev and st_ino; on Windows the volume
// serial number and the file index).
struct FileIdentity {
    uint64_t volume = 0;
    uint64_t file = 0;
    bool operator==(const FileIdentity&) const = default;
};
// The identity of the file or directory `path`, links followed. False (and
// *identity untouched) when it cannot be read.
bool GetFileIdentity(const std::string& path, FileIdentity* identity);

// Windows attribute bits of a file, or -1 when it cannot be read.
int32_t GetAttributes(const std::string& path);
// Applies read-only, hidden, system and archive bits (others ignored).
bool SetAttributes(const std::string& path, uint32_t attributes);
bool SetModificationTime(const std::string& path, int64_t unixSeconds);

bool DeletePath(const std::string& path);
bool MakeDirectory(const std::string& path);
bool RemoveEmptyDirectory(const std::string& path);
// Moves (renames) a file. replaceExisting: an existing target is replaced;
// copyAllowed: a move across volumes may copy and delete.
bool MovePath(const std::string& from, const std::string& to, bool replaceExisting, bool copyAllowed);

// Directory listing: FindFirst takes a pattern "dir\*" or "dir/*" (only the
// whole-directory pattern is guaranteed on both builds) and yields every entry,
// "." and ".." included as the system reports them.
struct FindData {
    std::string name;  // name without directory
    FileStatus status;
};
class DirectoryFinder {
public:
    DirectoryFinder() = default;
    ~DirectoryFinder();
    DirectoryFinder(const DirectoryFinder&) = delete;
    DirectoryFinder& operator=(const DirectoryFinder&) = delete;
    bool FindFirst(const std::string& pattern, FindData* data);
    bool FindNext(FindData* data);
    void Close();

private:
    void* state_ = nullptr;
};

// True for the two bytes that separate path components on both builds.
constexpr bool IsPathSeparator(char c) { return c == '\\' || c == '/'; }
// True when the last character of `path` (found stepping whole characters of
// the ANSI code page, so the second byte 0x5C of a double-byte character does
// not count) is a separator. False for an empty path.
bool EndsInSeparator(const std::string& path);
// `path` made independent of the current directory, for a caller that runs
// somewhere else afterwards: an absolute path comes back unchanged; a relative
// one (the empty path included) is joined to the current directory with one
// separator between them, so "" gives the current directory ending in a
// separator and "out" a path ending in "out". On Windows a rooted path
// ("\x") gets the current drive and a drive-relative one ("D:x") the current
// directory of its drive. Nothing else of the text is changed (no "..", dot
// or space is resolved), so a caller's prefix stays a prefix. Returns `path`
// unchanged when the current directory cannot be had.
std::string AbsolutePath(const std::string& path);

// What the file system that names are written to refuses or reads
// specially. Natively every byte but '/' (and '\', which the platform maps to
// '/') may stand in a name and no name opens a device.
struct FileNameRules {
    // ':' '*' '?' '"' '<' '>' '|' and the control characters 1-31 cannot stand
    // in a name, and CON, NUL, COM1, ... open devices (Windows).
    bool windows = false;
    // The ANSI code page of the names, which decides whether the device names
    // with a superscript digit (COM or LPT and a superscript 1, 2 or 3) can be
    // spelt in them.
    int codePage = 65001;
};
// The rules of the system this build runs on.
FileNameRules SystemFileNameRules();
// True for a byte that a Windows file name cannot hold (see FileNameRules).
constexpr bool IsWindowsForbiddenNameByte(unsigned char byte) {
    return (byte >= 1 && byte <= 31) || byte == ':' || byte == '*' || byte == '?' || byte == '"' || byte == '<' ||
           byte == '>' || byte == '|';
}
// True when Windows opens a device for `component` (one name without
// separators, in code page `codePage`), deciding as Windows does: trailing
// dots and spaces are removed, then the part before the first dot is taken,
// then its trailing spaces are removed, and what is left is compared without
// case to CON, PRN, AUX, NUL, COM1-COM9, LPT1-LPT9, CONIN$ and CONOUT$, and to
// COM and LPT followed by a superscript 1, 2 or 3 where the code page can
// spell one (code page 1252: the bytes 0xB9, 0xB2, 0xB3; 65001: their UTF-8
// forms; 932: none). So "nul.txt", "NUL .txt", "con..." and "Com1 " are
// devices. Pure text check, the same on both builds.
bool IsWindowsDeviceName(const std::string& component, int codePage);

// Longest file-name component the volume of `path` allows (255 when unknown).
uint32_t MaxComponentLength(const std::string& path);

// The system's temporary directory, ending in a separator.
std::string TempDirectory();
// Creates a new empty file with a unique name "<prefix>XXXX.tmp" in `directory`
// and returns its full path, or "" on failure.
std::string CreateUniqueTempFile(const std::string& directory, const std::string& prefix);

// Current directory of the process (without trailing separator except at a root).
std::string GetCurrentDir();
bool SetCurrentDir(const std::string& path);

// ---------------------------------------------------------------- local time

struct CalendarTime {
    int year = 1980;  // full year
    int month = 1;    // 1-12
    int day = 1;      // 1-31
    int hour = 0, minute = 0, second = 0;
};
// Seconds since 1970 UTC to local calendar time; false when out of range.
bool ToLocalTime(int64_t unixSeconds, CalendarTime* local);
// Local calendar time to seconds since 1970 UTC; out-of-range fields are
// normalised (daylight saving decided by the system). false on failure.
bool FromLocalTime(const CalendarTime& local, int64_t* unixSeconds);

// ---------------------------------------------------------------- code page

// The ANSI code page in force: 932 for Shift JIS, 65001 for UTF-8 stepping.
int CodePage();
// True when `byte` starts a two-byte character in the ANSI code page.
bool IsLeadByte(unsigned char byte);
// The next character after p (never past the terminating zero): a lead byte
// followed by a non-zero byte steps two bytes; everything else one.
const char* NextChar(const char* p);
// ANSI <-> UTF-8, for showing names to a person and for the library's own
// texts. Bytes that do not convert become '?'; into the ANSI page only exact
// mappings are used (no best-fit guesses).
std::string AnsiToUtf8(const std::string& ansi);
std::string Utf8ToAnsi(const std::string& utf8);
// A member name (or member comment) that an archive stores as UTF-8, in the
// ANSI code page. Each character the page holds exactly becomes its code;
// every other character (one beyond U+FFFF included), and every byte that is
// not part of a well-formed UTF-8 sequence, becomes one '_'. No best-fit
// guesses ever: no character turns into '\', '/', '.', ':' or a letter by
// approximation (U+00A5 yen sign gives '_', not 0x5C). With UTF-8 as the page
// a well-formed name comes back unchanged. Both builds give the same bytes
// for code page 932 (Windows: WideCharToMultiByte with WC_NO_BEST_FIT_CHARS;
// natively the table of cp932_table.h, which holds the same mappings).
std::string Utf8NameToAnsi(const std::string& utf8);

// ---------------------------------------------------------------- movable memory

// Movable global memory blocks (GlobalAlloc with GMEM_MOVEABLE | GMEM_ZEROINIT
// on Windows; a handle table natively). A null handle means failure.
using MemoryHandle = void*;
MemoryHandle GlobalAllocZeroed(size_t size);
// Grows or shrinks the block, keeping its contents; new bytes are zero. The
// block must be unlocked. Returns the (possibly new) handle, or null (block kept).
MemoryHandle GlobalReAllocZeroed(MemoryHandle block, size_t size);
void* GlobalLock(MemoryHandle block);
bool GlobalUnlock(MemoryHandle block);  // true while still locked (Windows semantics)
size_t GlobalSize(MemoryHandle block);
MemoryHandle GlobalFree(MemoryHandle block);  // null on success

// ---------------------------------------------------------------- user interface

using WindowHandle = void*;

enum class MessageIcon { kNone, kStop, kQuestion, kExclamation, kInformation };
enum class MessageButtons { kOk, kYesNo, kOkCancel };
enum MessageResult { kIdOk = 1, kIdCancel = 2, kIdYes = 6, kIdNo = 7 };

// Shows a modal message box owned by `owner` (may be null). `text` and
// `caption` are UTF-8. Natively the current UiHost answers (see ui_host.h).
int ShowMessage(WindowHandle owner, const std::string& text, const std::string& caption, MessageIcon icon,
                MessageButtons buttons);
void Beep();
// The system sound of MessageBeep type `soundType` (1 the default beep, 64 the
// information sound, ...); natively the same as Beep().
void Beep(uint32_t soundType);
// MessageBeep type of the information sound (MB_ICONASTERISK), which comes
// before the overwrite question.
inline constexpr uint32_t kBeepAsterisk = 64;
// Dispatches waiting messages of the calling thread: PumpMessages handles what
// is waiting now; DrainMessages repeats until the queue is empty.
void PumpMessages();
void DrainMessages();
// The wait cursor shown while a command runs.
void BeginWaitCursor();
void EndWaitCursor();
// Entry `id` of the library's string table in the ANSI code page; false when
// there is no such entry.
bool LoadStringResource(unsigned id, std::string* text);

}  // namespace tovra::platform
