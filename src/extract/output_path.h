// output_path.h - turning a member's stored name into a path below the output
// directory.
//
// Names come from the archive and are not trusted. Both '/' and '\' count as
// separators (the second byte of a double-byte character never does: the scan
// steps whole characters of the ANSI code page), and nothing of a name may
// lead out of the output directory: a drive prefix ("C:"), a server and share
// prefix ("\\server\share\"), extra leading separators and ".." components are
// dropped, and so is every component made only of dots and spaces (Windows
// trims trailing dots and spaces, so ". ." or "..." could become ".."). The
// member is then written at what remains; a name of which nothing remains is
// not written at all. A "." component and empty components ("a//b") are
// dropped silently, as is the one leading '/' that some writers store.
//
// Where the names are written to a Windows file system, every component is
// then made a name that Windows opens as an ordinary file: each byte it cannot
// hold (':' '*' '?' '"' '<' '>' '|' and control characters) becomes '_', and a
// component that is still a device name (CON, NUL, COM1, CONOUT$, "nul .txt",
// ...) gets a '_' in front. Both count as unsafe. Elsewhere such names are
// kept as they are.
#pragma once

#include <string>

#include "platform/platform.h"

namespace tovra::extract {

enum class MappedKind {
    kFile,       // write a file at `path`
    kDirectory,  // a directory entry (the name ends in a separator)
    kNothing,    // nothing remains of the name: the member is skipped
};

struct MappedName {
    MappedKind kind = MappedKind::kNothing;
    // Relative path with '/' separators: the file to write (kFile) or the
    // directory entry with a trailing '/' (kDirectory, paths kept only).
    std::string path;
    // Relative directories to create before writing, ending in '/', or empty
    // when the file goes straight into the output directory.
    std::string directories;
    // True when something that could lead out of the output directory was
    // dropped; the caller warns and raises the run result to at least 1.
    bool unsafe = false;
};

// Maps the zero-terminated `name` for a file system with `rules`. With
// `keepPaths` the directory part is kept (and directory entries map to
// kDirectory); without it a file keeps only its last component and a
// directory entry maps to kDirectory with an empty path.
MappedName MapMemberName(const char* name, bool keepPaths,
                         const platform::FileNameRules& rules = platform::SystemFileNameRules());

}  // namespace tovra::extract
