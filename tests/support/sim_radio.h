// A simulated radio platform behind the service's seam (ServicePlatform): the device
// tree and the class installer, the Bluetooth port interface, device-interface
// registrations and their events, radio enumeration of bthprops, and scaled time.
// No GoogleTest: the simulated-radio build of the service links it as well.
//
// Usage:
//   SimRadio sim;                              // installs itself; the destructor restores the real platform
//   size_t radio = sim.AddStandardRadio();     // composite device + Bluetooth interface node (running, port present)
//   sim.Node(radio).Installer.FailTimes(2);    // the next two class-installer calls on it fail
//   ... run the code under test ...
//   sim.Log()                                  // the notable calls in order, e.g. "Sleep 500"
//
// A node's state is what the class installer made it: a global disable and a disable in
// the current hardware profile, kept apart; the node runs only when neither is set.
// When the port interface comes or goes, the event takes the platform's path: only a
// registration Windows would honour receives it (the status handle of a control handler
// registered through the seam, DEVICE_NOTIFY_SERVICE_HANDLE, a 32-byte filter of type 5
// for the port interface class); a thread of the simulation sends it EventDelayMs after
// the change through the real Service Control Manager as the user control
// SimDeviceEventControl, and the handler registered through the seam receives
// SERVICE_CONTROL_DEVICEEVENT with the record instead, on the dispatcher's thread for
// controls, one control at a time. Outside a service nothing receives events, as on Windows.
// Radios for bthprops: sim.Radios = {{0x001122334455}, {0x2CE71A000001}}; (address
// bytes 5..3 = 2C E7 1A is the vendor's); sim.FindRadioCloseSucceeds = false fails the close.
//
// One SimRadio at a time. ServicePlatform.CloseHandle closes only the simulation's own
// handles (ports and radios); any other handle is refused and listed in InvalidCloses.
// Every record below is written under the simulation's lock; read records after the
// code under test has returned. Configure nodes and scripts before the code under test runs.
#pragma once

#include <windows.h>
#include <bluetoothapis.h>
#include <cfgmgr32.h>
#include <dbt.h>
#include <setupapi.h>

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// Outcomes of successive calls of one simulated operation. By default every call
// succeeds; FailTimes(n) makes the next n calls fail and later ones succeed again.
// Each script replaces the one before.
class SimOutcomes {
public:
    void FailTimes(unsigned count, DWORD error = ERROR_GEN_FAILURE);
    // The next `successes` calls succeed, then `failures` fail, then calls succeed again.
    void SucceedThenFail(unsigned successes, unsigned failures = 1, DWORD error = ERROR_GEN_FAILURE);
    void FailAlways(DWORD error = ERROR_GEN_FAILURE);
    void SucceedAlways();
    unsigned Calls() const { return calls_; }  // calls taken so far
    // For the simulation: takes one call; false (with the error to report) when it fails.
    bool Take(DWORD& error);

private:
    unsigned calls_ = 0;
    unsigned successesFirst_ = 0;
    unsigned failuresLeft_ = 0;
    bool failAlways_ = false;
    DWORD error_ = ERROR_GEN_FAILURE;
};

// A device registry property as SetupDiGetDeviceRegistryPropertyA returns it; the rest
// of the caller's buffer is filled with 0xCD, as its contents are undefined.
struct SimProperty {
    DWORD Type = REG_MULTI_SZ;
    std::string Data;  // the raw bytes, terminators included
};
// A well-formed REG_MULTI_SZ: each ID with its zero, then the closing zero.
SimProperty MultiSz(const std::vector<std::string>& ids);

struct SimDeviceNode {
    std::string InstanceId;                    // e.g. "USB\VID_7A5C&PID_0C31&MI_00\6&1&0&0000"
    std::optional<SimProperty> HardwareIds;    // absent: reading the property fails (ERROR_INVALID_DATA)
    std::optional<SimProperty> CompatibleIds;
    bool Present = true;                       // absent nodes are left out of DIGCF_PRESENT lists
    bool Disabled = false;         // disabled in every hardware profile (DICS_FLAG_GLOBAL)
    bool ProfileDisabled = false;  // disabled in the current profile (DICS_FLAG_CONFIGSPECIFIC)
    bool Running() const { return PortHeldUntilRestart ? *PortHeldUntilRestart : Present && !Disabled && !ProfileDisabled; }
    // The node exposes the Bluetooth port interface while it runs.
    bool ProvidesPortInterface = false;
    bool PortPresent() const { return Running() && ProvidesPortInterface; }
    // Another handle holds the device, so a change that would start or stop it is vetoed:
    // the class installer still succeeds and records the change (Disabled and
    // ProfileDisabled), but the node keeps running as it was until the next restart and
    // the element's install parameters ask for one (DI_NEEDRESTART). A later change that
    // brings the recorded state back to what runs leaves nothing waiting.
    bool VetoesChanges = false;
    std::optional<bool> PortHeldUntilRestart;  // set while a vetoed change waits: running or not
    SimOutcomes SetParams;  // SetupDiSetClassInstallParamsA on this node (after the size checks)
    SimOutcomes Installer;  // SetupDiCallClassInstaller on this node
};

