#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "platform.h"
#include "sim_radio.h"
#include "vendor_command.h"

namespace {

using Bytes = std::vector<BYTE>;

class VendorCommand : public testing::Test {
protected:
    void SetUp() override { radio = sim.AddStandardRadio(); }

    SimRadio sim;
    size_t radio = 0;
};

TEST_F(VendorCommand, ReachesThePortDriverAsNineBytes) {
    SendRadioOffCommand();

    const SimListQuery& query = sim.ListQueries.at(0);
    EXPECT_FALSE(query.Ex);
    // GUID_BTHPORT_DEVICE_INTERFACE {0850302A-B344-4FDA-9BE9-90576B8D46F0}
    const GUID bthPort = {0x0850302A, 0xB344, 0x4FDA, {0x9B, 0xE9, 0x90, 0x57, 0x6B, 0x8D, 0x46, 0xF0}};
    EXPECT_TRUE(query.Class && IsEqualGUID(*query.Class, bthPort));
    EXPECT_EQ(query.Flags, DWORD{DIGCF_PRESENT | DIGCF_DEVICEINTERFACE});
    EXPECT_EQ(sim.InterfaceDetailSizes, std::vector<DWORD>{2022});

    const SimPortOpen& open = sim.PortOpens.at(0);
    EXPECT_EQ(open.Path, SimRadio::PortInterfacePath(SimRadioInstanceId));
    EXPECT_EQ(open.Access, DWORD{GENERIC_READ | GENERIC_WRITE});
    EXPECT_EQ(open.Share, 0u);
    EXPECT_EQ(open.Disposition, DWORD{OPEN_EXISTING});
    EXPECT_EQ(open.Attributes, DWORD{FILE_ATTRIBUTE_NORMAL});
    EXPECT_FALSE(open.SecurityGiven || open.TemplateGiven);

    const SimIoControl& call = sim.IoControls.at(0);
    EXPECT_EQ(call.Code, 0x410050u);
    EXPECT_EQ(call.Input, (Bytes{0x3D, 0x0B, 0x00, 0x00, 0x00, 0x01, 0x0A, 0xFC, 0x00}));
    EXPECT_EQ(call.OutputSize, 499u);
    EXPECT_TRUE(call.ReturnedCountGiven);
    EXPECT_FALSE(call.Overlapped);

    EXPECT_EQ(sim.OpenPorts(), 0u);
    EXPECT_EQ(sim.OpenDeviceLists(), 0u);
    EXPECT_TRUE(sim.InvalidCloses.empty());
}

TEST_F(VendorCommand, SendReportsTheDriversAnswerAndCarriesParameters) {
    EXPECT_FALSE(SendVendorHciCommand(INVALID_HANDLE_VALUE, RadioOffCommand));
    EXPECT_TRUE(sim.IoControls.empty());

    HANDLE port = OpenFirstInterface(BthPortInterfaceClass);
    ASSERT_NE(port, INVALID_HANDLE_VALUE);
    const BYTE parameters[] = {0x11, 0x22, 0x33};
    EXPECT_TRUE(SendVendorHciCommand(port, {0xFC01, 3, parameters}));
    EXPECT_EQ(sim.IoControls.at(0).Input,
              (Bytes{0x3D, 0x0B, 0x00, 0x00, 0x00, 0x01, 0x01, 0xFC, 0x03, 0x11, 0x22, 0x33}));
    sim.PortIoControl.FailTimes(1);
    EXPECT_FALSE(SendVendorHciCommand(port, RadioOffCommand));
    EXPECT_TRUE(ServicePlatform.CloseHandle(port));
}

TEST_F(VendorCommand, OpenFirstInterfaceAsksAgainOnlyBoundedTimes) {
    struct Case {
        const char* Name;
        SimOutcomes* Script;
        unsigned Failures;
        bool Opens;
        unsigned Queries;  // interface enumerations asked for
    } cases[] = {
        {"enumeration fails 3 times", &sim.InterfaceEnum, 3, true, 4},
        {"detail fails 7 times", &sim.InterfaceDetail, 7, true, 8},
        {"enumeration keeps failing", &sim.InterfaceEnum, 1000, false, 8},
        {"detail keeps failing", &sim.InterfaceDetail, 1000, false, 8},
        {"open refused", &sim.PortOpen, 1, false, 1},
    };
    for (const Case& c : cases) {
        sim.PortOpens.clear();
        unsigned queriesBefore = sim.InterfaceEnum.Calls();
        c.Script->FailTimes(c.Failures, ERROR_INVALID_DATA);
        HANDLE port = OpenFirstInterface(BthPortInterfaceClass);
        EXPECT_EQ(port != INVALID_HANDLE_VALUE, c.Opens) << c.Name;
        if (port != INVALID_HANDLE_VALUE) ServicePlatform.CloseHandle(port);
        EXPECT_EQ(sim.OpenDeviceLists(), 0u) << c.Name;
        if (c.Failures == 1000) {
            EXPECT_TRUE(sim.PortOpens.empty()) << c.Name;
        }
        EXPECT_EQ(sim.InterfaceEnum.Calls() - queriesBefore, c.Queries) << c.Name;
        c.Script->SucceedAlways();
    }
}

TEST_F(VendorCommand, NoPortInterfaceNoCommand) {
    sim.Node(radio).Disabled = true;  // the radio is off already
    SendRadioOffCommand();
    EXPECT_EQ(sim.InterfaceEnum.Calls(), 1u) << "no more items is final";
    EXPECT_TRUE(sim.PortOpens.empty());
    EXPECT_TRUE(sim.IoControls.empty());
}

// Two off switches at once, both sending at the same time: each must send on and close
// its own port.
TEST_F(VendorCommand, ConcurrentOffSwitchesEachUseTheirOwnPort) {
    std::mutex lock;
    std::condition_variable bothSending;
    int sending = 0;
    sim.OnPortIoControl = [&](HANDLE) {
        std::unique_lock<std::mutex> guard(lock);
        ++sending;
        bothSending.notify_all();
        bothSending.wait_for(guard, std::chrono::seconds(5), [&] { return sending == 2; });
    };
    std::thread first(SendRadioOffCommand);
    std::thread second(SendRadioOffCommand);
    first.join();
    second.join();

    ASSERT_EQ(sim.PortOpens.size(), 2u);
    ASSERT_EQ(sim.IoControls.size(), 2u);
    std::set<HANDLE> used = {sim.IoControls[0].Port, sim.IoControls[1].Port};
    EXPECT_EQ(used, (std::set<HANDLE>{sim.PortOpens[0].Result, sim.PortOpens[1].Result}));
    EXPECT_TRUE(sim.IoControls[0].Succeeded && sim.IoControls[1].Succeeded);
    EXPECT_EQ(sim.OpenPorts(), 0u);
    EXPECT_TRUE(sim.InvalidCloses.empty());
}

}  // namespace
