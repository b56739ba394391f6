#include "service_runtime.h"

#include <dbt.h>
#include <bthdef.h>

#include <cstdlib>

#include "bitness.h"
#include "device_events.h"
#include "event_log.h"
#include "platform.h"
#include "radio_state_reconcile.h"
#include "service_state.h"

SERVICE_STATUS RadioServiceStatus;
SERVICE_STATUS_HANDLE RadioServiceStatusHandle;
HDEVNOTIFY DeviceNotifyHandle;
DWORD StatusCheckPoint = 1;
bool ListenStopRequested;
bool ListenStarted;
bool StoppedReported;

namespace {

// The control handler, device events and the service main all report. One report at a
// time, each sending the record as it stands then: a report never overtakes a newer one
// with an older record, and never sends a record half rewritten by another thread.
// Held for writing the record and sending it, never across anything else.
SRWLOCK StatusLock = SRWLOCK_INIT;

// Under StatusLock. Once stopped has been reported, the SCM would take any later report
// (a stop or pause control that raced with opnum 1) for a service that ended unexpectedly.
DWORD ReportStatus() {
    if (StoppedReported) return NO_ERROR;
    StoppedReported = RadioServiceStatus.dwCurrentState == SERVICE_STOPPED;
    return ServicePlatform.SetServiceStatus(RadioServiceStatusHandle, &RadioServiceStatus) ? NO_ERROR : GetLastError();
}

DWORD ReportState(DWORD state) {
    AcquireSRWLockExclusive(&StatusLock);
    RadioServiceStatus.dwCurrentState = state;
    const DWORD result = ReportStatus();
    ReleaseSRWLockExclusive(&StatusLock);
    return result;
}

DWORD ReportUnchanged() {
    AcquireSRWLockExclusive(&StatusLock);
    const DWORD result = ReportStatus();
    ReleaseSRWLockExclusive(&StatusLock);
    return result;
}

void SetStatus(DWORD state, DWORD exitCode, DWORD checkPoint) {
    RadioServiceStatus.dwServiceType = RadioServiceType;
    RadioServiceStatus.dwCurrentState = state;
    RadioServiceStatus.dwControlsAccepted = RadioServiceControls;
    RadioServiceStatus.dwWin32ExitCode = exitCode;
    RadioServiceStatus.dwServiceSpecificExitCode = 0;
    RadioServiceStatus.dwCheckPoint = checkPoint;
    RadioServiceStatus.dwWaitHint = 0;
}

// Once running has been reported, a failed start-up says so with its error rather
// than leaving the service "running" with nothing listening.
void ReportStopped(DWORD exitCode) {
    // Nothing of the process is heard of after stopped: its events are written first.
    FlushEventReports();
    AcquireSRWLockExclusive(&StatusLock);
    SetStatus(SERVICE_STOPPED, exitCode, 0);
    ReportStatus();
    ReleaseSRWLockExclusive(&StatusLock);
}

DWORD FailureCode(DWORD code) { return code != NO_ERROR ? code : ERROR_GEN_FAILURE; }

// A stop or shutdown can come as soon as running has been reported, before the service
// main listens. It is remembered, and listening starts only when no stop came first;
// otherwise the stop would find nothing to stop and the service would listen for ever.
// Starting to listen and stopping never overlap (Wine's runtime deadlocks when they do).
SRWLOCK ListenLock = SRWLOCK_INIT;

// Every stop, from a control or from opnum 1. A stop the service honours is answered
// with RPC_S_OK, also one that comes before listening has begun.
RPC_STATUS StopListening() {
    AcquireSRWLockExclusive(&ListenLock);
    ListenStopRequested = true;
    RPC_STATUS status = ListenStarted ? RpcMgmtStopServerListening(nullptr) : RPC_S_OK;
    ReleaseSRWLockExclusive(&ListenLock);
    // Listening has begun and ended already: an earlier stop is under way.
    return status == RPC_S_NOT_LISTENING ? RPC_S_OK : status;
}

bool StopAsked() {
    AcquireSRWLockShared(&ListenLock);
    const bool asked = ListenStopRequested;
    ReleaseSRWLockShared(&ListenLock);
    return asked;
}

// The pipe's name can still be held for a moment (the previous instance of a quick
// restart, or another process): tried again for a few seconds, unless a stop is asked.
RPC_STATUS UseEndpoint() {
    for (DWORD attempt = 0;; ++attempt) {
        const RPC_STATUS status = ServicePlatform.RpcServerUseProtseqEpA(
            reinterpret_cast<RPC_CSTR>(const_cast<char*>(RadioControlProtocolSequence)), RPC_C_LISTEN_MAX_CALLS_DEFAULT,
            reinterpret_cast<RPC_CSTR>(const_cast<char*>(RadioControlEndpoint)), nullptr);
        if (status == RPC_S_OK || attempt == EndpointRetries || StopAsked()) return status;
        ServicePlatform.Sleep(EndpointRetryPauseMs);
    }
}

}  // namespace

