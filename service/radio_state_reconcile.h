// ZentRadioState brought in line with the radio where device events can't have kept it:
// they are not replayed for interfaces already present (start), are dropped while the
// service is paused, and no longer come once a stop is asked. Without this the value
// would stay absent on a fresh machine, or stale (the library would then answer 87, or
// wait its full limit for a state that came long ago).
#pragma once

#include <windows.h>

// The value means "the radio's port interface is present": 1 when it is, 0 when it is
// not (no radio node, a disabled node, a node whose port driver failed). Written where
// ZentRadioState does not hold it already, unless a device event came meanwhile; a
// write also releases a waiting request. Nothing is written when the interface list
// can't be read. True when it wrote.
bool ReconcileRadioState();

// ReconcileRadioState on a thread-pool thread, for callers that must return at once
// (the control handler). Not submitted when the work item can't be made.
void ReconcileRadioStateSoon();
// Returns once every reconcile submitted so far has ended.
void WaitForRadioStateReconciles();
