// EnableDisableUSBBtDevice against the real RPC runtime: a radio_test_server process
// stands in for the service (or nothing listens), every event switched on.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "debug_capture.h"
#include "diagnostics.h"
#include "exception_guard.h"
#include "radio_control.h"
#include "radio_server_process.h"
#include "report_timeline.h"
#include "request_client.h"
#include "sim_trace.h"

namespace {

using Texts = std::vector<std::string>;

const Texts ComposedAndBound = {
    "#38", "EnableDisableUSBBtDevice: RpcStringBindingCompose PASSED !!!\n",
    "#40", "EnableDisableUSBBtDevice: RpcBindingFromStringBinding PASSED !!!\n",
};
const Texts CallRaised = {"#41", "EnableDisableUSBBtDevice: RpcTryExcept FAILED !!!\n"};
const Texts Released = {
    "#43", "EnableDisableUSBBtDevice: RpcStringFree PASSED !!!\n",
    "#45", "EnableDisableUSBBtDevice: RpcBindingFree PASSED !!!\n",
};

Texts Join(std::initializer_list<Texts> parts) {
    Texts joined;
    for (const Texts& part : parts) joined.insert(joined.end(), part.begin(), part.end());
    return joined;
}

// Opnum 1 on a binding of its own, as any client of the endpoint may send it.
void StopServer() {
    ScopedRadioBinding binding;
    CallWithExceptionGuard([](void* handle) { StopRadioControlServer(static_cast<handle_t>(handle)); },
                           binding.Get());
}

class RequestClient : public testing::Test {
protected:
    void SetUp() override {
        session.EnableAtRegistration(1, 0);
        RegisterTraceProvider();
    }
    void TearDown() override { UnregisterTraceProvider(); }

    Texts Timeline() const { return ReportTimeline(capture, session); }

    SimTraceSession session;
    DebugCapture capture;
};

TEST_F(RequestClient, WithoutAServiceTheCallRaisesAndTheRequestStillEndsWithZero) {
    EXPECT_EQ(EnableDisableUSBBtDevice(1), 0u);
    EXPECT_EQ(Timeline(), Join({ComposedAndBound, CallRaised, Released}));
    EXPECT_EQ(RadioControlBinding, nullptr);
}

TEST_F(RequestClient, ANormalRequestReportsOnlyTheFourSuccessesAndWaitsForTheService) {
    RadioServerProcess server(TestServerPath(), 300);
    ASSERT_TRUE(server.Listening());
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(EnableDisableUSBBtDevice(1), 0u);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(300))
        << "the call returns only when the service's routine has returned";
    EXPECT_EQ(Timeline(), Join({ComposedAndBound, Released}));
    EXPECT_EQ(RadioControlBinding, nullptr);
    StopServer();
    ASSERT_TRUE(server.WaitForExit());
    EXPECT_EQ(server.Requests(), Texts{"EnableZentBtRadio"});
}

TEST_F(RequestClient, EveryNonzeroArgumentAsksForOnAndOnlyZeroForOff) {
    RadioServerProcess server(TestServerPath());
    ASSERT_TRUE(server.Listening());
    for (DWORD argument : {1u, 2u, 0x80000000u, 0xFFFFFFFFu, 0u}) {
        EXPECT_EQ(EnableDisableUSBBtDevice(argument), 0u) << argument;
        EXPECT_EQ(RadioControlBinding, nullptr) << argument;
    }
    StopServer();
    ASSERT_TRUE(server.WaitForExit());
    EXPECT_EQ(server.Requests(), (Texts{"EnableZentBtRadio", "EnableZentBtRadio", "EnableZentBtRadio",
                                        "EnableZentBtRadio", "DisableZentBtRadio"}));
    EXPECT_EQ(EventList(session), (Texts{"#38", "#40", "#43", "#45", "#38", "#40", "#43", "#45", "#38", "#40", "#43",
                                         "#45", "#38", "#40", "#43", "#45", "#38", "#40", "#43", "#45"}));
}

