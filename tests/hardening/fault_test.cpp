// Faults around a switch, with the real DLL (real time: its 60 polls take 12 s) and the
// simulated-radio service under the real SCM.
#include <gtest/gtest.h>

#include "radio_control.h"
#include "radio_library.h"
#include "registry_fixture.h"
#include "simulated_radio_service.h"
#include "simulated_service_fixture.h"

namespace {

// 60 polls 200 ms apart, less a little for pauses that end early.
constexpr DWORD FullPollMs = 11500;

class Faults : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(DeleteSimulatedRadioSettings(), ERROR_SUCCESS);
        SetRadioState(1);
    }
    void TearDown() override { DeleteSimulatedRadioSettings(); }

    static void Setting(const char* name, DWORD value) {
        ASSERT_EQ(WriteSimulatedRadioSetting(name, value), ERROR_SUCCESS) << name;
    }

    ScopedRadioSupportKey key;
};

TEST_F(Faults, AServiceKilledInTheMiddleOfAnOffSwitchLeavesTheRadioOffAndItsNextStartSaysSo) {
    Setting(SimulatedRadioEventDelayValue, 3000);  // the removal would come 3 s after the change
    SimulatedService service(SimulatedServicePath());
    ASSERT_TRUE(service.StartServing());
    RadioLibrary library;
    ASSERT_TRUE(library.Loaded()) << library.LoadError();

    InFlight off([&] { return library.EnableRadio(FALSE); });
    ASSERT_TRUE(WaitUntil(SimulatedRadioRunning, 0, 3000)) << "the node was disabled";
    HANDLE process = OpenProcess(PROCESS_TERMINATE, FALSE, service.Scm().Query().dwProcessId);
    ASSERT_NE(process, nullptr) << GetLastError();
    ASSERT_TRUE(TerminateProcess(process, 3));
    CloseHandle(process);

    EXPECT_EQ(off.Result(), DWORD{ERROR_FUNCTION_FAILED});
    EXPECT_GE(off.ElapsedMs(), FullPollMs) << "the library polled its full time";
    EXPECT_EQ(ReadRadioState(), 1) << "nothing was written";
    EXPECT_EQ(SimulatedRadioSetting(SimulatedRadioDisabledValue), 1) << "the node stays disabled";

    // Started again (Wine's SCM goes on showing the dead service as running; its next start
    // works all the same), the service finds the radio off and says so once it serves.
    // The request's limit is 1.2 s from here on.
    Setting(SimulatedRadioTimeScaleValue, 100);
    ASSERT_TRUE(service.StartServing());
    ASSERT_TRUE(WaitUntil(ReadRadioState, 0, 3000)) << "the next start wrote 0";
    EXPECT_EQ(library.Enabled(), 0);
    EXPECT_EQ(library.EnableRadio(TRUE), DWORD{ERROR_SUCCESS});
    EXPECT_EQ(SimulatedRadioRunning(), 1) << "an on request brought the radio back";
    EXPECT_EQ(ReadRadioState(), 1);
}

TEST_F(Faults, ARadioNodeThatFailsEveryDisableReleasesTheRequestAtOnceAndTheRadioStaysOn) {
    Setting(SimulatedRadioTimeScaleValue, 10);  // the request's limit: 12 s
    Setting(SimulatedRadioInstallerFailuresValue, 0xFFFFFFFF);
    SimulatedService service(SimulatedServicePath());
    ASSERT_TRUE(service.StartServing());

    // 9 class-installer calls with 8 pauses of 500 ms (scaled), then the release. The
    // library, seeing the value unchanged, fails after its polls (as in the first test).
    EXPECT_LT(TimedRequest(DisableRadioRequest), 3000u) << "released by the failure, not by the limit";
    EXPECT_EQ(ReadRadioState(), 1);
    EXPECT_EQ(SimulatedRadioRunning(), -1) << "the radio never went";
    EXPECT_EQ(service.Scm().Query().dwCurrentState, DWORD{SERVICE_RUNNING});
}

TEST_F(Faults, TheRadioSupportKeyDeletedWhileTheServiceRunsIsUsedAgainOnceItIsBack) {
    Setting(SimulatedRadioTimeScaleValue, 40);  // the request's limit: 3 s
    SimulatedService service(SimulatedServicePath());
    ASSERT_TRUE(service.StartServing());
    RadioLibrary library;
    ASSERT_TRUE(library.Loaded()) << library.LoadError();
    ASSERT_EQ(library.EnableRadio(FALSE), DWORD{ERROR_SUCCESS});
    ASSERT_EQ(library.EnableRadio(TRUE), DWORD{ERROR_SUCCESS});  // both sides hold the key open now

    DeleteRadioSupportKey();
    EXPECT_EQ(library.Enabled(), -1);
    EXPECT_EQ(library.EnableRadio(FALSE), DWORD{ERROR_INVALID_PARAMETER}) << "no state to start from";
    // The service still switches, but the removal finds no key to write: nobody is released.
    EXPECT_GE(TimedRequest(DisableRadioRequest), 2900u);
    EXPECT_EQ(SimulatedRadioSetting(SimulatedRadioEnabledValue), 0);
    EXPECT_FALSE(RadioSupportKeyExists()) << "neither side creates the key";

    // The port driver's key comes back: both sides use it without a restart or a reload.
    CreateRadioSupportKey();
    SetRadioState(0);
    EXPECT_EQ(library.Enabled(), 0);
    EXPECT_EQ(library.EnableRadio(TRUE), DWORD{ERROR_SUCCESS});
    EXPECT_EQ(ReadRadioState(), 1);
    EXPECT_EQ(library.Enabled(), 1);
}

}  // namespace
