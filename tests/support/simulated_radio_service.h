// The simulated-radio build of the service (radioswitchsvcsim64.exe / radioswitchsvcsim.exe):
// the service's own code with the simulated radio behind its seam. It takes the radio
// from these REG_DWORD values under HKEY_LOCAL_MACHINE, read once at start; all are
// optional. The key is always in the 64-bit view of the registry, so that programs of
// both bitnesses share it.
#pragma once

#include <windows.h>

inline constexpr char SimulatedRadioKeyPath[] = "SOFTWARE\\radioswitch\\SimulatedRadio";
// The radio's node as the class installer left it: disabled in every hardware profile,
// and disabled in the current one (default 0 each). Saved at every class-installer call
// on the node, so the radio keeps its state across restarts of the service, as a device
// node does.
inline constexpr char SimulatedRadioDisabledValue[] = "RadioDisabled";
inline constexpr char SimulatedRadioProfileDisabledValue[] = "RadioProfileDisabled";
// Saved with them for tests to read: 1 while the node runs (neither disable set), else 0.
inline constexpr char SimulatedRadioEnabledValue[] = "RadioEnabled";
// Saved when the Service Control Manager refuses a device event's control: its error.
inline constexpr char SimulatedRadioRefusedEventValue[] = "RefusedEventError";
// The radio's node is present (default 1).
inline constexpr char SimulatedRadioPresentValue[] = "RadioPresent";
// Nonzero: a second node of the radio's interface, running, follows the first.
inline constexpr char SimulatedRadioSecondNodeValue[] = "SecondNode";
// Pauses and timed waits run this many times faster than asked (default 1: real time).
inline constexpr char SimulatedRadioTimeScaleValue[] = "TimeScale";
// The interface's removal or arrival reaches the service this long after the change
// (default 100 ms, before scaling), through the Service Control Manager.
inline constexpr char SimulatedRadioEventDelayValue[] = "EventDelayMs";
// Nonzero: registering for device notifications fails with this error.
inline constexpr char SimulatedRadioNotificationErrorValue[] = "NotificationError";
// The next this many class-installer calls on the radio's node fail with
// ERROR_GEN_FAILURE (default 0; 0xFFFFFFFF: every call).
inline constexpr char SimulatedRadioInstallerFailuresValue[] = "InstallerFailures";

// The value, or `fallback` when it is missing.
DWORD ReadSimulatedRadioSetting(const char* name, DWORD fallback);
LSTATUS WriteSimulatedRadioSetting(const char* name, DWORD value);
// Removes the key with every setting; ERROR_SUCCESS also when it was absent.
LSTATUS DeleteSimulatedRadioSettings();
