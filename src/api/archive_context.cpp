// archive_context.cpp - construction and destruction of the Zip context.
#include "api/archive_context.h"

namespace tovra::api {

ArchiveContext::ArchiveContext() : messageBuffer(new char[kArchiveMessageBufferSize]()) {}

ArchiveContext::~ArchiveContext() {
    delete[] messageBuffer;
    messageBuffer = nullptr;
}

}  // namespace tovra::api
