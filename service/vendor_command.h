// The vendor-specific HCI command sent to the radio through the Bluetooth port driver
// before every disable. Every outcome is ignored by the switch: the disable goes ahead.
#pragma once

#include <windows.h>
#include <setupapi.h>

// The Bluetooth port driver's device interface class, {0850302A-B344-4FDA-9BE9-90576B8D46F0}.
inline constexpr GUID BthPortInterfaceClass = {0x0850302A, 0xB344, 0x4FDA, {0x9B, 0xE9, 0x90, 0x57, 0x6B, 0x8D, 0x46, 0xF0}};
// IOCTL_BTH_HCI_VENDOR_COMMAND of the port driver.
inline constexpr DWORD IoctlBthHciVendorCommand = 0x410050;
// Bluetooth company identifier of the radio's maker, sent as the request's manufacturer.
inline constexpr ULONG RadioManufacturerId = 0x0B3D;

struct VendorHciCommand {
    USHORT OpCode;           // opcode group field in the top 6 bits, command field in the low 10
    BYTE ParameterLength;    // bytes at Parameters
    const BYTE* Parameters;  // may be null when ParameterLength is 0
};

// Vendor-specific group 0x3F, command 0x00A, no parameters.
inline constexpr VendorHciCommand RadioOffCommand = {0xFC0A, 0, nullptr};

// One interface's detail record; the union aligns the record, whose size may be padded
// beyond the buffer size passed.
struct InterfaceDetail {
    union {
        SP_DEVICE_INTERFACE_DETAIL_DATA_A Data;
        BYTE Bytes[2022];
    };
};
// Reads the detail of an interface of the list into `detail`, cleared first; false when
// the platform cannot tell it.
bool ReadInterfaceDetail(HDEVINFO list, SP_DEVICE_INTERFACE_DATA* interfaceData, InterfaceDetail& detail);

// Enables SeLoadDriverPrivilege in the process token; a failing step ends it silently.
void EnableLoadDriverPrivilege();
// Opens the first present interface of the class for reading and writing, exclusively;
// INVALID_HANDLE_VALUE when there is none or it cannot be opened. A failing interface
// query is asked again a bounded number of times before the interface counts as absent.
HANDLE OpenFirstInterface(const GUID& interfaceClass);
// True when the port driver accepted the command; false without sending when `port` is
// INVALID_HANDLE_VALUE. Synchronous; the response is not looked at.
bool SendVendorHciCommand(HANDLE port, const VendorHciCommand& command);
// What an off switch does before disabling: privilege, open the first Bluetooth port
// interface, send RadioOffCommand, close. The handle belongs to this call alone, so two
// off switches running at once never share one.
void SendRadioOffCommand();
