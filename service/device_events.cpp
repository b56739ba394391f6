#include "device_events.h"

#include <cstddef>

#include "event_log.h"
#include "platform.h"
#include "radio_contract.h"
#include "radio_device_path.h"
#include "service_state.h"

HKEY RadioSupportKey;

bool IsRadioDevicePath(const DEV_BROADCAST_DEVICEINTERFACE_W* record) {
    // Never read past what the platform delivered: the compared code units must lie
    // inside the record.
    constexpr size_t nameOffset = offsetof(DEV_BROADCAST_DEVICEINTERFACE_W, dbcc_name);
    if (record->dbcc_size < nameOffset) return false;
    return NamesRadioInterface(record->dbcc_name, (record->dbcc_size - nameOffset) / sizeof(wchar_t));
}

namespace {

// The service main (the first state) and the dispatcher (device events) both use the
// key, and a write may replace a deleted key's handle: one at a time.
SRWLOCK RadioKeyLock = SRWLOCK_INIT;

struct RadioKeyGuard {
    RadioKeyGuard() { AcquireSRWLockExclusive(&RadioKeyLock); }
    ~RadioKeyGuard() { ReleaseSRWLockExclusive(&RadioKeyLock); }
    RadioKeyGuard(const RadioKeyGuard&) = delete;
    RadioKeyGuard& operator=(const RadioKeyGuard&) = delete;
};

// Under RadioKeyLock.
bool OpenKey() {
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

// Under RadioKeyLock, with the key open. A key deleted since it was opened stays dead
// behind its handle, even once the key is back: let go of it and use the key that
// exists now.
template <typename KeyCall>
LSTATUS CallOnKey(KeyCall call) {
    LSTATUS status = call();
    if (status != ERROR_KEY_DELETED) return status;
    RegCloseKey(RadioSupportKey);
    RadioSupportKey = nullptr;
    return OpenKey() ? call() : ERROR_KEY_DELETED;
}

// Under RadioKeyLock.
bool WriteState(DWORD state) {
    if (!OpenKey()) return false;
    const LSTATUS status = CallOnKey([state] {
        return RegSetValueExA(RadioSupportKey, RadioStateValueName, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&state),
                              sizeof state);
    });
    if (status != ERROR_SUCCESS) ReportStateWriteFailed("RegSetValueExA", status);
    return status == ERROR_SUCCESS;
}

}  // namespace

bool OpenRadioSupportKey() {
    RadioKeyGuard guard;
    return OpenKey();
}

bool WriteRadioState(DWORD state) {
    RadioKeyGuard guard;
    return WriteState(state);
}

namespace {

// Under RadioKeyLock.
bool StateAbsent() {
    return OpenKey() && CallOnKey([] {
               return RegQueryValueExA(RadioSupportKey, RadioStateValueName, nullptr, nullptr, nullptr, nullptr);
           }) == ERROR_FILE_NOT_FOUND;
}

}  // namespace

bool RadioStateAbsent() {
    RadioKeyGuard guard;
    return StateAbsent();
}

bool WriteRadioStateIfAbsent(DWORD state) {
    RadioKeyGuard guard;
    return StateAbsent() && WriteState(state);
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
