#include <gtest/gtest.h>

#include <string>

#include "debug_capture.h"
#include "diagnostics.h"
#include "report_timeline.h"
#include "sim_trace.h"

namespace {

using Texts = std::vector<std::string>;

TEST(DebugPrint, WritesThePrefixThenTheFormattedText) {
    DebugCapture capture;
    DebugPrint("%s: state %d \n", "Name", -7);
    ASSERT_EQ(capture.Outputs().size(), 2u);
    EXPECT_EQ(capture.Outputs()[0].Text, "ZUZORERIZEZUDADUR:");
    EXPECT_EQ(capture.Outputs()[1].Text, "Name: state -7 \n");
}

TEST(DebugPrint, CutsTextsAfter1023Characters) {
    DebugCapture capture;
    const std::string exact(1023, 'a');
    const std::string longer = std::string(1023, 'b') + "cut off";
    const std::string huge(5000, 'c');
    DebugPrint("%s", exact.c_str());
    DebugPrint("%s", longer.c_str());
    DebugPrint("%s", huge.c_str());
    EXPECT_EQ(capture.Texts(), (Texts{exact, std::string(1023, 'b'), std::string(1023, 'c')}));
}

class TraceProvider : public testing::Test {
protected:
    void TearDown() override { UnregisterTraceProvider(); }

    // A few trace points of each kind.
    static void SendSomeEvents() {
        TracePoint(EvKeyOpened);
        TracePointValue(EvStateRead, 257);
        TracePoint(EvInitDone);
    }

