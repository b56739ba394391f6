#include "device_switch.h"

#include "device_enumeration.h"
#include "event_log.h"
#include "platform.h"
#include "service_state.h"
#include "vendor_command.h"

namespace {

static_assert(sizeof(SP_CLASSINSTALL_HEADER) == 8);
static_assert(sizeof(SP_PROPCHANGE_PARAMS) == 20);

bool StoreChange(HDEVINFO set, SP_DEVINFO_DATA* element, DWORD stateChange, DWORD scope) {
    SP_PROPCHANGE_PARAMS params{};
    params.ClassInstallHeader.cbSize = sizeof params.ClassInstallHeader;
    params.ClassInstallHeader.InstallFunction = DIF_PROPERTYCHANGE;
    params.StateChange = stateChange;
    params.Scope = scope;
    params.HwProfile = 0;  // the current hardware profile
    return ServicePlatform.SetupDiSetClassInstallParamsA(set, element, &params.ClassInstallHeader, sizeof params) !=
           FALSE;
}

bool CallInstaller(HDEVINFO set, SP_DEVINFO_DATA* element) {
    return ServicePlatform.SetupDiCallClassInstaller(DIF_PROPERTYCHANGE, set, element) != FALSE;
}

// Returns the node to the state it had before this attempt; nothing more can be done if it fails.
void Restore(HDEVINFO set, SP_DEVINFO_DATA* element, DWORD stateChange) {
    StoreChange(set, element, stateChange, DICS_FLAG_GLOBAL);
    CallInstaller(set, element);
}

// A failed node releases the waiting request at once: no device event will come for it.
DWORD Release() {
    if (SwitchDoneEvent) ServicePlatform.SetEvent(SwitchDoneEvent);
    return 0;
}

// An off switch that would take effect only at the next boot would leave the radio
// running while the state says on, and off for good after the boot while it still says
// on: the node is enabled again, so the radio, its node and the state agree, and the
// switch counts as failed.
DWORD PutBackRunning(HDEVINFO set, SP_DEVINFO_DATA* element) {
    ReportChangeWaitsForRestart(SwitchOff, *element);
    Restore(set, element, DICS_ENABLE);
    return Release();
}

// A change that another handle vetoed goes through but takes effect only at the next
// restart; the class installer says so in the element's install parameters. Unreadable
// parameters are taken as a change that took effect.
bool WaitsForRestart(HDEVINFO set, SP_DEVINFO_DATA* element) {
    SP_DEVINSTALL_PARAMS_A params{};
    params.cbSize = sizeof params;
    if (!ServicePlatform.SetupDiGetDeviceInstallParamsA(set, element, &params)) return false;
    return (params.Flags & (DI_NEEDRESTART | DI_NEEDREBOOT)) != 0;
}

bool CallInstallerWithRetries(HDEVINFO set, SP_DEVINFO_DATA* element) {
    if (CallInstaller(set, element)) return true;
    for (int retry = 0; retry < DisableRetries; ++retry) {
        ServicePlatform.Sleep(SwitchPauseMs);
        if (CallInstaller(set, element)) return true;
    }
    return false;
}

struct DirectionTexts {
    const char* Done;
    const char* Restart;
    const char* Failed;
};
constexpr DirectionTexts EnableTexts = {"Enabled", "Enabled on reboot", "Enable failed"};
constexpr DirectionTexts DisableTexts = {"Disabled", "Disabled on reboot", "Disable failed"};

}  // namespace

DWORD ChangeDeviceState(HDEVINFO set, SP_DEVINFO_DATA* element, DWORD, void* context) {
    auto& change = *static_cast<SwitchContext*>(context);
    const DWORD direction = change.StateChange == DICS_ENABLE ? SwitchOn : SwitchOff;
    DWORD finalScope;
    if (change.StateChange == DICS_ENABLE) {
        if (!StoreChange(set, element, DICS_ENABLE, DICS_FLAG_GLOBAL)) {
            ReportSwitchNodeFailed(direction, *element, "SetupDiSetClassInstallParamsA", GetLastError());
            return Release();
        }
        if (!CallInstaller(set, element)) {
            ReportSwitchNodeFailed(direction, *element, "SetupDiCallClassInstaller", GetLastError());
            Restore(set, element, DICS_DISABLE);
            return Release();
        }
        finalScope = DICS_FLAG_CONFIGSPECIFIC;
    } else {
        if (!StoreChange(set, element, DICS_DISABLE, DICS_FLAG_GLOBAL)) {
            ReportSwitchNodeFailed(direction, *element, "SetupDiSetClassInstallParamsA", GetLastError());
            Restore(set, element, DICS_ENABLE);
            return Release();
        }
        if (!CallInstallerWithRetries(set, element)) {
            ReportSwitchNodeFailed(direction, *element, "SetupDiCallClassInstaller", GetLastError());
            return Release();
        }
        if (WaitsForRestart(set, element)) return PutBackRunning(set, element);
        finalScope = DICS_FLAG_GLOBAL;
    }

    if (!StoreChange(set, element, change.StateChange, finalScope)) {
        ReportSwitchNodeFailed(direction, *element, "SetupDiSetClassInstallParamsA", GetLastError());
        return Release();
    }
    if (!CallInstaller(set, element)) {
        ReportSwitchNodeFailed(direction, *element, "SetupDiCallClassInstaller", GetLastError());
        return Release();
    }
    if (WaitsForRestart(set, element)) {
        if (direction == SwitchOff) return PutBackRunning(set, element);
        // The radio comes back at the next boot, and its arrival then writes the state.
        ReportChangeWaitsForRestart(direction, *element);
        change.RestartNeeded = 1;
        ++change.ChangedCount;
        return Release();
    }
    ++change.ChangedCount;
    return 0;
}

DWORD SwitchRadioDevice(DWORD direction) {
    const bool on = direction != SwitchOff;
    const DirectionTexts& texts = on ? EnableTexts : DisableTexts;
    SwitchContext context = {0, on ? DWORD{DICS_ENABLE} : DWORD{DICS_DISABLE}, 0, texts.Done, texts.Restart,
                             texts.Failed};

    if (!on) {
        SendRadioOffCommand();
        ServicePlatform.Sleep(SwitchPauseMs);
    }

    DWORD result = EnumerateDevices(ChangeDeviceState, &context, RadioInterfaceSelector);
    if (result != 0) return result;
    return (context.ChangedCount != 0 && context.RestartNeeded) ? 1 : 0;
}