RPC_STATUS ListenUntilStopped() {
    AcquireSRWLockExclusive(&ListenLock);
    const bool stopped = ListenStopRequested;
    RPC_STATUS status = RPC_S_OK;
    if (!stopped) {
        status = ServicePlatform.RpcServerListen(1, RPC_C_LISTEN_MAX_CALLS_DEFAULT, TRUE);
        ListenStarted = status == RPC_S_OK;
    }
    ReleaseSRWLockExclusive(&ListenLock);
    if (!stopped) ReportListenStart(status);
    if (stopped || status != RPC_S_OK) return status;
    // Only now, so that the pipe is served as soon as possible after running was reported.
    if (!StopAsked()) ReconcileRadioState();
    status = ServicePlatform.RpcMgmtWaitServerListen();
    // Windows answers RPC_S_NOT_LISTENING when the stop came before the wait began, without
    // waiting for the calls in progress: wait for them here. Unregistering with a wait does
    // that; after opnum 1, which unregistered everything, it returns at once.
    if (status == RPC_S_NOT_LISTENING) {
        RpcServerUnregisterIf(nullptr, nullptr, TRUE);
        status = RPC_S_OK;
    }
    return status;
}

void RunAsService() {
    // The dispatcher only reads the name.
    const SERVICE_TABLE_ENTRYA serviceTable[] = {{const_cast<LPSTR>(RadioServiceName), RadioServiceMain},
                                                 {nullptr, nullptr}};
    if (!StartServiceCtrlDispatcherA(serviceTable)) GetLastError();
    CloseEventSource();
}

