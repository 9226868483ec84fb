// api_test_support.h - helpers of the tests that use the library only through
// its exports: a tiny writer of stored ZIP archives (so the tests need no
// archiver), a UiHost that the native library itself answers to, the
// temporary directory pointed at a test's own folder, the memory-block calls
// of both builds, and a measure of the heap for finding lost blocks.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "support/scripted_ui_host.h"
#include "support/temp_directory.h"
#include "tovra.h"

namespace tovra::apitest {

struct StoredMember {
    std::string name;  // as stored, '/' separators
    std::string data;
};

// The bytes of an archive that stores `members` uncompressed, with correct
// CRCs, a central directory and an end record; `comment` is the archive comment.
std::string BuildStoredArchive(const std::vector<StoredMember>& members, const std::string& comment = "");

#ifndef _WIN32
// A ScriptedUiHost that is also installed in the shared library (which has
// its own copy of the platform layer) for its lifetime.
class LibraryUiHost : public test::ScriptedUiHost {
public:
    LibraryUiHost();
    ~LibraryUiHost() override;

private:
    void* previousLibraryHost_ = nullptr;
};
#endif

// The current directory of the process, compared before and after each call.
std::string CurrentDirectory();

// Points the library's temporary directory at a folder for a while.
using test::ScopedTempDirectory;

// Number of entries in `directory` besides "." and "..".
size_t EntryCount(const std::string& directory);

// The movable-memory calls of the host's platform (GlobalLock and friends on
// Windows, the library's Tovra* calls natively).
void* LockBlock(TovraMemory block);
void UnlockBlock(TovraMemory block);
size_t BlockSize(TovraMemory block);
void FreeBlock(TovraMemory block);

// Bytes of heap in use by the process (the process heap that movable blocks
// come from on Windows, the C library's heap natively); nullopt where it
// cannot be measured (natively under a sanitizer, which replaces the heap).
std::optional<uint64_t> HeapBytesInUse();

}  // namespace tovra::apitest
