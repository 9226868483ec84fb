// archive_run.cpp - one archiving run after its command line was parsed.
//
// In order: the existing members are marked (kept, replaced or deleted), the
// files found on disk are filtered, a run with nothing to do ends, the target
// is tested, the output is opened (a temporary archive, or the archive itself
// when -g appends in place), the preamble and the members are copied or
// written, the new files are added, the central directory and end record are
// written, the temporary archive takes the place of the old one, and
// FinishRun applies -o and -m.
//
// The old archive is never lost: until the replacement it is only read (or,
// in place, only written past its last member, with its old central
// directory written back on error or cancel); a replacement that cannot
// finish keeps the temporary archive and names it.
#include "archive/archive_run.h"

#include <algorithm>
#include <new>
#include <string>

#include "archive/archive_run_steps.h"
#include "compress/archive_output.h"
#include "compress/entry_writer.h"
#include "compress/file_names.h"
#include "format/archive_errors.h"
#include "format/dos_time.h"
#include "format/records.h"
#include "platform/platform.h"
#include "platform/ui_host.h"

namespace tovra::archive {
namespace {

using format::ZipEntry;

bool HasMembersOrPreamble(const ArchiveContext& context) {
    return context.contents.entryCount > 0 || context.contents.preambleSize > 0;
}

// Size and modification time of `name` now; false when it cannot be read.
bool CurrentStamp(const std::string& name, SourceStamp* stamp) {
    platform::FileStatus status;
    if (!platform::GetFileStatus(name, &status)) return false;
    stamp->size = status.size;
    stamp->modificationTime = status.modificationTime;
    return true;
}

// "try: zip ARGS . -i FILES": the command that would have found the files
// the -r run found nothing for, cut to the message buffer at a character end.
std::string TrySuggestion(const ArchiveContext& context) {
    std::string text = "try: zip";
    const std::vector<std::string>& arguments = context.argumentList;
    for (size_t i = 1; i < context.firstFileIndex && i < arguments.size(); ++i) text += " " + arguments[i];
    text += " . -i";
    for (size_t i = context.firstFileIndex; i < arguments.size(); ++i) text += " " + arguments[i];
    return BoundedText(text, kArchiveMessageBufferSize - 1);
}

class ArchivingRun {
public:
    explicit ArchivingRun(ArchiveContext& context) : context_(context), settings_(ProcessSettings()) {}
    ~ArchivingRun() {
        compress::ArchiveOutput*& slot = compress::OutputSlot();
        if (slot == &output_) slot = nullptr;
    }

    int Run() {
        MarkMembers();
        FilterPendingFiles();
        if (workCount_ == 0 && context_.pendingFiles.empty() && !HasMembersAndRepairWork()) return NothingToDo();
        inPlace_ = context_.appendInPlace && workCount_ == 0 && HasMembersOrPreamble(context_);
        if (const int r = TestTarget(); r != 0) return r;
        if (settings_.dropPreamble) context_.contents.preambleSize = 0;
        if (const int r = OpenStreams(); r != 0) return r;
        if (const int r = CopyPreamble(); r != 0) return r;
        if (const int r = MemberPass(); r != 0) return r;
        if (Cancelled()) return Cancel();
        if (const int r = PendingPass(); r != 0) return r;
        if (Cancelled()) return Cancel();
        if (const int r = WriteDirectory(); r != 0) return r;
        if (const int r = CloseStreams(); r != 0) return r;
        if (!inPlace_) {
            if (const int r = ReplaceArchive(context_); r != 0) return r;
        }
        context_.tempArchivePath.clear();
        if (savedAttributes_ != 0) platform::SetAttributes(context_.archivePath, savedAttributes_);
        return FinishRun(context_);
    }

private:
    bool HasMembersAndRepairWork() const {
        return context_.contents.entryCount > 0 &&
               (settings_.stampArchiveTime || context_.writer.repairLevel > 0 || context_.adjustOffsets ||
                settings_.dropPreamble || settings_.commentEditRequested);
    }

    void MarkMembers() {
        for (ZipEntry* e = context_.contents.entries; e != nullptr; e = e->next) {
            if (e->actionMark == 0) continue;
            if (settings_.action == ArchiveAction::kDelete) {
                ++workCount_;
                continue;
            }
            platform::FileStatus status;
            const uint32_t t = SourceDosTime(*e, &status);
            const bool recent = t != 0 && t >= settings_.cutoffDate;
            if (recent && (settings_.action == ArchiveAction::kAdd || t > e->dosDateTime)) {
                ++workCount_;
                continue;
            }
            e->actionMark = 0;
            e->removeSourceMark = recent ? 1 : 0;
            if (!recent) continue;
            // The status just read is the file's own unless the time was read
            // without a trailing '/' of the name.
            SourceStamp stamp{status.size, status.modificationTime};
            const bool slashed = !e->externalName.empty() && e->externalName.back() == '/';
            if (!slashed || CurrentStamp(e->externalName, &stamp)) context_.sourceStamps[e] = stamp;
        }
    }

