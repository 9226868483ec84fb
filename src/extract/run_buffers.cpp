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
    delete[] member.crcTable;  // held only while the member loop runs
    member.crcTable = nullptr;
    // outputFile, recordFile and the archive file itself close in their own
    // destructors.
}

bool Cunzip::AllocateRunBuffers() {
    ReleaseRunBuffers();
    // Zero-filled so that nothing of an earlier run, or of the heap, can ever
    // be read back as archive data or as a name.
    member.nameBuffer = new (std::nothrow) char[kNameBufferSize]();
    reader.inputBuffer = new (std::nothrow) uint8_t[kInputBufferSize]();
    output.outputBuffer = new (std::nothrow) uint8_t[kOutputBufferSize]();
    if (member.nameBuffer == nullptr || reader.inputBuffer == nullptr || output.outputBuffer == nullptr) {
        ReleaseRunBuffers();
        return false;
    }
    reader.inputEnd = reader.inputBuffer + kInputBlockSize;
    return true;
}

void Cunzip::ReleaseRunBuffers() {
    delete[] member.nameBuffer;
    delete[] reader.inputBuffer;
    delete[] output.outputBuffer;
    member.nameBuffer = nullptr;
    reader.inputBuffer = nullptr;
    reader.inputEnd = nullptr;
    output.outputBuffer = nullptr;
}

}  // namespace tovra::extract
