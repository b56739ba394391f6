#include "bthprops_loader.h"

#include <cstring>

namespace {

// From the system folder only: a bthprops.cpl beside the program must not be loaded
// into the elevated install process. Stays loaded until the process ends.
HMODULE LoadBthprops() {
    constexpr char fileName[] = "\\bthprops.cpl";
    char path[MAX_PATH];
    UINT length = GetSystemDirectoryA(path, MAX_PATH);
    if (length == 0 || length + sizeof fileName > MAX_PATH) return nullptr;
    std::memcpy(path + length, fileName, sizeof fileName);
    return LoadLibraryA(path);
}

// Loaded once for all four functions. The platform's one-time initialisation rather
// than a function-local static: the compiler's guard for that comes from the C++
// runtime, which would more than quadruple the size of the service program.
INIT_ONCE BthpropsOnce = INIT_ONCE_STATIC_INIT;
HMODULE BthpropsModule;

BOOL CALLBACK LoadBthpropsOnce(INIT_ONCE*, void*, void**) {
    BthpropsModule = LoadBthprops();
    return TRUE;
}

template <typename Function>
Function Resolve(const char* name) {
    if (!InitOnceExecuteOnce(&BthpropsOnce, LoadBthpropsOnce, nullptr, nullptr) || !BthpropsModule) return nullptr;
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(BthpropsModule, name)));
}

}  // namespace

HBLUETOOTH_RADIO_FIND WINAPI LoadedBluetoothFindFirstRadio(FindRadioParams* params, HANDLE* radio) {
    auto function = Resolve<decltype(&::BluetoothFindFirstRadio)>("BluetoothFindFirstRadio");
    if (!function) {
        SetLastError(ERROR_PROC_NOT_FOUND);
        return nullptr;
    }
    return function(params, radio);
}

BOOL WINAPI LoadedBluetoothFindNextRadio(HBLUETOOTH_RADIO_FIND search, HANDLE* radio) {
    auto function = Resolve<decltype(&::BluetoothFindNextRadio)>("BluetoothFindNextRadio");
    if (!function) {
        SetLastError(ERROR_PROC_NOT_FOUND);
        return FALSE;
    }
    return function(search, radio);
}

DWORD WINAPI LoadedBluetoothGetRadioInfo(HANDLE radio, BLUETOOTH_RADIO_INFO* info) {
    auto function = Resolve<decltype(&::BluetoothGetRadioInfo)>("BluetoothGetRadioInfo");
    return function ? function(radio, info) : ERROR_PROC_NOT_FOUND;
}

BOOL WINAPI LoadedBluetoothFindRadioClose(HBLUETOOTH_RADIO_FIND search) {
    auto function = Resolve<decltype(&::BluetoothFindRadioClose)>("BluetoothFindRadioClose");
    if (!function) {
        SetLastError(ERROR_PROC_NOT_FOUND);
        return FALSE;
    }
    return function(search);
}