    // FileDosTimeAndStatus of the source of `entry`, from the status the file
    // collection read when it marked the member, else from the file system.
    uint32_t SourceDosTime(const ZipEntry& entry, platform::FileStatus* status) const {
        const auto found = context_.foundStatus.find(&entry);
        if (found == context_.foundStatus.end()) return compress::FileDosTimeAndStatus(entry.externalName, status);
        *status = found->second;
        return format::UnixToDosTime(status->modificationTime);
    }

    void FilterPendingFiles() {
        for (auto it = context_.pendingFiles.begin(); it != context_.pendingFiles.end();) {
            const uint32_t t = compress::FileDosTime(it->externalName, nullptr);
            const bool drop = settings_.action == ArchiveAction::kFreshen ||
                              settings_.action == ArchiveAction::kDelete || t == 0 || t < settings_.cutoffDate ||
                              it->externalName == context_.archivePath;
            it = drop ? context_.pendingFiles.erase(it) : std::next(it);
        }
    }

    int NothingToDo() {
        if (settings_.action == ArchiveAction::kUpdate || settings_.action == ArchiveAction::kFreshen) {
            FinishRun(context_);
            return context_.firstErrorCode;
        }
        if (context_.contents.entryCount == 0 && (settings_.stampArchiveTime || context_.writer.repairLevel > 0 ||
                                                  context_.adjustOffsets || settings_.dropPreamble)) {
            return context_.ReportError(format::kArchiveErrorMissingArchive, context_.archivePath);
        }
        if (context_.recurseIntoDirs && context_.selectPatterns.empty() && context_.firstFileIndex > 0) {
            const std::string suggestion = TrySuggestion(context_);
            suggestion.copy(context_.messageBuffer, suggestion.size());
            context_.messageBuffer[suggestion.size()] = '\0';
            return context_.ReportError(format::kArchiveErrorNothingToDo, suggestion);
        }
        return context_.ReportError(format::kArchiveErrorNothingToDo, context_.archivePath);
    }

    // The archive can be written: opened for update when it exists, created
    // (and removed again) when it does not. An existing file is never
    // truncated here, even one without members, so an error later leaves it
    // as it was. A read-only archive is refused on every system.
    int TestTarget() {
        const bool exists = platform::FileExists(context_.archivePath);
        if (settings_.tempPathGiven && !HasMembersOrPreamble(context_) && !exists) return 0;
        const int32_t before = exists ? platform::GetAttributes(context_.archivePath) : -1;
        platform::File file;
        const bool opened =
            (before < 0 || (before & platform::kAttrReadOnly) == 0) &&
            file.Open(context_.archivePath, exists ? platform::OpenMode::kReadWrite : platform::OpenMode::kCreate);
        if (!opened) return context_.ReportError(format::kArchiveErrorCreate, context_.archivePath);
        file.Close();
        const int32_t attributes = platform::GetAttributes(context_.archivePath);
        savedAttributes_ = attributes < 0 ? 0 : static_cast<uint32_t>(attributes);
        if (!exists) {
            if (!platform::DeletePath(context_.archivePath)) {
                platform::SetAttributes(context_.archivePath, platform::kAttrNormal);
                platform::DeletePath(context_.archivePath);
            }
            savedAttributes_ = 0;
        }
        return 0;
    }

    int OpenStreams() {
        compress::ArchiveOutput*& slot = compress::OutputSlot();
        if (inPlace_) {
            if (!output_.Open(context_.archivePath, platform::OpenMode::kReadWrite)) {
                return context_.ReportError(format::kArchiveErrorMissingArchive, context_.archivePath);
            }
            context_.tempArchivePath = context_.archivePath;
            slot = &output_;
            if (!output_.SeekAbsolute(static_cast<int64_t>(context_.contents.centralDirOffset))) {
                return context_.ReportError(
                    output_.Failed() ? format::kArchiveErrorRead : format::kArchiveErrorUnexpectedEnd,
                    context_.archivePath);
            }
            return 0;
        }
        if (HasMembersOrPreamble(context_) && !input_.Open(context_.archivePath)) {
            return context_.ReportError(format::kArchiveErrorMissingArchive, context_.archivePath);
        }
        MakeTempArchiveName(context_);
        if (context_.tempArchivePath.empty()) {
            return context_.ReportError(format::kArchiveErrorMemory, "allocating temp filename");
        }
        if (!output_.Open(context_.tempArchivePath, platform::OpenMode::kCreate)) {
            return context_.ReportError(format::kArchiveErrorTemp, context_.tempArchivePath);
        }
        slot = &output_;
        return 0;
    }

