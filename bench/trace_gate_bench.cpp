// Cost of a trace point while no trace session has enabled the provider: with no
// provider registered, and with one registered whose flags are 0 (what the library
// has under Wine, whose trace calls are stubs).
#include <algorithm>
#include <cstdio>

#include "bench_support.h"
#include "diagnostics.h"
#include "trace_gate.h"

namespace {

constexpr int Calls = 20000000;
constexpr int Runs = 9;

// Nanoseconds per call of one run, through a volatile pointer so that the compiler
// cannot see what is called.
double PerCallNs(void (*function)()) {
    void (*volatile target)() = function;
    const double start = NowMs();
    for (int i = 0; i < Calls; ++i) target();
    return (NowMs() - start) * 1e6 / Calls;
}

void UnregisteredProvider() { TraceControl = &TraceControl; }

void RegisteredWithoutSession() {
    TraceControlBlock = {};
    TraceControl = &TraceControlBlock;
}

}  // namespace

int main() {
    // The three cases take turns, and each keeps its fastest run: on a shared machine
    // the slower runs measure the other load, not the code.
    double empty = 1e9, unregistered = 1e9, registered = 1e9;
    for (int run = 0; run < Runs; ++run) {
        empty = std::min(empty, PerCallNs(EmptyFunction));
        UnregisteredProvider();
        unregistered = std::min(unregistered, PerCallNs(DisabledTracePoint));
        RegisteredWithoutSession();
        registered = std::min(registered, PerCallNs(DisabledTracePoint));
    }
    UnregisteredProvider();

    std::printf("  call of an empty function %.3f ns; call of a disabled trace point: %.3f ns with no provider,"
                " %.3f ns registered with flags 0 (%d calls a run, fastest of %d runs)\n",
                empty, unregistered, registered, Calls, Runs);
    PrintRow("disabled trace point, no provider registered: cost above an empty call", "one compare, one bit test",
             Format("%.2f ns (%.2f ns a call in all)", unregistered - empty, unregistered));
    PrintRow("disabled trace point, registered, no session (flags 0): cost above an empty call",
             "one compare, one bit test", Format("%.2f ns (%.2f ns a call in all)", registered - empty, registered));
    return 0;
}
