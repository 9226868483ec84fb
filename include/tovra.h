/*
 * tovra.h - the interface of the TOVRA ZIP archive library for host programs.
 *
 * The library is TOVRA64.dll on 64-bit Windows and libtovra64.so on Linux; both
 * export the same fourteen functions. Every text crossing this interface is
 * 8-bit text in the system's ANSI code page (Shift JIS on a Japanese system),
 * zero-terminated, and is never re-encoded by the library.
 *
 * Calls must not overlap: the library keeps a few process-wide values (the
 * overwrite options, the progress dialog) and supports one call at a time per
 * process. Do not call it again from a window message that its own message
 * pumping dispatches.
 */
#ifndef TOVRA_H
#define TOVRA_H

#include <stddef.h>
#include <stdint.h>

#ifdef _WIN32
#include <windows.h>
typedef HWND TovraWindow;    /* host window that owns the library's dialogs; may be null */
typedef HGLOBAL TovraMemory; /* movable global memory block (GlobalLock / GlobalFree) */
#define TOVRA_CALL WINAPI
#define TOVRA_EXPORT
#else
typedef void* TovraWindow;
typedef void* TovraMemory; /* use TovraGlobalLock / TovraGlobalFree below */
#define TOVRA_CALL
#define TOVRA_EXPORT __attribute__((visibility("default")))
#endif

/* The enumeration handle of UnzipOpenArchive. */
typedef void* TovraArchive;

