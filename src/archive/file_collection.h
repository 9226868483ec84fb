// file_collection.h - turning the file arguments of an archiving command
// into work: wildcards expanded against a directory, directories walked with
// -r, file-system names turned into stored names, each found file either
// marking the existing member it replaces or becoming a PendingFile, all of
// it filtered through the -i / -x patterns, the archive kept from being added
// to itself, and repeated stored names refused.
//
// When an argument names nothing on disk it is matched as a pattern against
// the members of the existing archive instead (deleting and freshening).
#pragma once

#include <string>

#include "archive/archive_context.h"

namespace tovra::archive {

// Expands one file argument of Add or Update. Returns 0 when at least one
// name was found and processed, -1 when nothing matched, 16 when a wildcard
// stands before the last path component, 4 when memory ran out.
int CollectFromDisk(ArchiveContext& context, std::string& argument);

// Matches one argument of Freshen or Delete (or a name Add/Update found that
// is not on disk) against the archive's members and the disk; `name` is
// rewritten in place ('\' becomes '/'). Returns 0, -1 (nothing matched) or an
// error code.
int ProcessName(ArchiveContext& context, std::string& name);

// Records one name found on disk (a directory when `isDirectory`): marks the
// member it replaces or appends a PendingFile, after the selection and the
// self-inclusion check (the archive, and the temporary archive, are never
// added). `status`, when not null, is what the file system said of the
// file just now; a member marked from it keeps it in foundStatus. Returns 0,
// 4 (out of memory) or 5 (a file whose stored name is empty while paths are
// kept: reported, the run ends).
int AddFoundName(ArchiveContext& context, const std::string& name, bool isDirectory,
                 const platform::FileStatus* status = nullptr);

// The stored (internal) form of an external name: drive and leading
// separators dropped, '\' made '/', directories cut with -j, reduced to a DOS
// name with -k or on short-name volumes; a directory's ends in '/'. Sets
// *dosCompatible when not null. Throws std::bad_alloc when memory runs out.
std::string ToInternalName(const ArchiveContext& context, const std::string& externalName, bool isDirectory,
                           int* dosCompatible);

// True when `internalName` passes the -i / -x patterns (every name passes
// when there are none).
bool PassesSelection(const ArchiveContext& context, const std::string& internalName);

// Refuses two pending files with the same stored name. Returns 0, 16 (after
// the warning naming the two files) or 4.
int CheckDuplicateNames(ArchiveContext& context);

}  // namespace tovra::archive
