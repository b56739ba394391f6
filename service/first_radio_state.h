// The radio's state as the service finds it at start. Device events are not replayed
// for interfaces already present, so without this ZentRadioState would stay absent on a
// fresh machine, and stale after a switch left to a restart or a change made while the
// service was stopped (the library would then answer 87, or wait for a state that came).
#pragma once

#include <windows.h>

// Run at start-up, once the device notifications are registered. When a node of the
// radio is present, the state is 1 when the radio's port interface is present and 0 when
// the interface is absent and a node is disabled; it is written where ZentRadioState
// does not hold it already, unless a device event came meanwhile. Otherwise (no node, a
// state that can't be told) nothing is written. True when it wrote.
bool ReconcileRadioState();
