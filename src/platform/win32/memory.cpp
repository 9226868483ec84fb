// memory.cpp - movable global memory blocks on Windows: GlobalAlloc with
// GMEM_MOVEABLE | GMEM_ZEROINIT, so a block handed to a host is one it can
// lock and free with the system's own functions.
#include <cstring>

#include "platform/fault/fault_injection.h"
#include "platform/platform.h"
#include "platform/win32/win32_common.h"

namespace tovra::platform {

MemoryHandle GlobalAllocZeroed(size_t size) {
    if (TOVRA_FAULT_HIT(kAllocation)) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    return ::GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size);
}

MemoryHandle GlobalReAllocZeroed(MemoryHandle block, size_t size) {
    if (TOVRA_FAULT_HIT(kAllocation)) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    const UINT flags = ::GlobalFlags(block);
    if (flags == GMEM_INVALID_HANDLE || (flags & GMEM_LOCKCOUNT) != 0) return nullptr;
    const size_t oldSize = ::GlobalSize(block);
    HGLOBAL resized = ::GlobalReAlloc(block, size, GMEM_MOVEABLE | GMEM_ZEROINIT);
    if (resized == nullptr) return nullptr;
    // GMEM_ZEROINIT on a reallocation is not honoured everywhere: clear the
    // growth ourselves.
    if (size > oldSize) {
        if (void* data = ::GlobalLock(resized)) {
            std::memset(static_cast<char*>(data) + oldSize, 0, size - oldSize);
            ::GlobalUnlock(resized);
        }
    }
    return resized;
}

void* GlobalLock(MemoryHandle block) { return ::GlobalLock(block); }

bool GlobalUnlock(MemoryHandle block) { return ::GlobalUnlock(block) != 0; }

size_t GlobalSize(MemoryHandle block) { return ::GlobalSize(block); }

MemoryHandle GlobalFree(MemoryHandle block) { return ::GlobalFree(block); }

}  // namespace tovra::platform
