// The guard for GCC and clang's mingw targets, which have no __try: the frame and the
// landing are in assembly (exception_guard_<processor>.S); the decisions are made here.
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
// The filter and the code pointer, where the guard's prologue stored them.
struct GuardFrame {
    ExceptionGuardFilter Filter;
    DWORD* ExceptionCode;
};

#ifdef __aarch64__
// The establisher frame is sp at entry; the prologue stores the two below it.
static const GuardFrame* FrameOf(void* establisherFrame) {
    return reinterpret_cast<const GuardFrame*>(static_cast<char*>(establisherFrame) - sizeof(GuardFrame));
}
#else
// The establisher frame is rsp after the prologue; the two follow the call's home area.
static const GuardFrame* FrameOf(void* establisherFrame) {
    return reinterpret_cast<const GuardFrame*>(static_cast<char*>(establisherFrame) + 32);
}
#endif

// Where the guard resumes: expects the frame's own stack pointer and the code in the
// return register.
void ExceptionGuardLanding();

// Language handler of the guard's frame (.seh_handler ..., @except), called on the
// platform's search pass. Accepting an exception unwinds every frame inside the guard,
// which calls their handlers and restores the callee-saved registers, then continues at
// the landing; RtlUnwindEx does not return.
EXCEPTION_DISPOSITION ExceptionGuardHandler(EXCEPTION_RECORD* record, void* establisherFrame, CONTEXT* context,
                                            DISPATCHER_CONTEXT* dispatch) {
    if (record->ExceptionFlags & EXCEPTION_UNWIND) return ExceptionContinueSearch;
    const int verdict = ExceptionGuardVerdict(record, FrameOf(establisherFrame)->Filter);
    if (verdict == EXCEPTION_CONTINUE_SEARCH) return ExceptionContinueSearch;
    if (verdict == EXCEPTION_CONTINUE_EXECUTION) return ExceptionContinueExecution;
    RtlUnwindEx(establisherFrame, reinterpret_cast<void*>(ExceptionGuardLanding), record,
                reinterpret_cast<void*>(static_cast<ULONG_PTR>(record->ExceptionCode)), context,
                dispatch->HistoryTable);
    return ExceptionContinueSearch;
}

static_assert(offsetof(GuardFrame, ExceptionCode) == 8,
              "exception_guard_<processor>.S stores the filter and the code pointer side by side");
#endif

}  // extern "C"

bool CallWithExceptionGuard(GuardedFunction function, void* context, ExceptionGuardFilter filter,
                            DWORD* exceptionCode) {
    return ExceptionGuardCall(function, context, filter, exceptionCode) == 0;
}
