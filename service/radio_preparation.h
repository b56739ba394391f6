// Install-time preparation of the radio's USB interface: when a radio of the vendor
// is present, every instance of the interface is marked able and allowed to wake
// the system. Runs only in the "install" command process, never in the service.
#pragma once

#include <windows.h>
#include <bluetoothapis.h>

#include <array>

// Company identifier, most significant byte first; a Bluetooth address stores it in
// its bytes 5, 4 and 3.
inline constexpr std::array<BYTE, 3> VendorCompanyId = {0x2C, 0xE7, 0x1A};
// Each radio that is not the vendor's costs this pause during the probe.
inline constexpr DWORD NonVendorRadioPauseMs = 500;

// HKEY_LOCAL_MACHINE subkey whose subkeys are the instances of the radio's interface 0.
inline constexpr char RadioEnumeratorKeyPath[] = "SYSTEM\\CurrentControlSet\\Enum\\USB\\VID_7A5C&PID_0C31&MI_00";
// Below an instance's key: where the two values go.
inline constexpr char DeviceParametersSubkey[] = "Device Parameters";
// Written as REG_DWORD 1, in this order; the second only if the first was written.
inline constexpr char RemoteWakeEnabledValue[] = "RemoteWakeEnabled";
inline constexpr char DeviceRemoteWakeSupportedValue[] = "DeviceRemoteWakeSupported";
// The instance key path, terminator included, must fit this many bytes.
inline constexpr size_t InstanceKeyPathSize = 200;

// Walks the local radios through ServicePlatform until one carries the vendor's
// company identifier; true only when one did and the search closed cleanly.
bool IsVendorRadioPresent();

// Writes both values under every instance's "Device Parameters" key that can be
// opened. False when the enumerator key cannot be opened, else true. A name that
// does not fit the instance key path is skipped; an enumeration error other than
// the end of the list ends the walk.
bool EnableRadioRemoteWake();
