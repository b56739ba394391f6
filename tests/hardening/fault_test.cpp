// Faults around a switch, with the real DLL (real time: its 60 polls take 12 s) and the
// simulated-radio service under the real SCM.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "radio_control.h"
#include "radio_library.h"
#include "registry_fixture.h"
#include "simulated_radio_service.h"
#include "simulated_service_fixture.h"

namespace {

// 60 polls 200 ms apart, less a little for pauses that end early.
constexpr DWORD FullPollMs = 11500;

// BluetoothEnableRadio on a thread of its own, so that the test can act meanwhile.
class SwitchInFlight {
public:
    SwitchInFlight(const RadioLibrary& library, BOOL on)
        : start_(GetTickCount()), thread_([this, &library, on] {
              result_ = library.EnableRadio(on);
              elapsed_ = GetTickCount() - start_;
          }) {}
    ~SwitchInFlight() {
        if (thread_.joinable()) thread_.join();
    }
    SwitchInFlight(const SwitchInFlight&) = delete;
    SwitchInFlight& operator=(const SwitchInFlight&) = delete;

    DWORD Result() {
        thread_.join();
        return result_;
    }
    DWORD ElapsedMs() const { return elapsed_; }

private:
    DWORD start_;
    std::atomic<DWORD> result_{~0u};
    std::atomic<DWORD> elapsed_{0};
    std::thread thread_;
};

DWORD TimedRequest(const char* request) {
    RadioBinding binding;
    const DWORD start = GetTickCount();
    RequestRadioSwitch(binding.Handle(), request);
    return GetTickCount() - start;
}

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

TEST_F(Faults, AServiceKilledInTheMiddleOfASwitchFailsItAndTheNextStartServesTheSameLibrary) {
    Setting(SimulatedRadioEventDelayValue, 60000);  // the removal would come after a minute
    SimulatedService service(SimulatedServicePath());
    ASSERT_TRUE(service.StartServing());
    RadioLibrary library;
    ASSERT_TRUE(library.Loaded()) << library.LoadError();

    SwitchInFlight off(library, FALSE);
    Sleep(1500);  // past the pause before the disable: the service waits for the removal
    HANDLE process = OpenProcess(PROCESS_TERMINATE, FALSE, service.Scm().Query().dwProcessId);
    ASSERT_NE(process, nullptr) << GetLastError();
    ASSERT_TRUE(TerminateProcess(process, 3));
    CloseHandle(process);

    EXPECT_EQ(off.Result(), DWORD{ERROR_FUNCTION_FAILED});
    EXPECT_GE(off.ElapsedMs(), 1500 + FullPollMs) << "the library polled its full time";
    EXPECT_EQ(ReadRadioState(), 1) << "nothing was written";
    // Wine's SCM goes on showing the dead service as running; its next start works all the same.

    Setting(SimulatedRadioEventDelayValue, 100);
    ASSERT_TRUE(service.StartServing());
    EXPECT_EQ(library.EnableRadio(FALSE), DWORD{ERROR_SUCCESS});
    EXPECT_EQ(ReadRadioState(), 0);
    EXPECT_EQ(library.Enabled(), 0);
}

TEST_F(Faults, AStopWhileARequestWaitsLetsTheSwitchCompleteAndBeConfirmed) {
    Setting(SimulatedRadioEventDelayValue, 2000);
    SimulatedService service(SimulatedServicePath());
    ASSERT_TRUE(service.StartServing());
    RadioLibrary library;
    ASSERT_TRUE(library.Loaded()) << library.LoadError();

    SwitchInFlight off(library, FALSE);
    Sleep(1200);  // the node is disabled; its removal comes in about a second
    SERVICE_STATUS status{};
    ASSERT_EQ(service.Scm().Control(SERVICE_CONTROL_STOP, &status), DWORD{NO_ERROR});
    EXPECT_EQ(status.dwCurrentState, DWORD{SERVICE_STOP_PENDING});

    EXPECT_EQ(off.Result(), DWORD{ERROR_SUCCESS});
    EXPECT_EQ(ReadRadioState(), 0);
    EXPECT_EQ(SimulatedRadioSetting(SimulatedRadioEnabledValue), 0);
    const SERVICE_STATUS_PROCESS seen = service.Scm().WaitForState(SERVICE_STOPPED, 10000);
    EXPECT_EQ(seen.dwCurrentState, DWORD{SERVICE_STOPPED});
    EXPECT_EQ(seen.dwWin32ExitCode, 0u);
    EXPECT_EQ(service.Scm().WaitForProcessExit(10000), 0u);
}

TEST_F(Faults, ARadioNodeThatFailsEveryDisableReleasesTheRequestAndTheLibraryFails) {
    Setting(SimulatedRadioTimeScaleValue, 10);  // the request's limit: 12 s
    Setting(SimulatedRadioInstallerErrorValue, ERROR_GEN_FAILURE);
    SimulatedService service(SimulatedServicePath());
    ASSERT_TRUE(service.StartServing());

    // 9 class-installer calls with 8 pauses of 500 ms (scaled), then the release.
    EXPECT_LT(TimedRequest(DisableRadioRequest), 3000u) << "released by the failure, not by the limit";

    RadioLibrary library;
    ASSERT_TRUE(library.Loaded()) << library.LoadError();
    const DWORD start = GetTickCount();
    EXPECT_EQ(library.EnableRadio(FALSE), DWORD{ERROR_FUNCTION_FAILED});
    EXPECT_GE(GetTickCount() - start, FullPollMs);
    EXPECT_EQ(ReadRadioState(), 1);
    EXPECT_EQ(SimulatedRadioSetting(SimulatedRadioEnabledValue), -1) << "the radio never went";
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

TEST_F(Faults, TheValueDeletedDuringALibraryWaitEndsItAtOnce) {
    SimulatedService service(SimulatedServicePath());
    ASSERT_TRUE(service.StartServing());
    ASSERT_EQ(service.Scm().Control(SERVICE_CONTROL_PAUSE), DWORD{NO_ERROR});  // the request changes nothing
    RadioLibrary library;
    ASSERT_TRUE(library.Loaded()) << library.LoadError();

    SwitchInFlight off(library, FALSE);
    Sleep(1000);  // the library polls the unchanged value
    DeleteRadioStateValue();
    EXPECT_EQ(off.Result(), DWORD{ERROR_FUNCTION_FAILED});
    EXPECT_LT(off.ElapsedMs(), 3000u) << "the next read ended the wait, long before its 12 s";
    EXPECT_EQ(library.Enabled(), -1);
}

}  // namespace
