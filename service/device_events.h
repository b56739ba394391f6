// Completion side of a switch: the radio's Bluetooth port interface arriving or going
// is published in ZentRadioState and then releases the waiting request.
#pragma once

#include <windows.h>
#include <dbt.h>

// The open Radio Support key; opened by the first radio event, kept until exit (or until
// the key is found deleted).
extern HKEY RadioSupportKey;

// Called by the control handler for SERVICE_CONTROL_DEVICEEVENT while not paused.
// Arrival writes 1, removal complete writes 0, then SwitchDoneEvent is set; every
// other event is ignored. Always returns NO_ERROR.
DWORD HandleRadioDeviceEvent(DWORD eventType, const DEV_BROADCAST_HDR* eventData);

// True when the record's path names the radio's interface (NamesRadioInterface).
bool IsRadioDevicePath(const DEV_BROADCAST_DEVICEINTERFACE_W* record);

// Opens RadioSupportKey unless it is already open.
bool OpenRadioSupportKey();

// Writes ZentRadioState as a REG_DWORD; true when the registry accepted it. A key
// deleted since it was opened is let go and opened again, so that a key made anew is written.
bool WriteRadioState(DWORD state);

// How many radio events have reached the handler so far. A reading of the radio taken
// after this count is older than any event that raises it.
DWORD RadioEventCount();
// Writes state where ZentRadioState does not already hold it, unless a radio event
// has come since the count was `eventsSeen`: the event's state is newer than the
// reading. One step with respect to device events; true when it wrote. A key that
// can't be opened or read is not reported: nothing was written.
bool ReconcileRadioStateValue(DWORD state, DWORD eventsSeen);
