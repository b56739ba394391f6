#include "radio_state_reconcile.h"

#include <setupapi.h>

#include <cstddef>
#include <cstring>

#include "device_events.h"
#include "platform.h"
#include "radio_device_path.h"
#include "service_state.h"
#include "vendor_command.h"

namespace {

enum class Presence { Absent, Present, Unknown };

// Whether a present Bluetooth port interface belongs to the radio.
Presence RadioPortInterface() {
    HDEVINFO list = ServicePlatform.SetupDiGetClassDevsA(&BthPortInterfaceClass, nullptr, nullptr,
                                                         DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (list == INVALID_HANDLE_VALUE) return Presence::Unknown;
    InterfaceDetail detail;
    Presence presence = Presence::Absent;
    for (DWORD index = 0; presence == Presence::Absent; ++index) {
        SP_DEVICE_INTERFACE_DATA interfaceData{};
        interfaceData.cbSize = sizeof interfaceData;
        if (!ServicePlatform.SetupDiEnumDeviceInterfaces(list, nullptr, &BthPortInterfaceClass, index, &interfaceData)) {
            if (GetLastError() != ERROR_NO_MORE_ITEMS) presence = Presence::Unknown;
            break;
        }
        if (!ReadInterfaceDetail(list, &interfaceData, detail)) {
            presence = Presence::Unknown;
        } else if (NamesRadioInterface(detail.Data.DevicePath,
                                       strnlen(detail.Data.DevicePath, sizeof detail.Bytes - offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath)))) {
            presence = Presence::Present;
        }
    }
    ServicePlatform.SetupDiDestroyDeviceInfoList(list);
    return presence;
}

// Made on first use, kept until the process ends.
SRWLOCK ReconcileWorkLock = SRWLOCK_INIT;
PTP_WORK ReconcileWork;

void CALLBACK RunReconcile(PTP_CALLBACK_INSTANCE, PVOID, PTP_WORK) { ReconcileRadioState(); }

}  // namespace

bool ReconcileRadioState() {
    // Taken before the radio is looked at: an event after it knows better than the look.
    const DWORD eventsSeen = RadioEventCount();
    const Presence port = RadioPortInterface();
    if (port == Presence::Unknown) return false;
    const DWORD state = port == Presence::Present ? 1 : 0;
    if (!ReconcileRadioStateValue(state, eventsSeen)) return false;
    // As a device event would: a request waiting for this change has it now.
    if (SwitchDoneEvent) ServicePlatform.SetEvent(SwitchDoneEvent);
    return true;
}

void ReconcileRadioStateSoon() {
    AcquireSRWLockExclusive(&ReconcileWorkLock);
    if (!ReconcileWork) ReconcileWork = CreateThreadpoolWork(RunReconcile, nullptr, nullptr);
    if (ReconcileWork) SubmitThreadpoolWork(ReconcileWork);
    ReleaseSRWLockExclusive(&ReconcileWorkLock);
}

void WaitForRadioStateReconciles() {
    AcquireSRWLockShared(&ReconcileWorkLock);
    const PTP_WORK work = ReconcileWork;
    ReleaseSRWLockShared(&ReconcileWorkLock);
    if (work) WaitForThreadpoolWorkCallbacks(work, FALSE);
}
