#include "radio_key.h"

#include "diagnostics.h"
#include "radio_contract.h"

RadioLibraryContextRecord* RadioLibraryContext;

bool OpenBtRadioKey() {
    if (!RadioLibraryContext->RadioKey) {
        HKEY key = nullptr;
        // The right to set values is asked for on purpose: a caller without it cannot load the library.
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, RadioSupportKeyPath, 0, RadioSupportKeyAccess, &key) != ERROR_SUCCESS) {
            Report<EvKeyOpenFailed>();
            return false;
        }
        RadioLibraryContext->RadioKey = key;
    }
    Report<EvKeyOpened>();
    return true;
}

namespace {

LSTATUS ReadStateValue(DWORD& value, DWORD& type, DWORD& size) {
    value = 0;
    size = sizeof value;
    return RegQueryValueExA(RadioLibraryContext->RadioKey, RadioStateValueName, nullptr, &type,
                            reinterpret_cast<BYTE*>(&value), &size);
}

}  // namespace

bool QueryBtRadioKeyValue() {
    if (!RadioLibraryContext->RadioKey) {
        OpenBtRadioKey();
        if (!RadioLibraryContext->RadioKey) {
            Report<EvKeyNotOpen>();
            return false;
        }
    }
    DWORD value = 0, type = REG_NONE, size = 0;
    LSTATUS status = ReadStateValue(value, type, size);
    // A key deleted since it was opened stays dead behind its handle, even once the key
    // is back: let go of it and read from the key that exists now.
    if (status == ERROR_KEY_DELETED) {
        RegCloseKey(RadioLibraryContext->RadioKey);
        RadioLibraryContext->RadioKey = nullptr;
        if (OpenBtRadioKey()) status = ReadStateValue(value, type, size);
    }
    // A REG_DWORD shorter than 4 bytes holds no state: its missing bytes would read as off.
    if (status != ERROR_SUCCESS || type != REG_DWORD || size != sizeof value) {
        Report<EvStateReadFailed>();
        return false;
    }
    RadioLibraryContext->RadioState = static_cast<BYTE>(value);
    // The reports carry the whole value as read, not the cached byte.
    ReportValue<EvStateRead>(value, static_cast<int>(value));
    return true;
}
