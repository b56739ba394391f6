#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "device_events.h"
#include "first_radio_state.h"
#include "registry_fixture.h"
#include "sim_radio.h"

namespace {

// What start-up publishes on a machine where nothing has yet, against the real registry
// and the simulated radio.
class FirstRadioState : public testing::Test {
protected:
    void TearDown() override {
        if (RadioSupportKey) RegCloseKey(RadioSupportKey);
        RadioSupportKey = nullptr;
    }
    ScopedRadioSupportKey key;
};

TEST_F(FirstRadioState, WritesWhatTheRadioShowsOnlyWhereNothingWasPublished) {
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
        {"value already there", [](SimRadio&) {}, 0, 0},
        {"value already there, radio off", [](SimRadio& sim) { sim.Node(1).Disabled = true; }, 1, 1},
        {"enabled, yet no port interface: can't be told",
         [](SimRadio& sim) { sim.Node(1).ProvidesPortInterface = false; }, Absent, Absent},
        {"no radio node", [](SimRadio& sim) { sim.Node(1).Present = sim.Node(0).Present = false; }, Absent, Absent},
        {"unreadable device list", [](SimRadio& sim) { sim.DeviceListQuery.FailAlways(); }, Absent, Absent},
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
        EXPECT_EQ(PublishFirstRadioState(), c.Before == Absent && c.After != Absent) << c.Name;
        EXPECT_EQ(ReadRadioState(), c.After) << c.Name;
        EXPECT_TRUE(sim.StoredParams.empty()) << c.Name << ": the radio is only looked at";
        EXPECT_EQ(sim.OpenDeviceLists(), 0u) << c.Name;
    }
}

TEST_F(FirstRadioState, WithoutTheKeyNothingIsWritten) {
    DeleteRadioSupportKey();
    SimRadio sim;
    sim.AddStandardRadio();
    EXPECT_FALSE(PublishFirstRadioState());
    EXPECT_FALSE(RadioSupportKeyExists());
}

}  // namespace
