// Bad input at the system's edges: ZentRadioState of every registry type and size, read
// by the real DLL and overwritten by the simulated-radio service, and every class of
// argument to the two exports.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "debug_capture.h"
#include "radio_control.h"
#include "radio_library.h"
#include "registry_fixture.h"
#include "simulated_radio_service.h"
#include "simulated_service_fixture.h"

namespace {

using Texts = std::vector<std::string>;

constexpr char EnableEntry[] = "BluetoothEnableRadio: BluetoothEnableRadio ==>> \n";
constexpr char InvalidParameter[] = "BluetoothEnableRadio: Invalid Parameter!!! << == \n";
constexpr char IsEnabledEntry[] = "IsBluetoothRadioEnabled: IsBluetoothRadioEnabled ==>> \n";
constexpr char ReadFailed[] = "QueryBtRadioKeyValue: Could Not Retrieve Registry Key Value!!! \n";

std::vector<BYTE> Bytes(std::initializer_list<int> values) { return std::vector<BYTE>(values.begin(), values.end()); }
std::vector<BYTE> Text(const std::string& text) { return std::vector<BYTE>(text.begin(), text.end()); }

struct StoredValue {
    const char* Name;
    DWORD Type;
    std::vector<BYTE> Data;
};

// Everything but a REG_DWORD of exactly 4 bytes.
const std::vector<StoredValue> UnreadableValues = {
    {"REG_NONE, empty", REG_NONE, {}},
    {"REG_NONE of 4 bytes", REG_NONE, Bytes({1, 0, 0, 0})},
    {"REG_SZ", REG_SZ, Text(std::string("1") + '\0')},
    {"REG_EXPAND_SZ", REG_EXPAND_SZ, Text(std::string("%SystemRoot%") + '\0')},
    {"REG_BINARY of 4 bytes", REG_BINARY, Bytes({1, 0, 0, 0})},
    {"REG_BINARY of 64 KiB", REG_BINARY, std::vector<BYTE>(65536, 1)},
    {"REG_DWORD_BIG_ENDIAN", REG_DWORD_BIG_ENDIAN, Bytes({0, 0, 0, 1})},
    {"REG_LINK", REG_LINK, Text(std::string("\\\0R\0e\0g\0", 8))},
    {"REG_MULTI_SZ", REG_MULTI_SZ, Text(std::string("1\0\0", 3))},
    {"REG_RESOURCE_LIST", REG_RESOURCE_LIST, Bytes({1, 0, 0, 0})},
    {"REG_FULL_RESOURCE_DESCRIPTOR", REG_FULL_RESOURCE_DESCRIPTOR, Bytes({1, 0, 0, 0})},
    {"REG_RESOURCE_REQUIREMENTS_LIST", REG_RESOURCE_REQUIREMENTS_LIST, Bytes({1, 0, 0, 0})},
    {"REG_QWORD", REG_QWORD, Bytes({1, 0, 0, 0, 0, 0, 0, 0})},
    {"REG_QWORD of 4 bytes", REG_QWORD, Bytes({1, 0, 0, 0})},
    {"a type the platform does not define", 0x12345678, Bytes({1, 0, 0, 0})},
    {"REG_DWORD of 8 bytes", REG_DWORD, Bytes({1, 0, 0, 0, 0, 0, 0, 0})},
    {"REG_DWORD, empty", REG_DWORD, {}},
    {"REG_DWORD of 1 byte", REG_DWORD, Bytes({1})},
    {"REG_DWORD of 2 bytes", REG_DWORD, Bytes({1, 0})},
    {"REG_DWORD of 3 bytes", REG_DWORD, Bytes({1, 0, 0})},
};

void Store(const StoredValue& value) {
    SetRadioStateValue(value.Type, value.Data.data(), static_cast<DWORD>(value.Data.size()));
}

class BadInput : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(DeleteSimulatedRadioSettings(), ERROR_SUCCESS);
        SetRadioState(1);
        ASSERT_TRUE(library.Loaded()) << library.LoadError();
        capture.Clear();
    }
    void TearDown() override { DeleteSimulatedRadioSettings(); }

    ScopedRadioSupportKey key;  // before the library, which needs the key to load
    RadioLibrary library;
    DebugCapture capture;
};

