// run_buffers.cpp - lifetime of the extraction context's buffers: the three
// per-run buffers (name, input, output) that exist only while a run is going
// on, and the context's construction and destruction, which make sure that a
// context never leaks a buffer whichever path a run took.
#include <new>

#include "extract/Cunzip.h"

namespace tovra::extract {

Cunzip::Cunzip() = default;

Cunzip::~Cunzip() {
    // A run interrupted between AllocateRunBuffers and its tear-down (an
    // exception caught at the export) still leaves nothing behind.
    ReleaseRunBuffers();
    delete[] recordBuffer;
    recordBuffer = nullptr;
    delete[] crcTable;  // held only while the member loop runs
    crcTable = nullptr;
    // outputFile, recordFile and the archive file itself close in their own
    // destructors.
}

bool Cunzip::AllocateRunBuffers() {
    ReleaseRunBuffers();
    // Zero-filled so that nothing of an earlier run, or of the heap, can ever
    // be read back as archive data or as a name.
    nameBuffer = new (std::nothrow) char[kNameBufferSize]();
    inputBuffer = new (std::nothrow) uint8_t[kInputBufferSize]();
    outputBuffer = new (std::nothrow) uint8_t[kOutputBufferSize]();
    if (nameBuffer == nullptr || inputBuffer == nullptr || outputBuffer == nullptr) {
        ReleaseRunBuffers();
        return false;
    }
    inputEnd = inputBuffer + kInputBlockSize;
    return true;
}

void Cunzip::ReleaseRunBuffers() {
    delete[] nameBuffer;
    delete[] inputBuffer;
    delete[] outputBuffer;
    nameBuffer = nullptr;
    inputBuffer = nullptr;
    inputEnd = nullptr;
    outputBuffer = nullptr;
}

}  // namespace tovra::extract