#ifdef __cplusplus
extern "C" {
#endif

#pragma pack(push, 1)
/* One member of an archive as delivered by UnzipFindFirst / UnzipFindNext:
 * 558 bytes, little-endian, every unused byte zero. */
typedef struct EntryInfoRecord {
    uint32_t uncompressedSize; /* from the central header */
    uint32_t compressedSize;   /* from the central header; 12 less when encrypted */
    uint32_t crc;              /* CRC-32 from the central header */
    uint32_t flag;             /* always 0 */
    uint32_t osType;           /* always 0 */
    uint16_t ratio;            /* always 0 */
    uint16_t date;             /* DOS date, as stored */
    uint16_t time;             /* DOS time, as stored */
    char name[513];            /* member name as stored, cut to 260 bytes, zero-terminated */
    char reserved[3];          /* 0 */
    char attribute[8];         /* "a-hr" style text from the external attributes */
    char method[8];            /* "Stored", "DeflatN", "Unk:012", ... */
} EntryInfoRecord;
#pragma pack(pop)

#ifdef __cplusplus
static_assert(sizeof(EntryInfoRecord) == 558, "EntryInfoRecord is 558 bytes");
static_assert(offsetof(EntryInfoRecord, date) == 22, "date at 22");
static_assert(offsetof(EntryInfoRecord, name) == 26, "name at 26");
static_assert(offsetof(EntryInfoRecord, reserved) == 539, "reserved at 539");
static_assert(offsetof(EntryInfoRecord, attribute) == 542, "attribute at 542");
static_assert(offsetof(EntryInfoRecord, method) == 550, "method at 550");
#else
_Static_assert(sizeof(EntryInfoRecord) == 558, "EntryInfoRecord is 558 bytes");
_Static_assert(offsetof(EntryInfoRecord, name) == 26, "name at 26");
_Static_assert(offsetof(EntryInfoRecord, attribute) == 542, "attribute at 542");
_Static_assert(offsetof(EntryInfoRecord, method) == 550, "method at 550");
#endif

/* Extracts, tests or lists members as the command line says ("-v arc.zip",
 * "-o arc.zip outdir\ name ..."). Listing text and the archive comment are
 * appended to outBuffer while whole texts fit (the buffer always ends in a
 * zero after the last copied text; an untouched buffer means no text).
 * Returns the run's result code (0 ok, 1 warning, 2 error, 9 no archive, 11
 * nothing matched, ...), or -1 when the run could not start. */
TOVRA_EXPORT int TOVRA_CALL Unzip(TovraWindow window, const char* commandLine, char* outBuffer, int outSize);

/* 1 when the file is a ZIP archive with members that the library can read,
 * else 0. Mode 2 searches the whole file for the end record. */
TOVRA_EXPORT int TOVRA_CALL UnzipCheckArchive(const char* archivePath, int mode);

/* Closes an enumeration handle and deletes its record file; null is allowed.
 * Always 0. */
TOVRA_EXPORT int TOVRA_CALL UnzipCloseArchive(TovraArchive handle);

/* Extracts the whole archive into outputDir (text, or a string-resource
 * number below 65536). Flags: 1 never overwrite, 2 overwrite all, 4 freshen,
 * 8 no existence check, 16 keep member paths. Result as Unzip; -1 without a
 * directory (empty, or a number that names no string). */
TOVRA_EXPORT int TOVRA_CALL UnzipExtractAll(TovraWindow window, const char* archivePath, const char* outputDir,
                                            uint32_t flags);

/* Extracts the member(s) named memberName into a new movable memory block.
 * On result 0 *block receives the block (unlocked, owned by the caller, one
 * zero byte at least after the data) and *size the data size; on failure
 * *block is null and *size is 1. */
TOVRA_EXPORT int TOVRA_CALL UnzipExtractToMem(TovraWindow window, const char* archivePath, const char* memberName,
                                              TovraMemory* block, uint32_t* size);

/* Rewinds the enumeration and delivers the first member. 0, or -1 at the end
 * or on failure. The wildcard is not used. */
TOVRA_EXPORT int TOVRA_CALL UnzipFindFirst(TovraArchive handle, const char* wildcard, EntryInfoRecord* record);

/* Delivers the next member. 0, or -1 at the end (and every time after it). */
TOVRA_EXPORT int TOVRA_CALL UnzipFindNext(TovraArchive handle, EntryInfoRecord* record);

/* Always 0 (the library has no background mode). Same function as UnzipGetRunning. */
TOVRA_EXPORT int TOVRA_CALL UnzipGetBackGroundMode(void);

/* Always 0: no call is ever reported as running. */
TOVRA_EXPORT int TOVRA_CALL UnzipGetRunning(void);

/* Always 131. */
TOVRA_EXPORT int TOVRA_CALL UnzipGetVersion(void);

/* Lists the archive once into a temporary record file and returns the handle
 * for UnzipFindFirst/UnzipFindNext, or null when the listing run was not
 * clean (missing archive, damage, preamble, no members, over-long name). */
TOVRA_EXPORT TovraArchive TOVRA_CALL UnzipOpenArchive(TovraWindow window, const char* archivePath, int mode);

/* Always 1; the argument is ignored. Same function as UnzipSetCursorMode. */
TOVRA_EXPORT int TOVRA_CALL UnzipSetBackGroundMode(int mode);

/* Always 1; the argument is ignored. */
TOVRA_EXPORT int TOVRA_CALL UnzipSetCursorMode(int mode);

/* Creates or updates an archive as the command line says. 0 whenever the
 * archiving run was reached (its errors are shown to the user), -1 when it
 * could not start. The buffer arguments are not used. */
TOVRA_EXPORT int TOVRA_CALL Zip(TovraWindow window, const char* commandLine, char* outBuffer, int outSize);

#ifndef _WIN32
/* Native build only: the movable memory blocks of UnzipExtractToMem, used like
 * GlobalLock, GlobalUnlock, GlobalSize and GlobalFree on Windows. */
TOVRA_EXPORT void* TovraGlobalLock(TovraMemory block);
TOVRA_EXPORT int TovraGlobalUnlock(TovraMemory block);
TOVRA_EXPORT size_t TovraGlobalSize(TovraMemory block);
TOVRA_EXPORT TovraMemory TovraGlobalFree(TovraMemory block);

/* Native build only: installs the host that answers the library's questions
 * and shows its messages (a tovra::platform::UiHost of the caller, see
 * src/platform/ui_host.h; not owned). Null restores the library's default
 * host, which never blocks. Returns the previous host, for restoring it. */
TOVRA_EXPORT void* TovraSetUiHost(void* host);
#endif

#ifdef __cplusplus
}
#endif

#endif /* TOVRA_H */
