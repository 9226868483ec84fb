// archive_reports.cpp - the error and warning reports of an archiving run.
//
// ReportError shows "zip error: %s (%s)" once per run, then cleans up: the
// temporary archive is closed and deleted, or, when the run was appending to
// the archive in place, the old central directory is written back after the
// members that are in the list now, so the archive stays readable. The
// member and pending lists are freed. The guard (errorReportCount) belongs to
// the run, not to the process: every run's first error cleans up after it.
#include <cstdio>

#include "archive/archive_context.h"
#include "archive/archive_run.h"
#include "compress/archive_output.h"
#include "format/archive_errors.h"
#include "format/records.h"
#include "platform/ui_host.h"

namespace tovra::archive {
namespace {

constexpr const char* kCaption = "TOVRA64";

void DeleteTemporary(const std::string& path) {
    if (!platform::DeletePath(path)) {
        platform::SetAttributes(path, platform::kAttrNormal);
        platform::DeletePath(path);
    }
}

// Writes the central directory of the members the archive had before the
// run, and the end record, at centralDirOffset, and cuts the file after them:
// the archive appended in place reads exactly as before the run. Members
// this run appended (they start at or after centralDirOffset) are left out,
// since the directory is written over their data. Failures are not reported.
void RestoreInPlace(ArchiveContext& context, compress::ArchiveOutput& out) {
    const compress::ArchiveContents& contents = context.contents;
    out.DiscardPending();
    if (!out.SeekAbsolute(static_cast<int64_t>(contents.centralDirOffset))) return;
    uint64_t writeOffset = contents.centralDirOffset;
    uint64_t count = 0;
    for (const format::ZipEntry* e = contents.entries; e != nullptr; e = e->next) {
        if (e->localHeaderOffset >= contents.centralDirOffset) continue;
        if (format::WriteCentralHeader(*e, out) != format::kWriteOk) return;
        writeOffset += 46 + e->nameLength + e->centralExtraLength + e->commentLength;
        ++count;
    }
    if (format::WriteEndRecord(count, writeOffset - contents.centralDirOffset, contents.centralDirOffset,
                               contents.archiveComment.data(), contents.archiveComment.size(),
                               out) == format::kWriteOk) {
        out.TruncateHere();
    }
}

}  // namespace

void DiscardRunOutput(ArchiveContext& context, bool announceRestore) {
    compress::ArchiveOutput*& slot = compress::OutputSlot();
    if (context.tempArchivePath.empty()) {
        if (slot != nullptr) slot->Close();
        slot = nullptr;
        return;
    }
    if (context.tempArchivePath != context.archivePath) {
        if (slot != nullptr) slot->Close();
        slot = nullptr;
        DeleteTemporary(context.tempArchivePath);
    } else {
        if (announceRestore) {
            platform::ShowMessage(
                context.parentWindow,
                "attempting to restore " + platform::AnsiToUtf8(context.archivePath) + " to its previous state",
                kCaption, platform::MessageIcon::kNone, platform::MessageButtons::kOk);
        }
        if (slot != nullptr) {
            RestoreInPlace(context, *slot);
            slot->Close();
        }
        slot = nullptr;
    }
    context.tempArchivePath.clear();
}

int ArchiveContext::ReportError(int code, const std::string& detail) {
    if (errorReportCount++ > 0) return code;
    firstErrorCode = code;
    if (!detail.empty()) {
        std::string text = "zip error: ";
        text += format::ArchiveErrorMessage(code);
        text += " (";
        text += platform::AnsiToUtf8(detail);
        text += ")";
        platform::ShowMessage(parentWindow, text, kCaption, platform::MessageIcon::kNone,
                              platform::MessageButtons::kOk);
    }
    DiscardRunOutput(*this, true);
    archivePath.clear();
    pendingFiles.clear();
    contents.Clear();
    return code;
}

void ArchiveContext::ReportWarning(const std::string& text, const std::string& name) {
    if (!showWarnings) return;
    const std::string shown = "zip warning: " + platform::AnsiToUtf8(text) + platform::AnsiToUtf8(name) + "\n";
    platform::ShowMessage(parentWindow, shown, kCaption, platform::MessageIcon::kStop, platform::MessageButtons::kOk);
}

bool ArchiveContext::CancelRequested() { return platform::CurrentUiHost().CancelRequested(); }

}  // namespace tovra::archive
