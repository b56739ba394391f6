#include <gtest/gtest.h>

#include "registry_fixture.h"
#include "simulated_radio_service.h"
#include "simulated_service_fixture.h"
#include "test_paths.h"

namespace {

using EnableRadioFunction = DWORD(WINAPI*)(BOOL);
using IsEnabledFunction = DWORD(WINAPI*)(BOOL*);

// The radio support DLL as the platform loads it, talking to the simulated-radio
// service of this bitness ("same") or of the other one ("peer") under the real SCM;
// the RPC runtime across processes, the registry and the events are all real, and
// the service runs in real time.
class WholeSwitch : public testing::TestWithParam<const char*> {
protected:
    void SetUp() override {
        servicePath = SimulatedServicePathFor(GetParam());
        ASSERT_FALSE(servicePath.empty()) << "the other bitness's simulated-radio service is missing";
        ASSERT_EQ(DeleteSimulatedRadioSettings(), ERROR_SUCCESS);
        SetRadioState(1);
        library = LoadLibraryA(LibraryPath().c_str());
        ASSERT_NE(library, nullptr) << GetLastError();
        enableRadio = Export<EnableRadioFunction>("BluetoothEnableRadio");
        isEnabled = Export<IsEnabledFunction>("IsBluetoothRadioEnabled");
        ASSERT_NE(enableRadio, nullptr);
        ASSERT_NE(isEnabled, nullptr);
    }
    void TearDown() override {
        if (library) FreeLibrary(library);
        ASSERT_EQ(DeleteSimulatedRadioSettings(), ERROR_SUCCESS);
    }

    template <typename Function>
    Function Export(const char* name) {
        return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(library, name)));
    }

    // IsBluetoothRadioEnabled's answer, or -1 when it fails.
    long long RadioEnabled() {
        BOOL enabled = 7;
        return isEnabled(&enabled) == ERROR_SUCCESS ? enabled : -1;
    }

    ScopedRadioSupportKey key;
    std::string servicePath;
    HMODULE library = nullptr;
    EnableRadioFunction enableRadio = nullptr;
    IsEnabledFunction isEnabled = nullptr;
};

TEST_P(WholeSwitch, OffThenOn) {
    SimulatedService service(servicePath);
    ASSERT_TRUE(service.StartServing());
    EXPECT_EQ(RadioEnabled(), 1);

    EXPECT_EQ(enableRadio(FALSE), DWORD{ERROR_SUCCESS});
    EXPECT_EQ(SimulatedRadioSetting(SimulatedRadioEnabledValue), 0) << "the radio's node is disabled";
    EXPECT_EQ(ReadRadioState(), 0);
    EXPECT_EQ(RadioEnabled(), 0);

    EXPECT_EQ(enableRadio(TRUE), DWORD{ERROR_SUCCESS});
    EXPECT_EQ(SimulatedRadioSetting(SimulatedRadioEnabledValue), 1) << "the radio's node is enabled again";
    EXPECT_EQ(ReadRadioState(), 1);
    EXPECT_EQ(RadioEnabled(), 1);

    EXPECT_EQ(service.Scm().Query().dwCurrentState, DWORD{SERVICE_RUNNING});
}

#if defined(__aarch64__)
// The suite's arm64 Wine runs no x86 or x64 program beside this build.
INSTANTIATE_TEST_SUITE_P(Service, WholeSwitch, testing::Values("same"),
                         [](const testing::TestParamInfo<const char*>& info) { return std::string(info.param); });
#elif defined(_WIN64)
// The 32-bit service on 64-bit Windows could never switch (SetupAPI refuses under WOW64):
// started anyway, it stops with ERROR_IN_WOW64 and never serves.
INSTANTIATE_TEST_SUITE_P(Service, WholeSwitch, testing::Values("same"),
                         [](const testing::TestParamInfo<const char*>& info) { return std::string(info.param); });

TEST(WholeSwitchUnderWow64, The32BitServiceStopsAtItsStartWithoutServing) {
    const std::string path = SimulatedServicePathFor("peer");
    ASSERT_FALSE(path.empty()) << "the other bitness's simulated-radio service is missing";
    ScopedRadioSupportKey key;
    SimulatedService service(path);
    ASSERT_EQ(service.Scm().Start(), DWORD{NO_ERROR});
    const DWORD start = GetTickCount();
    while (service.Scm().Query().dwCurrentState != SERVICE_STOPPED && GetTickCount() - start < 10000) Sleep(50);
    const SERVICE_STATUS_PROCESS status = service.Scm().Query();
    EXPECT_EQ(status.dwCurrentState, DWORD{SERVICE_STOPPED});
    EXPECT_EQ(status.dwWin32ExitCode, DWORD{0xE0000235}) << "ERROR_IN_WOW64";
    EXPECT_FALSE(WaitNamedPipeA("\\\\.\\pipe\\ZkBtRcIf", 0)) << "nobody serves the pipe";
}
#else
INSTANTIATE_TEST_SUITE_P(Service, WholeSwitch, testing::Values("same", "peer"),
                         [](const testing::TestParamInfo<const char*>& info) { return std::string(info.param); });
#endif

}  // namespace
