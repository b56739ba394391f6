// The simulated platform's own promises that other tests rely on: device events as the
// service receives them, radio enumeration as bthprops reports it, and scaled time.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "device_switch.h"
#include "platform.h"
#include "sim_radio.h"
#include "vendor_command.h"

namespace {

struct ReceivedEvent {
    DWORD Type;
    DWORD ThreadId;
    DWORD Size;
    DWORD DeviceType;
    GUID Class;
    std::wstring Path;
};
std::vector<ReceivedEvent> received;

DWORD Receive(DWORD type, DEV_BROADCAST_HDR* header) {
    auto record = reinterpret_cast<DEV_BROADCAST_DEVICEINTERFACE_W*>(header);
    received.push_back({type, GetCurrentThreadId(), header->dbch_size, header->dbch_devicetype, record->dbcc_classguid,
                        record->dbcc_name});
    return 0;
}

constexpr wchar_t RadioPath[] =
    L"\\\\?\\USB#VID_7A5C&PID_0C31&MI_00#6&1&0&0000#{0850302a-b344-4fda-9be9-90576b8d46f0}";

class SimDeviceEvents : public testing::Test {
protected:
    void SetUp() override {
        received.clear();
        sim.AddStandardRadio();
        sim.SetDeviceEventSink(Receive);
    }
    SimRadio sim;
};

TEST_F(SimDeviceEvents, RemovalAndArrivalCarryTheInterfacePath) {
    SwitchRadioDevice(SwitchOff);
    SwitchRadioDevice(SwitchOn);
    ASSERT_EQ(received.size(), 2u) << "one event per actual change";
    EXPECT_EQ(received[0].Type, DWORD{DBT_DEVICEREMOVECOMPLETE});
    EXPECT_EQ(received[1].Type, DWORD{DBT_DEVICEARRIVAL});
    EXPECT_EQ(received[0].Path, RadioPath);
    EXPECT_EQ(received[0].DeviceType, DWORD{DBT_DEVTYP_DEVICEINTERFACE});
    EXPECT_EQ(received[0].Size, offsetof(DEV_BROADCAST_DEVICEINTERFACE_W, dbcc_name) + sizeof RadioPath);
    EXPECT_TRUE(IsEqualGUID(received[0].Class, BthPortInterfaceClass));
    EXPECT_EQ(received[0].ThreadId, GetCurrentThreadId()) << "immediate delivery";
}

TEST_F(SimDeviceEvents, QueuedBackgroundAndRegistrationGatedDelivery) {
    sim.EventDelivery = SimEventDelivery::Queued;
    SwitchRadioDevice(SwitchOff);
    EXPECT_TRUE(received.empty());
    EXPECT_EQ(sim.DeliverQueuedEvents(), 1u);
    EXPECT_EQ(received.size(), 1u);

    sim.EventDelivery = SimEventDelivery::Background;
    sim.EventDelayMs = 1000;
    SwitchRadioDevice(SwitchOn);
    sim.WaitForEventsDelivered();
    ASSERT_EQ(received.size(), 2u);
    EXPECT_NE(received[1].ThreadId, GetCurrentThreadId());

    sim.EventDelivery = SimEventDelivery::Immediate;
    sim.RequireNotificationRegistration = true;
    SwitchRadioDevice(SwitchOff);
    EXPECT_EQ(received.size(), 2u) << "nobody registered";
    DEV_BROADCAST_DEVICEINTERFACE_A filter{sizeof filter, DBT_DEVTYP_DEVICEINTERFACE, 0, BthPortInterfaceClass, {0}};
    HDEVNOTIFY registration = ServicePlatform.RegisterDeviceNotificationA(nullptr, &filter, 1);
    ASSERT_NE(registration, nullptr);
    SwitchRadioDevice(SwitchOn);
    EXPECT_EQ(received.size(), 3u);
    EXPECT_TRUE(ServicePlatform.UnregisterDeviceNotification(registration));
    EXPECT_EQ(sim.NotificationRegistrations.at(0).Filter.size(), sizeof filter);
}

TEST(SimRadioEnumeration, WalksTheRadioListAndTracksHandles) {
    SimRadio sim;
    BLUETOOTH_FIND_RADIO_PARAMS params{sizeof params};
    HANDLE radio = nullptr;
    EXPECT_EQ(ServicePlatform.BluetoothFindFirstRadio(&params, &radio), nullptr);
    EXPECT_EQ(GetLastError(), DWORD{ERROR_NO_MORE_ITEMS});

    sim.Radios = {{0x001122334455}, {0x2CE71A000001}};
    sim.FindRadioCloseSucceeds = false;
    HBLUETOOTH_RADIO_FIND search = ServicePlatform.BluetoothFindFirstRadio(&params, &radio);
    ASSERT_NE(search, nullptr);
    BLUETOOTH_RADIO_INFO info{};
    info.dwSize = sizeof info;
    EXPECT_EQ(ServicePlatform.BluetoothGetRadioInfo(radio, &info), 0u);
    EXPECT_EQ(info.address.rgBytes[5], 0x00);
    EXPECT_TRUE(ServicePlatform.CloseHandle(radio));
    ASSERT_TRUE(ServicePlatform.BluetoothFindNextRadio(search, &radio));
    EXPECT_EQ(ServicePlatform.BluetoothGetRadioInfo(radio, &info), 0u);
    EXPECT_EQ(info.address.rgBytes[5], 0x2C);
    EXPECT_EQ(info.address.rgBytes[3], 0x1A);
    EXPECT_FALSE(ServicePlatform.BluetoothFindNextRadio(search, &radio));
    EXPECT_FALSE(ServicePlatform.BluetoothFindRadioClose(search));
    EXPECT_EQ(sim.OpenRadioHandles(), 1u);
    EXPECT_EQ(sim.Log(), (std::vector<std::string>{"FindFirstRadio none", "FindFirstRadio", "GetRadioInfo 0",
                                                   "CloseRadio 0", "FindNextRadio", "GetRadioInfo 1",
                                                   "FindNextRadio none", "FindRadioClose failed"}));
    EXPECT_EQ(sim.RadioInfoSizes, (std::vector<DWORD>{520, 520}));
}

TEST(SimRadioTime, RecordsWhatWasAskedAndRunsScaledDown) {
    SimRadio sim;
    sim.TimeScale = 1000;
    HANDLE event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    ULONGLONG start = GetTickCount64();
    DWORD simStart = ServicePlatform.GetTickCount();
    ServicePlatform.Sleep(2000);
    EXPECT_EQ(ServicePlatform.WaitForSingleObject(event, 120000), DWORD{WAIT_TIMEOUT});
    SetEvent(event);
    EXPECT_EQ(ServicePlatform.WaitForSingleObject(event, 120000), WAIT_OBJECT_0);
    DWORD simElapsed = ServicePlatform.GetTickCount() - simStart;
    EXPECT_LT(GetTickCount64() - start, 5000u);
    EXPECT_GE(simElapsed, 100000u) << "the simulated clock saw the scaled waits";
    EXPECT_EQ(sim.Log(), (std::vector<std::string>{"Sleep 2000", "Wait 120000 timeout", "Wait 120000 signalled"}));
    CloseHandle(event);
}

}  // namespace
