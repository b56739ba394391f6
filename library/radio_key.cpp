#include "radio_key.h"

#include "diagnostics.h"
#include "radio_contract.h"
#include "radio_state_value.h"

RadioLibraryContextRecord* RadioLibraryContext;

namespace {

// Readers share RadioKey; the one thread that replaces it holds the lock exclusively,
// so no handle is closed while another thread may still read through it.
SRWLOCK RadioKeyLock = SRWLOCK_INIT;

// The right to set values is asked for on purpose: a caller without it cannot load the library.
LSTATUS OpenRadioSupportKey(HKEY& key) {
    return RegOpenKeyExA(HKEY_LOCAL_MACHINE, RadioSupportKeyPath, 0, RadioSupportKeyAccess, &key);
}

// Reads through the handle held now; `used` tells the caller which one that was.
LSTATUS ReadStateValue(HKEY& used, DWORD& value, DWORD& type, DWORD& size) {
    value = 0;
    size = sizeof value;
    AcquireSRWLockShared(&RadioKeyLock);
    used = RadioLibraryContext->RadioKey;
    const LSTATUS status = used ? RegQueryValueExA(used, RadioStateValueName, nullptr, &type,
                                                   reinterpret_cast<BYTE*>(&value), &size)
                                : ERROR_INVALID_HANDLE;
    ReleaseSRWLockShared(&RadioKeyLock);
    return status;
}

// Puts a key opened now in the place of `stale` (none, or a handle whose key was
// deleted), unless another reader has replaced it already. The stale handle is kept
// while no key can be opened, and closed only by the thread that replaced it.
// True when RadioKey holds a handle other than `stale`.
bool ReplaceBtRadioKey(HKEY stale) {
    AcquireSRWLockExclusive(&RadioKeyLock);
    bool replacedHere = false;
    LSTATUS opened = ERROR_SUCCESS;
    if (RadioLibraryContext->RadioKey == stale) {
        HKEY key = nullptr;
        opened = OpenRadioSupportKey(key);
        if (opened == ERROR_SUCCESS) {
            RadioLibraryContext->RadioKey = key;
            if (stale) RegCloseKey(stale);  // nothing to do if it fails
            replacedHere = true;
        }
    }
    const bool replaced = RadioLibraryContext->RadioKey != stale;
    ReleaseSRWLockExclusive(&RadioKeyLock);

    // Only the thread that tried to open reports, outside the lock.
    if (opened != ERROR_SUCCESS) Report<EvKeyOpenFailed>();
    if (replacedHere) {
        Report<EvKeyOpened>();
        if (stale) Report<EvKeyClosed>();
    }
    return replaced;
}

}  // namespace

bool OpenBtRadioKey() {
    if (!RadioLibraryContext->RadioKey) {
        HKEY key = nullptr;
        if (OpenRadioSupportKey(key) != ERROR_SUCCESS) {
            Report<EvKeyOpenFailed>();
            return false;
        }
        RadioLibraryContext->RadioKey = key;
    }
    Report<EvKeyOpened>();
    return true;
}

void CloseBtRadioKey() {
    AcquireSRWLockExclusive(&RadioKeyLock);
    HKEY key = RadioLibraryContext->RadioKey;
    RadioLibraryContext->RadioKey = nullptr;
    ReleaseSRWLockExclusive(&RadioKeyLock);
    if (!key) return;
    RegCloseKey(key);  // nothing to do if it fails
    Report<EvKeyClosed>();
}

bool QueryBtRadioKeyValue() {
    DWORD value = 0, type = REG_NONE, size = 0;
    HKEY used = nullptr;
    LSTATUS status = ReadStateValue(used, value, type, size);
    if (!used) {
        if (!ReplaceBtRadioKey(nullptr)) {
            Report<EvKeyNotOpen>();
            return false;
        }
        status = ReadStateValue(used, value, type, size);
    } else if (status == ERROR_KEY_DELETED && ReplaceBtRadioKey(used)) {
        // A deleted key stays dead behind its handle, even once the key is made again:
        // read from the key that exists now.
        status = ReadStateValue(used, value, type, size);
    }
    if (status != ERROR_SUCCESS || !HoldsRadioState(type, size)) {
        Report<EvStateReadFailed>();
        return false;
    }
    RadioLibraryContext->RadioState = static_cast<BYTE>(value);
    // The reports carry the whole value as read, not the cached byte.
    ReportValue<EvStateRead>(value, static_cast<int>(value));
    return true;
}
