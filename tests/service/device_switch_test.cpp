#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "device_enumeration.h"
#include "device_switch.h"
#include "event_log.h"
#include "service_state.h"
#include "sim_event_log.h"
#include "sim_radio.h"

namespace {

using Log = std::vector<std::string>;
using Inserts = std::vector<std::string>;

const std::string Radio = SimRadioInstanceId;
const std::string Port = SimRadio::PortInterfacePath(SimRadioInstanceId);
const std::string VendorCommand = "IoControl 410050 3D 0B 00 00 00 01 0A FC 00";

// The standard radio behind the simulated platform, with a real completion event.
class DeviceSwitch : public testing::Test {
protected:
    void SetUp() override {
        radio = sim.AddStandardRadio();
        SwitchDoneEvent = CreateEventA(nullptr, FALSE, FALSE, nullptr);
        ASSERT_NE(SwitchDoneEvent, nullptr);
    }
    void TearDown() override {
        CloseHandle(SwitchDoneEvent);
        SwitchDoneEvent = nullptr;
    }

    // Runs ChangeDeviceState over the radio nodes as the switch does, without the vendor step.
    SwitchContext Change(DWORD stateChange) {
        SwitchContext context = {0, stateChange, 0, "", "", ""};
        EXPECT_EQ(EnumerateDevices(ChangeDeviceState, &context, 1), 0u);
        return context;
    }
    bool EventSet() { return WaitForSingleObject(SwitchDoneEvent, 0) == WAIT_OBJECT_0; }

    // The one event a failed node leaves: a warning with the direction, the node, the
    // call that failed and its error. Each call starts the rate limit afresh.
    void ExpectNodeFailure(const Inserts& inserts, const char* name = "") {
        ExpectEvent(201, EVENTLOG_WARNING_TYPE, inserts, name);
    }
    void ExpectEvent(DWORD id, WORD type, const Inserts& inserts, const char* name = "") {
        std::vector<SimLoggedEvent> logged = events.Events();
        ASSERT_EQ(logged.size(), 1u) << name;
        EXPECT_EQ(logged[0].Id, id) << name;
        EXPECT_EQ(logged[0].Type, type) << name;
        EXPECT_EQ(logged[0].Inserts, inserts) << name;
        events.Clear();
        CloseEventSource();
    }

    SimRadio sim;
    SimEventLog events;
    size_t radio = 0;
};

TEST_F(DeviceSwitch, OffSendsTheVendorCommandPausesThenDisablesTwice) {
    EXPECT_EQ(SwitchRadioDevice(0), 0u);
    EXPECT_EQ(sim.Log(), (Log{"OpenPort " + Port, VendorCommand, "ClosePort", "Sleep 500",
                              "SetParams " + Radio + " disable global", "CallInstaller " + Radio, "Removal " + Port,
                              "SetParams " + Radio + " disable global", "CallInstaller " + Radio}));
    EXPECT_TRUE(sim.Node(radio).Disabled);
    EXPECT_FALSE(sim.Node(radio).Running());
    EXPECT_FALSE(EventSet()) << "success waits for the device event";
    EXPECT_EQ(sim.OpenDeviceLists(), 0u);
    EXPECT_EQ(events.ReportCalls, 0u) << "nothing is logged on the way";

    const SimStoredParams& stored = sim.StoredParams.at(0);
    EXPECT_EQ(stored.Size, 20u);
    EXPECT_EQ(stored.Params.ClassInstallHeader.cbSize, 8u);
    EXPECT_EQ(stored.Params.ClassInstallHeader.InstallFunction, DWORD{DIF_PROPERTYCHANGE});
    EXPECT_EQ(stored.Params.HwProfile, 0u);
}

TEST_F(DeviceSwitch, OnEnablesGloballyThenForTheProfileWithoutVendorCommand) {
    // Disabled both ways: the radio comes back only once neither disable is left.
    sim.Node(radio).Disabled = sim.Node(radio).ProfileDisabled = true;
    EXPECT_EQ(SwitchRadioDevice(1), 0u);
    EXPECT_EQ(sim.Log(), (Log{"SetParams " + Radio + " enable global", "CallInstaller " + Radio,
                              "SetParams " + Radio + " enable config", "CallInstaller " + Radio, "Arrival " + Port}));
    EXPECT_TRUE(sim.ListQueries.size() == 1 && sim.ListQueries[0].Ex) << "no interface query for on";
    EXPECT_TRUE(sim.Node(radio).Running());
    EXPECT_FALSE(EventSet());

    sim.ClearLog();
    sim.Node(radio).Disabled = true;  // as an off switch leaves it
    SwitchRadioDevice(1);
    EXPECT_EQ(sim.Log().at(2), "Arrival " + Port) << "back at the global enable";
    EXPECT_TRUE(sim.Node(radio).Running());
}

TEST_F(DeviceSwitch, OffWithoutPortInterfaceStillPausesFirst) {
    sim.Node(radio).ProvidesPortInterface = false;
    EXPECT_EQ(SwitchRadioDevice(0), 0u);
    EXPECT_TRUE(sim.IoControls.empty());
    EXPECT_TRUE(sim.PortOpens.empty());
    Log log = sim.Log();
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log[0], "Sleep 500");
    EXPECT_EQ(log[1], "SetParams " + Radio + " disable global");
}