void WINAPI RadioServiceMain(DWORD, LPSTR*) {
    SetStatus(0, NO_ERROR, 0);
    RadioServiceStatusHandle = ServicePlatform.RegisterServiceCtrlHandlerExA(RadioServiceName, RadioServiceCtrlHandler, nullptr);
    if (!RadioServiceStatusHandle) {
        ReportStartFailed("RegisterServiceCtrlHandlerExA", GetLastError());
        return;
    }
    AcquireSRWLockExclusive(&StatusLock);
    SetStatus(SERVICE_RUNNING, NO_ERROR, 0);
    ReportStatus();
    ReleaseSRWLockExclusive(&StatusLock);

    if (RunsUnderWow64()) return ReportStopped(ReportStartFailed(Wow64StartStep, ERROR_IN_WOW64));

    DEV_BROADCAST_DEVICEINTERFACE_A filter{};
    filter.dbcc_size = sizeof filter;
    filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    filter.dbcc_classguid = GUID_BTHPORT_DEVICE_INTERFACE;
    DeviceNotifyHandle =
        ServicePlatform.RegisterDeviceNotificationA(RadioServiceStatusHandle, &filter, DEVICE_NOTIFY_SERVICE_HANDLE);
    if (!DeviceNotifyHandle)
        return ReportStopped(ReportStartFailed("RegisterDeviceNotificationA", FailureCode(GetLastError())));

    SwitchDoneEvent = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    if (!SwitchDoneEvent) {
        DWORD error = GetLastError();
        ServicePlatform.UnregisterDeviceNotification(DeviceNotifyHandle);
        DeviceNotifyHandle = nullptr;
        return ReportStopped(ReportStartFailed("CreateEventA", FailureCode(error)));
    }

    RPC_STATUS status = UseEndpoint();
    // A stop asked while the name was held is honoured, not reported as a failed start.
    if (status != RPC_S_OK)
        return ReportStopped(StopAsked() ? RPC_S_OK : ReportStartFailed("RpcServerUseProtseqEpA", status));
    // The pipe can be opened from other machines and the interface has no
    // authentication: serve local callers only.
    status = RpcServerRegisterIfEx(RadioControlInterface_v1_0_s_ifspec, nullptr, nullptr, RPC_IF_ALLOW_LOCAL_ONLY,
                                   RPC_C_LISTEN_MAX_CALLS_DEFAULT, nullptr);
    if (status != RPC_S_OK) return ReportStopped(ReportStartFailed("RpcServerRegisterIfEx", status));
    status = ListenUntilStopped();
    if (ListenStarted) {
        // Once a stop is asked no device event comes (a removal still queued then is
        // refused): what the radio did meanwhile is read from the radio itself.
        WaitForRadioStateReconciles();
        ReconcileRadioState();
    }
    ReportStopped(status);
}

DWORD WINAPI RadioServiceCtrlHandler(DWORD control, DWORD eventType, LPVOID eventData, LPVOID) {
    switch (control) {
    case SERVICE_CONTROL_STOP:
    case SERVICE_CONTROL_SHUTDOWN:
        AcquireSRWLockExclusive(&StatusLock);
        SetStatus(SERVICE_STOP_PENDING, NO_ERROR, StatusCheckPoint++);
        ReportStatus();
        ReleaseSRWLockExclusive(&StatusLock);
        return StopListening();
    case SERVICE_CONTROL_PAUSE:
        ServicePaused = 1;
        return ReportState(SERVICE_PAUSED);
    case SERVICE_CONTROL_CONTINUE: {
        ServicePaused = 0;
        const DWORD result = ReportState(SERVICE_RUNNING);
        // The device events dropped while paused are lost: the radio is looked at
        // instead, off this thread, which must return at once.
        ReconcileRadioStateSoon();
        return result;
    }
    case SERVICE_CONTROL_DEVICEEVENT:
        // The state is unchanged, so nothing is reported; NO_ERROR grants the event.
        if (ServicePaused != 1) HandleRadioDeviceEvent(eventType, static_cast<const DEV_BROADCAST_HDR*>(eventData));
        return NO_ERROR;
    default:
        return ReportUnchanged();
    }
}

extern "C" void StopRadioControlServer(handle_t binding) {
    // Any local process can open the pipe; only local system and elevated administrators
    // may end a service that runs as local system. Others get access denied as the call's
    // fault, and the service serves on.
    CallerTokenFacts caller;
    if (ServicePlatform.QueryCallerToken(binding, &caller) != NO_ERROR || !MayStopService(caller))
        RpcRaiseException(ERROR_ACCESS_DENIED);
    // Ordered with the service main and the stop controls like every stop, so that a
    // stop already under way is not taken for a failure.
    RPC_STATUS status = StopListening();
    if (status != RPC_S_OK) std::exit(status);
    status = RpcServerUnregisterIf(nullptr, nullptr, 0);
    // Nothing left to unregister: the service main did it while waiting for calls to end.
    if (status != RPC_S_OK && status != RPC_S_UNKNOWN_IF) std::exit(status);
}
