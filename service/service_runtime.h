// The service as the Service Control Manager runs it: the control dispatcher, the
// service main that serves the radio control interface until told to stop, and the
// control handler that reports every state change.
#pragma once

#include <windows.h>

#include "radio_control.h"

inline constexpr char RadioServiceName[] = "Zentrik Bluetooth Radio Control Service";

// SERVICE_WIN32 in every report; stop, pause/continue and shutdown are always accepted.
inline constexpr DWORD RadioServiceType = SERVICE_WIN32;
inline constexpr DWORD RadioServiceControls =
    SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_PAUSE_CONTINUE | SERVICE_ACCEPT_SHUTDOWN;

// The one status record; every report sends it whole as it stands.
extern SERVICE_STATUS RadioServiceStatus;
extern SERVICE_STATUS_HANDLE RadioServiceStatusHandle;
extern HDEVNOTIFY DeviceNotifyHandle;
// Checkpoint of the next stop-pending report: 1 first, then 2, ...; never reset.
extern DWORD StatusCheckPoint;
// Set by the first stop (a stop or shutdown control, or opnum 1); listening never starts
// once it is set.
extern bool ListenStopRequested;
// Set once the service main has begun to listen.
extern bool ListenStarted;
// Set once stopped has been reported; no report follows it.
extern bool StoppedReported;

// Hands the calling thread to the control dispatcher until the service has stopped.
// Returns at once when the process was not started by the SCM.
void RunAsService();

// The endpoint is tried this many times more, this long apart, while its name is held.
inline constexpr DWORD EndpointRetries = 10;
inline constexpr DWORD EndpointRetryPauseMs = 500;

// Reports running, refuses to run under WOW64, registers for the Bluetooth port
// interface's arrival and removal, creates SwitchDoneEvent and serves the interface on
// its pipe until listening stops; then brings ZentRadioState in line with the radio and
// reports stopped. A start-up step that fails reports stopped with its error; a stop
// that came before listening began ends the service without listening.
void WINAPI RadioServiceMain(DWORD argc, LPSTR* argv);

// The service main's last step: serves the registered interface until listening is
// stopped and every call in progress has ended (RPC_S_OK, whichever came first: the
// stop or the start of listening); otherwise the RPC status of the failed start. Once
// listening, and unless a stop was asked, brings ZentRadioState in line with the radio.
RPC_STATUS ListenUntilStopped();

// Stop and shutdown: stop-pending, then stop listening (result: RPC_S_OK once the stop is
// honoured, also before listening has begun or while an earlier stop is under way; else
// the RPC status of the failed stop).
// Pause and continue: paused or running at once; continue also has the radio looked at
// again on a thread-pool thread. Device events go to HandleRadioDeviceEvent unless
// paused, and are answered NO_ERROR without a report. Other results: the outcome of
// the report.
DWORD WINAPI RadioServiceCtrlHandler(DWORD control, DWORD eventType, LPVOID eventData, LPVOID context);

// StopRadioControlServer (opnum 1, declared with the interface) refuses every caller but
// local system and elevated administrators with ERROR_ACCESS_DENIED; for them it stops listening and
// unregisters every interface, not waiting for calls in progress; a failing step ends
// the process with its RPC status as exit code. A stop already under way, and interfaces
// already unregistered, are no failure.
