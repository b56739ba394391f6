// The library's two exports, called by the platform's Bluetooth radio management on
// its own threads. Exported by name only (radioswitch.def).
#pragma once

#include <windows.h>

extern "C" {

// Switches the radio on (1) or off (0) through the service and returns once the state
// value confirms it: 0; ERROR_INVALID_PARAMETER for any other argument or an unreadable
// value; ERROR_FUNCTION_FAILED when the request could not be sent or the state did not
// come. A call made while another switch is under way is refused at once with
// ERROR_FUNCTION_FAILED and sends nothing.
DWORD WINAPI BluetoothEnableRadio(BOOL enable);

// Stores the radio state (0 = off, 1 to 255 = on) in *enabled and returns 0; returns
// ERROR_INVALID_PARAMETER, leaving *enabled as it was, when the value cannot be read
// or enabled is null.
DWORD WINAPI IsBluetoothRadioEnabled(BOOL* enabled);
}
