// archive_context.cpp - construction of the Zip context and the reset of the
// run's settings.
#include "archive/archive_context.h"

namespace tovra::archive {

ArchivingProcessSettings& ProcessSettings() {
    static ArchivingProcessSettings settings;
    return settings;
}

ArchiveContext::ArchiveContext() : messageBuffer(new char[kArchiveMessageBufferSize]()) {
    for (int c = 0; c < 256; ++c) {
        upperCaseTable[c] = static_cast<uint8_t>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
        lowerCaseTable[c] = static_cast<uint8_t>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    }
}

ArchiveContext::~ArchiveContext() {
    delete[] messageBuffer;
    messageBuffer = nullptr;
}

void ArchiveContext::ResetRunSettings() {
    baseDirectory.clear();
    archivePath.clear();
    tempArchivePath.clear();
    recurseIntoDirs = false;
    deleteSources = false;
    keepPaths = true;
    dosNames = false;
    verbosity = 0;
    showWarnings = true;
    adjustOffsets = false;
    includeHiddenSystem = false;
    storeDirEntries = true;
    writer = compress::EntryWriterSettings{};
    writer.storeSuffixes = kDefaultStoreSuffixes;
    selectPatterns.clear();
    includeCount = 0;
    firstFileIndex = 0;
    appendInPlace = false;
    contents.Clear();
    pendingFiles.clear();
    archiveStatusKnown = -1;
    archiveStatus = platform::FileStatus{};
    archiveIdentityKnown = false;
    archiveIdentity = platform::FileIdentity{};
    volumeRootAsked.clear();
    volumeHasShortNames = -1;
    messageBuffer[0] = '\0';
    errorReportCount = 0;
    firstErrorCode = 0;
    cancelled = false;
    sourceStamps.clear();
    foundStatus.clear();
    ProcessSettings() = ArchivingProcessSettings{};
}

}  // namespace tovra::archive
