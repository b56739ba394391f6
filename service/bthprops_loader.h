// Radio enumeration of bthprops.cpl, resolved from the system folder on first use.
// The service program does not import the module, so the service starts on machines
// without it; only the "install" command, which probes the radios, loads it.
// Where the module or a function is missing, the calls fail as "no radio".
#pragma once

#include <windows.h>
#include <bluetoothapis.h>

// The search's parameter record as this SDK's header declares it: const since mingw-w64 12,
// and a function of the seam must match the header's prototype exactly.
template <typename> struct FindFirstRadioPrototype;
template <typename Params>
struct FindFirstRadioPrototype<HBLUETOOTH_RADIO_FIND(WINAPI*)(Params*, HANDLE*)> {
    using Parameters = Params;
};
using FindRadioParams = FindFirstRadioPrototype<decltype(&::BluetoothFindFirstRadio)>::Parameters;

HBLUETOOTH_RADIO_FIND WINAPI LoadedBluetoothFindFirstRadio(FindRadioParams* params, HANDLE* radio);
BOOL WINAPI LoadedBluetoothFindNextRadio(HBLUETOOTH_RADIO_FIND search, HANDLE* radio);
DWORD WINAPI LoadedBluetoothGetRadioInfo(HANDLE radio, BLUETOOTH_RADIO_INFO* info);
BOOL WINAPI LoadedBluetoothFindRadioClose(HBLUETOOTH_RADIO_FIND search);
