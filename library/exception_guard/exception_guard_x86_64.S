# int ExceptionGuardCall(GuardedFunction function, void* context,
#                        ExceptionGuardFilter filter, DWORD* exceptionCode)
# Calls function(context) in a frame whose language handler, ExceptionGuardHandler
# (exception_guard_gnu.cpp), decides on every exception raised inside it. Returns 0
# when function returned, 1 when an exception was caught.
# The frame, rsp after the prologue (= establisher frame): 0..31 home area of the call,
# 32 filter, 40 exceptionCode, 48 padding to keep rsp 16-byte aligned at the call.

    .text
    .globl ExceptionGuardCall
    .globl ExceptionGuardLanding
    .def ExceptionGuardCall; .scl 2; .type 32; .endef
    .seh_proc ExceptionGuardCall
    .seh_handler ExceptionGuardHandler, @except
ExceptionGuardCall:
    subq $56, %rsp
    .seh_stackalloc 56
    .seh_endprologue
    movq %r8, 32(%rsp)
    movq %r9, 40(%rsp)
    movq %rcx, %rax
    movq %rdx, %rcx
    callq *%rax
    xorl %eax, %eax
.Lreturn:
    addq $56, %rsp
    retq

# RtlUnwindEx resumes here with rsp at the establisher frame, the callee-saved
# registers as they were in this frame, and the exception code in rax.
ExceptionGuardLanding:
    movq 40(%rsp), %rdx
    testq %rdx, %rdx
    jz 1f
    movl %eax, (%rdx)
1:  movl $1, %eax
    jmp .Lreturn
    .seh_endproc
