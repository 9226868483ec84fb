// fault_injection.h - failing the Nth call of one kind of platform operation,
// for the fault-injection test build only.
//
// The platform implementation asks TOVRA_FAULT_HIT(kind) at the top of each
// operation that can fail (reads, writes, seeks, creating files and
// directories, deleting, moving, allocating); when it answers true the
// operation fails at once, as the system call would, without side effects.
// The shipped libraries are compiled without TOVRA_FAULT_INJECTION, so the
// macro is the constant false there and no counter exists. The test build
// (tests/fault/) compiles the platform sources again with the macro defined
// and fault_injection.cpp added.
//
// Counting only happens between Arm and Disarm, so a test's own set-up and
// checks (which go through the same platform layer) do not move the counts.
#pragma once

#include <cstdint>

namespace tovra::platform::fault {

enum class Kind {
    kRead,        // File::Read
    kWrite,       // File::Write, File::Truncate
    kSeek,        // File::Seek (and Tell, which is a seek), File::Size
    kCreate,      // File::Open for writing, MakeDirectory, CreateUniqueTempFile
    kDelete,      // DeletePath, RemoveEmptyDirectory
    kMove,        // MovePath
    kAllocation,  // GlobalAllocZeroed, GlobalReAllocZeroed, the test's operator new
};
inline constexpr int kKindCount = 7;

// A short lower-case name of the kind ("read", "alloc", ...), for test output.
const char* KindName(Kind kind);

// Clears every count and starts counting calls of each kind; the `n`th call
// (1-based) of `kind` from now on fails, once. n = 0 fails nothing (a clean
// run that only counts).
void Arm(Kind kind, uint64_t n);
// Stops counting and failing; the counts stay readable.
void Disarm();
// Calls of `kind` counted since the last Arm (the failed one included).
uint64_t Calls(Kind kind);
// True when the armed call was reached and failed.
bool Fired();

// Called by the instrumented operations: counts the call and answers whether
// it must fail. Never allocates, so operator new may call it. Thread-safe.
bool Hit(Kind kind);

// While one of these lives, Hit neither counts nor fails (for code of the
// test itself that runs inside a library call, such as a scripted UI host).
class Pause {
public:
    Pause();
    ~Pause();
    Pause(const Pause&) = delete;
    Pause& operator=(const Pause&) = delete;
};

}  // namespace tovra::platform::fault

#ifdef TOVRA_FAULT_INJECTION
#define TOVRA_FAULT_HIT(kind) (::tovra::platform::fault::Hit(::tovra::platform::fault::Kind::kind))
#else
#define TOVRA_FAULT_HIT(kind) false
#endif
