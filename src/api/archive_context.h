// archive_context.h - the per-call object of Zip.
//
// One ArchiveContext is built on the heap for each Zip call and destroyed
// before Zip returns. The archiving run fills and resets its settings itself
// at the start of every call; construction only creates the empty strings,
// the empty argument list, the unattached parent window, the absent progress
// dialog and the work buffer that error texts are formatted in.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace tovra::ui {
class CDlgExtMsg;
}

namespace tovra::api {

// Size of the scratch buffer for detail texts of error reports.
inline constexpr size_t kArchiveMessageBufferSize = 1105;

class ArchiveContext {
public:
    // Throws std::bad_alloc when the work buffer cannot be allocated (the
    // export turns that into -1).
    ArchiveContext();
    ~ArchiveContext();
    ArchiveContext(const ArchiveContext&) = delete;
    ArchiveContext& operator=(const ArchiveContext&) = delete;

    std::string baseDirectory;                      // directory made current for the run
    std::string archivePath;                        // normalised archive name ('/' inside)
    std::string tempArchivePath;                    // the temporary archive being written
    std::string storeSuffixes;                      // suffixes stored without compression (set per run)
    std::vector<std::string> argumentList;          // entry 0 is "Zip" once tokenized
    platform::WindowHandle parentWindow = nullptr;  // host window while attached
    ui::CDlgExtMsg* progressDialog = nullptr;       // the run's own progress dialog
    char* messageBuffer = nullptr;                  // kArchiveMessageBufferSize bytes
};

}  // namespace tovra::api
