// Finding the radio's device nodes: a walk over every present node of the machine that
// calls back for each node whose hardware or compatible IDs match a hardware-ID pattern.
#pragma once

#include <windows.h>
#include <cfgmgr32.h>
#include <setupapi.h>

// The composite USB device, and its interface 0 (the Bluetooth function).
inline constexpr char CompositeDeviceHardwareId[] = "USB\\VID_7A5C&PID_0C31";
inline constexpr char RadioInterfaceHardwareId[] = "USB\\VID_7A5C&PID_0C31&MI_00";
// Selectors of EnumerateDevices: 0 picks the composite device, any other value the radio
// interface. The switch always passes RadioInterfaceSelector.
inline constexpr DWORD CompositeDeviceSelector = 0;
inline constexpr DWORD RadioInterfaceSelector = 1;

// A parsed pattern; it points into the pattern text, which must outlive it.
struct IdentifierToken {
    const char* PatternStart;  // after a leading "@" and a leading "'"
    const char* WildcardAt;    // first "*" at or after PatternStart; null when none or quoted
    DWORD IsInstancePattern;   // 1 when the pattern began with "@"
};

// The strings of one multi-string buffer, ended by a null pointer. The slot before the
// first element holds the buffer's address, so the list is freed from its first element
// alone; the list owns the array and the buffer (both from the process heap).
using IdList = char**;

// Called for each matching node; 0 goes on, any other value ends the walk and becomes its result.
using DeviceCallback = DWORD (*)(HDEVINFO set, SP_DEVINFO_DATA* element, DWORD memberIndex, void* context);

// Room for a node's instance ID, terminator included.
inline constexpr DWORD DeviceInstanceIdSize = 200;
// The node's instance ID (CM_Get_Device_ID_ExA on `machine`, null for the local one);
// empty when it cannot be read.
void ReadDeviceInstanceId(DEVINST node, HMACHINE machine, char (&id)[DeviceInstanceIdSize]);

// 0 when every present node was visited; 2 when the token or the device list could not be
// had; otherwise the first nonzero callback result.
DWORD EnumerateDevices(DeviceCallback callback, void* context, DWORD selector);

IdentifierToken* ParseIdentifierToken(IdentifierToken* token, const char* pattern);
// SPDRP_HARDWAREID or SPDRP_COMPATIBLEIDS of the node; null when the property cannot be
// read as a list (missing, of another type and too large, or out of memory).
IdList GetDeviceIdList(HDEVINFO set, SP_DEVINFO_DATA* element, DWORD property);
// Takes ownership of a double-zero-terminated buffer from the process heap; null (the
// buffer staying with the caller) when memory runs out.
IdList SplitMultiSz(char* buffer);
// Null is ignored.
void FreeIdList(IdList list);
// True when any ID of the list matches; a null list never matches. Letters are compared
// without regard to case (ASCII folding).
bool MatchIdentifierList(IdList list, const IdentifierToken* token);
