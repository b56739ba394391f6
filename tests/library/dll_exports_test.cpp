// The shipped DLL's two exports, reached as the platform reaches them: LoadLibrary and
// GetProcAddress by name. Its pauses are real here, so only paths that end quickly; what
// the exports report at each step is entry_points_test's.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "debug_capture.h"
#include "radio_server_process.h"
#include "registry_fixture.h"
#include "test_paths.h"

namespace {

using Texts = std::vector<std::string>;
using EnableRadioExport = DWORD(WINAPI*)(BOOL);
using IsEnabledExport = DWORD(WINAPI*)(BOOL*);

template <typename Export>
Export Lookup(HMODULE module, const char* name) {
    return reinterpret_cast<Export>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

// A pause may end a little before the tick it was asked for.
constexpr int SleepSlackMs = 5;

std::chrono::milliseconds Since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
}

class DllExports : public testing::Test {
protected:
    void SetUp() override {
        module = LoadLibraryA(LibraryPath().c_str());
        ASSERT_NE(module, nullptr) << GetLastError();
        enableRadio = Lookup<EnableRadioExport>(module, "BluetoothEnableRadio");
        isEnabled = Lookup<IsEnabledExport>(module, "IsBluetoothRadioEnabled");
        ASSERT_NE(enableRadio, nullptr);
        ASSERT_NE(isEnabled, nullptr);
        capture.Clear();
    }
    void TearDown() override {
        if (module) FreeLibrary(module);
    }

    ScopedRadioSupportKey key;
    DebugCapture capture;
    HMODULE module = nullptr;
    EnableRadioExport enableRadio = nullptr;
    IsEnabledExport isEnabled = nullptr;
};

// The shipped image's exception guard catches the raise of a call with no service.
TEST_F(DllExports, ConfirmARadioAlreadyInTheRequestedStateWithoutAService) {
    SetRadioState(1);
    EXPECT_EQ(enableRadio(TRUE), DWORD{ERROR_SUCCESS});
    const Texts texts = capture.Texts();
    EXPECT_NE(std::find(texts.begin(), texts.end(), "EnableDisableUSBBtDevice: RpcTryExcept FAILED !!!\n"), texts.end());
    EXPECT_EQ(texts.back(), "BluetoothEnableRadio; BluetoothEnableRadio << == \n");
}

TEST_F(DllExports, SwitchOnAndOffThroughAServiceThatWritesTheState) {
    SetRadioState(0);
    RadioServerProcess server(TestServerPath(), 0, RadioStateWrites::BeforeAnswer);
    ASSERT_TRUE(server.Listening());
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(enableRadio(TRUE), DWORD{ERROR_SUCCESS});
    EXPECT_GE(Since(start).count(), 200 - SleepSlackMs) << "one real poll interval";
    BOOL enabled = 0x5A5A;
    EXPECT_EQ(isEnabled(&enabled), DWORD{ERROR_SUCCESS});
    EXPECT_EQ(enabled, TRUE);

    start = std::chrono::steady_clock::now();
    EXPECT_EQ(enableRadio(FALSE), DWORD{ERROR_SUCCESS});
    EXPECT_GE(Since(start).count(), 700 - SleepSlackMs) << "a poll interval and the settling pause";
    EXPECT_EQ(isEnabled(&enabled), DWORD{ERROR_SUCCESS});
    EXPECT_EQ(enabled, FALSE);

    StopRadioTestServer();
    ASSERT_TRUE(server.WaitForExit());
    EXPECT_EQ(server.Requests(), (Texts{"EnableZentBtRadio", "DisableZentBtRadio"}));
}

}  // namespace
