// Completion side of a switch: the radio's Bluetooth port interface arriving or going
// is published in ZentRadioState and then releases the waiting request.
#pragma once

#include <windows.h>
#include <dbt.h>

// The open Radio Support key; opened by the first radio event, kept until exit.
extern HKEY RadioSupportKey;

// Interface 0 of the radio's USB device as it appears in a device path, after the
// four-character prefix ("\\?\") that begins every path.
inline constexpr wchar_t RadioDevicePathPattern[] = L"USB#VID_7A5C&PID_0C31&MI_00";
inline constexpr size_t RadioDevicePathOffset = 4;

// Called by the control handler for SERVICE_CONTROL_DEVICEEVENT while not paused.
// Arrival writes 1, removal complete writes 0, then SwitchDoneEvent is set; every
// other event is ignored. Always returns NO_ERROR.
DWORD HandleRadioDeviceEvent(DWORD eventType, const DEV_BROADCAST_HDR* eventData);

// True when the record's path carries the pattern at RadioDevicePathOffset (exact case).
bool IsRadioDevicePath(const DEV_BROADCAST_DEVICEINTERFACE_W* record);

// Opens RadioSupportKey unless it is already open.
bool OpenRadioSupportKey();

// Writes ZentRadioState as a REG_DWORD; true when the registry accepted it.
bool WriteRadioState(DWORD state);
