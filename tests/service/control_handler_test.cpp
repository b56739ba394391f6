#include <gtest/gtest.h>

#include "device_events.h"
#include "device_records.h"
#include "registry_fixture.h"
#include "scm_service.h"
#include "service_runtime.h"
#include "service_state.h"

namespace {

bool IsSet(HANDLE event) { return WaitForSingleObject(event, 0) == WAIT_OBJECT_0; }

// The control handler called as the dispatcher would, in a process that the SCM did
// not start: there is no status handle, so every report fails with
// ERROR_INVALID_HANDLE and the handler must pass that on.
class ControlHandler : public testing::Test {
protected:
    void SetUp() override {
        RadioServiceStatusHandle = nullptr;
        RadioServiceStatus = {RadioServiceType, SERVICE_RUNNING, RadioServiceControls, 0, 0, 0, 0};
        StatusCheckPoint = 1;
        ServicePaused = 0;
        SwitchDoneEvent = CreateEventA(nullptr, FALSE, FALSE, nullptr);
        ASSERT_NE(SwitchDoneEvent, nullptr);
    }
    void TearDown() override {
        if (RadioSupportKey) RegCloseKey(RadioSupportKey);
        RadioSupportKey = nullptr;
        CloseHandle(SwitchDoneEvent);
        SwitchDoneEvent = nullptr;
        ServicePaused = 0;
    }

    static DWORD Control(DWORD control) { return RadioServiceCtrlHandler(control, 0, nullptr, nullptr); }
    static DWORD DeviceEvent(DWORD eventType) {
        DeviceInterfaceRecord record(RadioInterfacePath);
        return RadioServiceCtrlHandler(SERVICE_CONTROL_DEVICEEVENT, eventType, record.Header(), nullptr);
    }
    static void ExpectStatus(DWORD state, DWORD checkPoint) {
        EXPECT_EQ(RadioServiceStatus.dwServiceType, 0x30u);
        EXPECT_EQ(RadioServiceStatus.dwCurrentState, state);
        EXPECT_EQ(RadioServiceStatus.dwControlsAccepted, 7u);
        EXPECT_EQ(RadioServiceStatus.dwWin32ExitCode, 0u);
        EXPECT_EQ(RadioServiceStatus.dwServiceSpecificExitCode, 0u);
        EXPECT_EQ(RadioServiceStatus.dwCheckPoint, checkPoint);
        EXPECT_EQ(RadioServiceStatus.dwWaitHint, 0u);
    }

