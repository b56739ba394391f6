// The registry links: the Radio Support key, the state value, and the remote-wake
// values of the radio's interface instances.
#include <cstring>

#include "doctor_checks.h"
#include "radio_contract.h"
#include "radio_preparation.h"
#include "tool_environment.h"

namespace {

const std::string RadioSupportKeyName = std::string("HKLM\\") + RadioSupportKeyPath;
// The values install writes, read under the keys it writes them to.
constexpr const char* RemoteWakeValues[] = {RemoteWakeEnabledValue, DeviceRemoteWakeSupportedValue};

const char* TypeName(DWORD type) {
    constexpr const char* names[] = {"REG_NONE",          "REG_SZ",        "REG_EXPAND_SZ",
                                     "REG_BINARY",        "REG_DWORD",     "REG_DWORD_BIG_ENDIAN",
                                     "REG_LINK",          "REG_MULTI_SZ",  "REG_RESOURCE_LIST",
                                     "REG_FULL_RESOURCE_DESCRIPTOR", "REG_RESOURCE_REQUIREMENTS_LIST", "REG_QWORD"};
    return type < sizeof names / sizeof names[0] ? names[type] : "an unknown type";
}

std::string NotReadable(const std::string& what, LSTATUS status) {
    if (status == ERROR_ACCESS_DENIED)
        return what + " could not be checked without the right to read it (error 5)";
    return Format("%s could not be read: error %ld (%s)", what.c_str(), static_cast<long>(status),
                  SystemMessage(static_cast<DWORD>(status)).c_str());
}

// "1" for a 4-byte REG_DWORD 1; otherwise what is there instead.
std::string DescribeWakeValue(HKEY key, const char* name) {
    BYTE data[64] = {};
    DWORD type = REG_NONE, size = sizeof data;
    LSTATUS status = RegQueryValueExA(key, name, nullptr, &type, data, &size);
    if (status == ERROR_FILE_NOT_FOUND) return "absent";
    if (status != ERROR_SUCCESS && status != ERROR_MORE_DATA) return Format("unreadable (error %ld)", static_cast<long>(status));
    if (type != REG_DWORD || size != 4) return Format("%s of %lu bytes", TypeName(type), size);
    DWORD value;
    std::memcpy(&value, data, sizeof value);
    return Format("%lu", value);
}

}  // namespace

RadioStateReading ReadRadioStateValue() {
    RadioStateReading state;
    HKEY key;
    state.KeyStatus = RegOpenKeyExA(HKEY_LOCAL_MACHINE, RadioSupportKeyPath, 0, KEY_QUERY_VALUE, &key);
    if (state.KeyStatus != ERROR_SUCCESS) return state;
    BYTE data[64] = {};
    DWORD size = sizeof data;
    state.ValueStatus = RegQueryValueExA(key, RadioStateValueName, nullptr, &state.Type, data, &size);
    if (state.ValueStatus == ERROR_MORE_DATA) state.ValueStatus = ERROR_SUCCESS;  // size says how long it is
    state.Size = size;
    std::memcpy(&state.Value, data, size < 4 ? size : 4);
    RegCloseKey(key);
    return state;
}

LinkReport CheckRadioSupportKey() {
    LinkReport link{"radio-support-key", LinkStatus::Ok, "", ""};
    HKEY key;
    LSTATUS status = RegOpenKeyExA(HKEY_LOCAL_MACHINE, RadioSupportKeyPath, 0, RadioSupportKeyAccess, &key);
    if (status == ERROR_SUCCESS) {
        RegCloseKey(key);
        link.Found = RadioSupportKeyName +
                     " exists; this account opens it with the library's access 0x000B (query value, set value, "
                     "enumerate subkeys)";
        return link;
    }
    link.Status = LinkStatus::Broken;
    if (status == ERROR_FILE_NOT_FOUND) {
        link.Found = RadioSupportKeyName + " is missing: the library refuses to load without it";
        link.Remedy = "create it from an elevated prompt (the Bluetooth port driver's setup normally does): reg add \"" +
                      RadioSupportKeyName + "\" /f";
    } else if (status == ERROR_ACCESS_DENIED) {
        // The key is there (else the answer would be "not found"); say whether it is at least readable.
        const bool readable = RegOpenKeyExA(HKEY_LOCAL_MACHINE, RadioSupportKeyPath, 0, KEY_READ, &key) == ERROR_SUCCESS;
        if (readable) RegCloseKey(key);
        if (!CanJudgeRefusals()) {
            // The platform's radio management runs as local system, which an ordinary
            // prompt's refusal says nothing about.
            link.Status = LinkStatus::Warning;
            link.Found = RadioSupportKeyName + " exists; this account, not elevated, may " +
                         (readable ? "only read it" : "not open it") +
                         ", so the doctor could not judge whether the library's process opens it with access 0x000B "
                         "(query value, set value, enumerate subkeys)";
            link.Remedy = RunElevated;
            return link;
        }
        link.Found = RadioSupportKeyName + " exists, but access denied: this account may " +
                     (readable ? "only read it" : "not open it") +
                     ", not open it with the library's access 0x000B (query value, set value, enumerate subkeys), so "
                     "the library refuses to load in its processes";
        link.Remedy =
            "the process that loads the library needs the rights to query and set values in the key (the platform's "
            "Bluetooth radio management runs as local system); run radioctl doctor elevated to see what such a "
            "process sees, or restore the key's permissions (regedit, Permissions)";
    } else {
        link.Found = NotReadable(RadioSupportKeyName, status);
        link.Remedy = "the library opens the key with access 0x000B and refuses to load when that fails";
    }
    return link;
}

