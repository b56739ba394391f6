#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "device_events.h"
#include "device_records.h"
#include "platform.h"
#include "radio_state_reconcile.h"
#include "registry_fixture.h"
#include "sim_event_log.h"
#include "sim_radio.h"

namespace {

// The state found and written, against the real registry and the simulated radio.
class RadioStateReconcile : public testing::Test {
protected:
    void TearDown() override {
        if (RadioSupportKey) RegCloseKey(RadioSupportKey);
        RadioSupportKey = nullptr;
    }
    ScopedRadioSupportKey key;
};

TEST_F(RadioStateReconcile, WritesWhatTheRadioShowsWhereTheStoredValueDiffers) {
    constexpr long long Absent = -1;
    struct Case {
        const char* Name;
        std::function<void(SimRadio&)> Arrange;  // on a machine with the standard radio
        long long Before;                        // the value found, or Absent
        long long After;
    } cases[] = {
        {"running radio", [](SimRadio&) {}, Absent, 1},
        {"disabled node", [](SimRadio& sim) { sim.Node(1).Disabled = true; }, Absent, 0},
        {"node disabled in this profile", [](SimRadio& sim) { sim.Node(1).ProfileDisabled = true; }, Absent, 0},
        {"path in lower case",
         [](SimRadio& sim) { sim.Node(1).InstanceId = "usb\\vid_7a5c&pid_0c31&mi_00\\6&1&0&0000"; }, Absent, 1},
        {"stale 0, radio running (an on left to a restart)", [](SimRadio&) {}, 0, 1},
        {"stale 1, node disabled while the service was stopped", [](SimRadio& sim) { sim.Node(1).Disabled = true; }, 1, 0},
        {"value already right", [](SimRadio&) {}, 1, 1},
        {"enabled, yet no port interface (its driver failed)",
         [](SimRadio& sim) { sim.Node(1).ProvidesPortInterface = false; }, 1, 0},
        {"no radio node (unplugged while the service was stopped)",
         [](SimRadio& sim) { sim.Node(1).Present = sim.Node(0).Present = false; }, 1, 0},
        {"unreadable device list: the interface alone decides", [](SimRadio& sim) { sim.DeviceListQuery.FailAlways(); },
         Absent, 1},
        {"unreadable interface list",
         [](SimRadio& sim) {
             sim.Node(1).Disabled = true;
             sim.InterfaceListQuery.FailAlways();
         },
         Absent, Absent},
    };
    for (const Case& c : cases) {
        SimRadio sim;
        ASSERT_EQ(sim.AddStandardRadio(), 1u);
        c.Arrange(sim);
        if (c.Before == Absent) {
            DeleteRadioStateValue();
        } else {
            SetRadioState(static_cast<DWORD>(c.Before));
        }
        EXPECT_EQ(ReconcileRadioState(), c.Before != c.After) << c.Name;
        EXPECT_EQ(ReadRadioState(), c.After) << c.Name;
        EXPECT_TRUE(sim.StoredParams.empty()) << c.Name << ": the radio is only looked at";
        EXPECT_EQ(sim.OpenDeviceLists(), 0u) << c.Name;
    }
}

TEST_F(RadioStateReconcile, WithoutTheKeyNothingIsWrittenNorReported) {
    DeleteRadioSupportKey();
    SimRadio sim;
    sim.AddStandardRadio();
    SimEventLog log;
    EXPECT_FALSE(ReconcileRadioState());
    EXPECT_FALSE(RadioSupportKeyExists());
    EXPECT_TRUE(log.Events().empty()) << "nothing was written, so no write failed";
}

// The removal reaches the handler while start-up looks at the radio, still running.
decltype(ServicePlatform.SetupDiGetClassDevsA) LookAtInterfaces;
HDEVINFO WINAPI RemovalDuringTheLook(const GUID* guid, PCSTR enumerator, HWND parent, DWORD flags) {
    DeviceInterfaceRecord removal(RadioInterfacePath);
    HandleRadioDeviceEvent(DBT_DEVICEREMOVECOMPLETE, removal.Header());
    return LookAtInterfaces(guid, enumerator, parent, flags);
}

TEST_F(RadioStateReconcile, NeverOverwritesAnEventThatCameDuringTheLook) {
    SimRadio sim;
    sim.AddStandardRadio();
    SetRadioState(1);
    LookAtInterfaces = ServicePlatform.SetupDiGetClassDevsA;
    ServicePlatform.SetupDiGetClassDevsA = RemovalDuringTheLook;
    EXPECT_FALSE(ReconcileRadioState());
    EXPECT_EQ(ReadRadioState(), 0);
}

}  // namespace
