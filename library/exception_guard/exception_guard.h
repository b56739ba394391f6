// A structured-exception guard around one call: what __try/__except gives with MSVC,
// built from a real exception frame so that the platform unwinds the frames inside the
// guard (running their own cleanup) before execution resumes after it.
#pragma once

#include <windows.h>

// The RPC runtime's filter signature (RpcExceptionFilter): EXCEPTION_EXECUTE_HANDLER
// catches, EXCEPTION_CONTINUE_SEARCH passes the exception on to outer frames,
// EXCEPTION_CONTINUE_EXECUTION resumes at the fault (continuable exceptions only).
typedef int(__stdcall* ExceptionGuardFilter)(unsigned long code);
typedef void (*GuardedFunction)(void* context);

// Calls function(context). Returns true when it returned; false when the filter (none:
// every exception) accepted an exception raised inside it, whose code then goes to
// *exceptionCode when that is not null. GCC's own C++ exceptions are never caught.
// The guarded function must be a thin call: destructors of its objects do not run when
// a structured exception unwinds it, and no C++ exception may leave it.
bool CallWithExceptionGuard(GuardedFunction function, void* context, ExceptionGuardFilter filter = nullptr,
                            DWORD* exceptionCode = nullptr);

// The guard's decision for one exception, as a filter expression's value.
int ExceptionGuardVerdict(const EXCEPTION_RECORD* record, ExceptionGuardFilter filter);
