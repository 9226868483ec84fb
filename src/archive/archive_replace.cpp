// archive_replace.cpp - the temporary archive's name, and putting the
// finished temporary archive in the place of the old one.
#include <algorithm>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "archive/archive_run.h"
#include "archive/archive_run_steps.h"
#include "format/archive_errors.h"
#include "platform/platform.h"
#include "platform/ui_host.h"

namespace tovra::archive {
namespace {

// Pieces in which copy mode moves the archive.
constexpr size_t kCopyBlockSize = 327680;

bool DeleteWithRetry(const std::string& path) {
    if (platform::DeletePath(path)) return true;
    platform::SetAttributes(path, platform::kAttrNormal);
    return platform::DeletePath(path);
}

// The new archive could not be put in place: it stays where it is. Its name
// is taken out of the context first, so that a report that runs out of
// memory cannot make the run's clean-up delete it.
int KeepTemporary(ArchiveContext& context, int code) {
    const std::string kept = std::move(context.tempArchivePath);
    context.tempArchivePath.clear();
    context.ReportWarning(platform::Utf8ToAnsi("new zip file left as: "), kept);
    return context.ReportError(code, platform::Utf8ToAnsi("was replacing the original zip file"));
}

// Moves the temporary archive onto the archive's name (replacing it, copying
// across volumes): through the host while it shows the run's progress, by
// the platform's move when it does not or when the host leaves the move to
// the caller.
bool MoveIntoPlace(const ArchiveContext& context) {
    if (context.writer.progressShown) {
        platform::UiHost& ui = platform::CurrentUiHost();
        ui.SetActivity("moving...");
        const int moved = ui.MoveWithProgress(context.tempArchivePath, context.archivePath);
        if (moved >= 0) return moved == 1;
    }
    return platform::MovePath(context.tempArchivePath, context.archivePath, true, true);
}

// Copies the temporary archive into the archive's name. False when a file
// cannot be opened or a piece cannot be read or written in full.
bool CopyIntoPlace(const ArchiveContext& context) {
    platform::File from, to;
    if (!from.Open(context.tempArchivePath, platform::OpenMode::kRead)) return false;
    const int64_t length = from.Size();
    if (length < 0 || !to.Open(context.archivePath, platform::OpenMode::kCreate)) return false;
    std::vector<char> block(std::min<uint64_t>(static_cast<uint64_t>(length), kCopyBlockSize) + 1);
    platform::UiHost& ui = platform::CurrentUiHost();
    if (context.writer.progressShown) {
        ui.SetActivity("copying...");
        ui.BeginFile(context.tempArchivePath, std::string(), static_cast<uint64_t>(length));
    }
    ui.Progress(context.tempArchivePath, 0, static_cast<uint64_t>(length));
    int64_t done = 0;
    while (done < length) {
        const size_t piece =
            static_cast<size_t>(std::min<int64_t>(length - done, static_cast<int64_t>(kCopyBlockSize)));
        if (from.Read(block.data(), piece) != static_cast<int64_t>(piece)) return false;
        if (to.Write(block.data(), piece) != static_cast<int64_t>(piece)) return false;
        done += static_cast<int64_t>(piece);
        ui.Progress(context.tempArchivePath, static_cast<uint64_t>(done), static_cast<uint64_t>(length));
    }
    return to.Flush();
}

}  // namespace

void MakeTempArchiveName(ArchiveContext& context) {
    context.tempArchivePath = platform::CreateUniqueTempFile(platform::TempDirectory(), "TVR");
}

std::string BoundedText(const std::string& text, size_t limit) {
    if (text.size() <= limit) return text;
    const char* begin = text.c_str();
    const char* p = begin;
    while (*p != '\0') {
        const char* next = platform::NextChar(p);
        if (static_cast<size_t>(next - begin) > limit) break;
        p = next;
    }
    return std::string(begin, static_cast<size_t>(p - begin));
}

int ReplaceArchive(ArchiveContext& context) {
    platform::BeginWaitCursor();
    bool copyMode = false;
    platform::FileStatus status;
    if (platform::GetFileStatus(context.archivePath, &status)) {
        // A hard-linked archive is written through its own name, so that every
        // link sees the new archive; only the others are deleted and moved.
        copyMode = status.linkCount >= 2;
        if (copyMode) {
            if ((platform::GetAttributes(context.archivePath) & platform::kAttrReadOnly) != 0) {
                platform::SetAttributes(context.archivePath, platform::kAttrNormal);
            }
        } else if (!DeleteWithRetry(context.archivePath)) {
            platform::EndWaitCursor();
            return KeepTemporary(context, format::kArchiveErrorCreate);
        }
    }
    // The old archive may be gone now: from here on the new one is kept
    // whatever fails, an allocation included.
    bool copied = false;
    try {
        if (!copyMode && MoveIntoPlace(context)) {
            platform::EndWaitCursor();
            return 0;
        }
        copied = CopyIntoPlace(context);
    } catch (const std::bad_alloc&) {
        platform::EndWaitCursor();
        return KeepTemporary(context, format::kArchiveErrorMemory);
    }
    platform::EndWaitCursor();
    if (!copied) return KeepTemporary(context, format::kArchiveErrorTemp);
    DeleteWithRetry(context.tempArchivePath);  // the copy is in place; the temporary one is not needed
    return 0;
}

}  // namespace tovra::archive
