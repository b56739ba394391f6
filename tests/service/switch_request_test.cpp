#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "device_events.h"
#include "event_log.h"
#include "registry_fixture.h"
#include "service_state.h"
#include "sim_event_log.h"
#include "sim_radio.h"
#include "switch_request.h"

namespace {

bool IsSet(HANDLE event) { return WaitForSingleObject(event, 0) == WAIT_OBJECT_0; }

using Inserts = std::vector<std::string>;

// Requests as the RPC runtime runs them, with the simulated radio behind the seam and
// the real registry and event; waits run 1000 times faster than asked. Outside a service
// no device event comes, as on Windows: a switch that went through waits out its limit
// here. Its completion by the device event is tested through the SCM (tests/system).
class SwitchRequest : public testing::Test {
protected:
    void SetUp() override {
        sim.TimeScale = 1000;
        radio = sim.AddStandardRadio();
        ServicePaused = 0;
        SwitchDoneEvent = CreateEventA(nullptr, FALSE, FALSE, nullptr);
        ASSERT_NE(SwitchDoneEvent, nullptr);
        SetRadioState(1);
    }
    void TearDown() override {
        if (RadioSupportKey) RegCloseKey(RadioSupportKey);
        RadioSupportKey = nullptr;
        CloseHandle(SwitchDoneEvent);
        SwitchDoneEvent = nullptr;
        ServicePaused = 0;
    }

    // The one wait of the request: asked for the full limit, with the given outcome.
    void ExpectOneWait(DWORD result) {
        ASSERT_EQ(sim.Waits.size(), 1u);
        EXPECT_EQ(sim.Waits[0].Handle, SwitchDoneEvent);
        EXPECT_EQ(sim.Waits[0].Timeout, 120000u);
        EXPECT_EQ(sim.Waits[0].Result, result);
    }
    void ExpectNothingDone() {
        EXPECT_TRUE(sim.ListQueries.empty()) << "no device switch";
        EXPECT_TRUE(sim.Waits.empty()) << "no wait";
        EXPECT_TRUE(sim.Node(radio).Running());
    }

    ScopedRadioSupportKey key;
    SimRadio sim;
    SimEventLog events;
    size_t radio = 0;
};

TEST_F(SwitchRequest, RequestStringsAreComparedWithoutRegardToCase) {
    RequestRadioSwitch(nullptr, "DISABLEZENTBTRADIO");
    EXPECT_FALSE(sim.Node(radio).Running());
    RequestRadioSwitch(nullptr, "enablezentbtradio");
    EXPECT_TRUE(sim.Node(radio).Running());
    RequestRadioSwitch(nullptr, "dIsAbLeZeNtBtRaDiO");
    EXPECT_FALSE(sim.Node(radio).Running());
    ASSERT_EQ(sim.Waits.size(), 3u);
    for (const SimWait& wait : sim.Waits) EXPECT_EQ(wait.Timeout, 120000u);
    EXPECT_EQ(sim.ProducedEvents.size(), 3u) << "each switch made its interface go or come";
    EXPECT_EQ(ReadRadioState(), 1) << "only a device event writes the value";
}

TEST_F(SwitchRequest, AnyOtherStringReturnsAtOnceAndLeavesTheEventAlone) {
    SetEvent(SwitchDoneEvent);
    for (const char* request : {"", "EnableZentBtRadio ", " DisableZentBtRadio", "EnableZentBtRadi",
                                "DisableZentBtRadioX", "Enable", "EnableZentBtRadio\n"}) {
        RequestRadioSwitch(nullptr, request);
    }
    ExpectNothingDone();
    EXPECT_TRUE(IsSet(SwitchDoneEvent)) << "not reset by a request that was not accepted";
}

TEST_F(SwitchRequest, WhilePausedRequestsReturnAtOnce) {
    ServicePaused = 1;
    SetEvent(SwitchDoneEvent);
    RequestRadioSwitch(nullptr, "DisableZentBtRadio");
    RequestRadioSwitch(nullptr, "EnableZentBtRadio");
    ExpectNothingDone();
    EXPECT_TRUE(IsSet(SwitchDoneEvent));
    EXPECT_EQ(ReadRadioState(), 1);
}

TEST_F(SwitchRequest, WithoutTheEventRequestsAreRefused) {
    CloseHandle(SwitchDoneEvent);
    SwitchDoneEvent = nullptr;
    RequestRadioSwitch(nullptr, "DisableZentBtRadio");
    ExpectNothingDone();
}

TEST_F(SwitchRequest, ACompletionLeftOverFromEarlierEventsIsClearedFirst) {
    SetEvent(SwitchDoneEvent);  // e.g. the radio was plugged in while nobody waited
    RequestRadioSwitch(nullptr, "EnableZentBtRadio");  // already on: no event of its own
    ExpectOneWait(WAIT_TIMEOUT);
    EXPECT_EQ(ReadRadioState(), 1);
}

TEST_F(SwitchRequest, HoldsTheFullLimitWithoutAMatchingNode) {
    sim.Node(radio).Present = false;
    RequestRadioSwitch(nullptr, "DisableZentBtRadio");
    EXPECT_FALSE(sim.Node(radio).Disabled);
    ExpectOneWait(WAIT_TIMEOUT);
    EXPECT_EQ(ReadRadioState(), 1);
    std::vector<SimLoggedEvent> logged = events.Events();
    ASSERT_EQ(logged.size(), 1u);
    EXPECT_EQ(logged[0].Id, 202u);
    EXPECT_EQ(logged[0].Type, EVENTLOG_WARNING_TYPE);
    EXPECT_EQ(logged[0].Inserts, (Inserts{"off", "0"}));
}

// Also when the event log refuses the source or the write: reporting changes neither
// the outcome nor the pauses and waits of a switch.
TEST_F(SwitchRequest, AFailedDeviceChangeReleasesTheRequestAtOnce) {
    sim.Node(radio).Installer.FailAlways();
    for (int logFault = 0; logFault < 3; ++logFault) {
        events.RegistrationFails = logFault == 1;
        events.ReportFails = logFault == 2;
        CloseEventSource();  // each round has its own minute
        sim.ClearRecords();
        RequestRadioSwitch(nullptr, "DisableZentBtRadio");
        EXPECT_TRUE(sim.Node(radio).Running()) << logFault;
        ExpectOneWait(WAIT_OBJECT_0);
        EXPECT_EQ(ReadRadioState(), 1) << "the value tells the truth";
        EXPECT_EQ(sim.Sleeps, std::vector<DWORD>(9, 500)) << logFault;
        FlushEventReports();  // under this round's log fault
    }
    std::vector<SimLoggedEvent> logged = events.Events();
    ASSERT_EQ(logged.size(), 1u) << "the node's failure, and no timeout";
    EXPECT_EQ(logged[0].Id, 201u);
    EXPECT_EQ(logged[0].Inserts, (Inserts{"off", "USB\\VID_7A5C&PID_0C31&MI_00\\6&1&0&0000",
                                          "SetupDiCallClassInstaller", "31 (0x0000001F)", "0"}));
    EXPECT_EQ(events.ReportCalls, 2u) << "the source refused in the second round";
}

}  // namespace