    ScopedRadioSupportKey key;
};

TEST_F(ControlHandler, PauseAndContinueChangeStateAtOnceAndReturnTheReportResult) {
    EXPECT_EQ(Control(SERVICE_CONTROL_PAUSE), DWORD{ERROR_INVALID_HANDLE});
    ExpectStatus(SERVICE_PAUSED, 0);
    EXPECT_EQ(ServicePaused, 1);
    EXPECT_EQ(Control(SERVICE_CONTROL_CONTINUE), DWORD{ERROR_INVALID_HANDLE});
    ExpectStatus(SERVICE_RUNNING, 0);
    EXPECT_EQ(ServicePaused, 0);
}

TEST_F(ControlHandler, InterrogateAndUnknownControlsReportTheRecordUnchanged) {
    RadioServiceStatus.dwCheckPoint = 5;
    RadioServiceStatus.dwWaitHint = 9;
    for (DWORD control : std::initializer_list<DWORD>{SERVICE_CONTROL_INTERROGATE, SERVICE_CONTROL_PARAMCHANGE, 128,
                                                      255, SERVICE_CONTROL_POWEREVENT}) {
        EXPECT_EQ(Control(control), DWORD{ERROR_INVALID_HANDLE}) << control;
        EXPECT_EQ(RadioServiceStatus.dwCurrentState, DWORD{SERVICE_RUNNING});
        EXPECT_EQ(RadioServiceStatus.dwCheckPoint, 5u);
        EXPECT_EQ(RadioServiceStatus.dwWaitHint, 9u);
    }
    EXPECT_EQ(ServicePaused, 0);
}

TEST_F(ControlHandler, DeviceEventsReachTheRadioHandlerOnlyWhileNotPaused) {
    EXPECT_EQ(DeviceEvent(DBT_DEVICEARRIVAL), DWORD{ERROR_INVALID_HANDLE});
    EXPECT_EQ(ReadRadioState(), 1);
    EXPECT_TRUE(IsSet(SwitchDoneEvent));

    Control(SERVICE_CONTROL_PAUSE);
    EXPECT_EQ(DeviceEvent(DBT_DEVICEREMOVECOMPLETE), DWORD{ERROR_INVALID_HANDLE}) << "the report is still sent";
    ExpectStatus(SERVICE_PAUSED, 0);
    EXPECT_EQ(ReadRadioState(), 1) << "nothing written while paused";
    EXPECT_FALSE(IsSet(SwitchDoneEvent));

    Control(SERVICE_CONTROL_CONTINUE);
    DeviceEvent(DBT_DEVICEREMOVECOMPLETE);
    EXPECT_EQ(ReadRadioState(), 0);
    EXPECT_TRUE(IsSet(SwitchDoneEvent));
}

TEST_F(ControlHandler, EveryStopOrShutdownReportsStopPendingWithTheNextCheckpoint) {
    RadioServiceStatus.dwWaitHint = 9;
    EXPECT_EQ(Control(SERVICE_CONTROL_STOP), DWORD{RPC_S_NOT_LISTENING}) << "the stop result is the RPC status";
    ExpectStatus(SERVICE_STOP_PENDING, 1);
    EXPECT_EQ(Control(SERVICE_CONTROL_SHUTDOWN), DWORD{RPC_S_NOT_LISTENING});
    ExpectStatus(SERVICE_STOP_PENDING, 2);
    Control(SERVICE_CONTROL_PAUSE);
    EXPECT_EQ(RadioServiceStatus.dwCheckPoint, 2u) << "pause keeps the checkpoint";
    Control(SERVICE_CONTROL_STOP);
    ExpectStatus(SERVICE_STOP_PENDING, 3);
    EXPECT_EQ(StatusCheckPoint, 4u);
}

// The interface served in this process on a local endpoint of its own.
class ListeningServer : public ControlHandler {
protected:
    void SetUp() override {
        ControlHandler::SetUp();
        RPC_STATUS status = RpcServerUseProtseqEpA(reinterpret_cast<RPC_CSTR>(const_cast<char*>("ncalrpc")),
                                                   RPC_C_LISTEN_MAX_CALLS_DEFAULT,
                                                   reinterpret_cast<RPC_CSTR>(const_cast<char*>("radioswitch-handler-test")),
                                                   nullptr);
        ASSERT_EQ(status, RPC_S_OK);
        ASSERT_EQ(RpcServerRegisterIf(RadioControlInterface_v1_0_s_ifspec, nullptr, nullptr), RPC_S_OK);
        ASSERT_EQ(RpcServerListen(1, RPC_C_LISTEN_MAX_CALLS_DEFAULT, TRUE), RPC_S_OK);
    }
    void TearDown() override {
        RpcMgmtStopServerListening(nullptr);
        RpcMgmtWaitServerListen();
        RpcServerUnregisterIf(nullptr, nullptr, 0);
        ControlHandler::TearDown();
    }
};

TEST_F(ListeningServer, StopEndsListeningAndReturnsItsStatus) {
    ASSERT_EQ(RpcMgmtIsServerListening(nullptr), RPC_S_OK);
    EXPECT_EQ(Control(SERVICE_CONTROL_STOP), DWORD{RPC_S_OK});
    ExpectStatus(SERVICE_STOP_PENDING, 1);
    EXPECT_EQ(RpcMgmtWaitServerListen(), RPC_S_OK);
    EXPECT_EQ(RpcMgmtIsServerListening(nullptr), RPC_S_NOT_LISTENING);
}

TEST_F(ListeningServer, StopWorksWhilePaused) {
    Control(SERVICE_CONTROL_PAUSE);
    EXPECT_EQ(Control(SERVICE_CONTROL_SHUTDOWN), DWORD{RPC_S_OK});
    ExpectStatus(SERVICE_STOP_PENDING, 1);
}

TEST_F(ListeningServer, TheRemoteStopLeavesTheRecordAlone) {
    StopRadioControlServer(nullptr);
    EXPECT_EQ(RpcMgmtWaitServerListen(), RPC_S_OK);
    EXPECT_EQ(RpcMgmtIsServerListening(nullptr), RPC_S_NOT_LISTENING);
    ExpectStatus(SERVICE_RUNNING, 0);
    EXPECT_EQ(StatusCheckPoint, 1u) << "no stop-pending report";
    EXPECT_EQ(RpcServerUnregisterIf(RadioControlInterface_v1_0_s_ifspec, nullptr, 0), RPC_S_UNKNOWN_IF)
        << "every interface was unregistered";
}

TEST(ServiceStart, OutsideTheScmTheServiceMainReturnsWithoutStartingAnything) {
    RadioServiceStatusHandle = nullptr;
    RadioServiceMain(0, nullptr);
    EXPECT_EQ(RadioServiceStatusHandle, nullptr);
    EXPECT_EQ(DeviceNotifyHandle, nullptr);
    EXPECT_EQ(SwitchDoneEvent, nullptr);
    EXPECT_EQ(RpcMgmtIsServerListening(nullptr), RPC_S_NOT_LISTENING);
}

TEST(ServiceStart, OutsideTheScmTheDispatcherReturnsAtOnce) {
    PointServiceCurrentAtNoPipe();
    DWORD start = GetTickCount();
    RunAsService();
    EXPECT_LT(GetTickCount() - start, 2000u);
}

}  // namespace
