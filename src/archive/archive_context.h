// archive_context.h - ArchiveContext, the per-call object of Zip, and the
// archiving settings that are process-wide.
//
// One ArchiveContext is built on the heap for each Zip call and destroyed
// before Zip returns. It holds the settings of the archiving command line,
// the argument list, the existing archive's contents, the files found on disk
// that will become new members, the select patterns, the run's report state
// and the message buffer in which detail texts are formatted. It is also the
// ArchivingReports of its run: the engine reports errors and warnings to it
// (archive_reports.cpp implements them).
//
// Every setting is reset to its default by ResetRunSettings at the start of
// the run, before the command line is walked; construction only allocates.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <list>
#include <map>
#include <string>
#include <unordered_map>
#include <vector>

#include "compress/archive_contents.h"
#include "compress/archiving_reports.h"
#include "compress/entry_writer.h"
#include "platform/platform.h"

namespace tovra::archive {

// Size of the scratch buffer for detail texts of error reports.
inline constexpr size_t kArchiveMessageBufferSize = 1105;
// The suffixes stored without compression unless -n or -9 says otherwise.
inline constexpr const char* kDefaultStoreSuffixes = ".Z:.zip:.zoo:.arc:.lzh:.arj";

// What the run does (-u, -f, -d; Add by default). Values as stored.
enum class ArchiveAction : int { kDelete = 0, kAdd = 1, kUpdate = 2, kFreshen = 3 };

// A file or directory found on disk that will become a new member.
struct PendingFile {
    std::string externalName;  // as found on disk, '/' separators, as it will be opened
    std::string internalName;  // the member name; a directory's ends in '/'
    int dosCompatible = 0;     // 1: short-name volume or -k
};

// One -i or -x pattern, its text in internal form.
struct SelectPattern {
    std::string text;
    char kind = 'i';  // 'i' include, 'x' exclude
};

// Size and modification time of a member's source file as it was when the
// member was written from it (or found up to date); -m deletes a source only
// while both still hold.
struct SourceStamp {
    uint64_t size = 0;
    int64_t modificationTime = 0;
};

// Settings shared by every ArchiveContext of the process (calls must not
// overlap). Reset at the start of every run by ResetRunSettings.
struct ArchivingProcessSettings {
    ArchiveAction action = ArchiveAction::kAdd;
    uint32_t cutoffDate = 0;            // DOS date-time; 0 no cut-off (-t)
    bool stampArchiveTime = false;      // -o
    bool dropPreamble = false;          // -J
    bool commentEditRequested = false;  // -z
    bool tempPathGiven = false;         // -b
};
ArchivingProcessSettings& ProcessSettings();

class ArchiveContext : public compress::ArchivingReports {
public:
    // Throws std::bad_alloc when the work buffer cannot be allocated (the
    // export turns that into -1).
    ArchiveContext();
    ~ArchiveContext() override;
    ArchiveContext(const ArchiveContext&) = delete;
    ArchiveContext& operator=(const ArchiveContext&) = delete;

    // Every context setting and the process-wide settings back to their defaults;
    // the report state of a new run (no error yet).
    void ResetRunSettings();

    // ---- the reports (archive_reports.cpp)
    int ReportError(int code, const std::string& detail) override;
    void ReportWarning(const std::string& text, const std::string& name) override;
    bool CancelRequested() override;

    // ---- command-line settings
    std::vector<std::string> argumentList;  // entry 0 is "Zip" once tokenized
    std::string baseDirectory;              // directory made current for the run
    std::string archivePath;                // normalised archive name ('/' inside)
    std::string tempArchivePath;            // the temporary archive being written
    bool recurseIntoDirs = false;           // -r
    bool deleteSources = false;             // -m
    bool keepPaths = true;                  // -j clears
    bool dosNames = false;                  // -k
    int verbosity = 0;                      // -v adds, -q takes away
    bool showWarnings = true;               // -q clears, -v sets
    bool adjustOffsets = false;             // -A
    bool includeHiddenSystem = false;       // -S
    bool storeDirEntries = true;            // -D clears
    // forcedMethod, compressionLevel, storeSuffixes, lineEndConversion,
    // writeExtraFields and repairLevel: the entry writer's settings.
    compress::EntryWriterSettings writer;
    std::vector<SelectPattern> selectPatterns;  // -i / -x, command-line order
    size_t includeCount = 0;                    // include patterns among them
    size_t firstFileIndex = 0;                  // first file argument in argumentList; 0 none
    bool appendInPlace = false;                 // -g

    // ---- the existing archive and the files to add
    compress::ArchiveContents contents;   // members, index, preamble, central offset, comment
    std::list<PendingFile> pendingFiles;  // new files, in the order found
    int archiveStatusKnown = -1;          // -1 not captured yet, 0 archive missing, 1 captured
    platform::FileStatus archiveStatus;   // the archive's status once captured (self-inclusion check)

    // The archive's volume and file number, read with its status when it
    // could be (archiveIdentityKnown): the self-inclusion check compares them.
    bool archiveIdentityKnown = false;
    platform::FileIdentity archiveIdentity;
    // ToInternalName's memory of the last volume it asked about: its root and
    // whether its names are short (1), long (0) or not asked yet (-1).
    mutable std::string volumeRootAsked;
    mutable int volumeHasShortNames = -1;

    // ---- the run
    platform::WindowHandle parentWindow = nullptr;  // host window (owner of message boxes)
    std::array<uint8_t, 256> upperCaseTable{};      // a-z -> A-Z, every other byte itself
    std::array<uint8_t, 256> lowerCaseTable{};      // A-Z -> a-z, every other byte itself
    char* messageBuffer = nullptr;                  // kArchiveMessageBufferSize bytes
    int errorReportCount = 0;                       // ReportError calls in this run; only the first reports
    int firstErrorCode = 0;                         // the code of the first error of the run; Zip returns it
    bool cancelled = false;                         // the person cancelled the run (Zip returns 9)
    std::map<const format::ZipEntry*, SourceStamp> sourceStamps;  // sources -m may delete, as written
    // The status the file collection read of a member's source when it
    // marked the member, so the run's marking pass does not read it again.
    std::unordered_map<const format::ZipEntry*, platform::FileStatus> foundStatus;
};

}  // namespace tovra::archive
