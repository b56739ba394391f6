// Request side of a switch: opnum 0 of the radio control interface, run by the RPC
// runtime on one of its threads for each client call.
#pragma once

#include <windows.h>

#include "radio_control.h"

// How long a request holds its caller waiting for the radio's interface to come or go.
inline constexpr DWORD SwitchCompletionTimeout = 120000;

// RequestRadioSwitch (declared with the interface): "EnableZentBtRadio" switches on,
// "DisableZentBtRadio" off, ASCII case ignored; any other string, a paused service or
// a missing SwitchDoneEvent returns at once. Otherwise it resets SwitchDoneEvent, runs
// the device switch and waits for the event at most SwitchCompletionTimeout.
