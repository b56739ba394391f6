#include <gtest/gtest.h>

#include "radio_control.h"
#include "registry_fixture.h"
#include "simulated_radio_service.h"
#include "simulated_service_fixture.h"

namespace {

// The simulated-radio service in a process of its own under the real SCM, called
// through the real RPC runtime. Its waits run 100 times faster: the 120000 ms limit of
// a request takes 1.2 s.
class ServiceProcess : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(DeleteSimulatedRadioSettings(), ERROR_SUCCESS);
        ASSERT_EQ(WriteSimulatedRadioSetting(SimulatedRadioTimeScaleValue, 100), ERROR_SUCCESS);
        SetRadioState(1);
    }
    void TearDown() override { DeleteSimulatedRadioSettings(); }

    ScopedRadioSupportKey key;
};

// The request's limit, 120000 ms, at this scale: 1200 ms, less a little for early wake-ups.
constexpr DWORD FullLimitMs = 1150;

TEST_F(ServiceProcess, WhilePausedNeitherRequestsNorDeviceEventsChangeAnything) {
    ASSERT_EQ(WriteSimulatedRadioSetting(SimulatedRadioEventDelayValue, 50000), ERROR_SUCCESS);  // 0.5 s here
    SimulatedService service(SimulatedServicePath());
    ASSERT_TRUE(service.StartServing());
    InFlight off([] { return TimedRequest(DisableRadioRequest); });
    ASSERT_TRUE(WaitUntil(SimulatedRadioRunning, 0, 2000)) << "the node was disabled";
    ASSERT_EQ(service.Scm().Control(SERVICE_CONTROL_PAUSE), DWORD{NO_ERROR});  // before its removal comes
    EXPECT_GE(off.Result(), FullLimitMs) << "the removal released nobody";
    EXPECT_EQ(ReadRadioState(), 1) << "nor was it published";
    EXPECT_EQ(SimulatedRadioSetting(SimulatedRadioRefusedEventValue), -1) << "yet the handler had it";
    EXPECT_EQ(service.Scm().Query().dwCurrentState, DWORD{SERVICE_PAUSED});

    EXPECT_LT(TimedRequest(EnableRadioRequest), 500u) << "ignored";
    EXPECT_EQ(SimulatedRadioRunning(), 0);

    ASSERT_EQ(service.Scm().Control(SERVICE_CONTROL_CONTINUE), DWORD{NO_ERROR});
    EXPECT_TRUE(WaitUntil(ReadRadioState, 0, 2000)) << "the removal lost while paused is found at continue";
    EXPECT_LT(TimedRequest(EnableRadioRequest), FullLimitMs) << "released by its arrival";
    EXPECT_EQ(SimulatedRadioRunning(), 1);
    EXPECT_EQ(ReadRadioState(), 1);
}

TEST_F(ServiceProcess, AStopWhileTheRemovalIsQueuedIsReportedAtOnceAndStoppedAfterTheRequest) {
    ASSERT_EQ(WriteSimulatedRadioSetting(SimulatedRadioEventDelayValue, 50000), ERROR_SUCCESS);  // 0.5 s here
    SimulatedService service(SimulatedServicePath());
    ASSERT_TRUE(service.StartServing());
    const DWORD start = GetTickCount();
    InFlight off([] { return TimedRequest(DisableRadioRequest); });
    ASSERT_TRUE(WaitUntil(SimulatedRadioRunning, 0, 2000)) << "the node was disabled, its removal queued";
    SERVICE_STATUS status{};
    ASSERT_EQ(service.Scm().Control(SERVICE_CONTROL_STOP, &status), DWORD{NO_ERROR});
    EXPECT_EQ(status.dwCurrentState, DWORD{SERVICE_STOP_PENDING}) << "at once";
    EXPECT_EQ(status.dwCheckPoint, 1u);
    EXPECT_EQ(status.dwWaitHint, 0u);

    SERVICE_STATUS_PROCESS seen = service.Scm().WaitForState(SERVICE_STOPPED, 10000);
    const DWORD stoppedAt = GetTickCount() - start;
    EXPECT_EQ(seen.dwCurrentState, DWORD{SERVICE_STOPPED});
    EXPECT_EQ(SimulatedRadioSetting(SimulatedRadioRefusedEventValue), ERROR_SERVICE_CANNOT_ACCEPT_CTRL)
        << "the removal reached the SCM while the stop was pending and was refused";
    EXPECT_GE(off.Result(), FullLimitMs) << "the request held its limit";
    EXPECT_GE(stoppedAt, FullLimitMs) << "stopped came after the request";
    EXPECT_EQ(SimulatedRadioRunning(), 0);
    EXPECT_EQ(ReadRadioState(), 0) << "the refused removal is found before stopped";
    EXPECT_EQ(seen.dwWin32ExitCode, 0u);
    EXPECT_EQ(service.Scm().WaitForProcessExit(10000), 0u);
}

