// The guard for GCC, which has no __try: the frame and the landing are in assembly
// (exception_guard_x86_64.S, exception_guard_i686.S); the decisions are made here.
#include "exception_guard.h"

#include <cstddef>

extern "C" {

// 0 when function returned, 1 when an exception was caught.
int ExceptionGuardCall(GuardedFunction function, void* context, ExceptionGuardFilter filter, DWORD* exceptionCode);

#ifndef _WIN64
// Called from the assembly handler (cdecl).
int ExceptionGuardDecide(const EXCEPTION_RECORD* record, ExceptionGuardFilter filter) {
    return ExceptionGuardVerdict(record, filter);
}
#else
// The guard's frame as the prologue leaves it: the establisher frame is rsp after it.
struct GuardFrame {
    void* HomeArea[4];
    ExceptionGuardFilter Filter;
    DWORD* ExceptionCode;
};

// Where the guard resumes: expects rsp at the establisher frame and the code in eax.
void ExceptionGuardLanding();

// Language handler of the guard's frame (.seh_handler ..., @except), called on the
// platform's search pass. Accepting an exception unwinds every frame inside the guard,
// which calls their handlers and restores the callee-saved registers, then continues at
// the landing; RtlUnwindEx does not return.
EXCEPTION_DISPOSITION ExceptionGuardHandler(EXCEPTION_RECORD* record, void* establisherFrame, CONTEXT* context,
                                            DISPATCHER_CONTEXT* dispatch) {
    if (record->ExceptionFlags & EXCEPTION_UNWIND) return ExceptionContinueSearch;
    const auto* frame = static_cast<const GuardFrame*>(establisherFrame);
    const int verdict = ExceptionGuardVerdict(record, frame->Filter);
    if (verdict == EXCEPTION_CONTINUE_SEARCH) return ExceptionContinueSearch;
    if (verdict == EXCEPTION_CONTINUE_EXECUTION) return ExceptionContinueExecution;
    RtlUnwindEx(establisherFrame, reinterpret_cast<void*>(ExceptionGuardLanding), record,
                reinterpret_cast<void*>(static_cast<ULONG_PTR>(record->ExceptionCode)), context,
                dispatch->HistoryTable);
    return ExceptionContinueSearch;
}

static_assert(offsetof(GuardFrame, Filter) == 32 && offsetof(GuardFrame, ExceptionCode) == 40,
              "exception_guard_x86_64.S stores the filter and the code pointer there");
#endif

}  // extern "C"

bool CallWithExceptionGuard(GuardedFunction function, void* context, ExceptionGuardFilter filter,
                            DWORD* exceptionCode) {
    return ExceptionGuardCall(function, context, filter, exceptionCode) == 0;
}
