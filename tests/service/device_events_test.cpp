#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "device_events.h"
#include "device_records.h"
#include "exception_guard.h"
#include "platform.h"
#include "registry_fixture.h"
#include "service_state.h"
#include "sim_event_log.h"

namespace {

bool IsSet(HANDLE event) { return WaitForSingleObject(event, 0) == WAIT_OBJECT_0; }

using Inserts = std::vector<std::string>;

// The device-event handler against the real registry, with a fresh event and no key
// handle left open from an earlier test.
class RadioDeviceEvents : public testing::Test {
protected:
    void SetUp() override {
        SwitchDoneEvent = CreateEventA(nullptr, FALSE, FALSE, nullptr);
        ASSERT_NE(SwitchDoneEvent, nullptr);
    }
    void TearDown() override {
        if (RadioSupportKey) RegCloseKey(RadioSupportKey);
        RadioSupportKey = nullptr;
        CloseHandle(SwitchDoneEvent);
        SwitchDoneEvent = nullptr;
    }

    DWORD Deliver(DWORD eventType, const std::wstring& path = RadioInterfacePath) {
        DeviceInterfaceRecord record(path);
        return HandleRadioDeviceEvent(eventType, record.Header());
    }

    // The events logged so far: (ID, level, inserts) each.
    void ExpectEvents(const std::vector<SimLoggedEvent>& expected) {
        std::vector<SimLoggedEvent> logged = events.Events();
        ASSERT_EQ(logged.size(), expected.size());
        for (size_t i = 0; i < logged.size(); ++i) {
            EXPECT_EQ(logged[i].Id, expected[i].Id) << i;
            EXPECT_EQ(logged[i].Type, expected[i].Type) << i;
            EXPECT_EQ(logged[i].Inserts, expected[i].Inserts) << i;
        }
    }

