// found_names.cpp - AddFoundName: one file or directory found on disk either
// marks the member it replaces or becomes a PendingFile (see
// file_collection.h), after the -i / -x selection and the check that keeps
// the archive (and the temporary archive being written) out of itself.
//
// The self-inclusion check compares file identities (volume and file number),
// so the archive is recognised under any name - relative, absolute, through a
// link - and a copy of it that merely has the same size and time is still
// added. Only when an identity cannot be read are the names compared.
#include <new>

#include "archive/file_collection.h"
#include "archive/internal_names.h"
#include "format/archive_errors.h"

namespace tovra::archive {
namespace {

unsigned char FoldAscii(unsigned char c) { return (c >= 'a' && c <= 'z') ? static_cast<unsigned char>(c - 32) : c; }

// The two paths spelled the same, either separator and ASCII case aside.
bool SamePathText(const std::string& a, const std::string& b) {
    const std::string x = WithForwardSlashes(a), y = WithForwardSlashes(b);
    if (x.size() != y.size()) return false;
    for (size_t i = 0; i < x.size(); ++i) {
        if (FoldAscii(static_cast<unsigned char>(x[i])) != FoldAscii(static_cast<unsigned char>(y[i]))) return false;
    }
    return true;
}

// True when `name` is the file at `path`, whose identity is `identity` when
// `identityKnown`.
bool IsSameFile(const std::string& name, const std::string& path, bool identityKnown,
                const platform::FileIdentity& identity) {
    platform::FileIdentity found;
    if (identityKnown && platform::GetFileIdentity(name, &found)) return found == identity;
    return SamePathText(name, path);
}

bool IsArchiveItself(ArchiveContext& context, const std::string& name) {
    if (context.archiveStatusKnown < 0) {
        context.archiveStatusKnown = 0;
        if (!context.archivePath.empty() && platform::GetFileStatus(context.archivePath, &context.archiveStatus)) {
            context.archiveStatusKnown = 1;
            context.archiveIdentityKnown = platform::GetFileIdentity(context.archivePath, &context.archiveIdentity);
        }
    }
    if (context.archiveStatusKnown == 1 &&
        IsSameFile(name, context.archivePath, context.archiveIdentityKnown, context.archiveIdentity)) {
        return true;
    }
    if (!context.tempArchivePath.empty() && context.tempArchivePath != context.archivePath) {
        platform::FileIdentity temp;
        const bool tempKnown = platform::GetFileIdentity(context.tempArchivePath, &temp);
        if (tempKnown && IsSameFile(name, context.tempArchivePath, true, temp)) return true;
    }
    return false;
}

}  // namespace

int AddFoundName(ArchiveContext& context, const std::string& name, bool isDirectory,
                 const platform::FileStatus* status) {
    try {
        int dosCompatible = 0;
        const std::string stored = ToInternalName(context, name, isDirectory, &dosCompatible);
        if (stored.empty()) {
            // A directory that names no path of its own (a root, "..") has no
            // entry to store; a file without a name cannot be stored.
            if (!context.keepPaths || isDirectory) return 0;
            return context.ReportError(format::kArchiveErrorLogic, "empty name without -j");
        }
        bool selected = true;
        if (!context.selectPatterns.empty()) {
            // Patterns always see the full path in its ordinary form.
            const bool reformed = dosCompatible == 1 || !context.keepPaths;
            selected = PassesSelection(
                context, reformed ? MakeInternalName(context, name, isDirectory, false, true, nullptr) : stored);
        }
        if (format::ZipEntry* member = compress::FindEntry(context.contents, stored)) {
            if (!selected) return 0;
            member->actionMark = 1;
            member->externalName = name;
            member->dosCompatible = static_cast<uint32_t>(dosCompatible);
            // A regular file's status as read by its own name (a link to
            // nothing is described by the link itself, which the marking
            // pass would not find).
            if (status != nullptr && status->exists && (status->mode & 0xF000) == 0x8000) {
                context.foundStatus[member] = *status;
            } else {
                context.foundStatus.erase(member);
            }
            return 0;
        }
        if (!selected) return 0;
        if (!isDirectory && IsArchiveItself(context, name)) return 0;
        context.pendingFiles.push_back(PendingFile{name, stored, dosCompatible});
        return 0;
    } catch (const std::bad_alloc&) {
        return format::kArchiveErrorMemory;
    }
}

}  // namespace tovra::archive
