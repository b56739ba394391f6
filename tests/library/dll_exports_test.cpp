// The shipped DLL's two exports, reached as the platform reaches them: LoadLibrary and
// GetProcAddress by name. Its pauses are real here, so only paths that end quickly.
#include <gtest/gtest.h>

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

const Texts RequestTexts = {
    "EnableDisableUSBBtDevice: RpcStringBindingCompose PASSED !!!\n",
    "EnableDisableUSBBtDevice: RpcBindingFromStringBinding PASSED !!!\n",
    "EnableDisableUSBBtDevice: RpcStringFree PASSED !!!\n",
    "EnableDisableUSBBtDevice: RpcBindingFree PASSED !!!\n",
};

// A normal switch-on of a radio that is off, through a service that writes the state.
const Texts SwitchOnTexts = {
    "BluetoothEnableRadio: BluetoothEnableRadio ==>> \n",
    "QueryBtRadioKeyValue: Current BT RADIO STATE = 0 \n",
    "BluetoothEnableRadio: Current Radio State == 0 \n",
    "BluetoothEnableRadio: Requested Radio State == 1 \n",
    RequestTexts[0],
    RequestTexts[1],
    RequestTexts[2],
    RequestTexts[3],
    "BluetoothEnableRadio; BluetoothEnableRadio ==>> ENABLE USB BT RADIO PASSED !!! \n",
    "WaitUntilMsftBtStackLoaded: WaitUntilMsftBtStackLoaded ==>> \n",
    "QueryBtRadioKeyValue: Current BT RADIO STATE = 1 \n",
    "BT Stack LOADS SUCCESSFULLY !!! << == \n",
    "BluetoothEnableRadio:: WaitUntilMsftBtStackLoaded Returned!!!\n",
    "BluetoothEnableRadio; BluetoothEnableRadio ==>> USB BT RADIO RF SWITCHED ON!!! \n",
    "BluetoothEnableRadio; BluetoothEnableRadio << == \n",
};

const Texts SwitchOffTexts = {
    "BluetoothEnableRadio: BluetoothEnableRadio ==>> \n",
    "QueryBtRadioKeyValue: Current BT RADIO STATE = 1 \n",
    "BluetoothEnableRadio: Current Radio State == 1 \n",
    "BluetoothEnableRadio: Requested Radio State == 0 \n",
    RequestTexts[0],
    RequestTexts[1],
    RequestTexts[2],
    RequestTexts[3],
    "BluetoothEnableRadio; BluetoothEnableRadio ==>> DISABLE USB BT RADIO PASSED !!! \n",
    "WaitUntilMsftBtStackUnloaded: WaitUntilMsftBtStackUnloaded ==>> \n",
    "QueryBtRadioKeyValue: Current BT RADIO STATE = 0 \n",
    "BT Stack Unloads SUCCESSFULLY !!! << == \n",
    "BluetoothEnableRadio:: WaitUntilMsftBtStackUnloaded Returned!!!\n",
    "BluetoothEnableRadio; BluetoothEnableRadio ==>> USB BT RADIO RF SWITCHED OFF!!! \n",
    "BluetoothEnableRadio; BluetoothEnableRadio << == \n",
};

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

TEST_F(DllExports, RejectInvalidArgumentsAndAnswerFromTheValue) {
    SetRadioState(1);
    EXPECT_EQ(enableRadio(2), DWORD{ERROR_INVALID_PARAMETER});
    EXPECT_EQ(enableRadio(-1), DWORD{ERROR_INVALID_PARAMETER});

    BOOL enabled = 0x5A5A;
    SetRadioState(2);
    EXPECT_EQ(isEnabled(&enabled), DWORD{ERROR_SUCCESS});
    EXPECT_EQ(enabled, 2);
    SetRadioState(256);
    capture.Clear();
    EXPECT_EQ(isEnabled(&enabled), DWORD{ERROR_SUCCESS});
    EXPECT_EQ(enabled, 0);
    EXPECT_EQ(capture.Texts(), (Texts{"IsBluetoothRadioEnabled: IsBluetoothRadioEnabled ==>> \n",
                                      "QueryBtRadioKeyValue: Current BT RADIO STATE = 256 \n",
                                      "IsBluetoothRadioEnabled IsBluetoothRadioEnabled << == RADIO STATE = 0 \n"}));

    DeleteRadioStateValue();
    enabled = 0x5A5A;
    EXPECT_EQ(isEnabled(&enabled), DWORD{ERROR_INVALID_PARAMETER});
    EXPECT_EQ(enabled, 0x5A5A);
    EXPECT_EQ(enableRadio(TRUE), DWORD{ERROR_INVALID_PARAMETER});
    EXPECT_EQ(isEnabled(nullptr), DWORD{ERROR_INVALID_PARAMETER});
}

TEST_F(DllExports, ConfirmARadioAlreadyInTheRequestedStateWithoutAService) {
    SetRadioState(1);
    EXPECT_EQ(enableRadio(TRUE), DWORD{ERROR_SUCCESS});
    EXPECT_EQ(capture.Texts(),
              (Texts{"BluetoothEnableRadio: BluetoothEnableRadio ==>> \n",
                     "QueryBtRadioKeyValue: Current BT RADIO STATE = 1 \n",
                     "BluetoothEnableRadio: Current Radio State == 1 \n",
                     "BluetoothEnableRadio: Requested Radio State == 1 \n", RequestTexts[0], RequestTexts[1],
                     "EnableDisableUSBBtDevice: RpcTryExcept FAILED !!!\n", RequestTexts[2], RequestTexts[3],
                     "BluetoothEnableRadio; BluetoothEnableRadio ==>> ENABLE USB BT RADIO PASSED !!! \n",
                     "WaitUntilMsftBtStackLoaded: WaitUntilMsftBtStackLoaded ==>> \n",
                     "BT Stack LOADS SUCCESSFULLY !!! << == \n",
                     "BluetoothEnableRadio:: WaitUntilMsftBtStackLoaded Returned!!!\n",
                     "BluetoothEnableRadio; BluetoothEnableRadio ==>> USB BT RADIO RF SWITCHED ON!!! \n",
                     "BluetoothEnableRadio; BluetoothEnableRadio << == \n"}));
}

TEST_F(DllExports, SwitchOnAndOffThroughAServiceThatWritesTheState) {
    SetRadioState(0);
    RadioServerProcess server(TestServerPath(), 0, RadioStateWrites::BeforeAnswer);
    ASSERT_TRUE(server.Listening());
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(enableRadio(TRUE), DWORD{ERROR_SUCCESS});
    EXPECT_GE(Since(start).count(), 200 - SleepSlackMs) << "one real poll interval";
    EXPECT_EQ(capture.Texts(), SwitchOnTexts);
    EXPECT_EQ(ReadRadioState(), 1);

    capture.Clear();
    start = std::chrono::steady_clock::now();
    EXPECT_EQ(enableRadio(FALSE), DWORD{ERROR_SUCCESS});
    EXPECT_GE(Since(start).count(), 700 - SleepSlackMs) << "a poll interval and the settling pause";
    EXPECT_EQ(capture.Texts(), SwitchOffTexts);
    EXPECT_EQ(ReadRadioState(), 0);

    StopRadioTestServer();
    ASSERT_TRUE(server.WaitForExit());
    EXPECT_EQ(server.Requests(), (Texts{"EnableZentBtRadio", "DisableZentBtRadio"}));
}

}  // namespace
