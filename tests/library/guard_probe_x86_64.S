# Probes for the exception guard's tests that only assembly can write.

    .text

# unsigned GuardWithMarkedRegisters(GuardedFunction function, void* context, DWORD* code)
# Loads every callee-saved register with a mark, calls ExceptionGuardCall(function,
# context, no filter, code) and returns a bit for each register that lost its mark:
# 1 rbx, 2 rbp, 4 rsi, 8 rdi, 0x10 r12, 0x20 r13, 0x40 r14, 0x80 r15.
.macro CHECK reg, mark, bit
    movabsq $\mark, %rcx
    cmpq %rcx, \reg
    je 1f
    orl $\bit, %eax
1:
.endm

    .globl GuardWithMarkedRegisters
    .def GuardWithMarkedRegisters; .scl 2; .type 32; .endef
    .seh_proc GuardWithMarkedRegisters
GuardWithMarkedRegisters:
    pushq %rbp
    .seh_pushreg %rbp
    pushq %rbx
    .seh_pushreg %rbx
    pushq %rsi
    .seh_pushreg %rsi
    pushq %rdi
    .seh_pushreg %rdi
    pushq %r12
    .seh_pushreg %r12
    pushq %r13
    .seh_pushreg %r13
    pushq %r14
    .seh_pushreg %r14
    pushq %r15
    .seh_pushreg %r15
    subq $40, %rsp
    .seh_stackalloc 40
    .seh_endprologue
    movq %r8, %r9
    xorl %r8d, %r8d
    movabsq $0x1111111111111111, %rbx
    movabsq $0x2222222222222222, %rbp
    movabsq $0x3333333333333333, %rsi
    movabsq $0x4444444444444444, %rdi
    movabsq $0x5555555555555555, %r12
    movabsq $0x6666666666666666, %r13
    movabsq $0x7777777777777777, %r14
    movabsq $0x0888888888888888, %r15
    callq ExceptionGuardCall
    xorl %eax, %eax
    CHECK %rbx, 0x1111111111111111, 0x01
    CHECK %rbp, 0x2222222222222222, 0x02
    CHECK %rsi, 0x3333333333333333, 0x04
    CHECK %rdi, 0x4444444444444444, 0x08
    CHECK %r12, 0x5555555555555555, 0x10
    CHECK %r13, 0x6666666666666666, 0x20
    CHECK %r14, 0x7777777777777777, 0x40
    CHECK %r15, 0x0888888888888888, 0x80
    addq $40, %rsp
    popq %r15
    popq %r14
    popq %r13
    popq %r12
    popq %rdi
    popq %rsi
    popq %rbx
    popq %rbp
    retq
    .seh_endproc

# void ClobberAndRaise(void* code): overwrites every callee-saved register (saved with
# unwind information, as compiled code does), then raises *(DWORD*)code.
    .globl ClobberAndRaise
    .def ClobberAndRaise; .scl 2; .type 32; .endef
    .seh_proc ClobberAndRaise
ClobberAndRaise:
    pushq %rbp
    .seh_pushreg %rbp
    pushq %rbx
    .seh_pushreg %rbx
    pushq %rsi
    .seh_pushreg %rsi
    pushq %rdi
    .seh_pushreg %rdi
    pushq %r12
    .seh_pushreg %r12
    pushq %r13
    .seh_pushreg %r13
    pushq %r14
    .seh_pushreg %r14
    pushq %r15
    .seh_pushreg %r15
    subq $40, %rsp
    .seh_stackalloc 40
    .seh_endprologue
    movl (%rcx), %ecx
    xorl %edx, %edx
    xorl %r8d, %r8d
    xorl %r9d, %r9d
    movq $-1, %rbx
    movq $-2, %rbp
    movq $-3, %rsi
    movq $-4, %rdi
    movq $-5, %r12
    movq $-6, %r13
    movq $-7, %r14
    movq $-8, %r15
    callq RaiseException
    addq $40, %rsp
    popq %r15
    popq %r14
    popq %r13
    popq %r12
    popq %rdi
    popq %rsi
    popq %rbx
    popq %rbp
    retq
    .seh_endproc

# void CallWithUnwindProbe(GuardedFunction function, void* context): calls function in
# a frame whose handler, UnwindProbeHandler, runs only when the platform unwinds it.
    .globl CallWithUnwindProbe
    .def CallWithUnwindProbe; .scl 2; .type 32; .endef
    .seh_proc CallWithUnwindProbe
    .seh_handler UnwindProbeHandler, @unwind
CallWithUnwindProbe:
    subq $40, %rsp
    .seh_stackalloc 40
    .seh_endprologue
    movq %rcx, %rax
    movq %rdx, %rcx
    callq *%rax
    nop
    addq $40, %rsp
    retq
    .seh_endproc
