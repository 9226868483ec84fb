// counting_new.cpp - the global allocation functions of the fault sweep: each
// call is an allocation the sweep can fail (the throwing forms throw
// std::bad_alloc, the nothrow forms return null), and the number of blocks
// alive is kept so that a run can be checked for blocks it lost.
#include "counting_new.h"

#include <atomic>
#include <cstdlib>
#include <new>

#include "platform/fault/fault_injection.h"

namespace {

std::atomic<int64_t> liveBlocks{0};

void* Allocate(std::size_t size) noexcept {
    if (tovra::platform::fault::Hit(tovra::platform::fault::Kind::kAllocation)) return nullptr;
    void* block = std::malloc(size == 0 ? 1 : size);
    if (block != nullptr) ++liveBlocks;
    return block;
}

void Release(void* block) noexcept {
    if (block == nullptr) return;
    --liveBlocks;
    std::free(block);
}

void* AllocateOrThrow(std::size_t size) {
    void* block = Allocate(size);
    if (block == nullptr) throw std::bad_alloc();
    return block;
}

}  // namespace

namespace tovra::faulttest {
int64_t LiveBlocks() { return liveBlocks.load(); }
}  // namespace tovra::faulttest

void* operator new(std::size_t size) { return AllocateOrThrow(size); }
void* operator new[](std::size_t size) { return AllocateOrThrow(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void operator delete(void* block) noexcept { Release(block); }
void operator delete[](void* block) noexcept { Release(block); }
void operator delete(void* block, std::size_t) noexcept { Release(block); }
void operator delete[](void* block, std::size_t) noexcept { Release(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { Release(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { Release(block); }
