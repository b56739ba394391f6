#include "first_radio_state.h"

#include <setupapi.h>
#include <cfgmgr32.h>

#include <cstddef>
#include <cstring>

#include "device_enumeration.h"
#include "device_events.h"
#include "platform.h"
#include "radio_device_path.h"
#include "vendor_command.h"

namespace {

struct RadioNodes {
    bool Present = false;
    bool Disabled = false;  // some node is disabled (globally or in this profile)
};

DWORD NoteRadioNode(HDEVINFO, SP_DEVINFO_DATA* element, DWORD, void* context) {
    auto& nodes = *static_cast<RadioNodes*>(context);
    nodes.Present = true;
    ULONG status = 0, problem = 0;
    if (ServicePlatform.CM_Get_DevNode_Status(&status, &problem, element->DevInst, 0) == CR_SUCCESS &&
        (status & DN_HAS_PROBLEM) && problem == CM_PROB_DISABLED) {
        nodes.Disabled = true;
    }
    return 0;
}

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

}  // namespace

bool ReconcileRadioState() {
    // Taken before the radio is looked at: an event after it knows better than the look.
    const DWORD eventsSeen = RadioEventCount();
    RadioNodes nodes;
    if (EnumerateDevices(NoteRadioNode, &nodes, RadioInterfaceSelector) != 0 || !nodes.Present) return false;
    const Presence port = RadioPortInterface();
    if (port == Presence::Present) return ReconcileRadioStateValue(1, eventsSeen);
    if (port == Presence::Absent && nodes.Disabled) return ReconcileRadioStateValue(0, eventsSeen);
    return false;
}
