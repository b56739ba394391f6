// The switch a request runs: the radio's Bluetooth interface node(s) enabled or
// disabled through the class installer, with the vendor command before an off.
// A node whose change fails sets SwitchDoneEvent at once; a node that changed leaves
// the completion to the device event that follows. A change that would wait for a
// restart also sets it at once, as no device event will come: an off is undone (the
// node is enabled again), an on is left to the restart and counted in RestartNeeded.
#pragma once

#include <windows.h>
#include <setupapi.h>

inline constexpr DWORD SwitchOn = 1;
inline constexpr DWORD SwitchOff = 0;

// One per switch, passed to ChangeDeviceState for every matching node.
struct SwitchContext {
    DWORD ChangedCount;      // nodes whose change went through completely
    DWORD StateChange;       // DICS_ENABLE or DICS_DISABLE
    DWORD RestartNeeded;     // an enable waits for a restart to take effect
    const char* DoneText;    // status texts of the direction; nothing reads them
    const char* RestartText;
    const char* FailedText;
};

// The pause after the vendor command and between disable attempts; the retry bound.
inline constexpr DWORD SwitchPauseMs = 500;
inline constexpr int DisableRetries = 8;

// direction: nonzero = on, 0 = off. Returns EnumerateDevices' result when nonzero (2 when
// the device list could not be read), else 1 when a node changed and needs a restart,
// else 0.
DWORD SwitchRadioDevice(DWORD direction);
// The EnumerateDevices callback: changes one node as context (a SwitchContext) asks.
// Always 0, so the walk goes on to the next node.
DWORD ChangeDeviceState(HDEVINFO set, SP_DEVINFO_DATA* element, DWORD memberIndex, void* context);
