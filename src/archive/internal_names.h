// internal_names.h - how a name on disk becomes the name stored in the
// archive, with the choices of the command line given explicitly.
//
// ToInternalName (file_collection.h) is MakeInternalName with the context's
// own -k and -j settings; the selection test of a found file asks for the
// ordinary form (no DOS reduction, paths kept) of the same name.
#pragma once

#include <string>

#include "archive/archive_context.h"

namespace tovra::archive {

// The stored form of `externalName`:
//  - a drive ("X:") and then every leading '\' and '/' are dropped, and so are
//    leading "./" and "../" components, so that no stored name starts above
//    the directory it will be extracted into;
//  - every '\' becomes '/';
//  - without `keepPaths` everything up to the last '/' is dropped;
//  - with `dosNames` each component is reduced to an upper-case 8.3 name;
//  - a directory's non-empty name ends in '/'.
// When `dosCompatible` is not null it is set to 1 when `dosNames` is on or the
// volume of the name allows only short (8.3) names, else 0. The volume answer
// is remembered in the context for as long as names stay on the same root.
// Every scan steps by whole characters of the ANSI code page. Throws
// std::bad_alloc when memory runs out.
std::string MakeInternalName(const ArchiveContext& context, const std::string& externalName, bool isDirectory,
                             bool dosNames, bool keepPaths, int* dosCompatible);

// `name` reduced in place to DOS form, component by component: ':' and spaces
// dropped, at most 8 bytes of base name and 3 of extension (after the first
// '.') kept in upper case, anything after a second '.' dropped, '/' kept.
// A double-byte character is kept whole or not at all.
void ReduceToDosName(const ArchiveContext& context, std::string& name);

// `text` with every '\' turned into '/', stepping by whole characters.
std::string WithForwardSlashes(const std::string& text);

}  // namespace tovra::archive
