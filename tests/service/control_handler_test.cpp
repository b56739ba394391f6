#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "device_events.h"
#include "device_records.h"
#include "event_log.h"
#include "platform.h"
#include "radio_state_reconcile.h"
#include "raw_request.h"
#include "registry_fixture.h"
#include "scm_service.h"
#include "service_runtime.h"
#include "service_state.h"
#include "sim_event_log.h"
#include "sim_radio.h"

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
        ListenStopRequested = false;
        ListenStarted = false;
        StoppedReported = false;
        SwitchDoneEvent = CreateEventA(nullptr, FALSE, FALSE, nullptr);
        ASSERT_NE(SwitchDoneEvent, nullptr);
    }
    void TearDown() override {
        WaitForRadioStateReconciles();
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

TEST_F(ControlHandler, DeviceEventsReachTheRadioHandlerOnlyWhileNotPausedAndContinueLooksAgain) {
    SimRadio sim;  // by the continue, the radio's interface is gone
    sim.Node(sim.AddStandardRadio()).Disabled = true;
    EXPECT_EQ(DeviceEvent(DBT_DEVICEARRIVAL), DWORD{NO_ERROR}) << "granted, with no report";
    EXPECT_EQ(ReadRadioState(), 1);
    EXPECT_TRUE(IsSet(SwitchDoneEvent));

    Control(SERVICE_CONTROL_PAUSE);
    EXPECT_EQ(DeviceEvent(DBT_DEVICEREMOVECOMPLETE), DWORD{NO_ERROR});
    ExpectStatus(SERVICE_PAUSED, 0);
    EXPECT_EQ(ReadRadioState(), 1) << "nothing written while paused";
    EXPECT_FALSE(IsSet(SwitchDoneEvent));

    Control(SERVICE_CONTROL_CONTINUE);
    WaitForRadioStateReconciles();
    EXPECT_EQ(ReadRadioState(), 0) << "the removal lost while paused";
    EXPECT_TRUE(IsSet(SwitchDoneEvent)) << "releases a waiting request";
}

TEST_F(ControlHandler, EveryStopOrShutdownReportsStopPendingWithTheNextCheckpoint) {
    RadioServiceStatus.dwWaitHint = 9;
    EXPECT_EQ(Control(SERVICE_CONTROL_STOP), DWORD{RPC_S_OK}) << "honoured before listening has begun";
    ExpectStatus(SERVICE_STOP_PENDING, 1);
    EXPECT_EQ(Control(SERVICE_CONTROL_SHUTDOWN), DWORD{RPC_S_OK});
    ExpectStatus(SERVICE_STOP_PENDING, 2);
    Control(SERVICE_CONTROL_PAUSE);
    EXPECT_EQ(RadioServiceStatus.dwCheckPoint, 2u) << "pause keeps the checkpoint";
    Control(SERVICE_CONTROL_STOP);
    ExpectStatus(SERVICE_STOP_PENDING, 3);
    EXPECT_EQ(StatusCheckPoint, 4u);
}

constexpr char Endpoint[] = "radioswitch-listen-test";

// A point of start-up or of a request where the test can hold the thread that reaches it.
struct Gate {
    HANDLE Reached = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE Open = CreateEventA(nullptr, TRUE, TRUE, nullptr);
    void Pass() {
        SetEvent(Reached);
        WaitForSingleObject(Open, 20000);
    }
    bool WaitReached() { return WaitForSingleObject(Reached, 10000) == WAIT_OBJECT_0; }
};
Gate ListenGate, WaitGate, SwitchGate;

RPC_STATUS RPC_ENTRY HeldListen(unsigned minThreads, unsigned maxCalls, unsigned dontWait) {
    ListenGate.Pass();
    return RpcServerListen(minThreads, maxCalls, dontWait);
}

// Windows answers a wait that begins after listening was stopped with RPC_S_NOT_LISTENING,
// at once, whatever calls are still in progress; Wine's own wait would still wait for them.
std::atomic<int> NotListeningAnswers;
RPC_STATUS RPC_ENTRY HeldWait() {
    WaitGate.Pass();
    if (RpcMgmtIsServerListening(nullptr) == RPC_S_OK) return RpcMgmtWaitServerListen();
    ++NotListeningAnswers;
    return RPC_S_NOT_LISTENING;
}

// A request's wait for its device event, held until the test lets it end.
DWORD WINAPI HeldSwitchWait(HANDLE, DWORD) {
    SwitchGate.Pass();
    return WAIT_TIMEOUT;
}

// Under Wine every process is the same administrator: the caller's token facts come
// through the seam (an elevated administrator unless a test says otherwise).
CallerTokenFacts CallerFacts;
DWORD CallerQueryError;
DWORD FakeCallerToken(handle_t, CallerTokenFacts* facts) {
    *facts = CallerFacts;
    return CallerQueryError;
}

constexpr RPC_STATUS NotReturned = -1;

// The service main's last step on an endpoint of its own, run on a thread of its own
// (where the dispatcher runs it), its start of listening, its wait and a request's wait
// each held through the seam when the test closes their gate.
class ServiceMainListening : public ControlHandler {
protected:
    void SetUp() override {
        ControlHandler::SetUp();
        NotListeningAnswers = 0;
        for (Gate* gate : {&ListenGate, &WaitGate, &SwitchGate}) {
            ResetEvent(gate->Reached);
            SetEvent(gate->Open);
        }
        ServicePlatform.RpcServerListen = HeldListen;
        ServicePlatform.RpcMgmtWaitServerListen = HeldWait;
        ServicePlatform.WaitForSingleObject = HeldSwitchWait;
        CallerFacts = {false, true};
        CallerQueryError = NO_ERROR;
        ServicePlatform.QueryCallerToken = FakeCallerToken;
        ASSERT_EQ(RpcServerUseProtseqEpA(reinterpret_cast<RPC_CSTR>(const_cast<char*>("ncalrpc")),
                                         RPC_C_LISTEN_MAX_CALLS_DEFAULT,
                                         reinterpret_cast<RPC_CSTR>(const_cast<char*>(Endpoint)), nullptr),
                  RPC_S_OK);
        ASSERT_EQ(RpcServerRegisterIf(RadioControlInterface_v1_0_s_ifspec, nullptr, nullptr), RPC_S_OK);
    }
    void TearDown() override {
        for (Gate* gate : {&ListenGate, &WaitGate, &SwitchGate}) SetEvent(gate->Open);
        if (serviceMain.joinable()) {
            if (!Returned(3000)) RpcMgmtStopServerListening(nullptr);  // lets the thread end
            serviceMain.join();
        }
        for (std::thread& caller : callers) caller.join();
        // Wine ends its listening only in its own wait, which the Windows answer skipped.
        if (NotListeningAnswers) RpcMgmtWaitServerListen();
        RpcServerUnregisterIf(nullptr, nullptr, 0);
        ServicePlatform = RealServicePlatform;
        ControlHandler::TearDown();
    }

    void StartServiceMain() {
        serviceMain = std::thread([this] { listened = ListenUntilStopped(); });
    }
    bool Returned(DWORD withinMs) {
        const DWORD start = GetTickCount();
        while (listened == NotReturned && GetTickCount() - start < withinMs) Sleep(5);
        return listened != NotReturned;
    }
    // One call from a client of this process; the status it ends with.
    static RPC_STATUS Call(unsigned short opnum, const Bytes& body) {
        RPC_CSTR text = nullptr;
        handle_t binding = nullptr;
        RpcStringBindingComposeA(nullptr, reinterpret_cast<RPC_CSTR>(const_cast<char*>("ncalrpc")), nullptr,
                                 reinterpret_cast<RPC_CSTR>(const_cast<char*>(Endpoint)), nullptr, &text);
        RpcBindingFromStringBindingA(text, &binding);
        RpcStringFreeA(&text);
        const RPC_STATUS status = SendRawRequest(binding, opnum, body);
        RpcBindingFree(&binding);
        return status;
    }
    // An on request, held in its wait for the device event.
    void StartHeldRequest() {
        CloseGate(SwitchGate);
        callers.emplace_back([] { EXPECT_EQ(Call(0, RequestBody("EnableZentBtRadio")), RPC_S_OK); });
        ASSERT_TRUE(SwitchGate.WaitReached()) << "the request reached its wait";
    }
    static void CloseGate(Gate& gate) { ResetEvent(gate.Open); }
    static RPC_STATUS RemoteStop() { return Call(1, {}); }

    std::atomic<RPC_STATUS> listened{NotReturned};
    std::thread serviceMain;
    std::vector<std::thread> callers;
    SimEventLog events;
};

RPC_STATUS RPC_ENTRY RefusedListen(unsigned, unsigned, unsigned) { return RPC_S_ALREADY_LISTENING; }

TEST_F(ServiceMainListening, AStopBeforeListeningIsHonouredWithoutListening) {
    SetRadioState(7);
    EXPECT_EQ(Control(SERVICE_CONTROL_STOP), DWORD{RPC_S_OK}) << "a stop the service honours is answered with 0";
    ExpectStatus(SERVICE_STOP_PENDING, 1);
    CloseGate(ListenGate);
    StartServiceMain();
    EXPECT_TRUE(Returned(2000)) << "it listened on, and the stop was lost";
    EXPECT_EQ(listened, RPC_S_OK) << "the service reports stopped with exit code 0";
    EXPECT_EQ(WaitForSingleObject(ListenGate.Reached, 0), DWORD{WAIT_TIMEOUT}) << "listening never began";
    EXPECT_EQ(events.ReportCalls, 0u) << "neither served nor failed";
    EXPECT_EQ(ReadRadioState(), 7) << "nor was the radio looked at";
}

TEST_F(ServiceMainListening, AStopWhileListeningBeginsEndsIt) {
    CloseGate(ListenGate);
    StartServiceMain();
    ASSERT_TRUE(ListenGate.WaitReached());
    constexpr DWORD Pending = 0xFFFFFFFF;
    std::atomic<DWORD> stopped{Pending};
    std::thread control([&] { stopped = Control(SERVICE_CONTROL_SHUTDOWN); });
    Sleep(200);
    EXPECT_EQ(stopped, Pending) << "the stop waits until listening has begun";
    SetEvent(ListenGate.Open);
    control.join();
    EXPECT_EQ(stopped, DWORD{RPC_S_OK});
    EXPECT_TRUE(Returned(5000));
    EXPECT_EQ(listened, RPC_S_OK);
    std::vector<SimLoggedEvent> logged = events.Events();
    ASSERT_EQ(logged.size(), 1u);
    EXPECT_EQ(logged[0].Id, 100u);
    EXPECT_EQ(logged[0].Type, EVENTLOG_INFORMATION_TYPE);
    EXPECT_EQ(logged[0].Inserts, (std::vector<std::string>{"\\pipe\\ZkBtRcIf", "0"}));
}

TEST_F(ServiceMainListening, AFailedStartOfListeningIsLoggedWithItsStatus) {
    ServicePlatform.RpcServerListen = RefusedListen;
    StartServiceMain();
    EXPECT_TRUE(Returned(5000));
    EXPECT_EQ(listened, RPC_S_ALREADY_LISTENING) << "the service reports stopped with it";
    std::vector<SimLoggedEvent> logged = events.Events();
    ASSERT_EQ(logged.size(), 1u);
    EXPECT_EQ(logged[0].Id, 101u);
    EXPECT_EQ(logged[0].Type, EVENTLOG_ERROR_TYPE);
    EXPECT_EQ(logged[0].Inserts, (std::vector<std::string>{"RpcServerListen", "1713 (0x000006B1)", "0"}));
}

// Between the start of listening and the wait, Windows' wait does not wait for the calls
// in progress: the service main must, so that stopped is reported only once they end.
TEST_F(ServiceMainListening, AStopBeforeTheWaitEndsOnlyOnceTheCallsInProgressHaveReturned) {
    CloseGate(WaitGate);
    StartServiceMain();
    ASSERT_TRUE(WaitGate.WaitReached()) << "the service main returned " << listened;
    StartHeldRequest();
    EXPECT_EQ(Control(SERVICE_CONTROL_STOP), DWORD{RPC_S_OK});
    EXPECT_EQ(Control(SERVICE_CONTROL_STOP), DWORD{RPC_S_OK}) << "a stop under way is no failure";
    ExpectStatus(SERVICE_STOP_PENDING, 2);
    SetEvent(WaitGate.Open);
    EXPECT_FALSE(Returned(500)) << "stopped while a request was still in progress";
    EXPECT_EQ(NotListeningAnswers, 1) << "the wait took Windows' path";
    SetEvent(SwitchGate.Open);
    EXPECT_TRUE(Returned(5000));
    EXPECT_EQ(listened, RPC_S_OK);
}

TEST_F(ServiceMainListening, TheRemoteStopBeforeTheWaitEndsWithoutAStopPendingReport) {
    CloseGate(WaitGate);
    StartServiceMain();
    ASSERT_TRUE(WaitGate.WaitReached()) << "the service main returned " << listened;
    StopRadioControlServer(nullptr);  // a failing step would end this process
    SetEvent(WaitGate.Open);
    EXPECT_TRUE(Returned(5000));
    EXPECT_EQ(listened, RPC_S_OK);
    EXPECT_EQ(NotListeningAnswers, 1) << "the wait took Windows' path";
    ExpectStatus(SERVICE_RUNNING, 0);
    EXPECT_EQ(StatusCheckPoint, 1u) << "no stop-pending report";
    EXPECT_EQ(RpcServerUnregisterIf(RadioControlInterface_v1_0_s_ifspec, nullptr, 0), RPC_S_UNKNOWN_IF)
        << "every interface was unregistered";
}

TEST_F(ServiceMainListening, OnlyLocalSystemOrAnAdministratorMayStopItRemotely) {
    StartServiceMain();
    ASSERT_TRUE(WaitGate.WaitReached()) << "the service main returned " << listened;
    struct Refused {
        const char* Name;
        CallerTokenFacts Facts;
        DWORD QueryError;
    } refused[] = {
        {"an ordinary user", {false, false}, NO_ERROR},
        {"a caller whose token can't be read", {true, true}, ERROR_CANNOT_IMPERSONATE},
    };
    for (const Refused& caller : refused) {
        CallerFacts = caller.Facts;
        CallerQueryError = caller.QueryError;
        EXPECT_EQ(RemoteStop(), RPC_STATUS{ERROR_ACCESS_DENIED}) << caller.Name;
        EXPECT_EQ(RpcMgmtIsServerListening(nullptr), RPC_S_OK) << caller.Name << ": serving on";
        EXPECT_EQ(listened, NotReturned) << caller.Name;
    }
    CallerFacts = {true, false};
    CallerQueryError = NO_ERROR;
    EXPECT_EQ(RemoteStop(), RPC_S_OK) << "local system";
    EXPECT_TRUE(Returned(5000));
    EXPECT_EQ(listened, RPC_S_OK);
}

// Reports as the SCM would receive them.
std::vector<DWORD> ReportedStates;
DWORD LastExitCode;
BOOL WINAPI NoteReport(SERVICE_STATUS_HANDLE, LPSERVICE_STATUS status) {
    ReportedStates.push_back(status->dwCurrentState);
    LastExitCode = status->dwWin32ExitCode;
    return TRUE;
}
SERVICE_STATUS_HANDLE WINAPI FakeHandlerRegistration(LPCSTR, LPHANDLER_FUNCTION_EX, LPVOID) {
    return reinterpret_cast<SERVICE_STATUS_HANDLE>(0x5C);
}
HDEVNOTIFY WINAPI FakeNotificationRegistration(HANDLE, LPVOID, DWORD) { return reinterpret_cast<HDEVNOTIFY>(0x7D); }

// The pipe's name held by another process for this many tries; the answer to IsWow64Process.
int EndpointRefusals;
RPC_STATUS RPC_ENTRY HeldEndpoint(RPC_CSTR protseq, unsigned maxCalls, RPC_CSTR endpoint, void* security) {
    return EndpointRefusals-- > 0 ? RPC_S_DUPLICATE_ENDPOINT : RpcServerUseProtseqEpA(protseq, maxCalls, endpoint, security);
}
std::vector<DWORD> Pauses;
void WINAPI NotePause(DWORD ms) { Pauses.push_back(ms); }
BOOL Wow64;
BOOL WINAPI FakeWow64(HANDLE, PBOOL wow64) { return *wow64 = Wow64, TRUE; }

// The service main's registrations, reports, endpoint and pauses, as above.
void FakeServiceMainPlatform() {
    ServicePlatform.SetServiceStatus = NoteReport;
    ServicePlatform.RegisterServiceCtrlHandlerExA = FakeHandlerRegistration;
    ServicePlatform.RegisterDeviceNotificationA = FakeNotificationRegistration;
    ServicePlatform.RpcServerUseProtseqEpA = HeldEndpoint;
    ServicePlatform.Sleep = NotePause;
}

// A pause and a stop that reach the handler once opnum 1 has ended the service: the SCM
// must see nothing after stopped, or it records a service that ended unexpectedly.
TEST_F(ServiceMainListening, NothingIsReportedAfterStoppedAndAHeldPipeNameIsTriedAgain) {
    ReportedStates.clear();
    EndpointRefusals = 2;
    FakeServiceMainPlatform();
    RpcServerUnregisterIf(nullptr, nullptr, 0);  // the service main registers its own
    const HANDLE fixtureEvent = SwitchDoneEvent;
    std::thread service([] { RadioServiceMain(0, nullptr); });
    ASSERT_TRUE(WaitGate.WaitReached());
    EXPECT_EQ(Pauses, std::vector<DWORD>(2, 500));
    StopRadioControlServer(nullptr);
    service.join();
    EXPECT_EQ(ReportedStates, (std::vector<DWORD>{SERVICE_RUNNING, SERVICE_STOPPED}));
    EXPECT_EQ(Control(SERVICE_CONTROL_PAUSE), DWORD{NO_ERROR});
    EXPECT_EQ(Control(SERVICE_CONTROL_STOP), DWORD{RPC_S_OK});
    EXPECT_EQ(Control(SERVICE_CONTROL_INTERROGATE), DWORD{NO_ERROR});
    EXPECT_EQ(ReportedStates, (std::vector<DWORD>{SERVICE_RUNNING, SERVICE_STOPPED}));
    CloseHandle(SwitchDoneEvent);
    SwitchDoneEvent = fixtureEvent;
    DeviceNotifyHandle = nullptr;
    RadioServiceStatusHandle = nullptr;
}

TEST_F(ServiceMainListening, APipeNameHeldForGoodOrWow64EndsTheStartWithEvent101) {
    FakeServiceMainPlatform();
    ServicePlatform.IsWow64Process = FakeWow64;
    const HANDLE fixtureEvent = SwitchDoneEvent;
    for (const BOOL wow64 : {FALSE, TRUE}) {
        EndpointRefusals = 1000;
        Wow64 = wow64;
        Pauses.clear();
        CloseEventSource();  // each case has its own minute
        events.Clear();
        StoppedReported = false;
        RadioServiceMain(0, nullptr);
        EXPECT_EQ(Pauses, std::vector<DWORD>(wow64 ? 0 : 10, 500)) << "5 s of tries";
        EXPECT_EQ(LastExitCode, wow64 ? DWORD{0xE0000235} : DWORD{1740}) << "with stopped";
        std::vector<SimLoggedEvent> logged = events.Events();
        ASSERT_EQ(logged.size(), 1u);
        EXPECT_EQ(logged[0].Id, 101u);
        EXPECT_NE(logged[0].Inserts[0].find(wow64 ? "radioswitchsvc64.exe" : "RpcServerUseProtseqEpA"), std::string::npos);
        if (SwitchDoneEvent != fixtureEvent) CloseHandle(SwitchDoneEvent);
        SwitchDoneEvent = fixtureEvent;
    }
    DeviceNotifyHandle = nullptr;
    RadioServiceStatusHandle = nullptr;
}

TEST_F(ServiceMainListening, StopsWhilePausedAndARemoteStopAfterAStopIsNoFailure) {
    StartServiceMain();
    ASSERT_TRUE(WaitGate.WaitReached()) << "the service main returned " << listened;
    Control(SERVICE_CONTROL_PAUSE);
    EXPECT_EQ(Control(SERVICE_CONTROL_STOP), DWORD{RPC_S_OK});
    ExpectStatus(SERVICE_STOP_PENDING, 1);
    StopRadioControlServer(nullptr);  // a failing step would end this process
    EXPECT_TRUE(Returned(5000));
    EXPECT_EQ(listened, RPC_S_OK);
}

TEST(ServiceStart, OutsideTheScmTheServiceMainReturnsWithoutStartingAnything) {
    SimEventLog events;
    RadioServiceStatusHandle = nullptr;
    RadioServiceMain(0, nullptr);
    EXPECT_EQ(RadioServiceStatusHandle, nullptr);
    EXPECT_EQ(DeviceNotifyHandle, nullptr);
    EXPECT_EQ(SwitchDoneEvent, nullptr);
    EXPECT_EQ(RpcMgmtIsServerListening(nullptr), RPC_S_NOT_LISTENING);
    // The one report there is: the SCM has no status for a service it did not start.
    std::vector<SimLoggedEvent> logged = events.Events();
    ASSERT_EQ(logged.size(), 1u);
    EXPECT_EQ(logged[0].Id, 101u);
    EXPECT_EQ(logged[0].Type, EVENTLOG_ERROR_TYPE);
    EXPECT_EQ(logged[0].Inserts,
              (std::vector<std::string>{"RegisterServiceCtrlHandlerExA", "1060 (0x00000424)", "0"}));
}

TEST(ServiceStart, OutsideTheScmTheDispatcherReturnsAtOnce) {
    PointServiceCurrentAtNoPipe();
    DWORD start = GetTickCount();
    RunAsService();
    EXPECT_LT(GetTickCount() - start, 2000u);
}

}  // namespace
