// The device links: the radio's nodes, found with the service's own enumeration and
// matching, and the radio's Bluetooth port interface against ZentRadioState.
#include <windows.h>
#include <bthdef.h>
#include <cfgmgr32.h>

#include "device_enumeration.h"
#include "doctor_checks.h"
#include "radio_contract.h"
#include "radio_device_path.h"
#include "tool_environment.h"

namespace {

struct FoundNodes {
    std::string Text;
    unsigned Count = 0;
    bool Troubled = false;  // a problem other than "disabled", or a state that could not be read
};

DWORD RecordNode(HDEVINFO set, SP_DEVINFO_DATA* element, DWORD, void* context) {
    auto* found = static_cast<FoundNodes*>(context);
    char instanceId[MAX_DEVICE_ID_LEN + 1] = {};
    if (!SetupDiGetDeviceInstanceIdA(set, element, instanceId, sizeof instanceId, nullptr))
        lstrcpynA(instanceId, "(instance ID unreadable)", sizeof instanceId);
    ULONG status = 0, problem = 0;
    const CONFIGRET result = CM_Get_DevNode_Status(&status, &problem, element->DevInst, 0);
    std::string state;
    if (result != CR_SUCCESS) {
        state = Format("state unreadable, configuration manager result %lu", result);
        found->Troubled = true;
    } else if (status & DN_HAS_PROBLEM) {
        state = problem == CM_PROB_DISABLED ? std::string("disabled") : Format("problem code %lu", problem);
        found->Troubled = found->Troubled || problem != CM_PROB_DISABLED;
    } else {
        state = status & DN_STARTED ? "started" : "present, not started";
    }
    found->Text += std::string(found->Count++ ? ", " : "") + instanceId + " (" + state + ")";
    return 0;
}

}  // namespace

LinkReport CheckDeviceNodes() {
    LinkReport link{"device-nodes", LinkStatus::Ok, "", ""};
    FoundNodes radio, composite;
    const DWORD radioWalk = EnumerateDevices(RecordNode, &radio, RadioInterfaceSelector);
    const DWORD compositeWalk = EnumerateDevices(RecordNode, &composite, CompositeDeviceSelector);
    if (radioWalk != 0 || compositeWalk != 0) {
        link.Status = LinkStatus::Warning;
        link.Found = "the device list could not be read";
        link.Remedy = "check the radio in Device Manager";
        return link;
    }
    link.Found = radio.Count ? std::string(RadioInterfaceHardwareId) + ": " + radio.Text
                             : std::string("no present node has the hardware or compatible ID ") +
                                   RadioInterfaceHardwareId;
    link.Found += composite.Count ? std::string("; composite device ") + CompositeDeviceHardwareId + ": " + composite.Text
                                  : std::string("; no node of the composite device ") + CompositeDeviceHardwareId;
    if (!radio.Count) {
        link.Status = LinkStatus::Broken;
        link.Remedy = composite.Count
                          ? "the USB device is there but not its Bluetooth interface: check its driver in Device Manager"
                          : "plug the radio in; if it is plugged in, look for the USB device in Device Manager";
    } else if (radio.Troubled || composite.Troubled || !composite.Count) {
        link.Status = LinkStatus::Warning;
        link.Remedy = "a node with a problem code cannot be switched reliably: see its properties in Device Manager";
    }
    return link;
}

LinkReport CheckPortInterface(const RadioStateReading& state) {
    LinkReport link{"port-interface", LinkStatus::Ok, "", ""};
    HDEVINFO set = SetupDiGetClassDevsA(&GUID_BTHPORT_DEVICE_INTERFACE, nullptr, nullptr,
                                        DIGCF_DEVICEINTERFACE | DIGCF_PRESENT);
    if (set == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        link.Status = LinkStatus::Warning;
        link.Found = Format("the Bluetooth port interfaces could not be listed: error %lu (%s)", error,
                            SystemMessage(error).c_str());
        return link;
    }
    std::string radioPath, firstPath;
    SP_DEVICE_INTERFACE_DATA data{};
    data.cbSize = sizeof data;
    for (DWORD index = 0; SetupDiEnumDeviceInterfaces(set, nullptr, &GUID_BTHPORT_DEVICE_INTERFACE, index, &data);
         ++index) {
        union {
            SP_DEVICE_INTERFACE_DETAIL_DATA_A Detail;
            char Bytes[sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A) + MAX_PATH * 2];
        } buffer{};
        buffer.Detail.cbSize = sizeof buffer.Detail;
        if (!SetupDiGetDeviceInterfaceDetailA(set, &data, &buffer.Detail, sizeof buffer, nullptr, nullptr)) continue;
        const std::string path = buffer.Detail.DevicePath;
        if (firstPath.empty()) firstPath = path;
        // The service's own rule for the radio's path.
        if (radioPath.empty() && NamesRadioInterface(path.c_str(), path.size())) radioPath = path;
    }
    SetupDiDestroyDeviceInfoList(set);

    const bool present = !radioPath.empty();
    link.Found = present ? "the radio's Bluetooth port interface is present: " + radioPath
                         : std::string("the radio's Bluetooth port interface is absent");
    if (!firstPath.empty() && firstPath != radioPath) {
        // The vendor command before a disable goes to the first port interface there is.
        link.Status = LinkStatus::Warning;
        link.Found += "; the first Bluetooth port interface is another radio's: " + firstPath;
        link.Remedy = "the service sends its command before a disable to the first port interface: unplug other radios";
    }
    if (!state.AcceptedByLibrary()) {
        link.Status = LinkStatus::Warning;
        link.Found += std::string("; ") + RadioStateValueName + " cannot be compared (see state-value)";
        return link;
    }
    const bool valueOn = (state.Value & 0xFF) != 0;
    link.Found += Format("; %s %lu (%s)", RadioStateValueName, state.Value, valueOn ? "on" : "off");
    if (valueOn != present) {
        link.Status = LinkStatus::Broken;
        link.Found += Format(" is stale: it says %s, the interface says %s", valueOn ? "on" : "off",
                             present ? "on" : "off");
        link.Remedy = "the service writes the value at its start and when the interface arrives or goes while it "
                      "runs unpaused: restart the service, or with it running disable and enable the radio's node in "
                      "Device Manager (or unplug and replug it)";
    } else {
        link.Found += " agrees";
    }
    return link;
}
