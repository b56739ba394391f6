#include "fake_radios.h"

#include <gtest/gtest.h>

#include "platform.h"

namespace {

FakeRadios* Current;
const HBLUETOOTH_RADIO_FIND Search = reinterpret_cast<HBLUETOOTH_RADIO_FIND>(0x5EA4C400);

bool HandOut(HANDLE* radio) {
    if (Current->Next >= Current->Radios.size()) return false;
    *radio = FakeRadios::RadioHandle(Current->Next++);
    Current->Opened.push_back(*radio);
    return true;
}

HBLUETOOTH_RADIO_FIND WINAPI FindFirstRadio(BLUETOOTH_FIND_RADIO_PARAMS* params, HANDLE* radio) {
    ++Current->FindFirstCalls;
    EXPECT_EQ(params->dwSize, 4u);
    if (!HandOut(radio)) {
        SetLastError(ERROR_NO_MORE_ITEMS);
        return nullptr;
    }
    return Search;
}

BOOL WINAPI FindNextRadio(HBLUETOOTH_RADIO_FIND search, HANDLE* radio) {
    EXPECT_EQ(search, Search);
    return HandOut(radio);
}

DWORD WINAPI GetRadioInfo(HANDLE radio, BLUETOOTH_RADIO_INFO* info) {
    ++Current->InfoCalls;
    EXPECT_EQ(info->dwSize, 520u);
    EXPECT_FALSE(Current->Opened.empty());
    EXPECT_EQ(radio, Current->Opened.back()) << "info asked for a radio other than the current one";
    const FakeRadio& fake = Current->Radios[Current->Next - 1];
    std::copy(fake.Address.begin(), fake.Address.end(), info->address.rgBytes);
    return fake.InfoResult;
}

BOOL WINAPI CloseSearch(HBLUETOOTH_RADIO_FIND search) {
    EXPECT_EQ(search, Search);
    EXPECT_FALSE(Current->SearchClosed) << "search closed twice";
    Current->SearchClosed = true;
    return Current->CloseResult;
}

BOOL WINAPI CloseRadio(HANDLE radio) {
    Current->Closed.push_back(radio);
    return TRUE;
}

}  // namespace

std::array<BYTE, 6> RadioAddress(BYTE company0, BYTE company1, BYTE company2) {
    return {0x11, 0x22, 0x33, company2, company1, company0};
}

HANDLE FakeRadios::RadioHandle(size_t index) { return reinterpret_cast<HANDLE>(0x4AD10000 + index * 4); }

FakeRadios::FakeRadios(std::vector<FakeRadio> radios) : Radios(std::move(radios)) {
    Current = this;
    ServicePlatform.BluetoothFindFirstRadio = FindFirstRadio;
    ServicePlatform.BluetoothFindNextRadio = FindNextRadio;
    ServicePlatform.BluetoothGetRadioInfo = GetRadioInfo;
    ServicePlatform.BluetoothFindRadioClose = CloseSearch;
    ServicePlatform.CloseHandle = CloseRadio;
}

FakeRadios::~FakeRadios() {
    ServicePlatform.BluetoothFindFirstRadio = RealServicePlatform.BluetoothFindFirstRadio;
    ServicePlatform.BluetoothFindNextRadio = RealServicePlatform.BluetoothFindNextRadio;
    ServicePlatform.BluetoothGetRadioInfo = RealServicePlatform.BluetoothGetRadioInfo;
    ServicePlatform.BluetoothFindRadioClose = RealServicePlatform.BluetoothFindRadioClose;
    ServicePlatform.CloseHandle = RealServicePlatform.CloseHandle;
    Current = nullptr;
}
