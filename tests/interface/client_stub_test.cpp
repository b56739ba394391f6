// The client stub against the real runtime: its records, and calls that cross to a
// server process built from the server stub, of this bitness and of the other one.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "exception_guard.h"
#include "radio_control.h"
#include "radio_control_stubs.h"
#include "radio_server_process.h"
#include "stub_expectations.h"

namespace {

using Strings = std::vector<std::string>;

struct Call {
    handle_t Binding;
    const char* Request;
};

// One opnum 0 call; returns 0 or the code of the exception it raised.
DWORD Request(handle_t binding, const char* request) {
    Call call{binding, request};
    DWORD code = 0;
    CallWithExceptionGuard([](void* context) {
        auto* c = static_cast<Call*>(context);
        RequestRadioSwitch(c->Binding, c->Request);
    }, &call, nullptr, &code);
    return code;
}

DWORD Stop(handle_t binding) {
    DWORD code = 0;
    CallWithExceptionGuard([](void* context) { StopRadioControlServer(static_cast<handle_t>(context)); }, binding,
                           nullptr, &code);
    return code;
}

TEST(ClientStub, InterfaceRecordCarriesOnlyIdentityAndSyntax) {
    const auto& record = *static_cast<const RPC_CLIENT_INTERFACE*>(RadioControlInterface_v1_0_c_ifspec);
    EXPECT_EQ(record.Length, sizeof(RPC_CLIENT_INTERFACE));
    ExpectRadioControlSyntax(record.InterfaceId, record.TransferSyntax);
    EXPECT_EQ(record.DispatchTable, nullptr);
    EXPECT_EQ(record.RpcProtseqEndpointCount, 0u);
    EXPECT_EQ(record.RpcProtseqEndpoint, nullptr);
    EXPECT_EQ(record.Reserved, 0u);
    EXPECT_EQ(record.InterpreterInfo, nullptr);
    EXPECT_EQ(record.Flags, 0u);
}

TEST(ClientStub, StubDescriptorDiffersFromTheServersOnlyInInterfaceAndAutoHandle) {
    const MIDL_STUB_DESC& desc = RadioControlClientStubDesc;
    EXPECT_EQ(desc.RpcInterfaceInformation, RadioControlInterface_v1_0_c_ifspec);
    ASSERT_NE(desc.IMPLICIT_HANDLE_INFO.pAutoHandle, nullptr);
    EXPECT_EQ(*desc.IMPLICIT_HANDLE_INFO.pAutoHandle, nullptr);
    ExpectSharedDescriptorFields(desc);
}

TEST(ClientStub, RaisesServerUnavailableWhenNothingListens) {
    ScopedRadioBinding binding;
    ASSERT_NE(binding.Get(), nullptr);
    EXPECT_EQ(Request(binding.Get(), EnableRadioRequest), static_cast<DWORD>(RPC_S_SERVER_UNAVAILABLE));
    EXPECT_EQ(Stop(binding.Get()), static_cast<DWORD>(RPC_S_SERVER_UNAVAILABLE));
}

// What a server of either bitness receives, string for string, and how it ends: the
// wire form is the same in all four pairs.
class ClientToServer : public testing::TestWithParam<bool> {
protected:
    std::string ServerPath() const { return GetParam() ? PeerTestServerPath() : TestServerPath(); }
    int ServerBits() const { return GetParam() ? 96 - TestBits : TestBits; }
};

TEST_P(ClientToServer, EveryStringArrivesIntactAndOpnum1EndsTheServer) {
    const std::string path = ServerPath();
    // The runner leaves these cases out where no 32-bit program can run: a missing peer is a fault.
    ASSERT_FALSE(path.empty()) << "the other bitness's radio_test_server.exe is missing";
    const Strings requests = {
        "EnableZentBtRadio",  "DisableZentBtRadio",  "enablezentbtradio",    "ENABLEZENTBTRADIO",
        "disablezentbtradio", "DISABLEZENTBTRADIO",  "",                     "EnableZentBtRadio ",
        "DisableZentBtRadio ", std::string(5000, 'x'), std::string(70000, 'y'), "\x01\x7F\x80\xFF",
    };
    RadioServerProcess server(path);
    ASSERT_TRUE(server.Listening());
    ScopedRadioBinding binding;
    for (const std::string& request : requests) EXPECT_EQ(Request(binding.Get(), request.c_str()), 0u);
    EXPECT_EQ(Stop(binding.Get()), 0u);
    ASSERT_TRUE(server.WaitForExit());
    EXPECT_EQ(server.ExitCode(), 0u) << "RpcServerListen's wait ends without error";

    Strings expected = {"server " + std::to_string(ServerBits())};
    for (const std::string& request : requests) expected.push_back("request " + request);
    expected.push_back("stop");
    EXPECT_EQ(server.Log(), expected);
}

INSTANTIATE_TEST_SUITE_P(Bitness, ClientToServer, testing::Values(false, true),
                         [](const testing::TestParamInfo<bool>& info) {
                             return info.param ? "OtherBitnessServer" : "SameBitnessServer";
                         });

// Each call binds anew, as the library does. (Wine's runtime shares one association
// among the live bindings to an endpoint; a call on a binding whose pooled connection
// went stale, failing to reconnect, leaks that association, and calls to any later
// server then fail with 1727.)
TEST(ClientStub, CallsAfterOpnum1RaiseAndAFreshServerIsReachedAgain) {
    const std::string path = TestServerPath();
    {
        RadioServerProcess server(path);
        ASSERT_TRUE(server.Listening());
        EXPECT_EQ(Stop(ScopedRadioBinding().Get()), 0u);
        ASSERT_TRUE(server.WaitForExit());
    }
    EXPECT_EQ(Request(ScopedRadioBinding().Get(), DisableRadioRequest), static_cast<DWORD>(RPC_S_SERVER_UNAVAILABLE));
    RadioServerProcess restarted(path);
    ASSERT_TRUE(restarted.Listening());
    EXPECT_EQ(Request(ScopedRadioBinding().Get(), DisableRadioRequest), 0u);
    EXPECT_EQ(Stop(ScopedRadioBinding().Get()), 0u);
    ASSERT_TRUE(restarted.WaitForExit());
    EXPECT_EQ(restarted.Requests(), Strings{DisableRadioRequest});
}

TEST(ClientStub, NullStringIsRefusedBeforeAnythingIsSent) {
    RadioServerProcess server(TestServerPath());
    ASSERT_TRUE(server.Listening());
    ScopedRadioBinding binding;
    EXPECT_EQ(Request(binding.Get(), nullptr), static_cast<DWORD>(RPC_X_NULL_REF_POINTER));
    EXPECT_EQ(Request(binding.Get(), EnableRadioRequest), 0u) << "the binding still works";
    EXPECT_EQ(Stop(binding.Get()), 0u);
    ASSERT_TRUE(server.WaitForExit());
    EXPECT_EQ(server.Requests(), Strings{EnableRadioRequest});
}

}  // namespace
