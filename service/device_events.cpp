#include "device_events.h"

#include <cstddef>

#include "event_log.h"
#include "platform.h"
#include "radio_contract.h"
#include "service_state.h"

HKEY RadioSupportKey;

namespace {

constexpr size_t PatternLength = sizeof RadioDevicePathPattern / sizeof RadioDevicePathPattern[0] - 1;
static_assert(PatternLength == 27);

}  // namespace

bool IsRadioDevicePath(const DEV_BROADCAST_DEVICEINTERFACE_W* record) {
    // Never read past what the platform delivered: the compared code units must lie
    // inside the record.
    constexpr size_t needed =
        offsetof(DEV_BROADCAST_DEVICEINTERFACE_W, dbcc_name) + (RadioDevicePathOffset + PatternLength) * sizeof(wchar_t);
    if (record->dbcc_size < needed) return false;
    const wchar_t* path = record->dbcc_name + RadioDevicePathOffset;
    for (size_t i = 0; i < PatternLength; ++i) {
        if (path[i] != RadioDevicePathPattern[i]) return false;
    }
    return true;
}

bool OpenRadioSupportKey() {
    if (RadioSupportKey) return true;
    HKEY key = nullptr;
    const LSTATUS status = RegOpenKeyExA(HKEY_LOCAL_MACHINE, RadioSupportKeyPath, 0, RadioSupportKeyAccess, &key);
    if (status != ERROR_SUCCESS) {
        ReportStateWriteFailed("RegOpenKeyExA", status);
        return false;
    }
    RadioSupportKey = key;
    return true;
}

namespace {

LSTATUS SetStateValue(DWORD state) {
    return RegSetValueExA(RadioSupportKey, RadioStateValueName, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&state),
                          sizeof state);
}

}  // namespace

bool WriteRadioState(DWORD state) {
    if (!OpenRadioSupportKey()) return false;
    LSTATUS status = SetStateValue(state);
    // A key deleted since it was opened stays dead behind its handle, even once the key
    // is back: let go of it and write into the key that exists now.
    if (status == ERROR_KEY_DELETED) {
        RegCloseKey(RadioSupportKey);
        RadioSupportKey = nullptr;
        if (!OpenRadioSupportKey()) return false;
        status = SetStateValue(state);
    }
    if (status != ERROR_SUCCESS) ReportStateWriteFailed("RegSetValueExA", status);
    return status == ERROR_SUCCESS;
}

DWORD HandleRadioDeviceEvent(DWORD eventType, const DEV_BROADCAST_HDR* eventData) {
    if (!eventData || eventData->dbch_devicetype != DBT_DEVTYP_DEVICEINTERFACE) return NO_ERROR;
    DWORD state;
    if (eventType == DBT_DEVICEARRIVAL)
        state = 1;
    else if (eventType == DBT_DEVICEREMOVECOMPLETE)
        state = 0;
    else
        return NO_ERROR;
    if (!IsRadioDevicePath(reinterpret_cast<const DEV_BROADCAST_DEVICEINTERFACE_W*>(eventData))) return NO_ERROR;
    if (!OpenRadioSupportKey()) return NO_ERROR;
    // The value first: whoever the event releases must already find the new state.
    if (!WriteRadioState(state)) return NO_ERROR;
    if (SwitchDoneEvent) ServicePlatform.SetEvent(SwitchDoneEvent);
    ReportSwitchCompleted(state);
    return NO_ERROR;
}