TEST_F(DeviceSwitch, DisableRetriesEveryHalfSecond) {
    sim.Node(radio).Installer.FailTimes(2);
    SwitchContext context = Change(DICS_DISABLE);
    EXPECT_EQ(context.ChangedCount, 1u);
    EXPECT_FALSE(EventSet());
    EXPECT_EQ(sim.Log(), (Log{"SetParams " + Radio + " disable global", "CallInstaller " + Radio + " failed",
                              "Sleep 500", "CallInstaller " + Radio + " failed", "Sleep 500", "CallInstaller " + Radio,
                              "Removal " + Port, "SetParams " + Radio + " disable global", "CallInstaller " + Radio}));
}

TEST_F(DeviceSwitch, DisableGivesUpAfterNineCallsAndTheWalkGoesOn) {
    SimDeviceNode second = sim.Node(radio);
    second.InstanceId = "USB\\VID_7A5C&PID_0C31&MI_00\\6&1&0&0001";
    size_t other = sim.AddNode(second);
    sim.Node(radio).Installer.FailAlways();

    SwitchContext context = Change(DICS_DISABLE);
    EXPECT_EQ(context.ChangedCount, 1u) << "the second node still changes";
    EXPECT_TRUE(EventSet());
    EXPECT_EQ(sim.Node(radio).Installer.Calls(), 9u);
    EXPECT_EQ(sim.Sleeps, std::vector<DWORD>(8, 500));
    EXPECT_TRUE(sim.Node(radio).Running()) << "no restore after the retries";
    EXPECT_FALSE(sim.Node(other).Running());
    ExpectNodeFailure({"off", Radio, "SetupDiCallClassInstaller", "31 (0x0000001F)", "0"});
}

TEST_F(DeviceSwitch, FailedStepsReleaseTheRequestAndRestoreWhereDue) {
    struct Case {
        const char* Name;
        DWORD StateChange;
        bool StartEnabled;
        unsigned SetParamsFailures;  // the first n stores fail
        unsigned InstallerFailures;  // the first n calls fail
        Log Expected;
        Inserts Event;
    } cases[] = {
        {"enable, first call fails", DICS_ENABLE, false, 0, 1,
         {"SetParams " + Radio + " enable global", "CallInstaller " + Radio + " failed",
          "SetParams " + Radio + " disable global", "CallInstaller " + Radio},
         {"on", Radio, "SetupDiCallClassInstaller", "21 (0x00000015)", "0"}},
        {"enable, first store fails", DICS_ENABLE, false, 1, 0, {"SetParams " + Radio + " enable global failed"},
         {"on", Radio, "SetupDiSetClassInstallParamsA", "21 (0x00000015)", "0"}},
        {"disable, first store fails", DICS_DISABLE, true, 1, 0,
         {"SetParams " + Radio + " disable global failed", "SetParams " + Radio + " enable global",
          "CallInstaller " + Radio},
         {"off", Radio, "SetupDiSetClassInstallParamsA", "21 (0x00000015)", "0"}},
    };
    for (const Case& c : cases) {
        sim.ClearLog();
        sim.Node(radio).Disabled = !c.StartEnabled;
        sim.Node(radio).SetParams.FailTimes(c.SetParamsFailures, ERROR_NOT_READY);
        sim.Node(radio).Installer.FailTimes(c.InstallerFailures, ERROR_NOT_READY);
        SwitchContext context = Change(c.StateChange);
        EXPECT_EQ(context.ChangedCount, 0u) << c.Name;
        EXPECT_TRUE(EventSet()) << c.Name;
        EXPECT_EQ(sim.Log(), c.Expected) << c.Name;
        ExpectNodeFailure(c.Event, c.Name);
        EXPECT_EQ(sim.Node(radio).Running(), c.StartEnabled) << c.Name;
    }
}

