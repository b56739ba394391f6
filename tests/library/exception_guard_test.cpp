// The structured-exception guard on this architecture, under the real platform
// dispatcher: what it catches, what the platform unwinds, what it preserves.
#include <gtest/gtest.h>

#include <windows.h>

#include <rpc.h>

#include <chrono>
#include <cstdio>

#include "exception_guard.h"
#include "radio_server_process.h"

extern "C" {
// guard_probe_*.S
unsigned GuardWithMarkedRegisters(GuardedFunction function, void* context, DWORD* code);
void ClobberAndRaise(void* code);
void CallWithUnwindProbe(GuardedFunction function, void* context);

LONG unwindProbeCalls;
EXCEPTION_DISPOSITION UnwindProbeHandler(EXCEPTION_RECORD* record, void*, CONTEXT*, void*) {
    if (record->ExceptionFlags & EXCEPTION_UNWINDING) ++unwindProbeCalls;
    return ExceptionContinueSearch;
}
}

namespace {

constexpr DWORD TestCode = 0xE0525301;
constexpr DWORD OtherCode = 0xE0525302;

void Raise(void* code) { RaiseException(*static_cast<DWORD*>(code), 0, 0, nullptr); }
void RaiseNoncontinuable(void* code) { RaiseException(*static_cast<DWORD*>(code), EXCEPTION_NONCONTINUABLE, 0, nullptr); }

TEST(ExceptionGuard, ReturnsTrueAndLeavesTheCodeWhenTheFunctionReturns) {
    int calls = 0;
    DWORD code = 12345;
    EXPECT_TRUE(CallWithExceptionGuard([](void* context) { ++*static_cast<int*>(context); }, &calls, nullptr, &code));
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(code, 12345u);
}

TEST(ExceptionGuard, CatchesEveryKindOfStructuredException) {
    DWORD raised = TestCode, code = 0;
    EXPECT_FALSE(CallWithExceptionGuard(Raise, &raised, nullptr, &code));
    EXPECT_EQ(code, TestCode);
    EXPECT_FALSE(CallWithExceptionGuard(RaiseNoncontinuable, &raised, nullptr, &code));
    EXPECT_EQ(code, TestCode);
    EXPECT_FALSE(CallWithExceptionGuard([](void*) { RpcRaiseException(RPC_S_SERVER_UNAVAILABLE); }, nullptr, nullptr,
                                        &code));
    EXPECT_EQ(code, static_cast<DWORD>(RPC_S_SERVER_UNAVAILABLE));
    EXPECT_FALSE(CallWithExceptionGuard(Raise, &raised)) << "the code is optional";
}

TEST(ExceptionGuard, CatchesAMemoryFault) {
#ifdef __aarch64__
    // Wine's ARM64 build under qemu never ends the unwind from a hardware fault's
    // dispatcher frame; Windows on Arm takes the same path for every __except.
    if (GetEnvironmentVariableA("RADIOSWITCH_ARM64_EMULATOR", nullptr, 0) > 1)
        GTEST_SKIP() << "a memory fault is not unwound under Wine's ARM64 build in qemu";
#endif
    DWORD code = 0;
    EXPECT_FALSE(CallWithExceptionGuard([](void*) { *static_cast<volatile int*>(nullptr) = 1; }, nullptr, nullptr,
                                        &code));
#ifndef _WIN64
    // qemu's emulation of i386 hands Wine the fault without its trap number, which Wine
    // then reports as an illegal instruction: still a fault, caught as one.
    if (GetEnvironmentVariableA("RADIOSWITCH_I386_EMULATOR", nullptr, 0) > 1) {
        EXPECT_EQ(code, static_cast<DWORD>(EXCEPTION_ILLEGAL_INSTRUCTION));
    } else
#endif
        EXPECT_EQ(code, static_cast<DWORD>(EXCEPTION_ACCESS_VIOLATION));
}

TEST(ExceptionGuard, ThePlatformUnwindsTheFramesInsideBeforeResuming) {
    unwindProbeCalls = 0;
    DWORD raised = TestCode;
    EXPECT_FALSE(CallWithExceptionGuard([](void* code) { CallWithUnwindProbe(Raise, code); }, &raised));
    EXPECT_EQ(unwindProbeCalls, 1);
    EXPECT_TRUE(CallWithExceptionGuard([](void*) { CallWithUnwindProbe([](void*) {}, nullptr); }, nullptr));
    EXPECT_EQ(unwindProbeCalls, 1) << "nothing is unwound when the function returns";
}

TEST(ExceptionGuard, CalleeSavedRegistersSurviveACatch) {
    DWORD raised = TestCode, code = 0;
    EXPECT_EQ(GuardWithMarkedRegisters(ClobberAndRaise, &raised, &code), 0u);
    EXPECT_EQ(code, TestCode);
    EXPECT_EQ(GuardWithMarkedRegisters([](void*) {}, nullptr, &code), 0u);
}

// A filter with RpcExceptionFilter's signature decides, as __except's expression does.
int __stdcall CatchOnlyTestCode(unsigned long code) {
    return code == TestCode ? EXCEPTION_EXECUTE_HANDLER : EXCEPTION_CONTINUE_SEARCH;
}
int __stdcall ResumeAll(unsigned long) { return EXCEPTION_CONTINUE_EXECUTION; }

struct Nested {
    DWORD Raised;
    bool InnerResult = true;
    DWORD InnerCode = 0;
    bool AfterInnerGuard = false;
};

TEST(ExceptionGuard, AFilterThatDeclinesPassesTheExceptionToOuterGuards) {
    for (DWORD raised : {TestCode, OtherCode}) {
        Nested nested{raised};
        DWORD outerCode = 0;
        const bool outer = CallWithExceptionGuard([](void* context) {
            auto* n = static_cast<Nested*>(context);
            n->InnerResult = CallWithExceptionGuard(Raise, &n->Raised, CatchOnlyTestCode, &n->InnerCode);
            n->AfterInnerGuard = true;
        }, &nested, nullptr, &outerCode);
        if (raised == TestCode) {
            EXPECT_TRUE(outer);
            EXPECT_FALSE(nested.InnerResult);
            EXPECT_EQ(nested.InnerCode, TestCode);
            EXPECT_TRUE(nested.AfterInnerGuard);
        } else {
            EXPECT_FALSE(outer);
            EXPECT_EQ(outerCode, OtherCode);
            EXPECT_FALSE(nested.AfterInnerGuard) << "the inner guard's frame was unwound";
        }
    }
}

TEST(ExceptionGuard, AFilterCanResumeAContinuableException) {
    DWORD raised = TestCode, code = 0;
    EXPECT_TRUE(CallWithExceptionGuard(Raise, &raised, ResumeAll, &code));
    EXPECT_EQ(code, 0u);
}

TEST(ExceptionGuard, ManyCatchesLeaveNoTrace) {
    DWORD raised = TestCode;
    for (int i = 0; i < 1000; ++i) GuardWithMarkedRegisters(ClobberAndRaise, &raised, nullptr);
    const SIZE_T before = CommittedPrivateBytes();
    constexpr int Rounds = 100000;
    unsigned lost = 0;
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < Rounds; ++i) {
        DWORD code = 0;
        lost |= GuardWithMarkedRegisters(ClobberAndRaise, &raised, &code);
        if (code != TestCode) lost |= 0x10000;
    }
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(lost, 0u);
    EXPECT_LT(CommittedPrivateBytes() - before, SIZE_T{64 * 1024});
    std::printf("raise and catch through the guard: %.2f us each\n",
                std::chrono::duration<double, std::micro>(elapsed).count() / Rounds);
}

