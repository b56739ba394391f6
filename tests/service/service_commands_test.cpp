#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform.h"
#include "radio_instances.h"
#include "service_commands.h"
#include "sim_clock.h"
#include "sim_radio.h"
#include "test_service.h"

namespace {

constexpr char TestName[] = "RadioSwitchTestService";

constexpr BTH_ADDR VendorRadio = 0x2CE71A000001;

std::vector<DWORD> Times(size_t count, DWORD ms) { return std::vector<DWORD>(count, ms); }

// The probes of the radio enumeration the simulated radio saw.
size_t RadioSearches(const SimRadio& sim) {
    size_t searches = 0;
    for (const std::string& entry : sim.Log()) searches += entry.rfind("FindFirstRadio", 0) == 0;
    return searches;
}

TEST(InstallRadioService, PreparesTheRadioOnlyWhenTheVendorsRadioIsPresent) {
    SimRadio sim;
    RadioInstances instances;
    instances.Add("6&1&0&0000");
    for (BTH_ADDR radio : {BTH_ADDR{0x001122334455}, VendorRadio}) {
        RemoveServiceCompletely(TestName);
        sim.Radios = {{radio}};
        InstallRadioService(TestServiceCommandLine(TestName, 0, 0, 0).c_str(), TestName);
        EXPECT_TRUE(ServiceExists(TestName)) << "created whatever the radio";
        ExpectWakeValues("6&1&0&0000", radio == VendorRadio ? "1" : "missing");
    }
    RemoveServiceCompletely(TestName);
}

TEST(InstallRadioService, LeavesARegisteredServiceAndTheRadioAlone) {
    ScopedTestService service(TestName, 0, 0, 0);
    const ServiceConfig before = ReadConfig(TestName);
    RadioInstances instances;
    instances.Add("6&1&0&0000");
    SimRadio sim;
    sim.Radios = {{VendorRadio}};

    InstallRadioService("C:\\elsewhere\\radioswitchsvc.exe", TestName);
    const ServiceConfig after = ReadConfig(TestName);
    EXPECT_EQ(after.BinaryPath, before.BinaryPath);
    EXPECT_EQ(after.StartType, DWORD{SERVICE_DEMAND_START});
    EXPECT_EQ(RadioSearches(sim), 0u);
    ExpectWakeValues("6&1&0&0000", "missing");
}

TEST(InstallRadioService, AnEmptyPathRegistersNothing) {
    RemoveServiceCompletely(TestName);
    SimRadio sim;
    sim.Radios = {{VendorRadio}};
    InstallRadioService("", TestName);
    EXPECT_FALSE(ServiceExists(TestName));
    EXPECT_EQ(RadioSearches(sim), 0u);
}

BOOL WINAPI UnderWow64(HANDLE, PBOOL wow64) { return *wow64 = TRUE, TRUE; }

TEST(InstallRadioService, The32BitProgramOn64BitWindowsRefusesAndRegistersNothing) {
    ServicePlatform.IsWow64Process = UnderWow64;
    HANDLE read, write, standardError = GetStdHandle(STD_ERROR_HANDLE);
    ASSERT_TRUE(CreatePipe(&read, &write, nullptr, 4096) && SetStdHandle(STD_ERROR_HANDLE, write));
    lstrcpyA(CommandWord, "install");
    EXPECT_EQ(RunServiceCommand(), 216) << "ERROR_EXE_MACHINE_TYPE_MISMATCH";
    ServicePlatform.IsWow64Process = RealServicePlatform.IsWow64Process;
    SetStdHandle(STD_ERROR_HANDLE, standardError);
    CloseHandle(write);
    char message[512] = {};
    DWORD got = 0;
    ReadFile(read, message, sizeof message - 1, &got, nullptr);
    CloseHandle(read);
    EXPECT_NE(std::string(message).find("radioswitchsvc64.exe"), std::string::npos) << message;
    EXPECT_FALSE(ServiceExists("Zentrik Bluetooth Radio Control Service"));
}

TEST(RemoveRadioService, LeavesARunningServiceRunningUntilItStops) {
    ScopedTestService service(TestName, 0, 0, 0);
    service.Start();
    RemoveRadioService(TestName);
    EXPECT_EQ(service.Status().dwCurrentState, DWORD{SERVICE_RUNNING});
    service.SendStop();
    for (int i = 0; i < 200 && ServiceExists(TestName); ++i) Sleep(50);
    EXPECT_FALSE(ServiceExists(TestName)) << "not deleted once stopped";
}

TEST(StopRadioService, StoppedOrMissingServiceNeedsNoWait) {
    ScopedTestService service(TestName, 0, 0, 0);
    SimClock clock;
    EXPECT_TRUE(StopRadioService(TestName));
    EXPECT_FALSE(StopRadioService("RadioSwitchNoSuchService"));
    EXPECT_TRUE(clock.Sleeps.empty());
    EXPECT_EQ(service.Status().dwCurrentState, DWORD{SERVICE_STOPPED});
}

TEST(StopRadioService, PausesAfterItsControlEvenWithAZeroWaitHint) {
    ScopedTestService service(TestName, 0, 3, 0);
    service.Start();
    SimClock clock;
    clock.OnSleep = [&](size_t) { service.Step(); };
    EXPECT_TRUE(StopRadioService(TestName));
    EXPECT_EQ(clock.Sleeps, Times(3, 100));
    EXPECT_EQ(service.Status().dwCurrentState, DWORD{SERVICE_STOPPED});
}

TEST(StopRadioService, SleepsTheRawWaitHintAfterItsControl) {
    ScopedTestService service(TestName, 0, 2, 25000);
    service.Start();
    SimClock clock;
    clock.OnSleep = [&](size_t) { service.Step(); };
    // Seen stopped at 50000 ms: being stopped counts before the limit.
    EXPECT_TRUE(StopRadioService(TestName));
    EXPECT_EQ(clock.Sleeps, Times(2, 25000));
}

TEST(StopRadioService, GivesUpOnAServiceThatNeverStops) {
    for (DWORD waitHint : {7000u, 0u}) {
        ScopedTestService service(TestName, 0, -1, waitHint);
        service.Start();
        SimClock clock;
        EXPECT_FALSE(StopRadioService(TestName)) << waitHint;
        const DWORD pause = waitHint ? waitHint : 100;  // a zero hint still pauses 100 ms: never spin
        // The first poll more than 30000 ms after the command began ends it.
        EXPECT_EQ(clock.Sleeps, Times(30000 / pause + 1, pause)) << waitHint;
        EXPECT_EQ(service.Status().dwCurrentState, DWORD{SERVICE_STOP_PENDING});
    }
}

TEST(StopRadioService, WaitsForAStopAlreadyPending) {
    ScopedTestService service(TestName, 0, 2, 0);
    service.Start();
    service.SendStop();
    SimClock clock;
    clock.OnSleep = [&](size_t) { service.Step(); };
    EXPECT_TRUE(StopRadioService(TestName));
    EXPECT_EQ(clock.Sleeps, Times(2, 1000)) << "polls of the wait hint / 10, at least 1000 ms";
}

TEST(StopRadioService, GivesUpOnAPendingStopThatNeverEnds) {
    ScopedTestService service(TestName, 0, -1, 250000);
    service.Start();
    service.SendStop();
    SimClock clock;
    EXPECT_FALSE(StopRadioService(TestName));
    EXPECT_EQ(clock.Sleeps, Times(4, 10000)) << "polls of the wait hint / 10, at most 10000 ms";
}

TEST(StartRadioService, LeavesARunningServiceAlone) {
    ScopedTestService service(TestName, 0, 0, 0);
    service.Start();
    const DWORD process = service.Status().dwProcessId;
    SimClock clock;
    EXPECT_TRUE(StartRadioService(TestName));
    EXPECT_TRUE(clock.Sleeps.empty());
    EXPECT_EQ(service.Status().dwProcessId, process);
    EXPECT_FALSE(StartRadioService("RadioSwitchNoSuchService"));
}

TEST(StartRadioService, WaitsWhileTheStartProgresses) {
    ScopedTestService service(TestName, 3, 0, 4000);
    SimClock clock;
    clock.OnSleep = [&](size_t) { service.Step(); };
    EXPECT_TRUE(StartRadioService(TestName));
    EXPECT_EQ(clock.Sleeps, Times(3, 1000));
    EXPECT_EQ(service.Status().dwCurrentState, DWORD{SERVICE_RUNNING});
}

TEST(StartRadioService, GivesUpWhenTheCheckpointStopsGrowing) {
    ScopedTestService service(TestName, -1, 0, 3000);
    SimClock clock;
    clock.OnSleep = [&](size_t index) {
        if (index < 2) service.Step();
    };
    EXPECT_FALSE(StartRadioService(TestName));
    // Two polls see progress; the fourth poll without it is the first past the wait hint.
    EXPECT_EQ(clock.Sleeps, Times(6, 1000));
    EXPECT_EQ(service.Status().dwCurrentState, DWORD{SERVICE_START_PENDING});
}

TEST(StartRadioService, WaitsOutAPendingStopAndStartsAgain) {
    // A stop-pending report with a zero wait hint, as this system's own service sends.
    ScopedTestService service(TestName, 0, 1, 0);
    service.Start();
    const DWORD process = service.Status().dwProcessId;
    service.SendStop();
    SimClock clock;
    clock.OnSleep = [&](size_t index) {
        if (index == 0) service.Step();
    };
    EXPECT_TRUE(StartRadioService(TestName));
    EXPECT_EQ(clock.Sleeps, Times(1, 1000));
    const SERVICE_STATUS_PROCESS status = service.Status();
    EXPECT_EQ(status.dwCurrentState, DWORD{SERVICE_RUNNING});
    EXPECT_NE(status.dwProcessId, process);
}

TEST(StartRadioService, GivesUpOnAPendingStopWithoutProgress) {
    ScopedTestService service(TestName, 0, -1, 2000);
    service.Start();
    service.SendStop();
    SimClock clock;
    EXPECT_FALSE(StartRadioService(TestName));
    EXPECT_EQ(clock.Sleeps, Times(3, 1000));
    EXPECT_EQ(service.Status().dwCurrentState, DWORD{SERVICE_STOP_PENDING});
}

}  // namespace
