// Confirmation of a switch: polling the radio state value until the platform's
// Bluetooth stack has loaded (state not 0) or unloaded (state 0) for the radio.
#pragma once

#include <windows.h>

// At most this many passes, each examining the cached state, re-reading the value and
// pausing: 12 s in all.
inline constexpr int StackWaitPasses = 60;
inline constexpr DWORD StackWaitPollMs = 200;

// The first pass examines the state already cached, without reading first. Both return
// 0 once the target state is seen, ERROR_INVALID_PARAMETER on a time-out or when the
// value cannot be read; *examinedState receives the state examined last.
DWORD WaitUntilMsftBtStackLoaded(DWORD* examinedState);
DWORD WaitUntilMsftBtStackUnloaded(DWORD* examinedState);
