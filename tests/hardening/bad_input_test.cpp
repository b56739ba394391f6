// Bad input at the system's edges: ZentRadioState left behind with any registry type and
// size, which the simulated-radio service overwrites and the real DLL then reads. Which
// values the library rejects, and how the exports treat every argument, are the library
// tests' (radio_key_test, entry_points_test).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "radio_control.h"
#include "radio_library.h"
#include "registry_fixture.h"
#include "simulated_radio_service.h"
#include "simulated_service_fixture.h"

namespace {

struct StoredValue {
    const char* Name;
    DWORD Type;
    std::vector<BYTE> Data;
};

TEST(BadInput, TheServiceReplacesAValueOfAnyTypeWithItsDword) {
    const std::string text = std::string("1") + '\0';
    const StoredValue values[] = {
        {"REG_SZ", REG_SZ, std::vector<BYTE>(text.begin(), text.end())},
        {"REG_BINARY of 64 KiB", REG_BINARY, std::vector<BYTE>(65536, 1)},
        {"REG_QWORD", REG_QWORD, {1, 0, 0, 0, 0, 0, 0, 0}},
        {"REG_DWORD of 3 bytes", REG_DWORD, {1, 0, 0}},
        {"REG_NONE, empty", REG_NONE, {}},
        {"a type the platform does not define", 0x12345678, {1, 0, 0, 0}},
    };
    ScopedRadioSupportKey key;  // before the library, which needs the key to load
    SetRadioState(1);
    ASSERT_EQ(DeleteSimulatedRadioSettings(), ERROR_SUCCESS);
    ASSERT_EQ(WriteSimulatedRadioSetting(SimulatedRadioTimeScaleValue, 40), ERROR_SUCCESS);
    RadioLibrary library;
    ASSERT_TRUE(library.Loaded()) << library.LoadError();
    SimulatedService service(SimulatedServicePath());
    ASSERT_TRUE(service.StartServing());
    RadioBinding binding;
    DWORD expected = 1;
    for (const StoredValue& value : values) {
        SetRadioStateValue(value.Type, value.Data.data(), static_cast<DWORD>(value.Data.size()));
        expected = !expected;
        RequestRadioSwitch(binding.Handle(), expected ? "EnableZentBtRadio" : "DisableZentBtRadio");
        EXPECT_EQ(ReadRadioState(), expected) << value.Name;
        EXPECT_EQ(library.Enabled(), expected) << value.Name;
    }
}

}  // namespace
