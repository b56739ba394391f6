// What the service tells administrators: events in the Application event log, under
// the source named for the service (the release's package registers it, with this
// image as its message file; without it the events are still written). An event of one
// ID is written at most once a minute; the next one carries how many were left out.
// Reporting never fails or holds up its caller: events are written on a thread-pool
// thread, and a source that cannot be registered and a write that fails are ignored.
#pragma once

#include <windows.h>
#include <rpc.h>
#include <setupapi.h>

// At most one event of an ID within this span, measured with the seam's GetTickCount.
inline constexpr DWORD EventRateLimitMs = 60000;

// Direction: nonzero = on, 0 = off, as a switch takes it.

// The outcome of starting to listen: RPC_S_OK reports that the service serves the pipe,
// anything else that the start failed at RpcServerListen.
void ReportListenStart(RPC_STATUS status);
// A start-up step failed with status; returns status, so that a caller can pass it on.
DWORD ReportStartFailed(const char* step, DWORD status);
// The radio's port interface came (1) or went (0) and the state value holds it now.
void ReportSwitchCompleted(DWORD state);
// A change of the node failed: `call` is the platform call that failed with `error`.
void ReportSwitchNodeFailed(DWORD direction, const SP_DEVINFO_DATA& node, const char* call, DWORD error);
// A request waited its full limit without the radio's interface coming or going.
void ReportRequestTimedOut(DWORD direction);
// A change of the node takes effect only once Windows restarts.
void ReportChangeWaitsForRestart(DWORD direction, const SP_DEVINFO_DATA& node);
// Writing ZentRadioState failed: `call` is the registry call that failed with `error`.
void ReportStateWriteFailed(const char* call, LSTATUS error);

// Returns once every event reported before the call has been written (or dropped).
void FlushEventReports();
// Flushes, deregisters the source and forgets what was written, so that reporting
// starts afresh. Only once nothing reports any more (the dispatcher has returned), or
// between tests.
void CloseEventSource();