LinkReport CheckStateValue(const RadioStateReading& state) {
    LinkReport link{"state-value", LinkStatus::Broken, "", ""};
    constexpr char Refused[] =
        ": IsBluetoothRadioEnabled and BluetoothEnableRadio would answer 87 (ERROR_INVALID_PARAMETER)";
    constexpr char Rewrite[] =
        "the service writes it when the radio's Bluetooth port interface arrives or goes: with the service running, "
        "unplug and replug the radio (or disable and enable its node in Device Manager)";
    if (state.KeyStatus == ERROR_FILE_NOT_FOUND) {
        link.Found = std::string(RadioStateValueName) + " cannot be read: the Radio Support key is missing";
        link.Remedy = "see radio-support-key";
        return link;
    }
    if (state.KeyStatus != ERROR_SUCCESS) {
        link.Status = LinkStatus::Warning;
        link.Found = NotReadable(RadioStateValueName, state.KeyStatus);
        link.Remedy = "run radioctl doctor elevated to check it";
        return link;
    }
    if (state.ValueStatus == ERROR_FILE_NOT_FOUND) {
        link.Found = std::string(RadioStateValueName) + " is absent" + Refused;
        link.Remedy = Rewrite;
        return link;
    }
    if (state.ValueStatus != ERROR_SUCCESS) {
        link.Status = LinkStatus::Warning;
        link.Found = NotReadable(RadioStateValueName, state.ValueStatus);
        return link;
    }
    if (!state.AcceptedByLibrary()) {
        link.Found = Format("%s is %s of %lu bytes, but the library accepts only a REG_DWORD of 4 bytes%s",
                            RadioStateValueName, TypeName(state.Type), state.Size, Refused);
        link.Remedy = "delete it (reg delete \"" + RadioSupportKeyName + "\" /v " + RadioStateValueName +
                      " /f, elevated) and let the service write it again: " + Rewrite;
        return link;
    }
    // The library keeps the low byte and takes any nonzero byte as on.
    const unsigned lowByte = state.Value & 0xFF;
    link.Found = Format("%s is REG_DWORD, %lu bytes, value %lu: IsBluetoothRadioEnabled would answer 0 "
                        "(ERROR_SUCCESS) with the radio %s",
                        RadioStateValueName, state.Size, state.Value, lowByte ? "on" : "off");
    if (state.Value <= 1) {
        link.Status = LinkStatus::Ok;
    } else {
        link.Status = LinkStatus::Warning;
        link.Found += Format(" (the library keeps the low byte, %u)", lowByte);
        link.Remedy = std::string("the service writes only a 4-byte 0 or 1; something else wrote this value: ") + Rewrite;
    }
    return link;
}

LinkReport CheckRemoteWake() {
    LinkReport link{"remote-wake", LinkStatus::Warning, "", ""};
    const std::string enumeratorName = std::string("HKLM\\") + RadioEnumeratorKeyPath;
    constexpr char Reinstall[] =
        "install marks every instance when a radio of the vendor is present, and never touches a registered service: "
        "with the radio plugged in, from an elevated prompt, run the service program's stop, remove and install";
    HKEY enumerator;
    LSTATUS status = RegOpenKeyExA(HKEY_LOCAL_MACHINE, RadioEnumeratorKeyPath, 0, KEY_ENUMERATE_SUB_KEYS, &enumerator);
    if (status == ERROR_FILE_NOT_FOUND) {
        link.Found = enumeratorName + " is missing: no instance of the radio's interface has been installed here";
        link.Remedy = Reinstall;
        return link;
    }
    if (status != ERROR_SUCCESS) {
        link.Found = NotReadable(enumeratorName, status);
        return link;
    }
    bool allMarked = true;
    DWORD index = 0;
    for (;; ++index) {
        char name[256];
        DWORD nameSize = sizeof name;
        status = RegEnumKeyExA(enumerator, index, name, &nameSize, nullptr, nullptr, nullptr, nullptr);
        if (status != ERROR_SUCCESS) break;
        if (!link.Found.empty()) link.Found += "; ";
        link.Found += name;
        HKEY parameters;
        status = RegOpenKeyExA(enumerator, (std::string(name) + "\\" + DeviceParametersSubkey).c_str(), 0, KEY_QUERY_VALUE,
                               &parameters);
        if (status != ERROR_SUCCESS) {
            allMarked = false;
            link.Found += status == ERROR_FILE_NOT_FOUND ? ": no Device Parameters key"
                                                          : ": " + NotReadable("Device Parameters", status);
            continue;
        }
        const char* separator = ": ";
        for (const char* value : RemoteWakeValues) {
            const std::string found = DescribeWakeValue(parameters, value);
            allMarked = allMarked && found == "1";
            link.Found += Format("%s%s %s", separator, value, found.c_str());
            separator = ", ";
        }
        RegCloseKey(parameters);
    }
    RegCloseKey(enumerator);
    if (index == 0) {
        link.Found = enumeratorName + " has no instances";
        link.Remedy = Reinstall;
    } else if (allMarked) {
        link.Status = LinkStatus::Ok;
    } else {
        link.Remedy = std::string("the radio cannot wake the system where a value is not 1; ") + Reinstall;
    }
    return link;
}
