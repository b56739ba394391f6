// The library's trace events: each number with the debug text written beside it.
// One table serves the library's own reports and the decoding descriptions that
// trace viewers use (tools/tracefmt), so the two cannot drift apart. Free of
// platform headers so that a build-host tool can read it too.
#pragma once

enum TraceEventNumber : unsigned short {
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
    const char* Text;    // printf format of the debug text beside the event; null: none
    bool HasValue;       // the event carries one 32-bit value
    const char* Sender;  // the operation that sends it; also what a "%s" in Text names
};

inline constexpr TraceEventEntry TraceEventTable[] = {
    {EvProcessAttach, "DLL_PROCESS_ATTACH !!!\n", false, "DllMain"},
    {EvAttachFailed, "DllMain FAILED! << ==\n", false, "DllMain"},
    {EvProcessDetach, "DLL_PROCESS_DETACH\n", false, "DllMain"},
    {EvThreadAttach, "DLL_THREAD_ATTACH\n", false, "DllMain"},
    {EvThreadDetach, "DLL_THREAD_DETACH\n", false, "DllMain"},
    {EvKeyOpenFailed, "OpenBtRadioKey: Could Not Open Registry key!!! \n", false, "OpenBtRadioKey"},
    {EvKeyOpened, "OpenBtRadioKey: Registry Key Opened Successfully !!! \n", false, "OpenBtRadioKey"},
    {EvKeyClosed, "CloseBtRadioKey: Closed Radio KEY Handle!!!\n", false, "RadioDllDeInit"},
    {EvStateRead, "QueryBtRadioKeyValue: Current BT RADIO STATE = %d \n", true, "QueryBtRadioKeyValue"},
    {EvStateReadFailed, "QueryBtRadioKeyValue: Could Not Retrieve Registry Key Value!!! \n", false, "QueryBtRadioKeyValue"},
    {EvKeyNotOpen, "QueryBtRadioKeyValue: Registry Key Not Opened SO FAR !!! \n", false, "QueryBtRadioKeyValue"},
    {EvInitEntry, "RadioDllInit == >> \n", false, "RadioDllInit"},
    {EvInitFailed, nullptr, false, "RadioDllInit"},
    {EvInitDone, "RadioDllInit << == \n", false, "RadioDllInit"},
    {EvDeInitEntry, "RadioDllDeInit == >> \n", false, "RadioDllDeInit"},
    {EvDeInitDone, "RadioDllDeInit << == \n", false, "RadioDllDeInit"},
    {EvComposeFailed, "%s: RpcStringBindingCompose FAILED !!!\n", false, "EnableDisableUSBBtDevice"},
    {EvComposed, "%s: RpcStringBindingCompose PASSED !!!\n", false, "EnableDisableUSBBtDevice"},
    {EvBindFailed, "%s: RpcBindingFromStringBinding FAILED !!!\n", false, "EnableDisableUSBBtDevice"},
    {EvBound, "%s: RpcBindingFromStringBinding PASSED !!!\n", false, "EnableDisableUSBBtDevice"},
    {EvCallRaised, "%s: RpcTryExcept FAILED !!!\n", false, "EnableDisableUSBBtDevice"},
    {EvStringFreeFailed, "%s: RpcStringFree FAILED !!!\n", false, "EnableDisableUSBBtDevice"},
    {EvStringFreed, "%s: RpcStringFree PASSED !!!\n", false, "EnableDisableUSBBtDevice"},
    {EvBindingFreeFailed, "%s: RpcBindingFree FAILED !!!\n", false, "EnableDisableUSBBtDevice"},
    {EvBindingFreed, "%s: RpcBindingFree PASSED !!!\n", false, "EnableDisableUSBBtDevice"},
    {EvIsEnabledEntry, "%s: IsBluetoothRadioEnabled ==>> \n", false, "IsBluetoothRadioEnabled"},
    {EvIsEnabledReadFailed, nullptr, false, "IsBluetoothRadioEnabled"},
    {EvIsEnabledState, "%s IsBluetoothRadioEnabled << == RADIO STATE = %d \n", true, "IsBluetoothRadioEnabled"},
    {EvUnloadWaitEntry, "%s: WaitUntilMsftBtStackUnloaded ==>> \n", false, "WaitUntilMsftBtStackUnloaded"},
    {EvUnloadWaitTimeout, "TIMEOUT OCCURED!!! << == \n", false, "WaitUntilMsftBtStackUnloaded"},
    {EvUnloadWaitReadFailed, "QueryBtRadioKeyValue FAILED!!! << == \n", false, "WaitUntilMsftBtStackUnloaded"},
    {EvStackUnloaded, "BT Stack Unloads SUCCESSFULLY !!! << == \n", false, "WaitUntilMsftBtStackUnloaded"},
    {EvLoadWaitEntry, "%s: WaitUntilMsftBtStackLoaded ==>> \n", false, "WaitUntilMsftBtStackLoaded"},
    {EvLoadWaitTimeout, "TIMEOUT OCCURED!!! << == \n", false, "WaitUntilMsftBtStackLoaded"},
    {EvLoadWaitReadFailed, "QueryBtRadioKeyValue FAILED!!! << == \n", false, "WaitUntilMsftBtStackLoaded"},
    {EvStackLoaded, "BT Stack LOADS SUCCESSFULLY !!! << == \n", false, "WaitUntilMsftBtStackLoaded"},
    {EvEnableRadioEntry, "%s: BluetoothEnableRadio ==>> \n", false, "BluetoothEnableRadio"},
    {EvInvalidParameter, "BluetoothEnableRadio: Invalid Parameter!!! << == \n", false, "BluetoothEnableRadio"},
    {EvCurrentState, "BluetoothEnableRadio: Current Radio State == %d \n", true, "BluetoothEnableRadio"},
    {EvRequestedState, "BluetoothEnableRadio: Requested Radio State == %d \n", true, "BluetoothEnableRadio"},
    {EvSwitchConfirmed, "%s; BluetoothEnableRadio << == \n", false, "BluetoothEnableRadio"},
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
