#include <gtest/gtest.h>

#include "device_events.h"
#include "registry_fixture.h"
#include "service_runtime.h"
#include "service_state.h"
#include "sim_radio.h"
#include "switch_request.h"

namespace {

bool IsSet(HANDLE event) { return WaitForSingleObject(event, 0) == WAIT_OBJECT_0; }

// The platform hands device events to the control handler; so does the simulation.
DWORD ToControlHandler(DWORD eventType, DEV_BROADCAST_HDR* data) {
    return RadioServiceCtrlHandler(SERVICE_CONTROL_DEVICEEVENT, eventType, data, nullptr);
}

// Requests as the RPC runtime runs them, with the simulated radio behind the seam and
// the real registry and event; waits run 1000 times faster than asked.
class SwitchRequest : public testing::Test {
protected:
    void SetUp() override {
        sim.TimeScale = 1000;
        radio = sim.AddStandardRadio();
        sim.SetDeviceEventSink(ToControlHandler);
        ServicePaused = 0;
        SwitchDoneEvent = CreateEventA(nullptr, FALSE, FALSE, nullptr);
        ASSERT_NE(SwitchDoneEvent, nullptr);
        SetRadioState(1);
    }
    void TearDown() override {
        sim.WaitForEventsDelivered();
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
        EXPECT_TRUE(sim.Node(radio).Enabled);
    }

    ScopedRadioSupportKey key;
    SimRadio sim;
    size_t radio = 0;
};

TEST_F(SwitchRequest, OffDisablesTheRadioAndReturnsOnceItsInterfaceHasGone) {
    sim.EventDelivery = SimEventDelivery::Background;
    sim.EventDelayMs = 3000;  // the removal comes while the request waits
    RequestRadioSwitch(nullptr, "DisableZentBtRadio");
    EXPECT_FALSE(sim.Node(radio).Enabled);
    EXPECT_EQ(ReadRadioState(), 0);
    ExpectOneWait(WAIT_OBJECT_0);
    EXPECT_FALSE(IsSet(SwitchDoneEvent)) << "the request consumed its completion";
}

TEST_F(SwitchRequest, OnEnablesTheRadioAndReturnsOnceItsInterfaceHasCome) {
    sim.Node(radio).Enabled = false;
    SetRadioState(0);
    RequestRadioSwitch(nullptr, "EnableZentBtRadio");
    EXPECT_TRUE(sim.Node(radio).Enabled);
    EXPECT_EQ(ReadRadioState(), 1);
    ExpectOneWait(WAIT_OBJECT_0);
}

TEST_F(SwitchRequest, RequestStringsAreComparedWithoutRegardToCase) {
    RequestRadioSwitch(nullptr, "DISABLEZENTBTRADIO");
    EXPECT_FALSE(sim.Node(radio).Enabled);
    EXPECT_EQ(ReadRadioState(), 0);
    RequestRadioSwitch(nullptr, "enablezentbtradio");
    EXPECT_TRUE(sim.Node(radio).Enabled);
    EXPECT_EQ(ReadRadioState(), 1);
    RequestRadioSwitch(nullptr, "dIsAbLeZeNtBtRaDiO");
    EXPECT_FALSE(sim.Node(radio).Enabled);
    EXPECT_EQ(sim.Waits.size(), 3u);
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
}

TEST_F(SwitchRequest, HoldsTheFullLimitWhenNothingCompletesIt) {
    RequestRadioSwitch(nullptr, "EnableZentBtRadio");
    ExpectOneWait(WAIT_TIMEOUT);
    EXPECT_EQ(ReadRadioState(), 1);
}

TEST_F(SwitchRequest, HoldsTheFullLimitWithoutAMatchingNode) {
    sim.Node(radio).Present = false;
    RequestRadioSwitch(nullptr, "DisableZentBtRadio");
    EXPECT_TRUE(sim.Node(radio).Enabled);
    ExpectOneWait(WAIT_TIMEOUT);
    EXPECT_EQ(ReadRadioState(), 1);
}

TEST_F(SwitchRequest, HoldsTheFullLimitWhenTheStateCannotBeWritten) {
    DeleteRadioSupportKey();
    RequestRadioSwitch(nullptr, "DisableZentBtRadio");
    EXPECT_FALSE(sim.Node(radio).Enabled) << "the radio is switched all the same";
    EXPECT_EQ(sim.DeliveredEvents.size(), 1u);
    ExpectOneWait(WAIT_TIMEOUT);
    EXPECT_FALSE(RadioSupportKeyExists());
}

TEST_F(SwitchRequest, AFailedDeviceChangeReleasesTheRequestAtOnce) {
    sim.Node(radio).Installer.FailAlways();
    RequestRadioSwitch(nullptr, "DisableZentBtRadio");
    EXPECT_TRUE(sim.Node(radio).Enabled);
    ExpectOneWait(WAIT_OBJECT_0);
    EXPECT_EQ(ReadRadioState(), 1) << "the value tells the truth";
}

TEST_F(SwitchRequest, WhilePausedTheDeviceEventIsNotPublished) {
    // Paused between the switch and its device event: the removal is not handed on.
    sim.EventDelivery = SimEventDelivery::Queued;
    RequestRadioSwitch(nullptr, "DisableZentBtRadio");
    ExpectOneWait(WAIT_TIMEOUT);
    ServicePaused = 1;
    EXPECT_EQ(sim.DeliverQueuedEvents(), 1u);
    EXPECT_EQ(ReadRadioState(), 1);
    EXPECT_FALSE(IsSet(SwitchDoneEvent));
}

}  // namespace
