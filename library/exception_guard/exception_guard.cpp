#include "exception_guard.h"

// GCC on x86_64 and clang's unwinder on ARM64 raise C++ exceptions through the same
// machinery ("GCC" in the low three bytes, 0x20 throw, 0x21 unwind, 0x22 forced unwind);
// they belong to C++ handlers.
static bool IsCompilerException(DWORD code) { return (code & 0x00FFFFFF) == 0x00474343; }

int ExceptionGuardVerdict(const EXCEPTION_RECORD* record, ExceptionGuardFilter filter) {
    if (IsCompilerException(record->ExceptionCode)) return EXCEPTION_CONTINUE_SEARCH;
    if (!filter) return EXCEPTION_EXECUTE_HANDLER;
    return filter(record->ExceptionCode);
}
