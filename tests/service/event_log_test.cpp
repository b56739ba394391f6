#include <gtest/gtest.h>

#include <future>
#include <string>
#include <vector>

#include "event_log.h"
#include "platform.h"
#include "sim_event_log.h"
#include "sim_radio.h"

namespace {

using Inserts = std::vector<std::string>;

// A clock the test sets, starting just before the tick counter wraps.
DWORD Now;
DWORD WINAPI TestTickCount() { return Now; }

class EventLog : public testing::Test {
protected:
    void SetUp() override {
        Now = 0xFFFF0000u;
        ServicePlatform.GetTickCount = TestTickCount;
    }
    void TearDown() override { ServicePlatform.GetTickCount = RealServicePlatform.GetTickCount; }

    SimEventLog log;
};

TEST_F(EventLog, OneEventOfAnIdAMinuteAndTheNextSaysHowManyWereLeftOut) {
    ReportRequestTimedOut(0);
    Now += 59999;  // across the wrap
    ReportRequestTimedOut(1);
    ReportRequestTimedOut(0);
    ReportStateWriteFailed("RegSetValueExA", ERROR_ACCESS_DENIED);  // another ID has its own minute
    Now += 1;
    ReportRequestTimedOut(1);
    Now += 60000 - 1;
    ReportRequestTimedOut(0);
    Now += 1;
    ReportRequestTimedOut(0);

    std::vector<SimLoggedEvent> events = log.Events();
    ASSERT_EQ(events.size(), 4u);
    EXPECT_EQ(events[0].Inserts, (Inserts{"off", "0"}));
    EXPECT_EQ(events[1].Id, 300u);
    EXPECT_EQ(events[1].Inserts, (Inserts{"RegSetValueExA", "5 (0x00000005)", "0"}));
    EXPECT_EQ(events[2].Id, 202u);
    EXPECT_EQ(events[2].Inserts, (Inserts{"on", "2"})) << "a minute after the first, with the two left out";
    EXPECT_EQ(events[3].Inserts, (Inserts{"off", "1"}));
    EXPECT_EQ(log.RegisteredSources(), (std::vector<std::string>{"Zentrik Bluetooth Radio Control Service"}))
        << "registered once, on first need";
    EXPECT_EQ(log.ServerNamesGiven, 0u) << "the local machine's log";
}

// The first reading of the clock lets a second report of the same ID, with a later tick,
// run for up to 200 ms.
std::future<void> Other;
DWORD WINAPI TickRacedByAnotherReport() {
    if (Other.valid()) return Now;
    Other = std::async(std::launch::async, [] { ReportRequestTimedOut(1); });
    Other.wait_for(std::chrono::milliseconds(200));
    return Now - 1;
}

TEST_F(EventLog, OfTwoReportsOfAnIdAtOnceOneIsWritten) {
    ServicePlatform.GetTickCount = TickRacedByAnotherReport;
    ReportRequestTimedOut(0);
    Other.get();
    EXPECT_EQ(log.Events().size(), 1u);
}

TEST_F(EventLog, AChangeThatWaitsForARestartNamesTheNodeAndTheDirection) {
    SimRadio sim;
    ServicePlatform.GetTickCount = TestTickCount;  // the simulation installed its own
    size_t radio = sim.AddStandardRadio();
    SP_DEVINFO_DATA node{sizeof node, {}, static_cast<DWORD>(radio + 1), 0};
    ReportChangeWaitsForRestart(1, node);
    sim.InstanceIdRead.FailAlways();
    Now += 60000;
    ReportChangeWaitsForRestart(0, node);

    std::vector<SimLoggedEvent> events = log.Events();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].Id, 203u);
    EXPECT_EQ(events[0].Type, EVENTLOG_WARNING_TYPE);
    EXPECT_EQ(events[0].Inserts, (Inserts{"on", "USB\\VID_7A5C&PID_0C31&MI_00\\6&1&0&0000", "0"}));
    EXPECT_EQ(events[1].Inserts, (Inserts{"off", "(instance ID not readable)", "0"}));
}

TEST_F(EventLog, AFailedRegistrationOrWriteIsIgnoredAndTheNextEventTriesAgain) {
    log.RegistrationFails = true;
    ReportSwitchCompleted(1);
    FlushEventReports();
    EXPECT_EQ(log.ReportCalls, 0u);
    log.RegistrationFails = false;
    log.ReportFails = true;
    EXPECT_EQ(ReportStartFailed("CreateEventA", 8), 8u) << "the status is passed on";
    FlushEventReports();
    log.ReportFails = false;
    Now += 60000;
    ReportSwitchCompleted(0);

    std::vector<SimLoggedEvent> events = log.Events();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].Id, 200u);
    EXPECT_EQ(events[0].Type, EVENTLOG_INFORMATION_TYPE);
    EXPECT_EQ(events[0].Inserts, (Inserts{"off", "0", "0"}));
    EXPECT_EQ(log.RegisteredSources().size(), 2u);
    EXPECT_EQ(log.ReportCalls, 2u);

    CloseEventSource();
    EXPECT_EQ(log.OpenSources(), 0u) << "deregistered";
    EXPECT_EQ(log.ForeignHandles, 0u);
}

}  // namespace
