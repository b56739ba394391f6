#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "scm_service.h"
#include "service_commands.h"
#include "service_runtime.h"
#include "sim_clock.h"
#include "sim_radio.h"
#include "test_service.h"

namespace {

// The commands act on the service's own name, registered here with the test service.
// Running as the service fails at once in a test program, so every word returns.
class CommandLine : public testing::Test {
protected:
    static void SetUpTestSuite() { PointServiceCurrentAtNoPipe(); }

    void Run(const char* word) {
        std::memset(CommandWord, 0, sizeof CommandWord);
        std::memset(ModulePath, 0, sizeof ModulePath);
        std::strncpy(CommandWord, word, CommandBufferSize - 1);
        RunServiceCommand();
    }
    DWORD State() { return QueryTestService(RadioServiceName).dwCurrentState; }

    CommandLine() { Sim.Radios = {{0x2CE71A000001}}; }
    size_t RadioSearches() const {
        size_t searches = 0;
        for (const std::string& entry : Sim.Log()) searches += entry.rfind("FindFirstRadio", 0) == 0;
        return searches;
    }

    SimRadio Sim;
    SimClock Clock;  // after the simulated radio, so that virtual time replaces its scaled time
    ScopedTestService Service{RadioServiceName, 0, 0, 0};
};

TEST_F(CommandLine, AnyOtherWordIsNoCommand) {
    for (const char* word : {"", "-install", "/install", "installx", "install ", "-remove", "removex", "/stop",
                             "stops", "/start", "xyz"}) {
        Run(word);
        ASSERT_TRUE(ServiceExists(RadioServiceName)) << word;
        EXPECT_EQ(State(), DWORD{SERVICE_STOPPED}) << word;
    }
    EXPECT_EQ(RadioSearches(), 0u);
}

TEST_F(CommandLine, StartStartsTheService) {
    Run("Start");
    EXPECT_EQ(State(), DWORD{SERVICE_RUNNING});
}

TEST_F(CommandLine, StopStopsTheService) {
    Service.Start();
    Run("STOP");
    EXPECT_EQ(State(), DWORD{SERVICE_STOPPED});
}

TEST_F(CommandLine, InstallOfARegisteredServiceOnlyStartsIt) {
    const std::string before = TestServiceCommandLine(RadioServiceName, 0, 0, 0);
    Run("INSTALL");
    EXPECT_EQ(State(), DWORD{SERVICE_RUNNING});
    EXPECT_EQ(ReadConfig(RadioServiceName).BinaryPath, before);
    EXPECT_EQ(ReadConfig(RadioServiceName).StartType, DWORD{SERVICE_DEMAND_START});
    EXPECT_EQ(RadioSearches(), 0u) << "the radio is prepared only when the service is created";
}

TEST_F(CommandLine, RemoveDeletesTheService) {
    Run("ReMoVe");
    EXPECT_FALSE(ServiceExists(RadioServiceName));
}

TEST_F(CommandLine, ModulePathIsTheProgramsOwnPath) {
    Run("stop");
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    ASSERT_LT(length, 199u) << "this test's own path is too long for the buffer";
    ASSERT_EQ(std::strchr(path, ' '), nullptr) << "a path with a space is registered quoted";
    EXPECT_STREQ(ModulePath, path);
}

}  // namespace
