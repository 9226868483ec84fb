// file_collection.cpp - CollectFromDisk and ProcessName: file arguments
// expanded against the disk, directories walked with -r, names that are not on
// disk matched against the archive's members (see file_collection.h).
//
// Order of the names found: each argument in turn; within a directory its own
// entry first, then each subdirectory completely (depth first), then its
// files, each group in the platform's listing order.
//
// The walk with -r never loops: the directories being walked (the chain from
// the argument down to the current one) are remembered by identity, and a
// directory that is one of them again - through a symbolic link natively, a
// junction on Windows - gets the warning "directory loop not followed: " and
// is not entered. Links to directories elsewhere are followed like any other
// directory. The depth is bounded by the system's path length: a name too long
// for the system cannot be looked at and gets the "name not matched: "
// warning, the rest of the walk goes on.
#include "archive/file_collection.h"

#include <algorithm>
#include <new>
#include <vector>

#include "archive/internal_names.h"
#include "archive/name_matching.h"
#include "format/archive_errors.h"

namespace tovra::archive {
namespace {

// Matches every entry of a directory (the pattern of "." and ".." with -r, and
// of an empty last component).
constexpr const char* kWholeDirectory = "*";

using Ancestors = std::vector<platform::FileIdentity>;

int WalkName(ArchiveContext& context, std::string& name, const platform::FileStatus* listed, Ancestors& ancestors);

bool EndsWith(const std::string& text, char c) { return !text.empty() && text.back() == c; }

// Listing entries that never become names: "." and "..", and hidden or
// system entries unless -S.
bool IsSkipped(const ArchiveContext& context, const platform::FindData& entry) {
    if (entry.name == "." || entry.name == "..") return true;
    const uint32_t hiddenOrSystem = platform::kAttrHidden | platform::kAttrSystem;
    return !context.includeHiddenSystem && (entry.status.attributes & hiddenOrSystem) != 0;
}

// The name is not on disk: a pattern over the members of the archive. Each
// member it matches is marked (or, with patterns, marked as its selection
// says). 0 when some member matched, else -1.
int MatchMembers(ArchiveContext& context, const std::string& name) {
    const std::string pattern = ToInternalName(context, name, false, nullptr);
    if (context.contents.entryCount == 0) return -1;
    const bool noPatterns = context.selectPatterns.empty();
    bool matched = false;
    for (format::ZipEntry* e = context.contents.entries; e != nullptr; e = e->next) {
        if (MatchPattern(pattern.c_str(), e->internalName.c_str()) != kMatchYes) continue;
        matched = true;
        e->actionMark = (noPatterns || PassesSelection(context, e->internalName)) ? 1 : 0;
    }
    return matched ? 0 : -1;
}

// Walks one name of a listing of `prefix`; a name gone since it was listed
// gets its warning. 0, or the code of the error that ended the run.
int WalkListed(ArchiveContext& context, const std::string& prefix, const platform::FindData& entry,
               Ancestors& ancestors) {
    std::string child = prefix + entry.name;
    const int result = WalkName(context, child, &entry.status, ancestors);
    if (result == -1) {
        context.ReportWarning("name not matched: ", child);
    } else if (result != 0) {
        return context.ReportError(result, child);
    }
    return 0;
}

// One listing of `prefix` (empty: the current directory): its subdirectories
// are walked as they come, its other entries are kept and walked after the
// last subdirectory, so the directory is read once. 0, or the code of the
// error that ended the run.
int WalkListing(ArchiveContext& context, const std::string& prefix, Ancestors& ancestors) {
    platform::DirectoryFinder finder;
    platform::FindData entry;
    if (!finder.FindFirst(prefix + kWholeDirectory, &entry)) return 0;
    std::vector<platform::FindData> files;
    do {
        if (IsSkipped(context, entry)) continue;
        if (!entry.status.isDirectory) {
            files.push_back(entry);
        } else if (const int result = WalkListed(context, prefix, entry, ancestors); result != 0) {
            return result;
        }
    } while (finder.FindNext(&entry));
    finder.Close();
    for (const platform::FindData& file : files) {
        if (const int result = WalkListed(context, prefix, file, ancestors); result != 0) return result;
    }
    return 0;
}

// A directory: its own entry (unless -D), then with -r its subdirectories and
// then its files.
int WalkDirectory(ArchiveContext& context, const std::string& name, Ancestors& ancestors) {
    const std::string prefix = (name == "." || name == "/.") ? "" : EndsWith(name, '/') ? name : name + "/";
    if (context.storeDirEntries && !prefix.empty()) {
        const int result = AddFoundName(context, prefix, true);
        if (result != 0) return result;
    }
    if (!context.recurseIntoDirs) return 0;

    platform::FileIdentity identity;
    const bool identityKnown = platform::GetFileIdentity(prefix.empty() ? "." : prefix, &identity);
    if (identityKnown) {
        if (std::find(ancestors.begin(), ancestors.end(), identity) != ancestors.end()) {
            context.ReportWarning("directory loop not followed: ", name);
            return 0;
        }
        ancestors.push_back(identity);
    }
    const int result = WalkListing(context, prefix, ancestors);
    if (identityKnown) ancestors.pop_back();
    return result;
}

// ProcessName with what the walk knows: `listed` is the status the directory
// listing gave (null for a name from the command line).
int WalkName(ArchiveContext& context, std::string& name, const platform::FileStatus* listed, Ancestors& ancestors) {
    platform::FileStatus status;
    if (listed != nullptr && listed->exists) {
        status = *listed;
    } else if (!platform::GetFileStatus(name, &status)) {
        return MatchMembers(context, name);
    }
    name = WithForwardSlashes(name);
    if (status.isDirectory) return WalkDirectory(context, name, ancestors);
    return AddFoundName(context, name, false, &status);
}

// Finds the first wildcard; true when a '/' or ':' follows it (wildcards are
// allowed in the last component only).
bool WildcardBeforeLastComponent(const std::string& text) {
    bool wildcardSeen = false;
    for (const char* p = text.c_str(); *p != '\0'; p = platform::NextChar(p)) {
        if (*p == '*' || *p == '?' || *p == '[') wildcardSeen = true;
        if (wildcardSeen && (*p == '/' || *p == ':')) return true;
    }
    return false;
}

// The position of the last '/' in `text`, stepping by whole characters, or npos.
size_t LastSlash(const std::string& text) {
    size_t last = std::string::npos;
    for (const char* p = text.c_str(); *p != '\0'; p = platform::NextChar(p)) {
        if (*p == '/') last = static_cast<size_t>(p - text.c_str());
    }
    return last;
}

bool HasDriveColon(const std::string& text) {
    return text.size() >= 2 && text[1] == ':' &&
           ((text[0] >= 'A' && text[0] <= 'Z') || (text[0] >= 'a' && text[0] <= 'z'));
}

// An argument split into the directory to list and the pattern for its entries.
struct SplitArgument {
    std::string directory;
    std::string pattern;
};

// Splits at the last '/' (unless it follows a drive's ':'), else after a
// drive ("C:" or "C:/" becomes "C:." or "C:/."), else "." and ".." with -r
// are listed whole, else the current directory is listed.
SplitArgument Split(const std::string& copy, bool recurse) {
    const size_t slash = LastSlash(copy);
    const bool slashAfterDrive = slash == 2 && HasDriveColon(copy);
    if (slash != std::string::npos && !slashAfterDrive) {
        return {slash == 0 ? std::string("/.") : copy.substr(0, slash), copy.substr(slash + 1)};
    }
    if (HasDriveColon(copy)) {
        const size_t rest = slashAfterDrive ? 3 : 2;
        return {copy.substr(0, rest) + ".", copy.substr(rest)};
    }
    if (recurse && (copy == "." || copy == "..")) return {copy, std::string(kWholeDirectory)};
    return {std::string("."), copy};
}

}  // namespace

int ProcessName(ArchiveContext& context, std::string& name) {
    try {
        Ancestors ancestors;
        return WalkName(context, name, nullptr, ancestors);
    } catch (const std::bad_alloc&) {
        return format::kArchiveErrorMemory;
    }
}

int CollectFromDisk(ArchiveContext& context, std::string& argument) {
    try {
        const std::string copy = WithForwardSlashes(argument);
        if (WildcardBeforeLastComponent(copy)) return format::kArchiveErrorParameters;

        if (context.recurseIntoDirs && context.deleteSources && copy == "..") {
            return context.ReportError(format::kArchiveErrorParameters, "cannot remove parent directory");
        }
        const SplitArgument split = Split(copy, context.recurseIntoDirs);
        const std::string& directory = split.directory;
        const std::string pattern =
            split.pattern.empty() && context.recurseIntoDirs ? std::string(kWholeDirectory) : split.pattern;

        platform::DirectoryFinder finder;
        platform::FindData entry;
        if (!finder.FindFirst(directory + (EndsWith(directory, '/') ? "" : "/") + kWholeDirectory, &entry)) return -1;
        // Names are built on the directory without the final '.' of ":." or "/.".
        std::string base = directory;
        if (base.size() >= 2 && base.back() == '.' && (base[base.size() - 2] == ':' || base[base.size() - 2] == '/')) {
            base.pop_back();
        }
        const std::string join = (EndsWith(base, '/') || EndsWith(base, ':')) ? "" : "/";
        bool matched = false;
        do {
            if (IsSkipped(context, entry)) continue;
            if (MatchPattern(pattern.c_str(), entry.name.c_str()) != kMatchYes) continue;
            matched = true;
            std::string name = directory == "." ? entry.name : base + join + entry.name;
            Ancestors ancestors;
            const int result = WalkName(context, name, &entry.status, ancestors);
            // An entry gone since the listing is one name not found; the other
            // entries are still taken. Any other failure ends the argument
            // with its own code (an error already reported, or no memory).
            if (result == -1) {
                context.ReportWarning("name not matched: ", name);
            } else if (result != 0) {
                return result;
            }
        } while (finder.FindNext(&entry));
        return matched ? 0 : -1;
    } catch (const std::bad_alloc&) {
        return format::kArchiveErrorMemory;
    }
}

}  // namespace tovra::archive
