// The service registers its interface for local callers only (RPC_IF_ALLOW_LOCAL_ONLY),
// which the runtime enforces. Under Wine there are no remote callers to refuse, the
// runtime never calls a security callback and RpcServerInqCallAttributes is missing, so
// the refusal itself cannot be exercised here. What can be: a local caller is served, with
// a binding made as the library makes it (no network address, no authentication), on a
// pipe whose registration carries that flag.
#include <gtest/gtest.h>

#include "radio_control.h"
#include "radio_library.h"
#include "registry_fixture.h"
#include "simulated_radio_service.h"
#include "simulated_service_fixture.h"

namespace {

TEST(LocalCallers, AreServedWithoutAuthentication) {
    ScopedRadioSupportKey key;
    SetRadioState(1);
    ASSERT_EQ(DeleteSimulatedRadioSettings(), ERROR_SUCCESS);
    ASSERT_EQ(WriteSimulatedRadioSetting(SimulatedRadioTimeScaleValue, 40), ERROR_SUCCESS);
    SimulatedService service(SimulatedServicePath());
    ASSERT_TRUE(service.StartServing());

    {
        RadioBinding binding;  // "ncacn_np", no network address, "\pipe\ZkBtRcIf"
        RequestRadioSwitch(binding.Handle(), DisableRadioRequest);
        EXPECT_EQ(ReadRadioState(), 0);
    }
    RadioLibrary library;
    ASSERT_TRUE(library.Loaded()) << library.LoadError();
    EXPECT_EQ(library.EnableRadio(TRUE), DWORD{ERROR_SUCCESS});
    EXPECT_EQ(ReadRadioState(), 1);
    DeleteSimulatedRadioSettings();
}

}  // namespace