TEST_F(BadInput, OnlyAFourByteDwordIsARadioState) {
    for (const StoredValue& value : UnreadableValues) {
        Store(value);
        BOOL enabled = 0x5A5A;
        EXPECT_EQ(library.IsEnabled(&enabled), DWORD{ERROR_INVALID_PARAMETER}) << value.Name;
        EXPECT_EQ(enabled, 0x5A5A) << value.Name;
        capture.Clear();
        EXPECT_EQ(library.EnableRadio(TRUE), DWORD{ERROR_INVALID_PARAMETER}) << value.Name;
        EXPECT_EQ(capture.Texts(), (Texts{EnableEntry, ReadFailed, InvalidParameter})) << value.Name << ": no request";
    }

    // Any 4-byte REG_DWORD is a state: its low byte, nonzero for on.
    const std::pair<DWORD, BOOL> states[] = {{0, 0}, {1, 1}, {2, 2}, {256, 0}, {257, 1}, {0xFFFFFFFF, 255}};
    for (const auto& [stored, state] : states) {
        SetRadioState(stored);
        BOOL enabled = -1;
        EXPECT_EQ(library.IsEnabled(&enabled), DWORD{ERROR_SUCCESS}) << stored;
        EXPECT_EQ(enabled, state) << stored << ": the whole BOOL holds the byte";
        // Without a service the request fails, and the wait succeeds at its first check.
        EXPECT_EQ(library.EnableRadio(state != 0), DWORD{ERROR_SUCCESS}) << stored;
    }
}

TEST_F(BadInput, TheServiceReplacesAValueOfAnyTypeWithItsDword) {
    ASSERT_EQ(WriteSimulatedRadioSetting(SimulatedRadioTimeScaleValue, 40), ERROR_SUCCESS);
    SimulatedService service(SimulatedServicePath());
    ASSERT_TRUE(service.StartServing());
    RadioBinding binding;
    DWORD expected = 1;
    for (const StoredValue& value : UnreadableValues) {
        Store(value);
        expected = !expected;
        RequestRadioSwitch(binding.Handle(), expected ? EnableRadioRequest : DisableRadioRequest);
        EXPECT_EQ(ReadRadioState(), expected) << value.Name;
        EXPECT_EQ(library.Enabled(), expected) << value.Name;
    }
}

TEST_F(BadInput, EveryClassOfArgumentOfTheExports) {
    for (BOOL argument : {2, 3, 0x100, INT_MAX, INT_MIN, -2, -1}) {
        capture.Clear();
        EXPECT_EQ(library.EnableRadio(argument), DWORD{ERROR_INVALID_PARAMETER}) << argument;
        EXPECT_EQ(capture.Texts(), (Texts{EnableEntry, InvalidParameter})) << argument << ": nothing read or sent";
    }
    for (BOOL argument : {FALSE, TRUE}) {
        SetRadioState(argument);
        EXPECT_EQ(library.EnableRadio(argument), DWORD{ERROR_SUCCESS}) << argument;
    }

    capture.Clear();
    EXPECT_EQ(library.IsEnabled(nullptr), DWORD{ERROR_INVALID_PARAMETER});
    EXPECT_EQ(capture.Texts(), Texts{IsEnabledEntry}) << "nothing read";

    SetRadioState(1);
    // A BOOL at an odd address, between bytes that must stay as they are.
    alignas(8) unsigned char buffer[8];
    std::memset(buffer, 0xEE, sizeof buffer);
    EXPECT_EQ(library.IsEnabled(reinterpret_cast<BOOL*>(buffer + 1)), DWORD{ERROR_SUCCESS});
    BOOL written;
    std::memcpy(&written, buffer + 1, sizeof written);
    EXPECT_EQ(written, 1);
    EXPECT_EQ(buffer[0], 0xEE);
    for (size_t i = 1 + sizeof(BOOL); i < sizeof buffer; ++i) EXPECT_EQ(buffer[i], 0xEE) << i;
}

}  // namespace