    ScopedRadioSupportKey key;
    SimEventLog events;
};

TEST_F(RadioDeviceEvents, ArrivalWritesOneAndRemovalCompleteWritesZero) {
    EXPECT_EQ(Deliver(DBT_DEVICEARRIVAL), NO_ERROR);
    EXPECT_EQ(ReadRadioState(), 1) << "the first event creates the value";
    EXPECT_TRUE(IsSet(SwitchDoneEvent));

    EXPECT_EQ(Deliver(DBT_DEVICEREMOVECOMPLETE), NO_ERROR);
    EXPECT_EQ(ReadRadioState(), 0);
    EXPECT_TRUE(IsSet(SwitchDoneEvent));
    EXPECT_FALSE(IsSet(SwitchDoneEvent)) << "automatic reset: one set releases one waiter";
    // The removal came within the minute of the arrival: the next such event counts it.
    ExpectEvents({{EVENTLOG_INFORMATION_TYPE, 200, {"on", "1", "0"}}});
}

// The value a released request would read, taken at the moment the event is set.
long long ValueAtSet = -2;
BOOL WINAPI SetEventNoting(HANDLE event) {
    ValueAtSet = ReadRadioState();
    return ::SetEvent(event);
}

TEST_F(RadioDeviceEvents, TheValueIsWrittenBeforeTheWaiterIsReleased) {
    SetRadioState(1);
    ServicePlatform.SetEvent = SetEventNoting;
    Deliver(DBT_DEVICEREMOVECOMPLETE);
    EXPECT_EQ(ValueAtSet, 0);
    Deliver(DBT_DEVICEARRIVAL);
    EXPECT_EQ(ValueAtSet, 1);
    ServicePlatform.SetEvent = RealServicePlatform.SetEvent;
}

TEST_F(RadioDeviceEvents, OnlyArrivalAndRemovalCompleteCount) {
    SetRadioState(7);
    for (DWORD type : std::initializer_list<DWORD>{DBT_DEVICEQUERYREMOVE, DBT_DEVICEQUERYREMOVEFAILED,
                                                   DBT_DEVICEREMOVEPENDING, DBT_CUSTOMEVENT, DBT_DEVNODES_CHANGED}) {
        EXPECT_EQ(Deliver(type), NO_ERROR) << type;
    }
    EXPECT_EQ(ReadRadioState(), 7);
    EXPECT_FALSE(IsSet(SwitchDoneEvent));
}

TEST_F(RadioDeviceEvents, OtherDeviceTypesAreIgnored) {
    SetRadioState(7);
    DeviceInterfaceRecord handle(RadioInterfacePath, DBT_DEVTYP_HANDLE);
    EXPECT_EQ(HandleRadioDeviceEvent(DBT_DEVICEARRIVAL, handle.Header()), NO_ERROR);
    DeviceInterfaceRecord volume(RadioInterfacePath, DBT_DEVTYP_VOLUME);
    EXPECT_EQ(HandleRadioDeviceEvent(DBT_DEVICEREMOVECOMPLETE, volume.Header()), NO_ERROR);
    EXPECT_EQ(HandleRadioDeviceEvent(DBT_DEVICEARRIVAL, nullptr), NO_ERROR);
    EXPECT_EQ(ReadRadioState(), 7);
    EXPECT_FALSE(IsSet(SwitchDoneEvent));
}

TEST_F(RadioDeviceEvents, OtherDevicesLeaveTheValueAlone) {
    SetRadioState(7);
    for (const wchar_t* path : {
             L"\\\\?\\USB#VID_7A5C&PID_0C31&MI_01#6&1&0&0001#{0850302a-b344-4fda-9be9-90576b8d46f0}",
             L"\\\\?\\USB#VID_7A5C&PID_0C32&MI_00#6&1&0&0000#{0850302a-b344-4fda-9be9-90576b8d46f0}",
             L"\\\\?\\\\USB#VID_7A5C&PID_0C31&MI_00#6&1&0&0000",  // pattern one code unit late
             L"\\\\?USB#VID_7A5C&PID_0C31&MI_00#6&1&0&0000",     // pattern one code unit early
             L"\\\\?\\USB#VID_7A5C&PID_0C31&MI_0",               // cut short
             L"",
         }) {
        EXPECT_EQ(Deliver(DBT_DEVICEARRIVAL, path), NO_ERROR);
        EXPECT_FALSE(IsSet(SwitchDoneEvent)) << "path " << testing::PrintToString(std::wstring(path));
    }
    EXPECT_EQ(ReadRadioState(), 7);
}

TEST(RadioDevicePath, ComparesTwentySevenCodeUnitsAfterTheFirstFourIgnoringAsciiCase) {
    EXPECT_TRUE(IsRadioDevicePath(DeviceInterfaceRecord(RadioInterfacePath).Record()));
    EXPECT_TRUE(IsRadioDevicePath(DeviceInterfaceRecord(L"ABCDUSB#VID_7A5C&PID_0C31&MI_00").Record()))
        << "the prefix is not compared and nothing needs to follow";
    EXPECT_TRUE(IsRadioDevicePath(DeviceInterfaceRecord(L"\\\\?\\USB#VID_7A5C&PID_0C31&MI_00anything else").Record()));
    EXPECT_TRUE(IsRadioDevicePath(DeviceInterfaceRecord(L"\\\\?\\usb#vid_7a5c&pid_0c31&Mi_00#6").Record()))
        << "the platform documents no case for device paths";
    EXPECT_FALSE(IsRadioDevicePath(DeviceInterfaceRecord(L"\\\\?\\USB#VID_7A5C&PID_0C31&M\u0131_00#6").Record()))
        << "only ASCII letters fold";
    EXPECT_FALSE(IsRadioDevicePath(DeviceInterfaceRecord(L"\\\\?\\USB\u0003VID_7A5C&PID_0C31&MI_00#6").Record()));
    EXPECT_FALSE(IsRadioDevicePath(DeviceInterfaceRecord(L"\\\\?\\USB#VID_7A5C&PID_0C31&MI_0").Record()));
}

bool Named;  // the path rule's answer for the short record under test

TEST(RadioDevicePath, NeverLooksBeyondTheRecord) {
    DeviceInterfaceRecord record(RadioInterfacePath);
    record.Record()->dbcc_size =
        offsetof(DEV_BROADCAST_DEVICEINTERFACE_W, dbcc_name) + (4 + 27) * sizeof(wchar_t) - 1;
    EXPECT_FALSE(IsRadioDevicePath(record.Record())) << "a record too small to hold the pattern";
    record.Record()->dbcc_size += 1;
    EXPECT_TRUE(IsRadioDevicePath(record.Record()));

    // Records that end where readable memory ends, so that a read beyond one faults. The
    // fixed part (size, type, reserved, class GUID) is 28 bytes; a record of size 0 still has its size.
    SYSTEM_INFO system;
    GetSystemInfo(&system);
    auto* pages = static_cast<BYTE*>(VirtualAlloc(nullptr, 2 * system.dwPageSize, MEM_COMMIT, PAGE_READWRITE));
    DWORD old;
    ASSERT_TRUE(pages && VirtualProtect(pages + system.dwPageSize, system.dwPageSize, PAGE_NOACCESS, &old));
    for (DWORD size : {0u, 28u, 30u}) {
        const DWORD readable = size ? size : sizeof(DWORD);
        BYTE* shortRecord = pages + system.dwPageSize - readable;
        memcpy(shortRecord, DeviceInterfaceRecord(RadioInterfacePath).Record(), readable);
        reinterpret_cast<DEV_BROADCAST_HDR*>(shortRecord)->dbch_size = size;
        DWORD code = 0;
        const auto parse = [](void* record) {
            HandleRadioDeviceEvent(DBT_DEVICEARRIVAL, static_cast<DEV_BROADCAST_HDR*>(record));
            Named = IsRadioDevicePath(static_cast<DEV_BROADCAST_DEVICEINTERFACE_W*>(record));
        };
        EXPECT_TRUE(CallWithExceptionGuard(parse, shortRecord, nullptr, &code)) << size << ": " << std::hex << code;
        EXPECT_FALSE(Named) << size;
    }
    VirtualFree(pages, 0, MEM_RELEASE);
}

TEST_F(RadioDeviceEvents, TheKeyIsOpenedOnceAndKeptOpen) {
    Deliver(DBT_DEVICEARRIVAL);
    HKEY opened = RadioSupportKey;
    ASSERT_NE(opened, nullptr);
    Deliver(DBT_DEVICEREMOVECOMPLETE);
    EXPECT_EQ(RadioSupportKey, opened);
    EXPECT_TRUE(OpenRadioSupportKey());
    EXPECT_EQ(RadioSupportKey, opened);
}

TEST_F(RadioDeviceEvents, WithoutTheKeyNothingIsWrittenAndNobodyReleased) {
    DeleteRadioSupportKey();
    // The event log is called off the SCM's handler thread, which never waits for it.
    std::vector<DWORD> logThreads;
    events.DuringCall = [&] { logThreads.push_back(GetCurrentThreadId()); };
    EXPECT_EQ(Deliver(DBT_DEVICEARRIVAL), NO_ERROR);
    ExpectEvents({{EVENTLOG_ERROR_TYPE, 300, {"RegOpenKeyExA", "2 (0x00000002)", "0"}}});
    events.DuringCall = nullptr;
    EXPECT_EQ(logThreads.size(), 2u) << "the source's registration and the event";
    EXPECT_EQ(std::count(logThreads.begin(), logThreads.end(), GetCurrentThreadId()), 0);
    EXPECT_EQ(RadioSupportKey, nullptr);
    EXPECT_FALSE(RadioSupportKeyExists()) << "the service never creates the key";
    EXPECT_FALSE(IsSet(SwitchDoneEvent));

    CreateRadioSupportKey();
    EXPECT_EQ(Deliver(DBT_DEVICEREMOVECOMPLETE), NO_ERROR) << "the next event tries again";
    EXPECT_EQ(ReadRadioState(), 0);
    EXPECT_TRUE(IsSet(SwitchDoneEvent));
}

TEST_F(RadioDeviceEvents, AKeyWithoutTheRightToSetValuesIsNotUsed) {
    SetRadioState(7);
    SetRadioSupportKeySecurity("D:P(A;;0x20019;;;WD)");
    EXPECT_FALSE(OpenRadioSupportKey());
    EXPECT_EQ(Deliver(DBT_DEVICEARRIVAL), NO_ERROR);
    EXPECT_EQ(ReadRadioState(), 7);
    EXPECT_FALSE(IsSet(SwitchDoneEvent));
    ExpectEvents({{EVENTLOG_ERROR_TYPE, 300, {"RegOpenKeyExA", "5 (0x00000005)", "0"}}});
}

TEST_F(RadioDeviceEvents, AFailedWriteReleasesNobody) {
    ASSERT_TRUE(OpenRadioSupportKey());
    DeleteRadioSupportKey();  // the open handle now refuses writes
    EXPECT_FALSE(WriteRadioState(1));
    EXPECT_EQ(Deliver(DBT_DEVICEARRIVAL), NO_ERROR);
    EXPECT_FALSE(IsSet(SwitchDoneEvent));
}

}  // namespace