struct ThreadOutcome {
    unsigned Lost = ~0u;
    DWORD Code = 0;
};

DWORD WINAPI GuardOnThread(void* context) {
    auto* outcome = static_cast<ThreadOutcome*>(context);
    DWORD raised = TestCode;
    outcome->Lost = GuardWithMarkedRegisters(ClobberAndRaise, &raised, &outcome->Code);
    return 0;
}

TEST(ExceptionGuard, WorksOnAnyThread) {
    ThreadOutcome outcome;
    HANDLE thread = CreateThread(nullptr, 0, GuardOnThread, &outcome, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    ASSERT_EQ(WaitForSingleObject(thread, 10000), WAIT_OBJECT_0);
    CloseHandle(thread);
    EXPECT_EQ(outcome.Lost, 0u);
    EXPECT_EQ(outcome.Code, TestCode);
}

#ifdef _WIN64
// On x86_64 GCC's C++ exceptions travel through the platform's dispatcher too; the
// guard leaves them to the C++ handler beyond it.
TEST(ExceptionGuard, LeavesCxxExceptionsToCxxHandlers) {
    int caught = 0;
    try {
        CallWithExceptionGuard([](void*) { throw 42; }, nullptr);
    } catch (int value) {
        caught = value;
    }
    EXPECT_EQ(caught, 42);
}
#endif

}  // namespace