    SimTraceSession session;
};

TEST_F(TraceProvider, RegistersItsControlGuidWithTheBlockAsContext) {
    RegisterTraceProvider();
    EXPECT_EQ(session.RegisterCalls, 1);
    EXPECT_EQ(session.Callback, &TraceControlCallback);
    EXPECT_EQ(session.Context, &TraceControlBlock);
    EXPECT_EQ(session.ControlGuid, (GUID{0xC31877A2, 0xC8C8, 0x4C58, {0xB5, 0xB8, 0x7D, 0x63, 0x11, 0xD5, 0xE3, 0x43}}));
    EXPECT_EQ(session.GuidCount, 1u);
    EXPECT_EQ(session.RegistrationGuid, session.ControlGuid);
    EXPECT_TRUE(session.MofNamesNull);
    EXPECT_EQ(TraceControlBlock.RegistrationHandle, session.NextRegistrationHandle);
    EXPECT_EQ(TraceControl, &TraceControlBlock);
}

TEST_F(TraceProvider, SendsNothingWithoutASession) {
    RegisterTraceProvider();
    SendSomeEvents();
    EXPECT_TRUE(session.Messages.empty());
}

TEST_F(TraceProvider, SendsNothingWhenRegistrationFails) {
    session.RegisterResult = ERROR_ACCESS_DENIED;
    session.EnableAtRegistration(1, 5);
    RegisterTraceProvider();
    SendSomeEvents();
    EXPECT_TRUE(session.Messages.empty());
    UnregisterTraceProvider();
    EXPECT_TRUE(session.Unregistered.empty()) << "nothing was registered, so nothing is unregistered";
}

TEST_F(TraceProvider, FlagBitZeroAloneDecidesAtAnyLevel) {
    RegisterTraceProvider();
    ASSERT_EQ(session.Enable(0xFFFFFFFE, 255), ERROR_SUCCESS);
    SendSomeEvents();
    EXPECT_TRUE(session.Messages.empty());

    ASSERT_EQ(session.Enable(1, 0), ERROR_SUCCESS);
    SendSomeEvents();
    EXPECT_EQ(EventList(session), (Texts{"#16", "#18(257)", "#34"}));
    EXPECT_EQ(TraceControlBlock.EnableLevel, 0);
}

TEST_F(TraceProvider, EventsGoToTheSessionWithSequenceGuidTimeAndSystemInfo) {
    RegisterTraceProvider();
    session.Enable(0x11, 4);
    EXPECT_EQ(TraceControlBlock.LoggerHandle, session.Logger);
    EXPECT_EQ(TraceControlBlock.EnableLevel, 4);
    EXPECT_EQ(TraceControlBlock.EnableFlags, 0x11u);
    SendSomeEvents();
    ASSERT_EQ(session.Messages.size(), 3u);
    const GUID messageGuid{0xFA39BBD6, 0x335A, 0x1019, {0xB2, 0x3B, 0xCF, 0xB8, 0xFB, 0x0B, 0xA2, 0x4B}};
    for (const SentTraceMessage& message : session.Messages) {
        EXPECT_EQ(message.Logger, session.Logger);
        EXPECT_EQ(message.Flags, 0x2Bu);
        EXPECT_EQ(message.MessageGuid, messageGuid);
    }
    EXPECT_TRUE(session.Messages[0].Arguments.empty());
    ASSERT_EQ(session.Messages[1].Arguments.size(), 1u);
    EXPECT_EQ(session.Messages[1].Arguments[0].size(), 4u);
}

TEST_F(TraceProvider, ASessionEnabledBeforeRegistrationGetsTheFirstEvent) {
    session.EnableAtRegistration(1, 0);
    RegisterTraceProvider();
    TracePoint(EvProcessAttach);
    EXPECT_EQ(EventList(session), (Texts{"#10"}));
}

TEST_F(TraceProvider, DisableClearsTheSessionAndStopsEvents) {
    RegisterTraceProvider();
    session.Enable(1, 3);
    ASSERT_EQ(session.Disable(), ERROR_SUCCESS);
    EXPECT_EQ(TraceControlBlock.LoggerHandle, 0u);
    EXPECT_EQ(TraceControlBlock.EnableLevel, 0);
    EXPECT_EQ(TraceControlBlock.EnableFlags, 0u);
    SendSomeEvents();
    EXPECT_TRUE(session.Messages.empty());
    session.Enable(1, 3);
    TracePoint(EvKeyOpened);
    EXPECT_EQ(EventList(session), (Texts{"#16"}));
}

TEST_F(TraceProvider, OtherRequestsAreRefusedAndChangeNothing) {
    RegisterTraceProvider();
    session.Enable(1, 2);
    for (int code : {0, 1, 2, 3, 6, 7, 0xFF}) {
        EXPECT_EQ(session.SendRequest(static_cast<WMIDPREQUESTCODE>(code)), ERROR_INVALID_PARAMETER) << code;
        EXPECT_EQ(session.LastBufferSize, 0u);
        EXPECT_EQ(TraceControlBlock.LoggerHandle, session.Logger);
        EXPECT_EQ(TraceControlBlock.EnableLevel, 2);
        EXPECT_EQ(TraceControlBlock.EnableFlags, 1u);
    }
    EXPECT_EQ(session.Enable(1, 2), ERROR_SUCCESS);
    EXPECT_EQ(session.LastBufferSize, 0u) << "every request answers with an empty buffer";
}

TEST_F(TraceProvider, UnregisterReleasesOnceAndSilencesEvents) {
    session.EnableAtRegistration(1, 0);
    RegisterTraceProvider();
    UnregisterTraceProvider();
    EXPECT_EQ(session.Unregistered, std::vector<TRACEHANDLE>{session.NextRegistrationHandle});
    EXPECT_EQ(TraceControlBlock.RegistrationHandle, 0u);
    EXPECT_EQ(TraceControl, &TraceControl);
    SendSomeEvents();
    EXPECT_TRUE(session.Messages.empty()) << "flags left set in the block must not pass the gate";
    UnregisterTraceProvider();
    EXPECT_EQ(session.Unregistered.size(), 1u);
}

TEST_F(TraceProvider, ReportsSendTheEventBeforeItsText) {
    DebugCapture capture;
    session.EnableAtRegistration(1, 0);
    RegisterTraceProvider();
    Report<EvKeyOpened>();
    ReportValue<EvIsEnabledState>(2, "IsBluetoothRadioEnabled", 2);
    EXPECT_EQ(ReportTimeline(capture, session),
              (Texts{"#16", "OpenBtRadioKey: Registry Key Opened Successfully !!! \n", "#48(2)",
                     "IsBluetoothRadioEnabled IsBluetoothRadioEnabled << == RADIO STATE = 2 \n"}));
}

}  // namespace
