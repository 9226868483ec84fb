// memory.cpp - movable global memory blocks on Linux: a handle table.
//
// A handle is the address of a Slot that lives from GlobalAllocZeroed to
// GlobalFree; the set of live slots makes every call check its handle, so a
// stale or foreign handle fails instead of touching memory. The rules follow
// Windows' GMEM_MOVEABLE blocks: the data may move while the block is unlocked
// (GlobalReAllocZeroed), GlobalLock counts, GlobalUnlock returns whether the
// block is still locked, a zero-sized block exists but cannot be locked
// (GlobalLock returns null), and GlobalFree returns null on success and the
// handle itself on failure.
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <unordered_set>

#include "platform/fault/fault_injection.h"
#include "platform/platform.h"

namespace tovra::platform {
namespace {

struct Slot {
    unsigned char* data = nullptr;  // null exactly when size is 0
    size_t size = 0;
    unsigned lockCount = 0;
};

// The table of live blocks. Hosts may free a block from any thread, so the
// table has its own lock.
std::mutex tableLock;
std::unordered_set<Slot*>& LiveSlots() {
    static auto* slots = new std::unordered_set<Slot*>;  // never destroyed: blocks may outlive statics
    return *slots;
}

Slot* Find(MemoryHandle block) {
    auto* slot = static_cast<Slot*>(block);
    return LiveSlots().count(slot) != 0 ? slot : nullptr;
}

}  // namespace

MemoryHandle GlobalAllocZeroed(size_t size) {
    if (TOVRA_FAULT_HIT(kAllocation)) return nullptr;
    auto* slot = new (std::nothrow) Slot;
    if (slot == nullptr) return nullptr;
    if (size > 0) {
        slot->data = static_cast<unsigned char*>(std::calloc(size, 1));
        if (slot->data == nullptr) {
            delete slot;
            return nullptr;
        }
        slot->size = size;
    }
    std::lock_guard<std::mutex> guard(tableLock);
    try {
        LiveSlots().insert(slot);
    } catch (const std::bad_alloc&) {
        // The table could not grow: the block fails like any allocation.
        std::free(slot->data);
        delete slot;
        return nullptr;
    }
    return slot;
}

MemoryHandle GlobalReAllocZeroed(MemoryHandle block, size_t size) {
    if (TOVRA_FAULT_HIT(kAllocation)) return nullptr;
    std::lock_guard<std::mutex> guard(tableLock);
    Slot* slot = Find(block);
    if (slot == nullptr || slot->lockCount > 0) return nullptr;
    if (size == 0) {
        std::free(slot->data);
        slot->data = nullptr;
        slot->size = 0;
        return slot;
    }
    auto* data = static_cast<unsigned char*>(std::realloc(slot->data, size));
    if (data == nullptr) return nullptr;
    if (size > slot->size) std::memset(data + slot->size, 0, size - slot->size);
    slot->data = data;
    slot->size = size;
    return slot;
}

void* GlobalLock(MemoryHandle block) {
    std::lock_guard<std::mutex> guard(tableLock);
    Slot* slot = Find(block);
    if (slot == nullptr || slot->data == nullptr) return nullptr;
    ++slot->lockCount;
    return slot->data;
}

bool GlobalUnlock(MemoryHandle block) {
    std::lock_guard<std::mutex> guard(tableLock);
    Slot* slot = Find(block);
    if (slot == nullptr || slot->lockCount == 0) return false;
    --slot->lockCount;
    return slot->lockCount > 0;
}

size_t GlobalSize(MemoryHandle block) {
    std::lock_guard<std::mutex> guard(tableLock);
    Slot* slot = Find(block);
    return slot == nullptr ? 0 : slot->size;
}

MemoryHandle GlobalFree(MemoryHandle block) {
    std::lock_guard<std::mutex> guard(tableLock);
    Slot* slot = Find(block);
    if (slot == nullptr) return block;
    LiveSlots().erase(slot);
    std::free(slot->data);
    delete slot;
    return nullptr;
}

}  // namespace tovra::platform
