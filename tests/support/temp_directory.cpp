// temp_directory.cpp - see temp_directory.h.
#include "support/temp_directory.h"

#include <cstdlib>

#ifdef _WIN32
#include <windows.h>
#endif

namespace tovra::test {
namespace {

#ifdef _WIN32
constexpr const char* kTempVariables[] = {"TMP", "TEMP"};
void SetVariable(const char* name, const char* value) {
    SetEnvironmentVariableA(name, value);  // what GetTempPathA reads
    _putenv_s(name, value != nullptr ? value : "");
}
#else
constexpr const char* kTempVariables[] = {"TMPDIR"};
void SetVariable(const char* name, const char* value) {
    if (value != nullptr) {
        setenv(name, value, 1);
    } else {
        unsetenv(name);
    }
}
#endif

}  // namespace

ScopedTempDirectory::ScopedTempDirectory(const std::string& path) {
    for (const char* name : kTempVariables) {
        const char* old = std::getenv(name);
        saved_.push_back(old != nullptr ? std::optional<std::string>(old) : std::nullopt);
        SetVariable(name, path.c_str());
    }
}

ScopedTempDirectory::~ScopedTempDirectory() {
    for (size_t i = 0; i < saved_.size(); ++i) {
        SetVariable(kTempVariables[i], saved_[i] ? saved_[i]->c_str() : nullptr);
    }
}

}  // namespace tovra::test
