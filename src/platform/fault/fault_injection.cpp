// fault_injection.cpp - the counters behind TOVRA_FAULT_HIT (test build only).
//
// Plain atomics and no allocation: Hit is called from operator new.
#include "platform/fault/fault_injection.h"

#include <atomic>

namespace tovra::platform::fault {
namespace {

std::atomic<bool> counting{false};
std::atomic<int> armedKind{-1};
std::atomic<uint64_t> armedCall{0};
std::atomic<bool> fired{false};
std::atomic<int> pauses{0};
std::atomic<uint64_t> calls[kKindCount];

}  // namespace

const char* KindName(Kind kind) {
    static constexpr const char* kNames[kKindCount] = {"read", "write", "seek", "create", "delete", "move", "alloc"};
    return kNames[static_cast<int>(kind)];
}

void Arm(Kind kind, uint64_t n) {
    counting = false;
    for (auto& count : calls) count = 0;
    fired = false;
    armedKind = n == 0 ? -1 : static_cast<int>(kind);
    armedCall = n;
    counting = true;
}

void Disarm() {
    counting = false;
    armedKind = -1;
}

uint64_t Calls(Kind kind) { return calls[static_cast<int>(kind)].load(); }

bool Fired() { return fired.load(); }

bool Hit(Kind kind) {
    if (!counting.load(std::memory_order_relaxed) || pauses.load(std::memory_order_relaxed) > 0) return false;
    const int index = static_cast<int>(kind);
    const uint64_t call = ++calls[index];
    if (armedKind.load() != index || call != armedCall.load()) return false;
    fired = true;
    return true;
}

Pause::Pause() { ++pauses; }
Pause::~Pause() { --pauses; }

}  // namespace tovra::platform::fault
