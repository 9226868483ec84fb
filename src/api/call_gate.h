// call_gate.h - one call into the library at a time.
//
// The library keeps process-wide state (the overwrite options, the member
// batch, inflate's fixed tables, the compressor, the archiving run's
// settings, the active progress dialog), so two runs must never overlap.
// Every export that runs the engines or touches that state declares a
// CallGate first:
//
//     CallGate gate;
//     if (!gate.Entered()) return kNotStarted;
//
// A call from another thread waits until the running call has left its gate.
// A call from the thread that is already inside (a window message that the
// library's own message pump dispatches during a run, a UiHost callback) is
// refused at once, so the export returns its "did not start" value and the
// outer run goes on undisturbed; waiting there would deadlock the thread.
#pragma once

namespace tovra::api {

class CallGate {
public:
    // Waits for any other thread's call; refuses a call of a thread that is
    // already inside a gate.
    CallGate();
    // Lets the next call in (only when this gate was entered).
    ~CallGate();
    CallGate(const CallGate&) = delete;
    CallGate& operator=(const CallGate&) = delete;

    // True when this call holds the library; false when it was refused.
    bool Entered() const { return entered_; }

private:
    bool entered_ = false;
};

}  // namespace tovra::api