// That no stop-pending report comes first is seen in the control handler's tests; the
// SCM keeps only the last report.
TEST_F(ServiceProcess, TheRemoteStopEndsTheServiceAndItsProcessWithExitCodeZero) {
    SimulatedService service(SimulatedServicePath());
    ASSERT_TRUE(service.StartServing());
    {
        RadioBinding binding;
        StopRadioControlServer(binding.Handle());
    }
    SERVICE_STATUS_PROCESS seen = service.Scm().WaitForState(SERVICE_STOPPED, 10000);
    EXPECT_EQ(seen.dwCurrentState, DWORD{SERVICE_STOPPED});
    EXPECT_EQ(seen.dwWin32ExitCode, 0u);
    EXPECT_EQ(service.Scm().WaitForProcessExit(10000), 0u);
}

TEST_F(ServiceProcess, AFailedStartUpReportsStoppedWithItsError) {
    ASSERT_EQ(WriteSimulatedRadioSetting(SimulatedRadioNotificationErrorValue, ERROR_INVALID_PARAMETER), ERROR_SUCCESS);
    SimulatedService service(SimulatedServicePath());
    // Wine's SCM can miss a running report that the stopped report and the process's end
    // follow within milliseconds, and answers 1053 at once; Windows waits for the first
    // report. Such a start is made again.
    DWORD started = service.Scm().Start();
    for (int attempt = 1; attempt < 3 && started == ERROR_SERVICE_REQUEST_TIMEOUT; ++attempt) {
        service.Scm().WaitForState(SERVICE_STOPPED, 10000);
        started = service.Scm().Start();
    }
    ASSERT_EQ(started, DWORD{NO_ERROR}) << "running was reported first";
    SERVICE_STATUS_PROCESS seen = service.Scm().WaitForState(SERVICE_STOPPED, 10000);
    EXPECT_EQ(seen.dwCurrentState, DWORD{SERVICE_STOPPED});
    EXPECT_EQ(seen.dwWin32ExitCode, DWORD{ERROR_INVALID_PARAMETER});
    EXPECT_FALSE(WaitForRadioPipe(200)) << "nothing listens";
}

// Overlapping requests meet at the service's one completion event.
TEST_F(ServiceProcess, OneDeviceEventReleasesOneOfTwoWaitingRequests) {
    ASSERT_EQ(WriteSimulatedRadioSetting(SimulatedRadioEventDelayValue, 50000), ERROR_SUCCESS);  // 0.5 s here
    SimulatedService service(SimulatedServicePath());
    ASSERT_TRUE(service.StartServing());
    InFlight on([] { return TimedRequest(EnableRadioRequest); });  // the radio is on: nothing of its own will come
    Sleep(200);
    InFlight off([] { return TimedRequest(DisableRadioRequest); });
    const DWORD onMs = on.Result(), offMs = off.Result();
    EXPECT_TRUE((onMs < FullLimitMs) != (offMs < FullLimitMs)) << "on " << onMs << " ms, off " << offMs << " ms";
    EXPECT_EQ(ReadRadioState(), 0);
}

TEST_F(ServiceProcess, AnEarlierSwitchsLateRemovalIsLeftSetAndTheNextRequestResetsIt) {
    // Two nodes of the radio, the first failing all nine disable calls; events come 0.6 s
    // after their change.
    ASSERT_EQ(WriteSimulatedRadioSetting(SimulatedRadioSecondNodeValue, 1), ERROR_SUCCESS);
    ASSERT_EQ(WriteSimulatedRadioSetting(SimulatedRadioInstallerFailuresValue, 9), ERROR_SUCCESS);
    ASSERT_EQ(WriteSimulatedRadioSetting(SimulatedRadioEventDelayValue, 60000), ERROR_SUCCESS);
    SimulatedService service(SimulatedServicePath());
    ASSERT_TRUE(service.StartServing());

    EXPECT_LT(TimedRequest(DisableRadioRequest), 400u) << "the first node's failure released it";
    EXPECT_EQ(ReadRadioState(), 1) << "before the second node's removal";
    EXPECT_TRUE(WaitUntil(ReadRadioState, 0, 2000)) << "which comes later and writes 0";

    const DWORD onMs = TimedRequest(EnableRadioRequest);
    EXPECT_GE(onMs, 400u) << "the set the removal left was reset first";
    EXPECT_LT(onMs, FullLimitMs) << "then the second node's arrival released it";
    EXPECT_EQ(ReadRadioState(), 1);
}

}  // namespace
