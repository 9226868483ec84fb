// call_gate.cpp - the process-wide lock behind CallGate and the per-thread
// mark that tells a re-entrant call from a competing one.
#include "api/call_gate.h"

#include <mutex>

namespace tovra::api {
namespace {

// Held from a gate's entry to its exit. Never locked twice by one thread: the
// per-thread mark below refuses the second entry before it gets here.
std::mutex& LibraryLock() {
    static std::mutex lock;
    return lock;
}

// True while the calling thread is inside a gate.
thread_local bool threadInside = false;

}  // namespace

CallGate::CallGate() {
    if (threadInside) return;  // re-entered from inside a run: refused
    LibraryLock().lock();
    threadInside = true;
    entered_ = true;
}

CallGate::~CallGate() {
    if (!entered_) return;
    threadInside = false;
    LibraryLock().unlock();
}

}  // namespace tovra::api