// One SetupDiSetClassInstallParamsA call as the simulation received it.
struct SimStoredParams {
    std::string InstanceId;
    DWORD Size;                   // the size argument
    SP_PROPCHANGE_PARAMS Params;  // the first min(Size, 20) bytes, the rest zero
    bool Accepted;
};

struct SimPropertyRead {
    std::string InstanceId;
    DWORD Property;
    DWORD BufferSize;
    bool Succeeded;
};

struct SimInstanceIdRead {
    DEVINST DevInst;
    ULONG BufferLength;
    ULONG Flags;
    HMACHINE Machine;
};

// SetupDiGetClassDevsExA (Ex true) or SetupDiGetClassDevsA.
struct SimListQuery {
    bool Ex;
    std::optional<GUID> Class;
    DWORD Flags;
    bool EnumeratorGiven, ParentGiven, ExistingSetGiven, MachineGiven;
};

struct SimPortOpen {
    std::string Path;
    DWORD Access, Share, Disposition, Attributes;
    bool SecurityGiven, TemplateGiven;
    HANDLE Result;  // INVALID_HANDLE_VALUE when refused
};

struct SimIoControl {
    HANDLE Port;
    std::string InstanceId;  // the node behind the port
    DWORD Code;
    std::vector<BYTE> Input;
    DWORD OutputSize;
    bool ReturnedCountGiven;
    bool Overlapped;
    bool Succeeded;
};

struct SimWait {
    HANDLE Handle;
    DWORD Timeout;  // as asked for
    DWORD Result;
};

struct SimNotificationRegistration {
    HANDLE Recipient;
    DWORD Flags;
    std::vector<BYTE> Filter;  // dbch_size bytes of the filter
    HDEVNOTIFY Result;
    bool Honoured;  // its events would reach the service on Windows
};

// A device-interface event the simulation produced.
struct SimDeviceEvent {
    DWORD Type;         // DBT_DEVICEARRIVAL or DBT_DEVICEREMOVECOMPLETE
    std::wstring Path;  // dbcc_name
};

// A radio that bthprops' enumeration reports.
struct SimBluetoothRadio {
    BTH_ADDR Address = 0;                  // e.g. 0x2CE71A000001: byte 5 is 0x2C
    DWORD InfoResult = ERROR_SUCCESS;      // what BluetoothGetRadioInfo returns for it
    std::wstring Name = L"Simulated radio";
};

// The user control that carries a device event through the Service Control Manager,
// which refuses SERVICE_CONTROL_DEVICEEVENT from ControlService.
inline constexpr DWORD SimDeviceEventControl = 200;

// Told of every class-installer call that went through, with the node as it left it,
// on the caller's thread, before the event of the change is sent.
using SimNodeChangeSink = void (*)(size_t index, const SimDeviceNode& node);
// Told, on the delivery thread, of every event's control once the SCM has answered it:
// NO_ERROR when the handler had it, else the SCM's error (the event never arrived).
using SimEventSentSink = void (*)(const SimDeviceEvent& event, DWORD controlError);

class SimRadio {
public:
    SimRadio();   // installs every entry of ServicePlatform
    ~SimRadio();  // stops background delivery and restores RealServicePlatform
    SimRadio(const SimRadio&) = delete;
    SimRadio& operator=(const SimRadio&) = delete;

    // ---- The device tree (indices are stable; DevInst is index + 1).
    size_t AddNode(SimDeviceNode node);
    SimDeviceNode& Node(size_t index);
    // The composite device "USB\VID_7A5C&PID_0C31\5&2A3B4C5D&0&1" and its Bluetooth
    // interface node SimRadioInstanceId (enabled, with the port interface), with the
    // hardware and compatible IDs a real radio reports. Returns the interface node.
    size_t AddStandardRadio();
    // "\\?\" + instance ID with "\" as "#" + "#{0850302a-b344-4fda-9be9-90576b8d46f0}".
    static std::string PortInterfacePath(const std::string& instanceId);

