// The guard as MSVC builds it: the compiler's own frame-based (x86) or table-based
// (x64) exception handling does what exception_guard_gnu.cpp and its assembly do.
#include "exception_guard.h"

bool CallWithExceptionGuard(GuardedFunction function, void* context, ExceptionGuardFilter filter,
                            DWORD* exceptionCode) {
    __try {
        function(context);
        return true;
    } __except (ExceptionGuardVerdict(GetExceptionInformation()->ExceptionRecord, filter)) {
        if (exceptionCode) *exceptionCode = GetExceptionCode();
        return false;
    }
}