    int CopyPreamble() {
        const uint64_t size = context_.contents.preambleSize;
        if (inPlace_ || size == 0) return 0;
        int result = input_.Seek(0) ? 0 : format::kArchiveErrorUnexpectedEnd;
        if (result == 0) result = compress::CopyByteRange(input_, output_, size, false);
        if (result != 0) {
            return context_.ReportError(
                result, result == format::kArchiveErrorTemp ? context_.tempArchivePath : context_.archivePath);
        }
        return 0;
    }

    // Writes `entry` from its source file, remembering the source's stamp.
    // Returns the writer's result; on 18 or -1 `entry` is as it was before.
    int WriteFromFile(ZipEntry& entry) {
        const ZipEntry saved = entry;
        SourceStamp before;
        const bool stamped = CurrentStamp(entry.externalName, &before);
        const int64_t start = output_.Position();
        const int result = compress::WriteMemberFromFile(context_.writer, entry, output_, context_);
        if (result == 0) {
            SourceStamp after;
            // A file that changed while it was read is not one -m may delete.
            if (stamped && CurrentStamp(entry.externalName, &after) && after.size == before.size &&
                after.modificationTime == before.modificationTime) {
                context_.sourceStamps[&entry] = before;
            } else {
                context_.sourceStamps.erase(&entry);
            }
        } else if (result == format::kArchiveErrorNotFound || result == format::kArchiveFileIsDirectory) {
            ZipEntry* next = entry.next;
            entry = saved;
            entry.next = next;
            if (output_.Position() != start) output_.SeekAbsolute(start);
        }
        return result;
    }

    void WarnUnreadable(int result, const ZipEntry& entry) {
        if (result == format::kArchiveErrorNotFound) {
            context_.ReportWarning(platform::Utf8ToAnsi("could not open for reading: "), entry.externalName);
        } else {
            context_.ReportWarning(platform::Utf8ToAnsi("file and directory with the same name: "), entry.externalName);
        }
    }

    int CopyMember(ZipEntry& entry) {
        const int result = compress::CopyExistingMember(context_.writer, entry, input_, output_);
        if (result == 0) return 0;
        return context_.ReportError(result, platform::Utf8ToAnsi("was copying ") + entry.internalName);
    }

    int MemberPass() {
        compress::ArchiveContents& contents = context_.contents;
        ZipEntry* previous = nullptr;
        for (ZipEntry* e = contents.entries; e != nullptr;) {
            if (Cancelled()) return Cancel();
            ZipEntry* next = e->next;
            if (e->actionMark != 0 && settings_.action == ArchiveAction::kDelete) {
                if (context_.writer.progressShown) {
                    platform::CurrentUiHost().SetActivity("deleting...");
                    platform::CurrentUiHost().BeginFile(e->externalName, std::string(), 0);
                }
                platform::CurrentUiHost().Progress(e->externalName, 0, 0);
                context_.sourceStamps.erase(e);
                contents.Unlink(previous, e);
                e = next;
                continue;
            }
            if (e->actionMark != 0) {
                if (context_.writer.progressShown) platform::CurrentUiHost().SetActivity("updating...");
                platform::CurrentUiHost().Progress(e->externalName, 0, 0);
                const int reportsBefore = context_.errorReportCount;
                const int result = WriteFromFile(*e);
                // Reported by the writer: the member list (e too) is gone.
                if (result != 0 && context_.errorReportCount != reportsBefore) return result;
                if (result == format::kArchiveErrorNotFound || result == format::kArchiveFileIsDirectory) {
                    WarnUnreadable(result, *e);
                    context_.ReportWarning(platform::Utf8ToAnsi("will just copy entry over: "), e->internalName);
                    if (const int r = CopyMember(*e); r != 0) return r;
                    e->actionMark = 0;
                    context_.sourceStamps.erase(e);
                } else if (result != 0) {
                    return context_.ReportError(result, platform::Utf8ToAnsi("was zipping ") + e->externalName);
                }
            } else if (!inPlace_) {
                if (const int r = CopyMember(*e); r != 0) return r;
            }
            previous = e;
            e = next;
        }
        return 0;
    }

