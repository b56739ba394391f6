#include "radio_preparation.h"

#include <cstring>
#include <memory>
#include <string_view>
#include <type_traits>

#include "platform.h"

namespace {

static_assert(sizeof(BLUETOOTH_FIND_RADIO_PARAMS) == 4);
static_assert(sizeof(BLUETOOTH_RADIO_INFO) == 520);

constexpr DWORD InstanceKeyAccess = KEY_QUERY_VALUE | KEY_SET_VALUE | KEY_ENUMERATE_SUB_KEYS;
constexpr DWORD InstanceNameSize = 200;

struct RegistryKeyCloser {
    void operator()(HKEY key) const { RegCloseKey(key); }
};
using RegistryKey = std::unique_ptr<std::remove_pointer_t<HKEY>, RegistryKeyCloser>;

bool IsVendorAddress(const BLUETOOTH_ADDRESS& address) {
    return address.rgBytes[5] == VendorCompanyId[0] && address.rgBytes[4] == VendorCompanyId[1] &&
           address.rgBytes[3] == VendorCompanyId[2];
}

// Appends part at *length; false, with path unchanged, when it would not leave room for the terminator.
bool AppendBounded(char (&path)[InstanceKeyPathSize], size_t& length, std::string_view part) {
    if (part.size() >= InstanceKeyPathSize - length) return false;
    std::memcpy(path + length, part.data(), part.size());
    length += part.size();
    return true;
}

// The instance's "Device Parameters" path; false when it does not fit.
bool BuildInstanceKeyPath(std::string_view instance, char (&path)[InstanceKeyPathSize]) {
    std::memset(path, 0, sizeof path);
    size_t length = 0;
    return AppendBounded(path, length, RadioEnumeratorKeyPath) && AppendBounded(path, length, "\\") &&
           AppendBounded(path, length, instance) && AppendBounded(path, length, "\\") &&
           AppendBounded(path, length, DeviceParametersSubkey);
}

bool SetDwordOne(HKEY key, const char* name) {
    const DWORD one = 1;
    return RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), sizeof one) ==
           ERROR_SUCCESS;
}

}  // namespace

bool IsVendorRadioPresent() {
    BLUETOOTH_FIND_RADIO_PARAMS params{};
    params.dwSize = sizeof params;
    HANDLE radio = nullptr;
    HBLUETOOTH_RADIO_FIND search = ServicePlatform.BluetoothFindFirstRadio(&params, &radio);
    if (!search) return false;

    bool found = false;
    for (;;) {
        BLUETOOTH_RADIO_INFO info{};
        info.dwSize = sizeof info;
        if (ServicePlatform.BluetoothGetRadioInfo(radio, &info) != ERROR_SUCCESS) break;
        if (IsVendorAddress(info.address)) {
            found = true;
            break;
        }
        ServicePlatform.Sleep(NonVendorRadioPauseMs);
        ServicePlatform.CloseHandle(radio);
        radio = nullptr;
        if (!ServicePlatform.BluetoothFindNextRadio(search, &radio)) break;
    }

    // A search that does not close cleanly makes even a match count for nothing.
    if (!ServicePlatform.BluetoothFindRadioClose(search)) found = false;
    if (radio) ServicePlatform.CloseHandle(radio);
    return found;
}

bool EnableRadioRemoteWake() {
    HKEY opened = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, RadioEnumeratorKeyPath, 0, KEY_ENUMERATE_SUB_KEYS, &opened) !=
        ERROR_SUCCESS)
        return false;
    RegistryKey enumerator(opened);

    for (DWORD index = 0;; ++index) {
        char name[InstanceNameSize];
        DWORD nameLength = InstanceNameSize;
        LSTATUS status = RegEnumKeyExA(enumerator.get(), index, name, &nameLength, nullptr, nullptr, nullptr, nullptr);
        // Any other failure leaves no usable name and may repeat for every index.
        if (status != ERROR_SUCCESS) break;

        char path[InstanceKeyPathSize];
        if (!BuildInstanceKeyPath(std::string_view(name, nameLength), path)) continue;

        HKEY instance = nullptr;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, InstanceKeyAccess, &instance) != ERROR_SUCCESS) continue;
        RegistryKey parameters(instance);
        if (SetDwordOne(parameters.get(), RemoteWakeEnabledValue))
            SetDwordOne(parameters.get(), DeviceRemoteWakeSupportedValue);
    }
    return true;
}
