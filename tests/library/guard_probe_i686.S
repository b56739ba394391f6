# Probes for the exception guard's tests that only assembly can write.

    .text

# unsigned __cdecl GuardWithMarkedRegisters(GuardedFunction function, void* context, DWORD* code)
# Loads every callee-saved register with a mark, calls ExceptionGuardCall(function,
# context, no filter, code) and returns a bit for each register that lost its mark
# (1 ebx, 2 ebp, 4 esi, 8 edi) and 0x100 when fs:[0] is not as it was.
.macro CHECK reg, mark, bit
    cmpl $\mark, \reg
    je 1f
    orl $\bit, %eax
1:
.endm

    .globl _GuardWithMarkedRegisters
    .def _GuardWithMarkedRegisters; .scl 2; .type 32; .endef
_GuardWithMarkedRegisters:
    pushl %ebp
    pushl %ebx
    pushl %esi
    pushl %edi
    pushl %fs:0
    pushl 32(%esp)                  # code
    pushl $0                        # no filter
    pushl 36(%esp)                  # context
    pushl 36(%esp)                  # function
    movl $0x11111111, %ebx
    movl $0x22222222, %ebp
    movl $0x33333333, %esi
    movl $0x44444444, %edi
    call _ExceptionGuardCall
    addl $16, %esp
    xorl %eax, %eax
    CHECK %ebx, 0x11111111, 0x01
    CHECK %ebp, 0x22222222, 0x02
    CHECK %esi, 0x33333333, 0x04
    CHECK %edi, 0x44444444, 0x08
    movl %fs:0, %ecx
    cmpl (%esp), %ecx
    je 1f
    orl $0x100, %eax
1:  addl $4, %esp
    popl %edi
    popl %esi
    popl %ebx
    popl %ebp
    ret

# void __cdecl ClobberAndRaise(void* code): overwrites every callee-saved register,
# then raises *(DWORD*)code.
    .globl _ClobberAndRaise
    .def _ClobberAndRaise; .scl 2; .type 32; .endef
_ClobberAndRaise:
    pushl %ebp
    pushl %ebx
    pushl %esi
    pushl %edi
    movl 20(%esp), %eax
    movl (%eax), %eax
    movl $-1, %ebx
    movl $-2, %ebp
    movl $-3, %esi
    movl $-4, %edi
    pushl $0
    pushl $0
    pushl $0
    pushl %eax
    call _RaiseException@16
    popl %edi
    popl %esi
    popl %ebx
    popl %ebp
    ret

# void __cdecl CallWithUnwindProbe(GuardedFunction function, void* context): calls
# function under an exception registration whose handler is UnwindProbeHandler.
    .globl _CallWithUnwindProbe
    .def _CallWithUnwindProbe; .scl 2; .type 32; .endef
_CallWithUnwindProbe:
    pushl %ebp
    movl %esp, %ebp
    pushl $_UnwindProbeHandler
    pushl %fs:0
    movl %esp, %fs:0
    pushl 12(%ebp)
    call *8(%ebp)
    movl -8(%ebp), %ecx
    movl %ecx, %fs:0
    movl %ebp, %esp
    popl %ebp
    ret
