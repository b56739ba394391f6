// Entry of the simulated-radio build of the service: sets up the simulated radio from
// the registry, then runs exactly as the shipped program does, command words included
// (so "install" registers this program). Device events reach the service's handler
// through the real Service Control Manager (see sim_radio.h).
#include <windows.h>

#include <cstring>

#include "service_commands.h"
#include "sim_radio.h"
#include "simulated_radio_service.h"

namespace {

SimRadio* Simulation;
size_t Radio;

// The node's state as the change left it, before the change's event is sent; only what
// differs from the last save, as each registry write costs a switch time under Wine.
void SaveNode(size_t index, const SimDeviceNode& node) {
    static DWORD saved[3] = {~0u, ~0u, ~0u};
    const char* const names[3] = {SimulatedRadioDisabledValue, SimulatedRadioProfileDisabledValue,
                                  SimulatedRadioEnabledValue};
    const DWORD values[3] = {node.Disabled, node.ProfileDisabled, node.Running()};
    if (index != Radio) return;
    for (int i = 0; i < 3; ++i)
        if (values[i] != saved[i] && WriteSimulatedRadioSetting(names[i], values[i]) == ERROR_SUCCESS)
            saved[i] = values[i];
    // Nobody reads the simulation's records here: a long run must not pile them up.
    Simulation->ClearRecords();
}

// A device event the SCM did not let through.
void SaveRefusal(const SimDeviceEvent&, DWORD controlError) {
    if (controlError != NO_ERROR) WriteSimulatedRadioSetting(SimulatedRadioRefusedEventValue, controlError);
}

}  // namespace

int main(int argc, char** argv) {
    SimRadio sim;
    Simulation = &sim;
    Radio = sim.AddStandardRadio();
    if (ReadSimulatedRadioSetting(SimulatedRadioSecondNodeValue, 0)) {
        SimDeviceNode second = sim.Node(Radio);
        second.InstanceId = "USB\\VID_7A5C&PID_0C31&MI_00\\6&1&0&0001";
        sim.AddNode(second);
    }
    SimDeviceNode& radio = sim.Node(Radio);
    radio.Disabled = ReadSimulatedRadioSetting(SimulatedRadioDisabledValue, 0) != 0;
    radio.ProfileDisabled = ReadSimulatedRadioSetting(SimulatedRadioProfileDisabledValue, 0) != 0;
    radio.Present = ReadSimulatedRadioSetting(SimulatedRadioPresentValue, 1) != 0;
    if (DWORD failures = ReadSimulatedRadioSetting(SimulatedRadioInstallerFailuresValue, 0)) {
        if (failures == 0xFFFFFFFF) {
            radio.Installer.FailAlways();
        } else {
            radio.Installer.FailTimes(failures);
        }
    }
    sim.TimeScale = ReadSimulatedRadioSetting(SimulatedRadioTimeScaleValue, 1);
    if (sim.TimeScale == 0) sim.TimeScale = 1;
    sim.EventDelayMs = ReadSimulatedRadioSetting(SimulatedRadioEventDelayValue, 100);
    if (DWORD error = ReadSimulatedRadioSetting(SimulatedRadioNotificationErrorValue, 0))
        sim.NotificationRegistration.FailAlways(error);
    sim.OnNodeChange = SaveNode;
    sim.OnEventSent = SaveRefusal;

    if (argc >= 2) std::strncpy(CommandWord, argv[1], CommandBufferSize - 1);
    return RunServiceCommand();
}
