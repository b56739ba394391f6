// The library's links: whether it loads from where radioctl takes it, and how to see
// its trace events.
#include "doctor_checks.h"
#include "radio_contract.h"
#include "tool_environment.h"

namespace {

using IsBluetoothRadioEnabledFn = DWORD(WINAPI*)(BOOL*);

constexpr char ControlGuid[] = "{C31877A2-C8C8-4C58-B5B8-7D6311D5E343}";
constexpr char TraceFormatFile[] = "fa39bbd6-335a-1019-b23b-cfb8fb0ba24b.tmf";

// Whether this account is refused the library's own access to the Radio Support key.
bool KeyRefusesThisAccount() {
    HKEY key;
    const LSTATUS status = RegOpenKeyExA(HKEY_LOCAL_MACHINE, RadioSupportKeyPath, 0, RadioSupportKeyAccess, &key);
    if (status == ERROR_SUCCESS) RegCloseKey(key);
    return status == ERROR_ACCESS_DENIED;
}

bool FileExists(const std::string& path) {
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

LinkReport CheckLibrary(const std::string& libraryPath) {
    LinkReport link{"library", LinkStatus::Broken, "", ""};
    // Loading runs the library's start-up, which only opens the Radio Support key.
    HMODULE library = LoadLibraryA(libraryPath.c_str());
    if (!library) {
        const DWORD error = GetLastError();
        link.Found = Format("%s did not load: error %lu (%s)", libraryPath.c_str(), error, SystemMessage(error).c_str());
        const bool refusedRights =
            error == ERROR_ACCESS_DENIED || (error == ERROR_DLL_INIT_FAILED && KeyRefusesThisAccount());
        if (refusedRights && !CanJudgeRefusals()) {
            link.Status = LinkStatus::Warning;
            link.Found += error == ERROR_ACCESS_DENIED
                              ? ": this account, not elevated, may not read it"
                              : ": this account, not elevated, may not open the Radio Support key with the library's "
                                "access 0x000B";
            link.Found += ", so the doctor could not judge whether it loads in the platform's process";
            link.Remedy = RunElevated;
        } else if (error == ERROR_MOD_NOT_FOUND) {
            link.Remedy = Format("place %s beside %s, or name it with --dll PATH", DefaultLibraryName, RadioctlName);
        } else if (error == ERROR_DLL_INIT_FAILED) {
            link.Found += ": the library refuses to load when it cannot open the Radio Support key with access 0x000B";
            link.Remedy = "see radio-support-key";
        } else if (error == ERROR_BAD_EXE_FORMAT) {
            link.Remedy = "the library's architecture must match the loading process: radioswitch64.dll with "
                          "radioctl64, radioswitch.dll with radioctl, radioswitcharm64.dll with radioctlarm64";
        }
        return link;
    }
    FARPROC isEnabled = GetProcAddress(library, "IsBluetoothRadioEnabled");
    FARPROC enable = GetProcAddress(library, "BluetoothEnableRadio");
    if (!isEnabled || !enable) {
        link.Found = libraryPath + " loads but does not export " +
                     (isEnabled ? "BluetoothEnableRadio" : "IsBluetoothRadioEnabled");
        link.Remedy = std::string("this is not the radio support library: install ") + DefaultLibraryName;
    } else {
        // Reading the state changes nothing; it shows what the platform would be told.
        BOOL on = FALSE;
        const DWORD result = reinterpret_cast<IsBluetoothRadioEnabledFn>(reinterpret_cast<void*>(isEnabled))(&on);
        link.Status = LinkStatus::Ok;
        link.Found = libraryPath + " loads and exports BluetoothEnableRadio and IsBluetoothRadioEnabled; " +
                     Format("IsBluetoothRadioEnabled answered %lu", result) +
                     (result == ERROR_SUCCESS ? (on ? " (radio on)" : " (radio off)") : " (see state-value)");
    }
    FreeLibrary(library);
    return link;
}

LinkReport CheckTracing() {
    LinkReport link{"tracing", LinkStatus::Ok, "", ""};
    const std::string formatFile = ToolDirectory() + TraceFormatFile;
    const bool present = FileExists(formatFile);
    link.Found = Format("trace provider %s; trace format file %s %s", ControlGuid, formatFile.c_str(),
                        present ? "present" : "missing");
    if (!present) link.Status = LinkStatus::Warning;
    link.Remedy = Format("capture, elevated: logman start radioswitch -p %s 0x1 -o radioswitch.etl -ets, switch the "
                         "radio, logman stop radioswitch -ets; decode: tracefmt radioswitch.etl -tmf %s -o "
                         "radioswitch.txt%s",
                         ControlGuid, present ? formatFile.c_str() : TraceFormatFile,
                         present ? "" : " (the build writes the file beside radioctl; copy it there)");
    return link;
}
