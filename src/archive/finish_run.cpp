// finish_run.cpp - the end of an archiving run: -o gives the archive the
// time of its newest member, -m deletes the sources that went into it and
// then the directories they leave empty.
//
// Sources are deleted only after the new archive is complete and in its
// place, and only while a source's size and modification time are those it
// had when its member was written: a file changed during the run is kept.
#include <algorithm>
#include <string>
#include <vector>

#include "archive/archive_run.h"
#include "format/archive_errors.h"
#include "format/dos_time.h"
#include "platform/platform.h"

namespace tovra::archive {
namespace {

using format::ZipEntry;

bool EndsInSlash(const std::string& name) { return !name.empty() && name.back() == '/'; }

void StampArchiveTime(ArchiveContext& context) {
    const compress::ArchiveContents& contents = context.contents;
    if (contents.entryCount == 0) {
        context.ReportWarning(platform::Utf8ToAnsi("zip file is empty, can't make it as old as latest entry"), "");
        return;
    }
    uint32_t latest = 0;
    for (const ZipEntry* e = contents.entries; e != nullptr; e = e->next) {
        if (!EndsInSlash(e->internalName)) latest = std::max(latest, e->dosDateTime);
    }
    if (latest == 0) {
        context.ReportWarning(
            platform::Utf8ToAnsi("zip file has only directories, can't make it as old as latest entry"), "");
        return;
    }
    int64_t seconds = 0;
    if (!format::DosTimeToUnix(latest, &seconds) || !platform::SetModificationTime(context.archivePath, seconds)) {
        context.ReportWarning(platform::Utf8ToAnsi("could not set the time of "), context.archivePath);
    }
}

// True when the source of `entry` is still the file its member was made from.
bool SourceUnchanged(const ArchiveContext& context, const ZipEntry* entry) {
    const auto stamp = context.sourceStamps.find(entry);
    if (stamp == context.sourceStamps.end()) return false;
    platform::FileStatus status;
    return platform::GetFileStatus(entry->externalName, &status) && !status.isDirectory &&
           status.size == stamp->second.size && status.modificationTime == stamp->second.modificationTime;
}

bool DeleteWithRetry(const std::string& path) {
    if (platform::DeletePath(path)) return true;
    platform::SetAttributes(path, platform::kAttrNormal);
    return platform::DeletePath(path);
}

// Cuts a name after its last '/' ("" when it has none).
std::string ParentOf(const std::string& name) {
    const size_t slash = name.rfind('/');
    return slash == std::string::npos ? std::string() : name.substr(0, slash);
}

int DeleteSources(ArchiveContext& context) {
    bool directories = false;
    for (ZipEntry* e = context.contents.entries; e != nullptr; e = e->next) {
        if (e->actionMark == 0 && e->removeSourceMark == 0) continue;
        e->actionMark = 1;
        if (EndsInSlash(e->internalName)) {
            directories = true;
            continue;
        }
        if (!SourceUnchanged(context, e)) {
            e->actionMark = 0;  // nor is its directory removed
            if (platform::FileExists(e->externalName)) {
                context.ReportWarning(platform::Utf8ToAnsi("not deleted, changed while zipping: "), e->externalName);
            }
            continue;
        }
        if (!DeleteWithRetry(e->externalName)) {
            context.ReportWarning(platform::Utf8ToAnsi("error deleting"), e->externalName);
        }
        if (!context.storeDirEntries) {
            e->externalName = ParentOf(e->externalName);
            e->internalName = ParentOf(e->internalName);
            if (!e->internalName.empty()) {
                e->internalName += '/';
                directories = true;
            }
        }
    }
    if (!directories) return 0;
    std::vector<ZipEntry*> candidates;
    try {
        for (ZipEntry* e = context.contents.entries; e != nullptr; e = e->next) {
            if (e->actionMark != 0 && EndsInSlash(e->internalName) &&
                (candidates.empty() || candidates.back()->internalName != e->internalName)) {
                candidates.push_back(e);
            }
        }
    } catch (const std::bad_alloc&) {
        return context.ReportError(format::kArchiveErrorMemory,
                                   platform::Utf8ToAnsi("was deleting moved files and directories"));
    }
    // Deepest first: a directory sorts after (here: before) its parent.
    std::sort(candidates.begin(), candidates.end(), [](const ZipEntry* a, const ZipEntry* b) {
        return std::lexicographical_compare(
            b->internalName.begin(), b->internalName.end(), a->internalName.begin(), a->internalName.end(),
            [](char x, char y) { return static_cast<unsigned char>(x) < static_cast<unsigned char>(y); });
    });
    const std::string* previous = nullptr;
    for (const ZipEntry* e : candidates) {
        if (previous != nullptr && *previous == e->internalName) continue;
        previous = &e->internalName;
        std::string directory = e->externalName;
        if (directory.empty()) continue;
        if (directory.back() == '/') directory.pop_back();
        if (!directory.empty()) platform::RemoveEmptyDirectory(directory);  // not empty: stays
    }
    return 0;
}

}  // namespace

int FinishRun(ArchiveContext& context) {
    if (ProcessSettings().stampArchiveTime) StampArchiveTime(context);
    context.archivePath.clear();
    int result = 0;
    if (context.deleteSources) result = DeleteSources(context);
    context.pendingFiles.clear();
    context.contents.Clear();
    context.sourceStamps.clear();
    return result;
}

}  // namespace tovra::archive
