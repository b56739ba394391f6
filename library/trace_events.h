// The library's trace events: each number with the debug text written beside it.
// One table serves the library's own reports and the decoding descriptions that
// trace viewers use, so the two cannot drift apart.
#pragma once

#include <windows.h>

enum TraceEventNumber : USHORT {
    EvProcessAttach = 10,
    EvAttachFailed = 11,
    EvProcessDetach = 12,
    EvThreadAttach = 13,
    EvThreadDetach = 14,
    EvKeyOpenFailed = 15,
    EvKeyOpened = 16,
    EvKeyClosed = 17,
    EvStateRead = 18,
    EvStateReadFailed = 19,
    EvKeyNotOpen = 20,
    EvInitEntry = 32,
    EvInitFailed = 33,
    EvInitDone = 34,
    EvDeInitEntry = 35,
    EvDeInitDone = 36,
    EvComposeFailed = 37,
    EvComposed = 38,
    EvBindFailed = 39,
    EvBound = 40,
    EvCallRaised = 41,
    EvStringFreeFailed = 42,
    EvStringFreed = 43,
    EvBindingFreeFailed = 44,
    EvBindingFreed = 45,
    EvIsEnabledEntry = 46,
    EvIsEnabledReadFailed = 47,
    EvIsEnabledState = 48,
    EvUnloadWaitEntry = 49,
    EvUnloadWaitTimeout = 50,
    EvUnloadWaitReadFailed = 51,
    EvStackUnloaded = 52,
    EvLoadWaitEntry = 53,
    EvLoadWaitTimeout = 54,
    EvLoadWaitReadFailed = 55,
    EvStackLoaded = 56,
    EvEnableRadioEntry = 67,
    EvInvalidParameter = 68,
    EvCurrentState = 69,
    EvRequestedState = 70,
    EvSwitchConfirmed = 89,
};

struct TraceEventEntry {
    TraceEventNumber Number;
    const char* Text;  // printf format of the debug text beside the event; null: none
    bool HasValue;     // the event carries one 32-bit value
};

inline constexpr TraceEventEntry TraceEventTable[] = {
    {EvProcessAttach, "DLL_PROCESS_ATTACH !!!\n", false},
    {EvAttachFailed, "DllMain FAILED! << ==\n", false},
    {EvProcessDetach, "DLL_PROCESS_DETACH\n", false},
    {EvThreadAttach, "DLL_THREAD_ATTACH\n", false},
    {EvThreadDetach, "DLL_THREAD_DETACH\n", false},
    {EvKeyOpenFailed, "OpenBtRadioKey: Could Not Open Registry key!!! \n", false},
    {EvKeyOpened, "OpenBtRadioKey: Registry Key Opened Successfully !!! \n", false},
    {EvKeyClosed, "CloseBtRadioKey: Closed Radio KEY Handle!!!\n", false},
    {EvStateRead, "QueryBtRadioKeyValue: Current BT RADIO STATE = %d \n", true},
    {EvStateReadFailed, "QueryBtRadioKeyValue: Could Not Retrieve Registry Key Value!!! \n", false},
    {EvKeyNotOpen, "QueryBtRadioKeyValue: Registry Key Not Opened SO FAR !!! \n", false},
    {EvInitEntry, "RadioDllInit == >> \n", false},
    {EvInitFailed, nullptr, false},
    {EvInitDone, "RadioDllInit << == \n", false},
    {EvDeInitEntry, "RadioDllDeInit == >> \n", false},
    {EvDeInitDone, "RadioDllDeInit << == \n", false},
    {EvComposeFailed, "%s: RpcStringBindingCompose FAILED !!!\n", false},
    {EvComposed, "%s: RpcStringBindingCompose PASSED !!!\n", false},
    {EvBindFailed, "%s: RpcBindingFromStringBinding FAILED !!!\n", false},
    {EvBound, "%s: RpcBindingFromStringBinding PASSED !!!\n", false},
    {EvCallRaised, "%s: RpcTryExcept FAILED !!!\n", false},
    {EvStringFreeFailed, "%s: RpcStringFree FAILED !!!\n", false},
    {EvStringFreed, "%s: RpcStringFree PASSED !!!\n", false},
    {EvBindingFreeFailed, "%s: RpcBindingFree FAILED !!!\n", false},
    {EvBindingFreed, "%s: RpcBindingFree PASSED !!!\n", false},
    {EvIsEnabledEntry, "%s: IsBluetoothRadioEnabled ==>> \n", false},
    {EvIsEnabledReadFailed, nullptr, false},
    {EvIsEnabledState, "%s IsBluetoothRadioEnabled << == RADIO STATE = %d \n", true},
    {EvUnloadWaitEntry, "%s: WaitUntilMsftBtStackUnloaded ==>> \n", false},
    {EvUnloadWaitTimeout, "TIMEOUT OCCURED!!! << == \n", false},
    {EvUnloadWaitReadFailed, "QueryBtRadioKeyValue FAILED!!! << == \n", false},
    {EvStackUnloaded, "BT Stack Unloads SUCCESSFULLY !!! << == \n", false},
    {EvLoadWaitEntry, "%s: WaitUntilMsftBtStackLoaded ==>> \n", false},
    {EvLoadWaitTimeout, "TIMEOUT OCCURED!!! << == \n", false},
    {EvLoadWaitReadFailed, "QueryBtRadioKeyValue FAILED!!! << == \n", false},
    {EvStackLoaded, "BT Stack LOADS SUCCESSFULLY !!! << == \n", false},
    {EvEnableRadioEntry, "%s: BluetoothEnableRadio ==>> \n", false},
    {EvInvalidParameter, "BluetoothEnableRadio: Invalid Parameter!!! << == \n", false},
    {EvCurrentState, "BluetoothEnableRadio: Current Radio State == %d \n", true},
    {EvRequestedState, "BluetoothEnableRadio: Requested Radio State == %d \n", true},
    {EvSwitchConfirmed, "%s; BluetoothEnableRadio << == \n", false},
};

// Not constexpr: reaching it while evaluating FindTraceEvent fails the build.
const TraceEventEntry& TraceEventMissingFromTable();

consteval const TraceEventEntry& FindTraceEvent(TraceEventNumber number) {
    for (const TraceEventEntry& entry : TraceEventTable)
        if (entry.Number == number) return entry;
    return TraceEventMissingFromTable();
}

// The debug text beside event N, resolved at compile time.
template <TraceEventNumber N>
inline constexpr const char* TraceEventText = FindTraceEvent(N).Text;
