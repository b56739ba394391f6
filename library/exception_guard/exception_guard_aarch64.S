// int ExceptionGuardCall(GuardedFunction function, void* context,
//                        ExceptionGuardFilter filter, DWORD* exceptionCode)
// Calls function(context) in a frame whose language handler, ExceptionGuardHandler
// (exception_guard_gnu.cpp), decides on every exception raised inside it. Returns 0
// when function returned, 1 when an exception was caught.
// The frame, 32 bytes below sp at entry (= establisher frame): 0 x29, 8 x30, 16 filter,
// 24 exceptionCode; sp stays 16-byte aligned.

    .text
    .globl ExceptionGuardCall
    .globl ExceptionGuardLanding
    .def ExceptionGuardCall; .scl 2; .type 32; .endef
    .seh_proc ExceptionGuardCall
    .seh_handler ExceptionGuardHandler, @except
ExceptionGuardCall:
    stp x29, x30, [sp, #-32]!
    .seh_save_fplr_x 32
    mov x29, sp
    .seh_set_fp
    .seh_endprologue
    stp x2, x3, [sp, #16]
    mov x9, x0
    mov x0, x1
    blr x9
    mov w0, #0
    b .Lreturn

// RtlUnwindEx resumes here with sp as it was in this frame's body, the callee-saved
// registers as they were in this frame, and the exception code in x0.
ExceptionGuardLanding:
    ldr x1, [sp, #24]
    cbz x1, 1f
    str w0, [x1]
1:  mov w0, #1
.Lreturn:
    .seh_startepilogue
    mov sp, x29
    .seh_set_fp
    ldp x29, x30, [sp], #32
    .seh_save_fplr_x 32
    .seh_endepilogue
    ret
    .seh_endproc
