// api_test_support.h - helpers of the tests that use the library only through
// its exports: a tiny writer of stored ZIP archives (so the tests need no
// archiver), a UiHost that the native library itself answers to, and a fill
// pattern for checking that a host buffer stayed untouched.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "support/scripted_ui_host.h"

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

}  // namespace tovra::apitest