    int PendingPass() {
        compress::ArchiveContents& contents = context_.contents;
        while (!context_.pendingFiles.empty()) {
            if (Cancelled()) return Cancel();
            const PendingFile& pending = context_.pendingFiles.front();
            ZipEntry* previousLast = contents.lastEntry;
            ZipEntry* entry = contents.Append();
            entry->externalName = pending.externalName;
            entry->internalName = pending.internalName;
            entry->actionMark = 1;
            entry->dosCompatible = static_cast<uint32_t>(pending.dosCompatible);
            if (context_.writer.progressShown) platform::CurrentUiHost().SetActivity("adding...");
            platform::CurrentUiHost().Progress(entry->externalName, 0, 0);
            const int reportsBefore = context_.errorReportCount;
            const int result = WriteFromFile(*entry);
            // A writer that reported its error itself has freed the member
            // list, this entry with it: nothing of it may be touched.
            if (result != 0 && context_.errorReportCount != reportsBefore) return result;
            if (result != 0) {
                const std::string externalName = entry->externalName;
                context_.sourceStamps.erase(entry);
                contents.Unlink(previousLast, entry);
                if (result != format::kArchiveErrorNotFound && result != format::kArchiveFileIsDirectory) {
                    return context_.ReportError(result, platform::Utf8ToAnsi("was zipping ") + externalName);
                }
                WarnUnreadable(result, *entry);
            }
            context_.pendingFiles.pop_front();
        }
        return 0;
    }

    int WriteDirectory() {
        const compress::ArchiveContents& contents = context_.contents;
        // The end record counts members in 16 bits: refuse more before any
        // directory record is written (the old archive stays as it was).
        if (contents.entryCount > 0xFFFF) {
            return context_.ReportError(format::kArchiveErrorTooBig, platform::Utf8ToAnsi("more than 65535 members"));
        }
        const int64_t start = output_.Position();
        for (const ZipEntry* e = contents.entries; e != nullptr; e = e->next) {
            const int result = format::WriteCentralHeader(*e, output_);
            if (result != format::kWriteOk) return context_.ReportError(result, context_.tempArchivePath);
        }
        if (contents.entryCount == 0) context_.ReportWarning(platform::Utf8ToAnsi("zip file empty"), "");
        const int64_t end = output_.Position();
        const int result = format::WriteEndRecord(contents.entryCount, static_cast<uint64_t>(end - start),
                                                  static_cast<uint64_t>(start), contents.archiveComment.data(),
                                                  contents.archiveComment.size(), output_);
        if (result != format::kWriteOk) return context_.ReportError(result, context_.tempArchivePath);
        // In place, a shorter directory than the old one leaves none of its bytes behind.
        if (inPlace_ && !output_.TruncateHere()) {
            return context_.ReportError(format::kArchiveErrorWrite, context_.tempArchivePath);
        }
        return 0;
    }

    int CloseStreams() {
        compress::OutputSlot() = nullptr;
        const bool closed = output_.Close();
        input_.Close();
        if (!closed) {
            if (inPlace_) {
                // The slot is empty: nothing can be restored, and the archive is not deleted.
                context_.tempArchivePath.clear();
                return context_.ReportError(format::kArchiveErrorWrite, context_.archivePath);
            }
            return context_.ReportError(format::kArchiveErrorTemp, context_.tempArchivePath);
        }
        return 0;
    }

    bool Cancelled() { return context_.CancelRequested(); }

    // The person cancelled: the output is put away (the temporary archive
    // deleted, or the old central directory written back in place) and the
    // run ends without a message, as "Interrupted" for the caller.
    int Cancel() {
        input_.Close();
        DiscardRunOutput(context_, false);
        context_.cancelled = true;
        return format::kArchiveErrorInterrupted;
    }

    ArchiveContext& context_;
    ArchivingProcessSettings& settings_;
    compress::ArchiveInput input_;    // the old archive, read
    compress::ArchiveOutput output_;  // the archive being written
    size_t workCount_ = 0;
    bool inPlace_ = false;
    uint32_t savedAttributes_ = 0;
};

}  // namespace

int RunArchiving(ArchiveContext& context) {
    ArchivingRun run(context);
    try {
        return run.Run();
    } catch (const std::bad_alloc&) {
        // Reported while the run's output is still open: an archive appended
        // in place is put back before the output is closed with the new
        // member's bytes over the old central directory. Same text as the
        // report of the command line's own catch.
        return context.ReportError(format::kArchiveErrorMemory, platform::Utf8ToAnsi("was processing arguments"));
    }
}

}  // namespace tovra::archive
