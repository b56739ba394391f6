# int __cdecl ExceptionGuardCall(GuardedFunction function, void* context,
#                                ExceptionGuardFilter filter, DWORD* exceptionCode)
# Calls function(context) with an exception registration of its own at the head of
# the thread's fs:[0] chain. Returns 0 when function returned, 1 when an exception was
# caught. GNU as cannot mark the handler for SafeSEH, so images holding this guard carry
# no SafeSEH table ("legacy" images, which the platform accepts).
#
# The frame (ebp-based): -4 ebx, -8 esi, -12 edi, then the registration at -28:
#   -28 next record, -24 handler, -20 filter, -16 exceptionCode.

    .text
    .globl _ExceptionGuardCall
    .def _ExceptionGuardCall; .scl 2; .type 32; .endef
_ExceptionGuardCall:
    pushl %ebp
    movl %esp, %ebp
    pushl %ebx
    pushl %esi
    pushl %edi
    pushl 20(%ebp)
    pushl 16(%ebp)
    pushl $_ExceptionGuardHandler
    pushl %fs:0
    movl %esp, %fs:0
    pushl 12(%ebp)
    call *8(%ebp)
    leal -28(%ebp), %esp            # whatever convention function has
    xorl %eax, %eax
.Lunlink:
    movl (%esp), %ecx
    movl %ecx, %fs:0
    leal -12(%ebp), %esp
    popl %edi
    popl %esi
    popl %ebx
    popl %ebp
    ret

# Reached from the handler with esp at the registration, ebp rebuilt from it and the
# exception code in eax; the inner frames have been unwound.
.Llanding:
    movl -16(%ebp), %edx
    testl %edx, %edx
    jz 1f
    movl %eax, (%edx)
1:  movl $1, %eax
    jmp .Lunlink

# EXCEPTION_DISPOSITION __cdecl ExceptionGuardHandler(EXCEPTION_RECORD* record,
#     void* registration, CONTEXT* context, void* dispatcherContext)
    .def _ExceptionGuardHandler; .scl 3; .type 32; .endef
_ExceptionGuardHandler:
    movl 4(%esp), %eax
    testl $0x66, 4(%eax)            # EXCEPTION_UNWIND: our own unwind pass, or an outer one
    jnz .Lsearch
    movl 8(%esp), %ecx
    pushl 8(%ecx)                   # filter
    pushl %eax
    call _ExceptionGuardDecide
    addl $8, %esp
    testl %eax, %eax
    jz .Lsearch                     # EXCEPTION_CONTINUE_SEARCH
    js .Lresume                     # EXCEPTION_CONTINUE_EXECUTION
    movl 4(%esp), %eax
    movl 8(%esp), %ecx
    pushl (%eax)                    # the code and the registration outlive RtlUnwind here
    pushl %ecx
    pushl $0
    pushl %eax
    pushl $.Lunwound
    pushl %ecx
    call _RtlUnwind@16              # runs the handlers of every record above ours
.Lunwound:
    popl %ecx                       # only esp is reliable after RtlUnwind
    popl %eax
    movl %ecx, %esp
    leal 28(%ecx), %ebp
    jmp .Llanding
.Lsearch:
    movl $1, %eax                   # ExceptionContinueSearch
    ret
.Lresume:
    xorl %eax, %eax                 # ExceptionContinueExecution
    ret