TEST_F(RequestClient, AServiceStoppedByOpnum1IsSurvivedAndARestartedOneIsReached) {
    {
        RadioServerProcess server(TestServerPath());
        ASSERT_TRUE(server.Listening());
        StopServer();
        ASSERT_TRUE(server.WaitForExit());
    }
    EXPECT_EQ(EnableDisableUSBBtDevice(0), 0u);
    EXPECT_EQ(Timeline(), Join({ComposedAndBound, CallRaised, Released}));

    RadioServerProcess restarted(TestServerPath());
    ASSERT_TRUE(restarted.Listening());
    session.Messages.clear();
    EXPECT_EQ(EnableDisableUSBBtDevice(0), 0u);
    EXPECT_EQ(EventList(session), (Texts{"#38", "#40", "#43", "#45"}));
    StopServer();
    ASSERT_TRUE(restarted.WaitForExit());
    EXPECT_EQ(restarted.Requests(), Texts{"DisableZentBtRadio"});
}

DWORD WINAPI TerminateAfterAWhile(void* server) {
    Sleep(300);
    static_cast<RadioServerProcess*>(server)->Terminate();
    return 0;
}

TEST_F(RequestClient, AServiceThatDiesDuringTheCallIsSurvived) {
    {
        RadioServerProcess server(TestServerPath(), 10000);
        ASSERT_TRUE(server.Listening());
        HANDLE killer = CreateThread(nullptr, 0, TerminateAfterAWhile, &server, 0, nullptr);
        ASSERT_NE(killer, nullptr);
        EXPECT_EQ(EnableDisableUSBBtDevice(1), 0u);
        WaitForSingleObject(killer, INFINITE);
        CloseHandle(killer);
    }
    EXPECT_EQ(Timeline(), Join({ComposedAndBound, CallRaised, Released}));
    EXPECT_EQ(RadioControlBinding, nullptr);

    RadioServerProcess restarted(TestServerPath());
    ASSERT_TRUE(restarted.Listening());
    EXPECT_EQ(EnableDisableUSBBtDevice(1), 0u);
    StopServer();
    ASSERT_TRUE(restarted.WaitForExit());
    EXPECT_EQ(restarted.Requests(), Texts{"EnableZentBtRadio"});
}

double MillisecondsPerCall(std::chrono::steady_clock::duration elapsed, int calls) {
    return std::chrono::duration<double, std::milli>(elapsed).count() / calls;
}

TEST(RequestClientEndurance, ThousandsOfFailedRequestsLeakNothingAndTheNextOneWorks) {
    for (int i = 0; i < 200; ++i) ASSERT_EQ(EnableDisableUSBBtDevice(1), 0u);
    const SIZE_T memoryBefore = CommittedPrivateBytes();
    const ULONG_PTR handleBefore = NextHandleValue();
    constexpr int Requests = 3000;
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < Requests; ++i) ASSERT_EQ(EnableDisableUSBBtDevice(i & 1), 0u);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    const SIZE_T memoryGrowth = CommittedPrivateBytes() - memoryBefore;
    EXPECT_LT(memoryGrowth, SIZE_T{128 * 1024});
    EXPECT_LT(NextHandleValue(), handleBefore + 64 * sizeof(HANDLE)) << "handles are reused, not piling up";
    EXPECT_EQ(RadioControlBinding, nullptr);
    std::printf("failed request: %.3f ms each; memory growth over %d: %zu bytes\n",
                MillisecondsPerCall(elapsed, Requests), Requests, static_cast<size_t>(memoryGrowth));

    RadioServerProcess server(TestServerPath());
    ASSERT_TRUE(server.Listening());
    constexpr int RoundTrips = 200;
    const auto roundTripStart = std::chrono::steady_clock::now();
    for (int i = 0; i < RoundTrips; ++i) ASSERT_EQ(EnableDisableUSBBtDevice(1), 0u);
    std::printf("round trip with a fresh binding: %.3f ms each\n",
                MillisecondsPerCall(std::chrono::steady_clock::now() - roundTripStart, RoundTrips));
    StopServer();
    ASSERT_TRUE(server.WaitForExit());
    EXPECT_EQ(server.Requests().size(), static_cast<size_t>(RoundTrips));
}

}  // namespace
