#include "simulated_radio_service.h"

DWORD ReadSimulatedRadioSetting(const char* name, DWORD fallback) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, SimulatedRadioKeyPath, 0, KEY_QUERY_VALUE | KEY_WOW64_64KEY, &key) !=
        ERROR_SUCCESS)
        return fallback;
    DWORD type = 0, value = 0, size = sizeof value;
    LSTATUS status = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
    RegCloseKey(key);
    return status == ERROR_SUCCESS && type == REG_DWORD && size == sizeof value ? value : fallback;
}

LSTATUS WriteSimulatedRadioSetting(const char* name, DWORD value) {
    HKEY key;
    LSTATUS status = RegCreateKeyExA(HKEY_LOCAL_MACHINE, SimulatedRadioKeyPath, 0, nullptr, 0,
                                     KEY_SET_VALUE | KEY_WOW64_64KEY, nullptr, &key, nullptr);
    if (status != ERROR_SUCCESS) return status;
    status = RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
    RegCloseKey(key);
    return status;
}

LSTATUS DeleteSimulatedRadioSettings() {
    LSTATUS status = RegDeleteKeyExA(HKEY_LOCAL_MACHINE, SimulatedRadioKeyPath, KEY_WOW64_64KEY, 0);
    return status == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : status;
}