TEST_F(DeviceSwitch, FinalStepFailureReleasesWithoutRestore) {
    struct Case {
        const char* Name;
        DWORD StateChange;
        bool FailStore;  // else the final call fails
        Log Tail;        // the log after the first change went through
        Inserts Event;
    } cases[] = {
        {"disable, final store", DICS_DISABLE, true, {"SetParams " + Radio + " disable global failed"},
         {"off", Radio, "SetupDiSetClassInstallParamsA", "31 (0x0000001F)", "0"}},
        {"disable, final call", DICS_DISABLE, false,
         {"SetParams " + Radio + " disable global", "CallInstaller " + Radio + " failed"},
         {"off", Radio, "SetupDiCallClassInstaller", "31 (0x0000001F)", "0"}},
        {"enable, final store", DICS_ENABLE, true, {"SetParams " + Radio + " enable config failed"},
         {"on", Radio, "SetupDiSetClassInstallParamsA", "31 (0x0000001F)", "0"}},
        {"enable, final call", DICS_ENABLE, false,
         {"SetParams " + Radio + " enable config", "CallInstaller " + Radio + " failed"},
         {"on", Radio, "SetupDiCallClassInstaller", "31 (0x0000001F)", "0"}},
    };
    for (const Case& c : cases) {
        const bool enable = c.StateChange == DICS_ENABLE;
        sim.Node(radio).Disabled = enable;
        sim.ClearLog();
        if (c.FailStore) {
            sim.Node(radio).SetParams.SucceedThenFail(1);
        } else {
            sim.Node(radio).Installer.SucceedThenFail(1);
        }
        SwitchContext context = Change(c.StateChange);
        EXPECT_EQ(context.ChangedCount, 0u) << c.Name;
        EXPECT_TRUE(EventSet()) << c.Name;
        Log log = sim.Log();
        ASSERT_GE(log.size(), 3u + c.Tail.size()) << c.Name;
        EXPECT_EQ(Log(log.end() - c.Tail.size(), log.end()), c.Tail) << c.Name;
        EXPECT_EQ(log[2], (enable ? "Arrival " : "Removal ") + Port) << c.Name;
        EXPECT_EQ(sim.Node(radio).Running(), enable) << c.Name << ": the first change stays";
        ExpectNodeFailure(c.Event, c.Name);
    }
}

// Another handle holds the radio: the class installer accepts a change but asks for a restart.
TEST_F(DeviceSwitch, ChangeThatWaitsForARestartReleasesAtOnce) {
    sim.Node(radio).VetoesChanges = true;
    EXPECT_EQ(SwitchRadioDevice(0), 0u);
    Log log = sim.Log();
    EXPECT_EQ(Log(log.begin() + 4, log.end()),
              (Log{"SetParams " + Radio + " disable global", "CallInstaller " + Radio,
                   "SetParams " + Radio + " enable global", "CallInstaller " + Radio}))
        << "the off is undone before it can take effect at the next boot";
    EXPECT_FALSE(sim.Node(radio).Disabled);
    EXPECT_FALSE(sim.Node(radio).PortHeldUntilRestart.has_value()) << "nothing waits for a restart";
    EXPECT_TRUE(sim.ProducedEvents.empty());
    EXPECT_TRUE(EventSet()) << "no removal will come: the request is released at once";
    ExpectEvent(203, EVENTLOG_WARNING_TYPE, {"off", Radio, "0"});

    // On: the node stays enabled for the next boot, whose arrival writes the state.
    sim.ClearLog();
    sim.Node(radio).Disabled = true;
    sim.Node(radio).PortHeldUntilRestart = false;
    EXPECT_EQ(SwitchRadioDevice(1), 1u) << "a node changed that needs a restart";
    EXPECT_EQ(sim.Log(), (Log{"SetParams " + Radio + " enable global", "CallInstaller " + Radio,
                              "SetParams " + Radio + " enable config", "CallInstaller " + Radio}));
    EXPECT_FALSE(sim.Node(radio).Disabled);
    EXPECT_TRUE(sim.ProducedEvents.empty());
    EXPECT_TRUE(EventSet());
    ExpectEvent(203, EVENTLOG_WARNING_TYPE, {"on", Radio, "0"});
}

TEST_F(DeviceSwitch, ChangesEveryRadioNodeInOrderAndNeverTheCompositeDevice) {
    SimDeviceNode second = sim.Node(radio);
    second.InstanceId = "USB\\VID_7A5C&PID_0C31&MI_00\\6&1&0&0001";
    second.ProvidesPortInterface = false;
    sim.AddNode(second);
    SwitchContext context = Change(DICS_DISABLE);
    EXPECT_EQ(context.ChangedCount, 2u);
    std::vector<std::string> changed;
    for (const SimStoredParams& stored : sim.StoredParams) changed.push_back(stored.InstanceId);
    EXPECT_EQ(changed, (std::vector<std::string>{Radio, Radio, second.InstanceId, second.InstanceId}));
}

TEST_F(DeviceSwitch, UnreadableDeviceListTouchesNothing) {
    sim.DeviceListQuery.FailAlways();
    EXPECT_EQ(SwitchRadioDevice(1), 2u);
    EXPECT_EQ(SwitchRadioDevice(0), 2u);
    EXPECT_TRUE(sim.StoredParams.empty());
    EXPECT_FALSE(EventSet());
}

TEST_F(DeviceSwitch, FailureWithoutEventIsHarmless) {
    CloseHandle(SwitchDoneEvent);
    SwitchDoneEvent = nullptr;
    sim.Node(radio).SetParams.FailAlways();
    EXPECT_EQ(Change(DICS_ENABLE).ChangedCount, 0u);
}

}  // namespace
