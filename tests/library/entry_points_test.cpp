// BluetoothEnableRadio and IsBluetoothRadioEnabled with the library's code linked in:
// the real registry and real RPC to radio_test_server processes, every event switched
// on, and the pauses recorded (not taken) so that a 12 s poll runs at once.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "debug_capture.h"
#include "diagnostics.h"
#include "entry_points.h"
#include "lifecycle.h"
#include "radio_key.h"
#include "radio_server_process.h"
#include "registry_fixture.h"
#include "report_timeline.h"
#include "request_client.h"
#include "sim_sleep.h"
#include "sim_trace.h"
#include "stack_wait.h"

namespace {

using Texts = std::vector<std::string>;

Texts Join(std::initializer_list<Texts> parts) {
    Texts joined;
    for (const Texts& part : parts) joined.insert(joined.end(), part.begin(), part.end());
    return joined;
}

Texts Repeat(const Texts& part, int times) {
    Texts repeated;
    for (int i = 0; i < times; ++i) repeated.insert(repeated.end(), part.begin(), part.end());
    return repeated;
}

std::string Num(DWORD value) { return std::to_string(value); }

const Texts EnableEntry = {"#67", "BluetoothEnableRadio: BluetoothEnableRadio ==>> \n"};
const Texts InvalidParameter = {"#68", "BluetoothEnableRadio: Invalid Parameter!!! << == \n"};
const Texts ReadFailed = {"#19", "QueryBtRadioKeyValue: Could Not Retrieve Registry Key Value!!! \n"};

Texts StateRead(DWORD value) { return {"#18(" + Num(value) + ")", "QueryBtRadioKeyValue: Current BT RADIO STATE = " + Num(value) + " \n"}; }

// Entry, the state read, and the current and requested states.
Texts SwitchStart(DWORD current, DWORD requested) {
    return Join({EnableEntry, StateRead(current),
                 {"#69(" + Num(current) + ")", "BluetoothEnableRadio: Current Radio State == " + Num(current) + " \n",
                  "#70(" + Num(requested) + ")", "BluetoothEnableRadio: Requested Radio State == " + Num(requested) + " \n"}});
}

Texts Request(bool answered) {
    Texts request = {"#38", "EnableDisableUSBBtDevice: RpcStringBindingCompose PASSED !!!\n",
                     "#40", "EnableDisableUSBBtDevice: RpcBindingFromStringBinding PASSED !!!\n"};
    if (!answered) request.insert(request.end(), {"#41", "EnableDisableUSBBtDevice: RpcTryExcept FAILED !!!\n"});
    request.insert(request.end(), {"#43", "EnableDisableUSBBtDevice: RpcStringFree PASSED !!!\n",
                                   "#45", "EnableDisableUSBBtDevice: RpcBindingFree PASSED !!!\n"});
    return request;
}

const Texts EnablePassed = {"BluetoothEnableRadio; BluetoothEnableRadio ==>> ENABLE USB BT RADIO PASSED !!! \n"};
const Texts DisablePassed = {"BluetoothEnableRadio; BluetoothEnableRadio ==>> DISABLE USB BT RADIO PASSED !!! \n"};
const Texts LoadWaitEntry = {"#53", "WaitUntilMsftBtStackLoaded: WaitUntilMsftBtStackLoaded ==>> \n"};
const Texts UnloadWaitEntry = {"#49", "WaitUntilMsftBtStackUnloaded: WaitUntilMsftBtStackUnloaded ==>> \n"};
const Texts StackLoaded = {"#56", "BT Stack LOADS SUCCESSFULLY !!! << == \n"};
const Texts StackUnloaded = {"#52", "BT Stack Unloads SUCCESSFULLY !!! << == \n"};
const Texts LoadWaitReturned = {"BluetoothEnableRadio:: WaitUntilMsftBtStackLoaded Returned!!!\n"};
const Texts UnloadWaitReturned = {"BluetoothEnableRadio:: WaitUntilMsftBtStackUnloaded Returned!!!\n"};
const Texts SwitchedOn = {"BluetoothEnableRadio; BluetoothEnableRadio ==>> USB BT RADIO RF SWITCHED ON!!! \n",
                          "#89", "BluetoothEnableRadio; BluetoothEnableRadio << == \n"};
const Texts SwitchedOff = {"sleep 500",
                           "BluetoothEnableRadio; BluetoothEnableRadio ==>> USB BT RADIO RF SWITCHED OFF!!! \n",
                           "#89", "BluetoothEnableRadio; BluetoothEnableRadio << == \n"};
const Texts Poll = {"sleep 200"};

// One pass of a wait that does not see its target: the read and the pause.
Texts MissedPass(DWORD value) { return Join({StateRead(value), Poll}); }

// The library attached with the key present, every event switched on, pauses recorded.
class EntryPoints : public testing::Test {
protected:
    void SetUp() override {
        session.EnableAtRegistration(1, 0);
        ASSERT_TRUE(DllMain(nullptr, DLL_PROCESS_ATTACH, nullptr));
        Forget();
    }
    void TearDown() override { DllMain(nullptr, DLL_PROCESS_DETACH, nullptr); }

