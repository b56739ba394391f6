// One trace point and nothing else, compiled with the library's flags, so that
// bench/run.sh can show its disassembly and trace_gate_bench can time it.
#include "trace_gate.h"

#include "diagnostics.h"

extern "C" void DisabledTracePoint() { TracePoint(EvIsEnabledReadFailed); }

extern "C" void EmptyFunction() {
    // Keeps the function a real call rather than folding it into its caller.
    asm volatile("");
}
