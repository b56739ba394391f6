// The simulated platform's own promises that other tests rely on: the node's state as
// the class installer leaves it, which registrations receive events, radio enumeration
// as bthprops reports it, and scaled time.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "device_switch.h"
#include "platform.h"
#include "sim_radio.h"
#include "vendor_command.h"

namespace {

const std::string RadioPath = SimRadio::PortInterfacePath(SimRadioInstanceId);

class SimDeviceNodeState : public testing::Test {
protected:
    void SetUp() override { radio = sim.AddStandardRadio(); }

    // One property change of the radio's node through the seam, as the class installer makes it.
    bool Change(DWORD stateChange, DWORD scope, DWORD profile = 0) {
        HDEVINFO set = ServicePlatform.SetupDiGetClassDevsExA(nullptr, nullptr, nullptr, DIGCF_ALLCLASSES | DIGCF_PRESENT,
                                                              nullptr, nullptr, nullptr);
        SP_DEVINFO_DATA element{};
        element.cbSize = sizeof element;
        EXPECT_TRUE(ServicePlatform.SetupDiEnumDeviceInfo(set, static_cast<DWORD>(radio), &element));
        SP_PROPCHANGE_PARAMS params{{sizeof(SP_CLASSINSTALL_HEADER), DIF_PROPERTYCHANGE}, stateChange, scope, profile};
        EXPECT_TRUE(ServicePlatform.SetupDiSetClassInstallParamsA(set, &element, &params.ClassInstallHeader, sizeof params));
        bool changed = ServicePlatform.SetupDiCallClassInstaller(DIF_PROPERTYCHANGE, set, &element);
        ServicePlatform.SetupDiDestroyDeviceInfoList(set);
        return changed;
    }

    SimRadio sim;
    size_t radio = 0;
};

TEST_F(SimDeviceNodeState, GlobalAndProfileDisablesAreKeptApartAndTheNodeRunsOnlyWithNeither) {
    ASSERT_TRUE(Change(DICS_DISABLE, DICS_FLAG_GLOBAL));
    ASSERT_TRUE(Change(DICS_DISABLE, DICS_FLAG_GLOBAL));
    ASSERT_TRUE(Change(DICS_DISABLE, DICS_FLAG_CONFIGSPECIFIC));
    EXPECT_TRUE(sim.Node(radio).Disabled && sim.Node(radio).ProfileDisabled);
    EXPECT_EQ(sim.ProducedEvents.size(), 1u) << "a disabled node has nothing more to remove";

    ASSERT_TRUE(Change(DICS_ENABLE, DICS_FLAG_CONFIGSPECIFIC));
    ASSERT_TRUE(Change(DICS_ENABLE, DICS_FLAG_CONFIGSPECIFIC, 2));
    EXPECT_FALSE(sim.Node(radio).Running()) << "a profile's enable leaves the global disable";
    ASSERT_TRUE(Change(DICS_DISABLE, DICS_FLAG_CONFIGSPECIFIC, 2));
    EXPECT_FALSE(sim.Node(radio).ProfileDisabled) << "another profile is not this one";
    ASSERT_TRUE(Change(DICS_ENABLE, DICS_FLAG_GLOBAL));
    EXPECT_TRUE(sim.Node(radio).Running());

    EXPECT_FALSE(Change(DICS_ENABLE, DICS_FLAG_CONFIGGENERAL));
    EXPECT_EQ(GetLastError(), DWORD{ERROR_INVALID_FLAGS});
    ASSERT_EQ(sim.ProducedEvents.size(), 2u);
    EXPECT_EQ(sim.ProducedEvents[0].Type, DWORD{DBT_DEVICEREMOVECOMPLETE});
    EXPECT_EQ(sim.ProducedEvents[1].Type, DWORD{DBT_DEVICEARRIVAL});
    EXPECT_EQ(sim.ProducedEvents[1].Path, std::wstring(RadioPath.begin(), RadioPath.end()));
    EXPECT_TRUE(sim.DeliveredEvents.empty()) << "outside a service nobody hears of them";
}

TEST(SimNotifications, OnlyARegistrationWindowsWouldHonourReceivesEvents) {
    SimRadio sim;
    sim.StatusHandle = reinterpret_cast<SERVICE_STATUS_HANDLE>(0x7A5C1234);
    const HANDLE service = sim.StatusHandle;
    const DEV_BROADCAST_DEVICEINTERFACE_A good{32, DBT_DEVTYP_DEVICEINTERFACE, 0, BthPortInterfaceClass, {0}};
    auto honoured = [&](HANDLE recipient, DEV_BROADCAST_DEVICEINTERFACE_A filter, DWORD flags) {
        HDEVNOTIFY registration = ServicePlatform.RegisterDeviceNotificationA(recipient, &filter, flags);
        EXPECT_TRUE(ServicePlatform.UnregisterDeviceNotification(registration));
        return sim.NotificationRegistrations.back().Honoured;
    };
    EXPECT_TRUE(honoured(service, good, DEVICE_NOTIFY_SERVICE_HANDLE));
    EXPECT_FALSE(honoured(nullptr, good, DEVICE_NOTIFY_SERVICE_HANDLE));
    EXPECT_FALSE(honoured(reinterpret_cast<HANDLE>(0x7A5C1238), good, DEVICE_NOTIFY_SERVICE_HANDLE));
    EXPECT_FALSE(honoured(service, good, DEVICE_NOTIFY_WINDOW_HANDLE));
    EXPECT_FALSE(honoured(service, good, DEVICE_NOTIFY_SERVICE_HANDLE | DEVICE_NOTIFY_ALL_INTERFACE_CLASSES));
    DEV_BROADCAST_DEVICEINTERFACE_A other = good;
    other.dbcc_classguid.Data1 ^= 1;
    EXPECT_FALSE(honoured(service, other, DEVICE_NOTIFY_SERVICE_HANDLE)) << "another interface class";
    other = good;
    other.dbcc_devicetype = DBT_DEVTYP_HANDLE;
    EXPECT_FALSE(honoured(service, other, DEVICE_NOTIFY_SERVICE_HANDLE));
    other = good;
    other.dbcc_size = 28;
    EXPECT_FALSE(honoured(service, other, DEVICE_NOTIFY_SERVICE_HANDLE));
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
