#include "device_events.h"

#include <cstddef>

#include "event_log.h"
#include "platform.h"
#include "radio_contract.h"
#include "radio_device_path.h"
#include "radio_state_value.h"
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

// The service main (the state at start) and the dispatcher (device events) both use the
// key, and a write may replace a deleted key's handle: one at a time. Nothing that
// calls out of the process (the event log) runs under it.
SRWLOCK RadioKeyLock = SRWLOCK_INIT;
// Under RadioKeyLock.
DWORD RadioEvents;

struct RadioKeyGuard {
    RadioKeyGuard() { AcquireSRWLockExclusive(&RadioKeyLock); }
    ~RadioKeyGuard() { ReleaseSRWLockExclusive(&RadioKeyLock); }
    RadioKeyGuard(const RadioKeyGuard&) = delete;
    RadioKeyGuard& operator=(const RadioKeyGuard&) = delete;
};

// The registry call that failed, reported once the key's lock is released.
struct KeyFailure {
    const char* Call = nullptr;
    LSTATUS Status = ERROR_SUCCESS;
    bool Failed() const { return Call != nullptr; }
    void Report() const {
        if (Failed()) ReportStateWriteFailed(Call, Status);
    }
};

// Under RadioKeyLock.
KeyFailure OpenKey() {
    if (RadioSupportKey) return {};
    HKEY key = nullptr;
    const LSTATUS status = RegOpenKeyExA(HKEY_LOCAL_MACHINE, RadioSupportKeyPath, 0, RadioSupportKeyAccess, &key);
    if (status != ERROR_SUCCESS) return {"RegOpenKeyExA", status};
    RadioSupportKey = key;
    return {};
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
    return !OpenKey().Failed() ? call() : ERROR_KEY_DELETED;
}

// Under RadioKeyLock.
KeyFailure WriteState(DWORD state) {
    if (KeyFailure failure = OpenKey(); failure.Failed()) return failure;
    const LSTATUS status = CallOnKey([state] {
        return RegSetValueExA(RadioSupportKey, RadioStateValueName, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&state),
                              sizeof state);
    });
    if (status != ERROR_SUCCESS) return {"RegSetValueExA", status};
    return {};
}

// Under RadioKeyLock, with the key open: whether ZentRadioState holds state already.
// A value that can't be read is taken as holding it: nothing is known to be stale.
bool StateStored(DWORD state) {
    DWORD type = REG_NONE, stored = 0, size = sizeof stored;
    const LSTATUS status = CallOnKey([&] {
        size = sizeof stored;
        return RegQueryValueExA(RadioSupportKey, RadioStateValueName, nullptr, &type, reinterpret_cast<BYTE*>(&stored),
                                &size);
    });
    if (status == ERROR_FILE_NOT_FOUND || status == ERROR_MORE_DATA) return false;
    if (status != ERROR_SUCCESS) return true;
    return HoldsRadioState(type, size) && stored == state;
}

}  // namespace

bool OpenRadioSupportKey() {
    KeyFailure failure;
    {
        RadioKeyGuard guard;
        failure = OpenKey();
    }
    failure.Report();
    return !failure.Failed();
}

bool WriteRadioState(DWORD state) {
    KeyFailure failure;
    {
        RadioKeyGuard guard;
        failure = WriteState(state);
    }
    failure.Report();
    return !failure.Failed();
}

DWORD RadioEventCount() {
    RadioKeyGuard guard;
    return RadioEvents;
}

bool ReconcileRadioStateValue(DWORD state, DWORD eventsSeen) {
    KeyFailure failure;
    {
        RadioKeyGuard guard;
        if (RadioEvents != eventsSeen || OpenKey().Failed() || StateStored(state)) return false;
        failure = WriteState(state);
    }
    failure.Report();
    return !failure.Failed();
}

DWORD HandleRadioDeviceEvent(DWORD eventType, const DEV_BROADCAST_HDR* eventData) {
    // Not even the device type is read from a record too short to hold it.
    if (!eventData || eventData->dbch_size < sizeof(DEV_BROADCAST_HDR) ||
        eventData->dbch_devicetype != DBT_DEVTYP_DEVICEINTERFACE)
        return NO_ERROR;
    DWORD state;
    if (eventType == DBT_DEVICEARRIVAL)
        state = 1;
    else if (eventType == DBT_DEVICEREMOVECOMPLETE)
        state = 0;
    else
        return NO_ERROR;
    if (!IsRadioDevicePath(reinterpret_cast<const DEV_BROADCAST_DEVICEINTERFACE_W*>(eventData))) return NO_ERROR;
    KeyFailure failure;
    {
        RadioKeyGuard guard;
        // Counted whether or not the write succeeds: the radio has changed since any
        // reading taken before.
        ++RadioEvents;
        failure = WriteState(state);
    }
    failure.Report();
    // The value first: whoever the event releases must already find the new state.
    if (failure.Failed()) return NO_ERROR;
    if (SwitchDoneEvent) ServicePlatform.SetEvent(SwitchDoneEvent);
    ReportSwitchCompleted(state);
    return NO_ERROR;
}
