// Radio enumeration of bthprops.cpl, resolved from the system folder on first use.
// The service program does not import the module, so the service starts on machines
// without it; only the "install" command, which probes the radios, loads it.
// Where the module or a function is missing, the calls fail as "no radio".
#pragma once

#include <windows.h>
#include <bluetoothapis.h>

HBLUETOOTH_RADIO_FIND WINAPI LoadedBluetoothFindFirstRadio(BLUETOOTH_FIND_RADIO_PARAMS* params, HANDLE* radio);
BOOL WINAPI LoadedBluetoothFindNextRadio(HBLUETOOTH_RADIO_FIND search, HANDLE* radio);
DWORD WINAPI LoadedBluetoothGetRadioInfo(HANDLE radio, BLUETOOTH_RADIO_INFO* info);
BOOL WINAPI LoadedBluetoothFindRadioClose(HBLUETOOTH_RADIO_FIND search);
