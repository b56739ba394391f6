// Entry of the simulated-radio build of the service: sets up the simulated radio from
// the registry, then runs exactly as the shipped program does, command words included
// (so "install" registers this program).
#include <windows.h>

#include <cstring>

#include "service_commands.h"
#include "service_runtime.h"
#include "sim_radio.h"
#include "simulated_radio_service.h"

namespace {

SimRadio* Simulation;

void PublishRadioEnabled(DWORD enabled) { WriteSimulatedRadioSetting(SimulatedRadioEnabledValue, enabled); }

// Where the platform would hand the event to the service's control handler.
DWORD DeliverDeviceEvent(DWORD eventType, DEV_BROADCAST_HDR* data) {
    if (eventType == DBT_DEVICEARRIVAL) PublishRadioEnabled(1);
    if (eventType == DBT_DEVICEREMOVECOMPLETE) PublishRadioEnabled(0);
    // Nobody reads the simulation's records here: a long run must not pile them up.
    Simulation->ClearRecords();
    return RadioServiceCtrlHandler(SERVICE_CONTROL_DEVICEEVENT, eventType, data, nullptr);
}

}  // namespace

int main(int argc, char** argv) {
    SimRadio sim;
    Simulation = &sim;
    size_t radio = sim.AddStandardRadio();
    sim.Node(radio).Enabled = ReadSimulatedRadioSetting(SimulatedRadioEnabledValue, 1) != 0;
    sim.Node(radio).Present = ReadSimulatedRadioSetting(SimulatedRadioPresentValue, 1) != 0;
    sim.TimeScale = ReadSimulatedRadioSetting(SimulatedRadioTimeScaleValue, 1);
    if (sim.TimeScale == 0) sim.TimeScale = 1;
    sim.EventDelivery = SimEventDelivery::Background;
    sim.EventDelayMs = ReadSimulatedRadioSetting(SimulatedRadioEventDelayValue, 100);
    sim.RequireNotificationRegistration = true;
    if (DWORD error = ReadSimulatedRadioSetting(SimulatedRadioNotificationErrorValue, 0))
        sim.NotificationRegistration.FailAlways(error);
    if (DWORD error = ReadSimulatedRadioSetting(SimulatedRadioInstallerErrorValue, 0))
        sim.Node(radio).Installer.FailAlways(error);
    sim.SetDeviceEventSink(DeliverDeviceEvent);

    if (argc >= 2) std::strncpy(CommandWord, argv[1], CommandBufferSize - 1);
    RunServiceCommand();
    return 0;
}