    void Forget() {
        session.Messages.clear();
        capture.Clear();
    }
    Texts Timeline() const { return ReportTimeline(capture, session, sleeps); }

    ScopedRadioSupportKey key;
    SimTraceSession session;
    SimSleep sleeps;
    DebugCapture capture;
};

TEST_F(EntryPoints, AnArgumentOtherThanZeroOrOneIsRejectedBeforeAnythingIsRead) {
    SetRadioState(1);
    for (BOOL argument : {2, 3, 0x100, INT_MAX, INT_MIN, -2, -1}) {
        Forget();
        EXPECT_EQ(BluetoothEnableRadio(argument), DWORD{ERROR_INVALID_PARAMETER}) << argument;
        EXPECT_EQ(Timeline(), Join({EnableEntry, InvalidParameter})) << argument;
    }
    EXPECT_EQ(RadioLibraryContext->RadioState, 0) << "the value was never read";
    EXPECT_TRUE(sleeps.Durations().empty());
}

// Which values cannot be read is radio_key_test's; here, what the exports make of it.
TEST_F(EntryPoints, AnUnreadableValueMakesBothExportsAnswerInvalidParameter) {
    DeleteRadioStateValue();
    EXPECT_EQ(BluetoothEnableRadio(TRUE), DWORD{ERROR_INVALID_PARAMETER});
    EXPECT_EQ(Timeline(), Join({EnableEntry, ReadFailed, InvalidParameter}));

    Forget();
    BOOL enabled = 0x5A5A;
    EXPECT_EQ(IsBluetoothRadioEnabled(&enabled), DWORD{ERROR_INVALID_PARAMETER});
    EXPECT_EQ(enabled, 0x5A5A);
    EXPECT_EQ(Timeline(), Join({{"#46", "IsBluetoothRadioEnabled: IsBluetoothRadioEnabled ==>> \n"}, ReadFailed, {"#47"}}));
    EXPECT_TRUE(sleeps.Durations().empty());
}

// The byte kept from the value (radio_key_test) fills the whole BOOL, unchanged, wherever it lies.
TEST_F(EntryPoints, IsBluetoothRadioEnabledAnswersWithTheLowByteOfTheValue) {
    const struct {
        DWORD Stored;
        BOOL Reported;
    } cases[] = {{0, 0}, {1, 1}, {2, 2}, {257, 1}, {0x7FFFFFFF, 255}};
    for (const auto& c : cases) {
        SetRadioState(c.Stored);
        Forget();
        // At an odd address, between bytes that must stay as they are.
        alignas(8) unsigned char buffer[8];
        std::memset(buffer, 0xEE, sizeof buffer);
        EXPECT_EQ(IsBluetoothRadioEnabled(reinterpret_cast<BOOL*>(buffer + 1)), DWORD{ERROR_SUCCESS}) << c.Stored;
        BOOL enabled;
        std::memcpy(&enabled, buffer + 1, sizeof enabled);
        EXPECT_EQ(enabled, c.Reported) << c.Stored;
        EXPECT_EQ(buffer[0], 0xEE) << c.Stored;
        EXPECT_EQ(buffer[1 + sizeof(BOOL)], 0xEE) << c.Stored;
        EXPECT_EQ(Timeline(),
                  Join({{"#46", "IsBluetoothRadioEnabled: IsBluetoothRadioEnabled ==>> \n"}, StateRead(c.Stored),
                        {"#48(" + Num(c.Reported) + ")",
                         "IsBluetoothRadioEnabled IsBluetoothRadioEnabled << == RADIO STATE = " + Num(c.Reported) +
                             " \n"}}))
            << c.Stored;
    }
}

TEST_F(EntryPoints, IsBluetoothRadioEnabledWithoutAPlaceForTheAnswerReadsNothing) {
    SetRadioState(1);
    BOOL enabled;
    ASSERT_EQ(IsBluetoothRadioEnabled(&enabled), DWORD{ERROR_SUCCESS});
    SetRadioState(0);
    Forget();
    EXPECT_EQ(IsBluetoothRadioEnabled(nullptr), DWORD{ERROR_INVALID_PARAMETER});
    EXPECT_EQ(RadioLibraryContext->RadioState, 1) << "the cached state was not refreshed";
    EXPECT_EQ(Timeline(), (Texts{"#46", "IsBluetoothRadioEnabled: IsBluetoothRadioEnabled ==>> \n"}));
}

TEST_F(EntryPoints, SwitchOnIsConfirmedOnceTheServiceHasWrittenTheState) {
    SetRadioState(0);
    RadioServerProcess server(TestServerPath(), 0, RadioStateWrites::BeforeAnswer);
    ASSERT_TRUE(server.Listening());
    EXPECT_EQ(BluetoothEnableRadio(TRUE), DWORD{ERROR_SUCCESS});
    // The first check uses the state read before the request; the read after it finds 1.
    EXPECT_EQ(Timeline(), Join({SwitchStart(0, 1), Request(true), EnablePassed, LoadWaitEntry, StateRead(1), Poll,
                                StackLoaded, LoadWaitReturned, SwitchedOn}));
    EXPECT_EQ(EventList(session), (Texts{"#67", "#18(0)", "#69(0)", "#70(1)", "#38", "#40", "#43", "#45", "#53",
                                         "#18(1)", "#56", "#89"}));
    EXPECT_EQ(capture.Texts().size(), 15u);
    StopRadioTestServer();
    ASSERT_TRUE(server.WaitForExit());
    EXPECT_EQ(server.Requests(), Texts{"EnableZentBtRadio"});
}

TEST_F(EntryPoints, SwitchOffPausesHalfASecondMoreOnceTheStackHasUnloaded) {
    SetRadioState(1);
    RadioServerProcess server(TestServerPath(), 0, RadioStateWrites::BeforeAnswer);
    ASSERT_TRUE(server.Listening());
    EXPECT_EQ(BluetoothEnableRadio(FALSE), DWORD{ERROR_SUCCESS});
    EXPECT_EQ(Timeline(), Join({SwitchStart(1, 0), Request(true), DisablePassed, UnloadWaitEntry, StateRead(0), Poll,
                                StackUnloaded, UnloadWaitReturned, SwitchedOff}));
    EXPECT_EQ(sleeps.Durations(), (std::vector<DWORD>{200, 500}));
    StopRadioTestServer();
    ASSERT_TRUE(server.WaitForExit());
    EXPECT_EQ(server.Requests(), Texts{"DisableZentBtRadio"});
}

TEST_F(EntryPoints, ARadioAlreadyInTheRequestedStateStillSendsTheRequestAndSucceedsAtTheFirstCheck) {
    RadioServerProcess server(TestServerPath());
    ASSERT_TRUE(server.Listening());
    SetRadioState(1);
    EXPECT_EQ(BluetoothEnableRadio(TRUE), DWORD{ERROR_SUCCESS});
    EXPECT_EQ(Timeline(), Join({SwitchStart(1, 1), Request(true), EnablePassed, LoadWaitEntry, StackLoaded,
                                LoadWaitReturned, SwitchedOn}));

    SetRadioState(0);
    Forget();
    EXPECT_EQ(BluetoothEnableRadio(FALSE), DWORD{ERROR_SUCCESS});
    EXPECT_EQ(Timeline(), Join({SwitchStart(0, 0), Request(true), DisablePassed, UnloadWaitEntry, StackUnloaded,
                                UnloadWaitReturned, SwitchedOff}));
    EXPECT_EQ(sleeps.Durations(), std::vector<DWORD>{500});
    StopRadioTestServer();
    ASSERT_TRUE(server.WaitForExit());
    EXPECT_EQ(server.Requests(), (Texts{"EnableZentBtRadio", "DisableZentBtRadio"}));
}

TEST_F(EntryPoints, WithoutAServiceARadioThatIsOffIsGivenUpAfterSixtyReadsAndPauses) {
    SetRadioState(0);
    EXPECT_EQ(BluetoothEnableRadio(TRUE), DWORD{ERROR_FUNCTION_FAILED});
    EXPECT_EQ(Timeline(), Join({SwitchStart(0, 1), Request(false), EnablePassed, LoadWaitEntry, Repeat(MissedPass(0), 60),
                                {"#54", "TIMEOUT OCCURED!!! << == \n"}, LoadWaitReturned}));
    EXPECT_EQ(sleeps.Durations(), std::vector<DWORD>(60, 200));
}

TEST_F(EntryPoints, AServiceThatAnswersWithoutTheStateChangingTimesOut) {
    SetRadioState(1);
    RadioServerProcess server(TestServerPath());
    ASSERT_TRUE(server.Listening());
    EXPECT_EQ(BluetoothEnableRadio(FALSE), DWORD{ERROR_FUNCTION_FAILED});
    EXPECT_EQ(Timeline(), Join({SwitchStart(1, 0), Request(true), DisablePassed, UnloadWaitEntry,
                                Repeat(MissedPass(1), 60), {"#50", "TIMEOUT OCCURED!!! << == \n"}, UnloadWaitReturned}));
    EXPECT_EQ(sleeps.Durations(), std::vector<DWORD>(60, 200)) << "no settling pause after a failed switch-off";
    StopRadioTestServer();
    ASSERT_TRUE(server.WaitForExit());
}

TEST_F(EntryPoints, TheValueReadInTheLastPassIsNotExamined) {
    SetRadioState(0);
    // The state arrives with the 59th read: the 60th pass sees it.
    sleeps.AfterSleep = [](size_t n) { if (n == 58) SetRadioState(1); };
    EXPECT_EQ(BluetoothEnableRadio(TRUE), DWORD{ERROR_SUCCESS});
    EXPECT_EQ(sleeps.Durations(), std::vector<DWORD>(59, 200));

    SetRadioState(1);
    sleeps.Clear();
    // It arrives with the 60th read, which no pass examines any more.
    sleeps.AfterSleep = [](size_t n) { if (n == 59) SetRadioState(0); };
    EXPECT_EQ(BluetoothEnableRadio(FALSE), DWORD{ERROR_FUNCTION_FAILED});
    EXPECT_EQ(sleeps.Durations(), std::vector<DWORD>(60, 200));
    EXPECT_EQ(RadioLibraryContext->RadioState, 0) << "the 60th read did happen";
    EXPECT_EQ(capture.Texts().back(), UnloadWaitReturned.back());
}

TEST_F(EntryPoints, AValueThatBecomesUnreadableEndsTheWaitAtOnce) {
    SetRadioState(0);
    sleeps.AfterSleep = [](size_t n) { if (n == 3) DeleteRadioStateValue(); };
    EXPECT_EQ(BluetoothEnableRadio(TRUE), DWORD{ERROR_FUNCTION_FAILED});
    EXPECT_EQ(Timeline(), Join({SwitchStart(0, 1), Request(false), EnablePassed, LoadWaitEntry, Repeat(MissedPass(0), 3),
                                ReadFailed, {"#55", "QueryBtRadioKeyValue FAILED!!! << == \n"}, LoadWaitReturned}));

    SetRadioState(1);
    sleeps.Clear();
    sleeps.AfterSleep = [](size_t n) { if (n == 1) DeleteRadioStateValue(); };
    Forget();
    EXPECT_EQ(BluetoothEnableRadio(FALSE), DWORD{ERROR_FUNCTION_FAILED});
    EXPECT_EQ(Timeline(),
              Join({SwitchStart(1, 0), Request(false), DisablePassed, UnloadWaitEntry, MissedPass(1), ReadFailed,
                    {"#51", "QueryBtRadioKeyValue FAILED!!! << == \n"}, UnloadWaitReturned}));
}

TEST_F(EntryPoints, TheWaitsReportTheStateTheyExaminedLast) {
    SetRadioState(2);
    ASSERT_TRUE(QueryBtRadioKeyValue());
    DWORD examined = 0xDEAD;
    EXPECT_EQ(WaitUntilMsftBtStackLoaded(&examined), DWORD{ERROR_SUCCESS});
    EXPECT_EQ(examined, 2u) << "the cached byte as it was, without a read";

    SetRadioState(0x103);
    EXPECT_EQ(WaitUntilMsftBtStackUnloaded(&examined), DWORD{ERROR_INVALID_PARAMETER});
    EXPECT_EQ(examined, 3u) << "the low byte of the 59th read";

    DeleteRadioStateValue();
    examined = 0xDEAD;
    EXPECT_EQ(WaitUntilMsftBtStackUnloaded(&examined), DWORD{ERROR_INVALID_PARAMETER});
    EXPECT_EQ(examined, 3u) << "examined before the read that failed";
}

// The second call is made from inside the first one's poll, so the two overlap for certain.
TEST_F(EntryPoints, ASwitchMadeWhileAnotherIsUnderWayIsRefusedAtOnce) {
    SetRadioState(0);
    RadioServerProcess server(TestServerPath(), 0, RadioStateWrites::BeforeAnswer);
    ASSERT_TRUE(server.Listening());
    DWORD overlapping = 0;
    DWORD overlappingThread = 0;
    sleeps.AfterSleep = [&](size_t n) {
        if (n != 1) return;
        std::thread caller([&] {
            overlappingThread = GetCurrentThreadId();
            overlapping = BluetoothEnableRadio(FALSE);
        });
        caller.join();
    };
    EXPECT_EQ(BluetoothEnableRadio(TRUE), DWORD{ERROR_SUCCESS}) << "the switch under way goes on";
    sleeps.AfterSleep = nullptr;
    EXPECT_EQ(overlapping, DWORD{ERROR_FUNCTION_FAILED});
    EXPECT_EQ(capture.Texts(overlappingThread),
              (Texts{"BluetoothEnableRadio: BluetoothEnableRadio ==>> \n",
                     "BluetoothEnableRadio:: FAILED TO DISABLE ZENTRIK USB BT RADIO !!!\n"}));
    EXPECT_EQ(BluetoothEnableRadio(FALSE), DWORD{ERROR_SUCCESS}) << "once it is over, the next switch runs";
    StopRadioTestServer();
    ASSERT_TRUE(server.WaitForExit());
    EXPECT_EQ(server.Requests(), (Texts{"EnableZentBtRadio", "DisableZentBtRadio"})) << "the refused one sent nothing";
}

}  // namespace
