// Malformed requests straight at the running service's pipe: mutated bodies for opnum 0,
// unknown opnums and opnum 1, below the client stub. The simulated-radio service runs
// under the real SCM with its waits 40 times faster: a request it held for its limit
// would take 3 s.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <set>
#include <string>

#include "radio_control.h"
#include "registry_fixture.h"
#include "request_mutations.h"
#include "simulated_radio_service.h"
#include "simulated_service_fixture.h"

namespace {

constexpr unsigned Seed = 9001;
constexpr size_t RandomMutations = 3000;

// How the server's stub refuses data it cannot unmarshal.
const std::set<RPC_STATUS> StubRefusals = {RPC_S_INVALID_BOUND, RPC_X_BAD_STUB_DATA};

std::string Describe(const char* kind, const Bytes& body, RPC_STATUS status) {
    return std::string(kind) + " [" + Hex(body) + "] answered " + std::to_string(status);
}

class MalformedRequests : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(DeleteSimulatedRadioSettings(), ERROR_SUCCESS);
        ASSERT_EQ(WriteSimulatedRadioSetting(SimulatedRadioTimeScaleValue, 40), ERROR_SUCCESS);
        SetRadioState(1);
    }
    void TearDown() override { DeleteSimulatedRadioSettings(); }

    // The same service process still runs and serves, and nothing touched the radio.
    void ExpectUntouchedAndServing(SimulatedService& service, DWORD processId) {
        SERVICE_STATUS_PROCESS status = service.Scm().Query();
        EXPECT_EQ(status.dwCurrentState, DWORD{SERVICE_RUNNING});
        EXPECT_EQ(status.dwProcessId, processId) << "the same process";
        EXPECT_EQ(service.Scm().WaitForProcessExit(0), DWORD{STILL_ACTIVE});
        EXPECT_EQ(ReadRadioState(), 1);
        EXPECT_EQ(SimulatedRadioSetting(SimulatedRadioEnabledValue), -1) << "the radio was never switched";

        RadioBinding binding;
        RequestRadioSwitch(binding.Handle(), DisableRadioRequest);
        EXPECT_EQ(ReadRadioState(), 0);
        RequestRadioSwitch(binding.Handle(), EnableRadioRequest);
        EXPECT_EQ(ReadRadioState(), 1);
    }

    ScopedRadioSupportKey key;
};

TEST_F(MalformedRequests, ThousandsOfMutatedBodiesForOpnumZeroAreRefusedOrIgnored) {
    SimulatedService service(SimulatedServicePath());
    ASSERT_TRUE(service.StartServing());
    const DWORD processId = service.Scm().Query().dwProcessId;
    std::mt19937 random(Seed);
    const std::vector<MutatedBody> bodies = MutatedRequestBodies(random, RandomMutations);

    std::map<std::string, std::map<RPC_STATUS, size_t>> answers;
    DWORD slowest = 0;
    {
        RadioBinding binding;  // one binding for all: each refusal leaves the connection usable
        for (const MutatedBody& mutated : bodies) {
            const DWORD start = GetTickCount();
            const RPC_STATUS status = SendRawRequest(binding.Handle(), 0, mutated.Body);
            slowest = std::max(slowest, GetTickCount() - start);
            ++answers[mutated.Kind][status];
            const bool refused = StubRefusals.count(status) != 0;
            if (mutated.MustBeRefused)
                ASSERT_TRUE(refused) << Describe(mutated.Kind, mutated.Body, status);
            else
                ASSERT_TRUE(refused || status == RPC_S_OK) << Describe(mutated.Kind, mutated.Body, status);
        }
    }
    EXPECT_LT(slowest, 1000u) << "nothing was held as a switch";
    std::printf("%zu bodies (seed %u), slowest answer %lu ms\n", bodies.size(), Seed, slowest);
    for (const auto& [kind, statuses] : answers) {
        std::printf("  %-36s", kind.c_str());
        for (const auto& [status, count] : statuses) std::printf(" %lu x%zu", static_cast<unsigned long>(status), count);
        std::printf("\n");
    }
    ExpectUntouchedAndServing(service, processId);
}

// Wine's runtime (8.0) answers an opnum beyond the dispatch table with
// RPC_S_PROCNUM_OUT_OF_RANGE but then still calls the table entry at that index and
// sends a second reply. So each call gets a binding of its own, and the opnums stay
// near the table, where the interface's own format data lies: an opnum far out would
// run whatever happens to be there (on Windows the runtime never indexes past the count).
TEST_F(MalformedRequests, UnknownOpnumsAreRefusedWhateverTheBody) {
    SimulatedService service(SimulatedServicePath());
    ASSERT_TRUE(service.StartServing());
    const DWORD processId = service.Scm().Query().dwProcessId;
    std::mt19937 random(Seed);
    size_t calls = 0;
    for (unsigned short opnum : {2, 3, 4, 5, 6, 7}) {
        for (const Bytes& body : RandomBodies(random, 25)) {
            RadioBinding binding;
            const RPC_STATUS status = SendRawRequest(binding.Handle(), opnum, body);
            ASSERT_EQ(status, RPC_S_PROCNUM_OUT_OF_RANGE) << "opnum " << opnum << ": " << Hex(body);
            ++calls;
        }
    }
    std::printf("%zu calls of unknown opnums refused\n", calls);
    ExpectUntouchedAndServing(service, processId);
}

// Opnum 1 stops the server by design, whatever its body: each body gets a service of its
// own, which must end cleanly and start again.
TEST_F(MalformedRequests, OpnumOneWithAnyBodyStopsTheServiceCleanly) {
    std::mt19937 random(Seed);
    const std::vector<Bytes> bodies = {{}, RequestBody(EnableRadioRequest), Bytes{0xFF, 0xFF, 0xFF, 0xFF},
                                       RandomBodies(random, 1).front(), Bytes(4096, 0x41)};
    SimulatedService service(SimulatedServicePath());
    for (const Bytes& body : bodies) {
        ASSERT_TRUE(service.StartServing()) << Hex(body);
        {
            RadioBinding binding;
            const RPC_STATUS status = SendRawRequest(binding.Handle(), 1, body);
            EXPECT_EQ(status, RPC_S_OK) << Hex(body);
        }
        const SERVICE_STATUS_PROCESS seen = service.Scm().WaitForState(SERVICE_STOPPED, 10000);
        EXPECT_EQ(seen.dwCurrentState, DWORD{SERVICE_STOPPED}) << Hex(body);
        EXPECT_EQ(seen.dwWin32ExitCode, 0u) << Hex(body);
        EXPECT_EQ(service.Scm().WaitForProcessExit(10000), 0u) << "a clean end, not a crash: " << Hex(body);
    }
    EXPECT_EQ(ReadRadioState(), 1);
    EXPECT_EQ(SimulatedRadioSetting(SimulatedRadioEnabledValue), -1);
}

}  // namespace
