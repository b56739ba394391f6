// The simulated-radio build of the service (radioswitchsvcsim64.exe / radioswitchsvcsim.exe):
// the service's own code with the simulated radio behind its seam. It takes the radio
// from these REG_DWORD values under HKEY_LOCAL_MACHINE, read once at start; all are
// optional. The key is always in the 64-bit view of the registry, so that programs of
// both bitnesses share it.
#pragma once

#include <windows.h>

inline constexpr char SimulatedRadioKeyPath[] = "SOFTWARE\\radioswitch\\SimulatedRadio";
// The radio's node is enabled (default 1). Rewritten after every change, so the radio
// keeps its state across restarts of the service and tests can see it.
inline constexpr char SimulatedRadioEnabledValue[] = "RadioEnabled";
// The radio's node is present (default 1).
inline constexpr char SimulatedRadioPresentValue[] = "RadioPresent";
// Pauses and timed waits run this many times faster than asked (default 1: real time).
inline constexpr char SimulatedRadioTimeScaleValue[] = "TimeScale";
// The interface's removal or arrival reaches the service this long after the change
// (default 100 ms, before scaling), on a thread of the simulation.
inline constexpr char SimulatedRadioEventDelayValue[] = "EventDelayMs";
// Nonzero: registering for device notifications fails with this error.
inline constexpr char SimulatedRadioNotificationErrorValue[] = "NotificationError";

// The value, or `fallback` when it is missing.
DWORD ReadSimulatedRadioSetting(const char* name, DWORD fallback);
LSTATUS WriteSimulatedRadioSetting(const char* name, DWORD value);
// Removes the key with every setting; ERROR_SUCCESS also when it was absent.
LSTATUS DeleteSimulatedRadioSettings();