    // ---- Scripts for operations that are not per node.
    SimOutcomes DeviceListQuery;     // SetupDiGetClassDevsExA
    SimOutcomes ListDetail;          // SetupDiGetDeviceInfoListDetailA
    SimOutcomes InstanceIdRead;      // CM_Get_Device_ID_ExA (fails with CR_FAILURE)
    SimOutcomes InterfaceListQuery;  // SetupDiGetClassDevsA
    SimOutcomes InterfaceEnum;       // SetupDiEnumDeviceInterfaces (before the ERROR_NO_MORE_ITEMS check)
    SimOutcomes InterfaceDetail;     // SetupDiGetDeviceInterfaceDetailA
    SimOutcomes PortOpen;            // CreateFileA of a port interface path
    SimOutcomes PortIoControl;       // DeviceIoControl on an open port
    SimOutcomes NotificationRegistration;  // RegisterDeviceNotificationA
    // Called on the caller's thread when a request reaches an open port, before it
    // completes (a synchronous request takes the driver's time): lets a test hold one
    // switch there to interleave two of them.
    std::function<void(HANDLE port)> OnPortIoControl;
    // SetupDiEnumDeviceInfo fails with this error at this member index (the walk's end
    // otherwise fails with ERROR_NO_MORE_ITEMS).
    std::optional<std::pair<DWORD, DWORD>> EnumFailure;  // (index, error)

    // ---- Device-interface events (see above) and the node's state.
    DWORD EventDelayMs = 0;  // as asked for, scaled like every wait
    SimNodeChangeSink OnNodeChange = nullptr;
    SimEventSentSink OnEventSent = nullptr;
    // The status handle of the control handler registered through the seam (null outside
    // a service): the one recipient whose registration receives events.
    SERVICE_STATUS_HANDLE StatusHandle = nullptr;

    // ---- Radio enumeration of bthprops. BluetoothFindFirstRadio fails with
    // ERROR_NO_MORE_ITEMS when the list is empty; radio handles are closed through the seam.
    std::vector<SimBluetoothRadio> Radios;
    SimOutcomes FindFirstRadio;
    bool FindRadioCloseSucceeds = true;

    // ---- Time. A pause or timed wait of n ms takes n / TimeScale ms (at least 1 ms when
    // n > 0; INFINITE stays INFINITE), so the 120000 ms request wait takes 1.2 s by
    // default; GetTickCount runs TimeScale times faster than real time from TickBase.
    unsigned TimeScale = 100;
    DWORD TickBase = 0x10000000;

    // ---- What the code under test did.
    // Notable calls in order: "Sleep 500", "Wait 120000 signalled|timeout|failed",
    // "SetParams <instance> enable|disable|change<n> global|config[ failed]",
    // "CallInstaller <instance>[ failed]", "OpenPort <path>[ failed]",
    // "IoControl <code hex> <input bytes hex>[ failed]", "ClosePort", "Removal <path>",
    // "Arrival <path>" (when produced), "FindFirstRadio[ none|failed]",
    // "GetRadioInfo <index>[ failed]", "FindNextRadio[ none]", "CloseRadio <index>",
    // "FindRadioClose[ failed]", "RegisterHandler[ failed]", "RegisterNotification[ failed]",
    // "UnregisterNotification".
    std::vector<std::string> Log() const;
    void ClearLog();
    // Forgets the log and every record below, so that a long run keeps no history.
    void ClearRecords();

    std::vector<SimStoredParams> StoredParams;
    std::vector<SimPropertyRead> PropertyReads;
    std::vector<std::string> InstallParamsReads;  // SetupDiGetDeviceInstallParamsA, by node
    std::vector<SimInstanceIdRead> InstanceIdReads;
    std::vector<SimListQuery> ListQueries;
    std::vector<SP_DEVINFO_LIST_DETAIL_DATA_A> ListDetails;  // as returned
    std::vector<DWORD> InterfaceDetailSizes;                 // buffer sizes asked for
    std::vector<SimPortOpen> PortOpens;
    std::vector<SimIoControl> IoControls;
    std::vector<DWORD> Sleeps;
    std::vector<SimWait> Waits;
    unsigned TickCountCalls = 0;
    std::vector<SimNotificationRegistration> NotificationRegistrations;
    std::vector<SimDeviceEvent> ProducedEvents;   // every arrival and removal of a port interface
    std::vector<SimDeviceEvent> DeliveredEvents;  // those the service's handler received
    std::vector<HANDLE> InvalidCloses;  // CloseHandle of a handle the simulation does not own (or owns no more)
    std::vector<DWORD> RadioFindParamSizes;
    std::vector<DWORD> RadioInfoSizes;
    size_t OpenDeviceLists() const;    // created and not yet destroyed
    size_t OpenPorts() const;
    size_t OpenRadioHandles() const;   // radio handles handed out and not closed
    size_t OpenRadioSearches() const;

private:
    struct State;  // nodes, open lists and handles, the event queue, the lock
    State* state_;
    friend struct SimRadioSeam;
};

inline constexpr char SimRadioInstanceId[] = "USB\\VID_7A5C&PID_0C31&MI_00\\6&1&0&0000";
inline constexpr char SimCompositeInstanceId[] = "USB\\VID_7A5C&PID_0C31\\5&2A3B4C5D&0&1";
