// Probes for the exception guard's tests that only assembly can write.

    .text

// Saves x19..x28, d8..d15 and the frame record as compiled code does, with unwind codes.
.macro SAVE_CALLEE_SAVED
    stp x19, x20, [sp, #-160]!
    .seh_save_regp_x x19, 160
    stp x21, x22, [sp, #16]
    .seh_save_regp x21, 16
    stp x23, x24, [sp, #32]
    .seh_save_regp x23, 32
    stp x25, x26, [sp, #48]
    .seh_save_regp x25, 48
    stp x27, x28, [sp, #64]
    .seh_save_regp x27, 64
    stp d8, d9, [sp, #80]
    .seh_save_fregp d8, 80
    stp d10, d11, [sp, #96]
    .seh_save_fregp d10, 96
    stp d12, d13, [sp, #112]
    .seh_save_fregp d12, 112
    stp d14, d15, [sp, #128]
    .seh_save_fregp d14, 128
    stp x29, x30, [sp, #144]
    .seh_save_fplr 144
    .seh_endprologue
.endm

.macro RESTORE_CALLEE_SAVED_AND_RETURN
    .seh_startepilogue
    ldp x29, x30, [sp, #144]
    .seh_save_fplr 144
    ldp d14, d15, [sp, #128]
    .seh_save_fregp d14, 128
    ldp d12, d13, [sp, #112]
    .seh_save_fregp d12, 112
    ldp d10, d11, [sp, #96]
    .seh_save_fregp d10, 96
    ldp d8, d9, [sp, #80]
    .seh_save_fregp d8, 80
    ldp x27, x28, [sp, #64]
    .seh_save_regp x27, 64
    ldp x25, x26, [sp, #48]
    .seh_save_regp x25, 48
    ldp x23, x24, [sp, #32]
    .seh_save_regp x23, 32
    ldp x21, x22, [sp, #16]
    .seh_save_regp x21, 16
    ldp x19, x20, [sp], #160
    .seh_save_regp_x x19, 160
    .seh_endepilogue
    ret
.endm

// unsigned GuardWithMarkedRegisters(GuardedFunction function, void* context, DWORD* code)
// Loads every callee-saved register with a mark, calls ExceptionGuardCall(function,
// context, no filter, code) and returns a bit for each register that lost its mark:
// bits 0-9 x19..x28, bits 10-17 d8..d15.
.macro MOV64 reg, half
    movz \reg, #\half
    movk \reg, #\half, lsl #16
    movk \reg, #\half, lsl #32
    movk \reg, #\half, lsl #48
.endm
.macro MARK reg, half
    MOV64 x9, \half
    fmov \reg, x9
.endm
.macro CHECK reg, half, bit
    MOV64 x9, \half
    cmp \reg, x9
    b.eq 1f
    orr w10, w10, #\bit
1:
.endm
.macro CHECKD reg, mark, bit
    fmov x11, \reg
    CHECK x11, \mark, \bit
.endm

    .globl GuardWithMarkedRegisters
    .def GuardWithMarkedRegisters; .scl 2; .type 32; .endef
    .seh_proc GuardWithMarkedRegisters
GuardWithMarkedRegisters:
    SAVE_CALLEE_SAVED
    mov x3, x2
    mov x2, #0
    MOV64 x19, 0x1919
    MOV64 x20, 0x2020
    MOV64 x21, 0x2121
    MOV64 x22, 0x2222
    MOV64 x23, 0x2323
    MOV64 x24, 0x2424
    MOV64 x25, 0x2525
    MOV64 x26, 0x2626
    MOV64 x27, 0x2727
    MOV64 x28, 0x2828
    MARK d8, 0x0808
    MARK d9, 0x0909
    MARK d10, 0x1010
    MARK d11, 0x1111
    MARK d12, 0x1212
    MARK d13, 0x1313
    MARK d14, 0x1414
    MARK d15, 0x1515
    bl ExceptionGuardCall
    mov w10, #0
    CHECK x19, 0x1919, 0x1
    CHECK x20, 0x2020, 0x2
    CHECK x21, 0x2121, 0x4
    CHECK x22, 0x2222, 0x8
    CHECK x23, 0x2323, 0x10
    CHECK x24, 0x2424, 0x20
    CHECK x25, 0x2525, 0x40
    CHECK x26, 0x2626, 0x80
    CHECK x27, 0x2727, 0x100
    CHECK x28, 0x2828, 0x200
    CHECKD d8, 0x0808, 0x400
    CHECKD d9, 0x0909, 0x800
    CHECKD d10, 0x1010, 0x1000
    CHECKD d11, 0x1111, 0x2000
    CHECKD d12, 0x1212, 0x4000
    CHECKD d13, 0x1313, 0x8000
    CHECKD d14, 0x1414, 0x10000
    CHECKD d15, 0x1515, 0x20000
    mov w0, w10
    RESTORE_CALLEE_SAVED_AND_RETURN
    .seh_endproc

// void ClobberAndRaise(void* code): overwrites every callee-saved register (saved with
// unwind information, as compiled code does), then raises *(DWORD*)code.
    .globl ClobberAndRaise
    .def ClobberAndRaise; .scl 2; .type 32; .endef
    .seh_proc ClobberAndRaise
ClobberAndRaise:
    SAVE_CALLEE_SAVED
    ldr w0, [x0]
    mov w1, #0
    mov w2, #0
    mov x3, #0
    mov x19, #-1
    mov x20, #-2
    mov x21, #-3
    mov x22, #-4
    mov x23, #-5
    mov x24, #-6
    mov x25, #-7
    mov x26, #-8
    mov x27, #-9
    mov x28, #-10
    mov x29, #-11
    movi d8, #0xffffffffffffffff
    movi d9, #0xffffffffffffffff
    movi d10, #0xffffffffffffffff
    movi d11, #0xffffffffffffffff
    movi d12, #0xffffffffffffffff
    movi d13, #0xffffffffffffffff
    movi d14, #0xffffffffffffffff
    movi d15, #0xffffffffffffffff
    bl RaiseException
    RESTORE_CALLEE_SAVED_AND_RETURN
    .seh_endproc

// void CallWithUnwindProbe(GuardedFunction function, void* context): calls function in
// a frame whose handler, UnwindProbeHandler, counts only the platform's unwind of it (an
// ARM64 handler is called on both passes).
    .globl CallWithUnwindProbe
    .def CallWithUnwindProbe; .scl 2; .type 32; .endef
    .seh_proc CallWithUnwindProbe
    .seh_handler UnwindProbeHandler, @except, @unwind
CallWithUnwindProbe:
    stp x29, x30, [sp, #-16]!
    .seh_save_fplr_x 16
    .seh_endprologue
    mov x9, x0
    mov x0, x1
    blr x9
    nop
    .seh_startepilogue
    ldp x29, x30, [sp], #16
    .seh_save_fplr_x 16
    .seh_endepilogue
    ret
    .seh_endproc
