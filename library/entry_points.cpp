#include "entry_points.h"

#include "diagnostics.h"
#include "platform.h"
#include "radio_key.h"
#include "request_client.h"
#include "stack_wait.h"

namespace {

constexpr char EnableRadioName[] = "BluetoothEnableRadio";
constexpr char IsEnabledName[] = "IsBluetoothRadioEnabled";
// Extra settling time once the radio is confirmed off.
constexpr DWORD SwitchedOffPauseMs = 500;

// The request client keeps one module-wide binding, so switches run one at a time.
// Held from the first read of the state to the end of the wait, so that each switch
// starts from the state the one before it left. A switch can hold it for over two
// minutes (the service's 120 s wait, then the polls): a call that finds it held is
// refused at once rather than kept waiting behind it. Statically initialised: nothing
// to create in DllMain.
SRWLOCK SwitchLock = SRWLOCK_INIT;

DWORD RejectInvalidParameter() {
    Report<EvInvalidParameter>();
    return ERROR_INVALID_PARAMETER;
}

// The texts of a request that could not be sent.
DWORD RequestFailed(DWORD requested) {
    DebugPrint(requested == 1 ? "BluetoothEnableRadio:: FAILED TO ENABLE ZENTRIK USB BT RADIO !!!\n"
                              : "BluetoothEnableRadio:: FAILED TO DISABLE ZENTRIK USB BT RADIO !!!\n");
    return ERROR_FUNCTION_FAILED;
}

DWORD SwitchOn() {
    if (EnableDisableUSBBtDevice(1) != 0) return RequestFailed(1);
    DebugPrint("%s; BluetoothEnableRadio ==>> ENABLE USB BT RADIO PASSED !!! \n", EnableRadioName);
    DWORD examined = 0;
    const DWORD waited = WaitUntilMsftBtStackLoaded(&examined);
    DebugPrint("BluetoothEnableRadio:: WaitUntilMsftBtStackLoaded Returned!!!\n");
    if (waited != ERROR_SUCCESS || examined == 0) return ERROR_FUNCTION_FAILED;
    DebugPrint("%s; BluetoothEnableRadio ==>> USB BT RADIO RF SWITCHED ON!!! \n", EnableRadioName);
    return ERROR_SUCCESS;
}

DWORD SwitchOff() {
    if (EnableDisableUSBBtDevice(0) != 0) return RequestFailed(0);
    DebugPrint("%s; BluetoothEnableRadio ==>> DISABLE USB BT RADIO PASSED !!! \n", EnableRadioName);
    DWORD examined = 0;
    const DWORD waited = WaitUntilMsftBtStackUnloaded(&examined);
    DebugPrint("BluetoothEnableRadio:: WaitUntilMsftBtStackUnloaded Returned!!!\n");
    if (waited != ERROR_SUCCESS || examined != 0) return ERROR_FUNCTION_FAILED;
    LibraryPlatform.Sleep(SwitchedOffPauseMs);
    DebugPrint("%s; BluetoothEnableRadio ==>> USB BT RADIO RF SWITCHED OFF!!! \n", EnableRadioName);
    return ERROR_SUCCESS;
}

// Runs under SwitchLock. The request is sent whatever the current state is.
DWORD SwitchRadio(DWORD requested) {
    if (QueryBtRadioKeyValue() != true) return RejectInvalidParameter();
    const BYTE current = RadioLibraryContext->RadioState;
    ReportValue<EvCurrentState>(current, static_cast<int>(current));
    ReportValue<EvRequestedState>(requested, static_cast<int>(requested));
    const DWORD result = requested == 1 ? SwitchOn() : SwitchOff();
    // Failures have reported themselves; nothing is retried or rolled back.
    if (result == ERROR_SUCCESS) Report<EvSwitchConfirmed>(EnableRadioName);
    return result;
}

}  // namespace

extern "C" DWORD WINAPI BluetoothEnableRadio(BOOL enable) {
    Report<EvEnableRadioEntry>(EnableRadioName);
    const DWORD requested = static_cast<DWORD>(enable);
    if (requested > 1) return RejectInvalidParameter();
    // Another switch is under way: this one is not sent, as if the service were unreachable.
    if (!TryAcquireSRWLockExclusive(&SwitchLock)) return RequestFailed(requested);
    const DWORD result = SwitchRadio(requested);
    ReleaseSRWLockExclusive(&SwitchLock);
    return result;
}

extern "C" DWORD WINAPI IsBluetoothRadioEnabled(BOOL* enabled) {
    Report<EvIsEnabledEntry>(IsEnabledName);
    // No place for the answer: nothing is read and nothing is written.
    if (!enabled) return ERROR_INVALID_PARAMETER;
    if (QueryBtRadioKeyValue() != true) {
        TracePoint(EvIsEnabledReadFailed);
        return ERROR_INVALID_PARAMETER;
    }
    const BYTE state = RadioLibraryContext->RadioState;
    *enabled = state;
    ReportValue<EvIsEnabledState>(state, IsEnabledName, static_cast<int>(state));
    return ERROR_SUCCESS;
}
