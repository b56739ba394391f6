#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "radio_control.h"
#include "registry_fixture.h"
#include "simulated_radio_service.h"
#include "simulated_service_fixture.h"

namespace {

// The simulated-radio service in a process of its own under the real SCM, called
// through the real RPC runtime. Its waits run 40 times faster: the 120000 ms limit of
// a request takes 3 s.
class ServiceProcess : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(DeleteSimulatedRadioSettings(), ERROR_SUCCESS);
        ASSERT_EQ(WriteSimulatedRadioSetting(SimulatedRadioTimeScaleValue, 40), ERROR_SUCCESS);
        SetRadioState(1);
    }
    void TearDown() override { DeleteSimulatedRadioSettings(); }

    ScopedRadioSupportKey key;
};

TEST_F(ServiceProcess, RequestsWhilePausedReturnAtOnceAndSwitchNothing) {
    SimulatedService service(SimulatedServicePath());
    ASSERT_TRUE(service.StartServing());
    ASSERT_EQ(service.Scm().Control(SERVICE_CONTROL_PAUSE), DWORD{NO_ERROR});
    RadioBinding binding;
    DWORD start = GetTickCount();
    RequestRadioSwitch(binding.Handle(), DisableRadioRequest);
    RequestRadioSwitch(binding.Handle(), EnableRadioRequest);
    EXPECT_LT(GetTickCount() - start, 1000u);
    EXPECT_EQ(SimulatedRadioSetting(SimulatedRadioEnabledValue), -1) << "the radio was never changed";
    EXPECT_EQ(ReadRadioState(), 1);

    ASSERT_EQ(service.Scm().Control(SERVICE_CONTROL_CONTINUE), DWORD{NO_ERROR});
    RequestRadioSwitch(binding.Handle(), DisableRadioRequest);
    EXPECT_EQ(SimulatedRadioSetting(SimulatedRadioEnabledValue), 0);
    EXPECT_EQ(ReadRadioState(), 0);
}

// The same with the service of this bitness ("same") and of the other one ("peer").
class ServiceOfEitherBitness : public ServiceProcess, public testing::WithParamInterface<const char*> {};

TEST_P(ServiceOfEitherBitness, ASwitchCompletesByItsDeviceEvent) {
    const std::string path = SimulatedServicePathFor(GetParam());
    if (path.empty()) GTEST_SKIP() << "the other bitness's build is missing: build both presets";
    SimulatedService service(path);
    ASSERT_TRUE(service.StartServing());
    RadioBinding binding;
    DWORD start = GetTickCount();
    RequestRadioSwitch(binding.Handle(), DisableRadioRequest);
    EXPECT_LT(GetTickCount() - start, 2900u) << "released by the removal, not by the limit";
    EXPECT_EQ(SimulatedRadioSetting(SimulatedRadioEnabledValue), 0);
    EXPECT_EQ(ReadRadioState(), 0);
    RequestRadioSwitch(binding.Handle(), EnableRadioRequest);
    EXPECT_EQ(SimulatedRadioSetting(SimulatedRadioEnabledValue), 1);
    EXPECT_EQ(ReadRadioState(), 1);
}

INSTANTIATE_TEST_SUITE_P(Service, ServiceOfEitherBitness, testing::Values("same", "peer"),
                         [](const testing::TestParamInfo<const char*>& info) { return std::string(info.param); });

TEST_F(ServiceProcess, StopWhileARequestWaitsReportsStoppedOnlyAfterTheRequestReturned) {
    SimulatedService service(SimulatedServicePath());
    ASSERT_TRUE(service.StartServing());
    DWORD requestStart = GetTickCount();
    std::atomic<DWORD> requestTime{0};
    std::thread request([&] {
        RadioBinding binding;
        RequestRadioSwitch(binding.Handle(), EnableRadioRequest);  // already on: holds its full limit
        requestTime = GetTickCount() - requestStart;
    });
    Sleep(500);
    SERVICE_STATUS status{};
    ASSERT_EQ(service.Scm().Control(SERVICE_CONTROL_STOP, &status), DWORD{NO_ERROR});
    EXPECT_EQ(status.dwCurrentState, DWORD{SERVICE_STOP_PENDING}) << "at once";
    EXPECT_EQ(status.dwCheckPoint, 1u);
    EXPECT_EQ(status.dwWaitHint, 0u);

    SERVICE_STATUS_PROCESS seen = service.Scm().WaitForState(SERVICE_STOPPED, 10000);
    DWORD stoppedAt = GetTickCount() - requestStart;
    request.join();
    EXPECT_EQ(seen.dwCurrentState, DWORD{SERVICE_STOPPED});
    EXPECT_GE(requestTime, 2900u) << "the request held its (scaled) limit";
    EXPECT_GE(stoppedAt, 2900u) << "stopped came after the request";
    EXPECT_EQ(seen.dwWin32ExitCode, 0u);
    EXPECT_EQ(service.Scm().WaitForProcessExit(10000), 0u);
}

TEST_F(ServiceProcess, TheRemoteStopEndsTheServiceWithoutStopPending) {
    SimulatedService service(SimulatedServicePath());
    ASSERT_TRUE(service.StartServing());
    {
        RadioBinding binding;
        StopRadioControlServer(binding.Handle());
    }
    SERVICE_STATUS_PROCESS seen = service.Scm().WaitForState(SERVICE_STOPPED, 10000);
    EXPECT_EQ(seen.dwCurrentState, DWORD{SERVICE_STOPPED});
    EXPECT_EQ(seen.dwCheckPoint, 0u);
    EXPECT_EQ(seen.dwWin32ExitCode, 0u);
    EXPECT_EQ(service.Scm().WaitForProcessExit(10000), 0u);
}

TEST_F(ServiceProcess, AFailedStartUpReportsStoppedWithItsError) {
    ASSERT_EQ(WriteSimulatedRadioSetting(SimulatedRadioNotificationErrorValue, ERROR_INVALID_PARAMETER), ERROR_SUCCESS);
    SimulatedService service(SimulatedServicePath());
    ASSERT_EQ(service.Scm().Start(), DWORD{NO_ERROR}) << "running was reported first";
    SERVICE_STATUS_PROCESS seen = service.Scm().WaitForState(SERVICE_STOPPED, 10000);
    EXPECT_EQ(seen.dwCurrentState, DWORD{SERVICE_STOPPED});
    EXPECT_EQ(seen.dwWin32ExitCode, DWORD{ERROR_INVALID_PARAMETER});
    EXPECT_FALSE(WaitForRadioPipe(200)) << "nothing listens";
}

}  // namespace
