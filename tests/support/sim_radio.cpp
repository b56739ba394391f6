#include "sim_radio.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

#include "bthprops_loader.h"
#include "platform.h"

// ---- SimOutcomes

void SimOutcomes::FailTimes(unsigned count, DWORD error) { SucceedThenFail(0, count, error); }

void SimOutcomes::SucceedThenFail(unsigned successes, unsigned failures, DWORD error) {
    successesFirst_ = successes;
    failuresLeft_ = failures;
    failAlways_ = false;
    error_ = error;
}

void SimOutcomes::FailAlways(DWORD error) {
    SucceedThenFail(0, 0, error);
    failAlways_ = true;
}

void SimOutcomes::SucceedAlways() { SucceedThenFail(0, 0); }

bool SimOutcomes::Take(DWORD& error) {
    ++calls_;
    if (successesFirst_ > 0) {
        --successesFirst_;
        return true;
    }
    if (failAlways_ || failuresLeft_ > 0) {
        if (failuresLeft_ > 0) --failuresLeft_;
        error = error_;
        return false;
    }
    return true;
}

SimProperty MultiSz(const std::vector<std::string>& ids) {
    SimProperty property;
    for (const std::string& id : ids) {
        property.Data += id;
        property.Data += '\0';
    }
    property.Data += '\0';
    return property;
}

// ---- State

namespace {

// The platform's own values, kept here independently of the code under test.
constexpr GUID BthPortClass = {0x0850302A, 0xB344, 0x4FDA, {0x9B, 0xE9, 0x90, 0x57, 0x6B, 0x8D, 0x46, 0xF0}};
constexpr char BthPortClassText[] = "{0850302a-b344-4fda-9be9-90576b8d46f0}";

SimRadio* current;

struct Element {
    size_t Node;
    std::optional<std::vector<BYTE>> Params;  // stored class-install parameters
    DWORD InstallFlags = 0;                   // of the device install parameters, e.g. DI_NEEDRESTART
};

struct DeviceList {
    bool Interfaces;                // a device-interface list (DIGCF_DEVICEINTERFACE)
    std::vector<Element> Elements;  // device list
    std::vector<size_t> Ports;      // interface list: nodes whose port interface was present
};

struct Registration {
    bool Honoured;
};

// A port interface event on its way to the service.
struct PendingEvent {
    SimDeviceEvent Event;
    ULONGLONG Due;  // GetTickCount64 when it is sent
};

// The product's control handler, registered through the seam behind the simulation's.
struct ServiceRegistration {
    std::string Name;
    LPHANDLER_FUNCTION_EX Handler = nullptr;
    LPVOID Context = nullptr;
};

struct Search {
    size_t Next;
};

std::string Hex(const BYTE* bytes, size_t count) {
    std::string text;
    char two[4];
    for (size_t i = 0; i < count; ++i) {
        std::snprintf(two, sizeof two, i ? " %02X" : "%02X", bytes[i]);
        text += two;
    }
    return text;
}

bool EqualNoCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return (x >= 'a' && x <= 'z' ? x - 32 : x) == (y >= 'a' && y <= 'z' ? y - 32 : y);
           });
}

const char* ChangeName(DWORD change, char* buffer, size_t size) {
    if (change == DICS_ENABLE) return "enable";
    if (change == DICS_DISABLE) return "disable";
    std::snprintf(buffer, size, "change%lu", static_cast<unsigned long>(change));
    return buffer;
}

const char* ScopeName(DWORD scope, char* buffer, size_t size) {
    if (scope == DICS_FLAG_GLOBAL) return "global";
    if (scope == DICS_FLAG_CONFIGSPECIFIC) return "config";
    std::snprintf(buffer, size, "scope%lu", static_cast<unsigned long>(scope));
    return buffer;
}

}  // namespace

struct SimRadio::State {
    mutable std::mutex Lock;
    std::deque<SimDeviceNode> Nodes;
    std::vector<std::string> Log;
    uintptr_t NextHandle = 0x7A5C0000;  // far from the small values of real handles
    std::map<HANDLE, std::unique_ptr<DeviceList>> Lists;
    std::map<HANDLE, size_t> Ports;         // open port handle -> node
    std::map<HANDLE, size_t> RadioHandles;  // open radio handle -> radio index
    std::map<HANDLE, Search> Searches;
    std::map<HANDLE, Registration> Registrations;
    ULONGLONG RealStart = ::GetTickCount64();

    ServiceRegistration Service;
    std::deque<PendingEvent> Queue;
    std::optional<SimDeviceEvent> Sending;  // the event whose control is with the SCM
    std::condition_variable QueueChanged;
    std::thread Worker;
    bool Stopping = false;

    HANDLE NewHandle() {
        NextHandle += 4;
        return reinterpret_cast<HANDLE>(NextHandle);
    }
    DeviceList* List(HDEVINFO set) {
        auto found = Lists.find(set);
        return found == Lists.end() ? nullptr : found->second.get();
    }
};

// The seam functions; each takes the lock for its own records and never calls out while holding it.
struct SimRadioSeam {
    using Guard = std::lock_guard<std::mutex>;

    static SimRadio& Sim() { return *current; }
    static SimRadio::State& S() { return *current->state_; }

    static DWORD Scaled(DWORD ms) {
        if (ms == INFINITE || ms == 0) return ms;
        return std::max<DWORD>(1, ms / std::max(1u, Sim().TimeScale));
    }

    static BOOL Fail(DWORD error) {
        SetLastError(error);
        return FALSE;
    }

    // The element of a device list that stands for `data`, or null.
    static Element* FindElement(HDEVINFO set, const SP_DEVINFO_DATA* data) {
        DeviceList* list = S().List(set);
        if (!list || list->Interfaces || !data || data->DevInst == 0) return nullptr;
        for (Element& element : list->Elements) {
            if (element.Node == data->DevInst - 1) return &element;
        }
        return nullptr;
    }

    // ---- Device lists

    static HDEVINFO CreateList(bool ex, const GUID* classGuid, PCSTR enumerator, HWND parent, DWORD flags,
                               HDEVINFO existing, PCSTR machine) {
        Guard guard(S().Lock);
        SimRadio& sim = Sim();
        sim.ListQueries.push_back({ex, classGuid ? std::optional<GUID>(*classGuid) : std::nullopt, flags,
                                   enumerator != nullptr, parent != nullptr, existing != nullptr,
                                   machine != nullptr});
        DWORD error = 0;
        if (!(ex ? sim.DeviceListQuery : sim.InterfaceListQuery).Take(error)) {
            SetLastError(error);
            return INVALID_HANDLE_VALUE;
        }
        auto list = std::make_unique<DeviceList>();
        list->Interfaces = (flags & DIGCF_DEVICEINTERFACE) != 0;
        for (size_t i = 0; i < S().Nodes.size(); ++i) {
            const SimDeviceNode& node = S().Nodes[i];
            if (list->Interfaces) {
                if (classGuid && IsEqualGUID(*classGuid, BthPortClass) && node.PortPresent()) {
                    list->Ports.push_back(i);
                }
            } else if (!(flags & DIGCF_PRESENT) || node.Present) {
                list->Elements.push_back({i, std::nullopt});
            }
        }
        HANDLE handle = S().NewHandle();
        S().Lists[handle] = std::move(list);
        return handle;
    }

    static HDEVINFO WINAPI GetClassDevsExA(const GUID* classGuid, PCSTR enumerator, HWND parent, DWORD flags,
                                           HDEVINFO existing, PCSTR machine, PVOID) {
        return CreateList(true, classGuid, enumerator, parent, flags, existing, machine);
    }

    static HDEVINFO WINAPI GetClassDevsA(const GUID* classGuid, PCSTR enumerator, HWND parent, DWORD flags) {
        return CreateList(false, classGuid, enumerator, parent, flags, nullptr, nullptr);
    }

    static BOOL WINAPI DestroyDeviceInfoList(HDEVINFO set) {
        Guard guard(S().Lock);
        if (!S().Lists.erase(set)) return Fail(ERROR_INVALID_HANDLE);
        return TRUE;
    }

    static BOOL WINAPI GetDeviceInfoListDetailA(HDEVINFO set, PSP_DEVINFO_LIST_DETAIL_DATA_A detail) {
        Guard guard(S().Lock);
        if (!S().List(set)) return Fail(ERROR_INVALID_HANDLE);
        if (!detail || detail->cbSize != sizeof(SP_DEVINFO_LIST_DETAIL_DATA_A)) return Fail(ERROR_INVALID_USER_BUFFER);
        DWORD error = 0;
        if (!Sim().ListDetail.Take(error)) return Fail(error);
        detail->ClassGuid = GUID{};
        detail->RemoteMachineHandle = nullptr;  // the local machine
        detail->RemoteMachineName[0] = '\0';
        Sim().ListDetails.push_back(*detail);
        return TRUE;
    }

    static BOOL WINAPI EnumDeviceInfo(HDEVINFO set, DWORD index, PSP_DEVINFO_DATA data) {
        Guard guard(S().Lock);
        DeviceList* list = S().List(set);
        if (!list) return Fail(ERROR_INVALID_HANDLE);
        if (!data || data->cbSize != sizeof(SP_DEVINFO_DATA)) return Fail(ERROR_INVALID_USER_BUFFER);
        if (Sim().EnumFailure && Sim().EnumFailure->first == index) return Fail(Sim().EnumFailure->second);
        if (list->Interfaces || index >= list->Elements.size()) return Fail(ERROR_NO_MORE_ITEMS);
        data->ClassGuid = GUID{};
        data->DevInst = static_cast<DEVINST>(list->Elements[index].Node + 1);
        data->Reserved = index + 1;
        return TRUE;
    }

    static CONFIGRET WINAPI GetDeviceIdExA(DEVINST devInst, PCHAR buffer, ULONG length, ULONG flags, HMACHINE machine) {
        Guard guard(S().Lock);
        Sim().InstanceIdReads.push_back({devInst, length, flags, machine});
        DWORD error = 0;
        if (!Sim().InstanceIdRead.Take(error)) return CR_FAILURE;
        if (devInst == 0 || devInst > S().Nodes.size()) return CR_INVALID_DEVNODE;
        const std::string& id = S().Nodes[devInst - 1].InstanceId;
        if (length < id.size() + 1) return CR_BUFFER_SMALL;
        std::memcpy(buffer, id.c_str(), id.size() + 1);
        return CR_SUCCESS;
    }

    static BOOL WINAPI GetDeviceRegistryPropertyA(HDEVINFO set, PSP_DEVINFO_DATA data, DWORD property, PDWORD type,
                                                  PBYTE buffer, DWORD size, PDWORD required) {
        Guard guard(S().Lock);
        Element* element = FindElement(set, data);
        if (!element) return Fail(ERROR_INVALID_PARAMETER);
        const SimDeviceNode& node = S().Nodes[element->Node];
        const std::optional<SimProperty>* value = property == SPDRP_HARDWAREID     ? &node.HardwareIds
                                                  : property == SPDRP_COMPATIBLEIDS ? &node.CompatibleIds
                                                                                    : nullptr;
        SimPropertyRead read = {node.InstanceId, property, size, false};
        if (!value || !*value) {
            Sim().PropertyReads.push_back(read);
            return Fail(ERROR_INVALID_DATA);
        }
        const SimProperty& stored = **value;
        if (type) *type = stored.Type;
        if (required) *required = static_cast<DWORD>(stored.Data.size());
        if (!buffer || size < stored.Data.size()) {
            Sim().PropertyReads.push_back(read);
            return Fail(ERROR_INSUFFICIENT_BUFFER);
        }
        std::memcpy(buffer, stored.Data.data(), stored.Data.size());
        // What follows the data is undefined: make code that relies on it fail visibly.
        std::memset(buffer + stored.Data.size(), 0xCD, size - stored.Data.size());
        read.Succeeded = true;
        Sim().PropertyReads.push_back(read);
        return TRUE;
    }

    // ---- Class installer

    static BOOL WINAPI SetClassInstallParamsA(HDEVINFO set, PSP_DEVINFO_DATA data, PSP_CLASSINSTALL_HEADER header,
                                              DWORD size) {
        Guard guard(S().Lock);
        Element* element = FindElement(set, data);
        if (!element) return Fail(ERROR_INVALID_PARAMETER);
        SimDeviceNode& node = S().Nodes[element->Node];
        SimStoredParams stored = {node.InstanceId, size, {}, false};
        if (header) std::memcpy(&stored.Params, header, std::min<size_t>(size, sizeof stored.Params));

        char changeBuffer[24], scopeBuffer[24];
        std::string entry = "SetParams " + node.InstanceId + " " +
                            ChangeName(stored.Params.StateChange, changeBuffer, sizeof changeBuffer) + " " +
                            ScopeName(stored.Params.Scope, scopeBuffer, sizeof scopeBuffer);
        DWORD error = 0;
        if (!header || header->cbSize != sizeof(SP_CLASSINSTALL_HEADER)) {
            error = ERROR_INVALID_USER_BUFFER;
        } else if (header->InstallFunction == DIF_PROPERTYCHANGE && size != sizeof(SP_PROPCHANGE_PARAMS)) {
            error = ERROR_INVALID_PARAMETER;
        } else if (node.SetParams.Take(error)) {
            element->Params.emplace(reinterpret_cast<BYTE*>(header), reinterpret_cast<BYTE*>(header) + size);
            stored.Accepted = true;
        }
        Sim().StoredParams.push_back(stored);
        S().Log.push_back(stored.Accepted ? entry : entry + " failed");
        if (!stored.Accepted) return Fail(error);
        return TRUE;
    }

    // What DIF_PROPERTYCHANGE does to the node, as the platform keeps it: a global
    // disable and one per hardware profile, apart. False for a change not simulated.
    static bool ApplyChange(SimDeviceNode& node, const SP_PROPCHANGE_PARAMS& params) {
        if (params.StateChange != DICS_ENABLE && params.StateChange != DICS_DISABLE) return false;
        const bool disable = params.StateChange == DICS_DISABLE;
        if (params.Scope == DICS_FLAG_GLOBAL) {
            node.Disabled = disable;
        } else if (params.Scope == DICS_FLAG_CONFIGSPECIFIC) {
            if (params.HwProfile == 0) node.ProfileDisabled = disable;  // else another profile: not this one's state
        } else {
            return false;
        }
        return true;
    }

    static BOOL WINAPI CallClassInstaller(DI_FUNCTION function, HDEVINFO set, PSP_DEVINFO_DATA data) {
        std::optional<SimDeviceEvent> produced;
        size_t index;
        SimDeviceNode changed;
        {
            Guard guard(S().Lock);
            Element* element = FindElement(set, data);
            if (!element) return Fail(ERROR_INVALID_PARAMETER);
            index = element->Node;
            SimDeviceNode& node = S().Nodes[index];
            SP_PROPCHANGE_PARAMS params{};
            if (element->Params) std::memcpy(&params, element->Params->data(), sizeof params);
            const bool runningBefore = node.Running();
            const bool portBefore = node.PortPresent();
            DWORD error = 0;
            if (function != DIF_PROPERTYCHANGE) {
                error = ERROR_DI_DO_DEFAULT;
            } else if (!element->Params) {
                error = ERROR_NO_CLASSINSTALL_PARAMS;
            } else if (node.Installer.Take(error) && !ApplyChange(node, params)) {
                error = ERROR_INVALID_FLAGS;
            }
            if (error) {
                S().Log.push_back("CallInstaller " + node.InstanceId + " failed");
                return Fail(error);
            }
            S().Log.push_back("CallInstaller " + node.InstanceId);
            if (node.VetoesChanges) {
                node.PortHeldUntilRestart = std::nullopt;
                if (node.Running() != runningBefore) {
                    node.PortHeldUntilRestart = runningBefore;
                    element->InstallFlags |= DI_NEEDRESTART;
                }
            }

            // An event only when the interface really comes or goes.
            const bool portAfter = node.PortPresent();
            if (portAfter != portBefore) {
                std::string path = SimRadio::PortInterfacePath(node.InstanceId);
                S().Log.push_back((portAfter ? "Arrival " : "Removal ") + path);
                produced = SimDeviceEvent{static_cast<DWORD>(portAfter ? DBT_DEVICEARRIVAL : DBT_DEVICEREMOVECOMPLETE),
                                          std::wstring(path.begin(), path.end())};
                Sim().ProducedEvents.push_back(*produced);
            }
            changed = node;
        }
        // The node's state is saved when it changes, before anyone can hear of it.
        if (Sim().OnNodeChange) Sim().OnNodeChange(index, changed);
        if (produced) Send(std::move(*produced));
        SetLastError(ERROR_SUCCESS);
        return TRUE;
    }

    static BOOL WINAPI GetDeviceInstallParamsA(HDEVINFO set, PSP_DEVINFO_DATA data, PSP_DEVINSTALL_PARAMS_A params) {
        Guard guard(S().Lock);
        Element* element = FindElement(set, data);
        if (!element || !params) return Fail(ERROR_INVALID_PARAMETER);
        if (params->cbSize != sizeof *params) return Fail(ERROR_INVALID_USER_BUFFER);
        *params = {};
        params->cbSize = sizeof *params;
        params->Flags = element->InstallFlags;
        Sim().InstallParamsReads.push_back(S().Nodes[element->Node].InstanceId);
        return TRUE;
    }

    // ---- Device-interface events, through the Service Control Manager

    // Queues the event for the delivery thread when a registration Windows would honour
    // exists; nobody else would hear of it.
    static void Send(SimDeviceEvent event) {
        Guard guard(S().Lock);
        bool honoured = std::any_of(S().Registrations.begin(), S().Registrations.end(),
                                    [](const auto& entry) { return entry.second.Honoured; });
        if (!honoured) return;
        S().Queue.push_back({std::move(event), ::GetTickCount64() + Scaled(Sim().EventDelayMs)});
        if (!S().Worker.joinable()) S().Worker = std::thread(DeliveryThread);
        S().QueueChanged.notify_all();
    }

    // One event at a time, in order, each when it is due: the control goes to the SCM,
    // which hands it to the service's dispatcher with every other control.
    static void DeliveryThread() {
        SC_HANDLE manager = nullptr, service = nullptr;
        std::unique_lock<std::mutex> lock(S().Lock);
        for (;;) {
            S().QueueChanged.wait(lock, [] { return S().Stopping || !S().Queue.empty(); });
            if (S().Stopping) break;
            const ULONGLONG due = S().Queue.front().Due;
            const ULONGLONG now = ::GetTickCount64();
            if (now < due) {
                S().QueueChanged.wait_for(lock, std::chrono::milliseconds(due - now), [] { return S().Stopping; });
                continue;
            }
            const SimDeviceEvent event = std::move(S().Queue.front().Event);
            S().Queue.pop_front();
            S().Sending = event;
            const std::string name = S().Service.Name;
            lock.unlock();
            if (!manager) manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
            if (manager && !service) service = OpenServiceA(manager, name.c_str(), SERVICE_USER_DEFINED_CONTROL);
            SERVICE_STATUS status;
            const DWORD error =
                service && ControlService(service, SimDeviceEventControl, &status) ? NO_ERROR : GetLastError();
            if (Sim().OnEventSent) Sim().OnEventSent(event, error);
            lock.lock();
            S().Sending.reset();
        }
        lock.unlock();
        if (service) CloseServiceHandle(service);
        if (manager) CloseServiceHandle(manager);
    }

    // Registered with the SCM in the product's place: the device-event control becomes
    // SERVICE_CONTROL_DEVICEEVENT with the platform's record; every other control passes.
    static DWORD WINAPI ServiceControlHandler(DWORD control, DWORD eventType, LPVOID eventData, LPVOID) {
        ServiceRegistration service;
        std::optional<SimDeviceEvent> event;
        {
            Guard guard(S().Lock);
            service = S().Service;
            if (control == SimDeviceEventControl) event = S().Sending;
        }
        if (!event) return service.Handler(control, eventType, eventData, service.Context);

        size_t bytes = offsetof(DEV_BROADCAST_DEVICEINTERFACE_W, dbcc_name) + (event->Path.size() + 1) * sizeof(WCHAR);
        std::vector<DWORD> storage((bytes + sizeof(DWORD) - 1) / sizeof(DWORD));
        auto record = reinterpret_cast<DEV_BROADCAST_DEVICEINTERFACE_W*>(storage.data());
        record->dbcc_size = static_cast<DWORD>(bytes);
        record->dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
        record->dbcc_reserved = 0;
        record->dbcc_classguid = BthPortClass;
        std::memcpy(record->dbcc_name, event->Path.c_str(), (event->Path.size() + 1) * sizeof(WCHAR));
        const DWORD result = service.Handler(SERVICE_CONTROL_DEVICEEVENT, event->Type, record, service.Context);

        Guard guard(S().Lock);
        Sim().DeliveredEvents.push_back(*event);
        return result;
    }

    static SERVICE_STATUS_HANDLE WINAPI RegisterServiceCtrlHandlerExA(LPCSTR name, LPHANDLER_FUNCTION_EX handler,
                                                                      LPVOID context) {
        {
            Guard guard(S().Lock);
            S().Service = {name ? name : "", handler, context};
        }
        SERVICE_STATUS_HANDLE status = ::RegisterServiceCtrlHandlerExA(name, ServiceControlHandler, nullptr);
        const DWORD error = GetLastError();
        Guard guard(S().Lock);
        Sim().StatusHandle = status;
        S().Log.push_back(status ? "RegisterHandler" : "RegisterHandler failed");
        SetLastError(error);
        return status;
    }

    // ---- The Bluetooth port interface

    static BOOL WINAPI EnumDeviceInterfaces(HDEVINFO set, PSP_DEVINFO_DATA, const GUID* interfaceClass, DWORD index,
                                            PSP_DEVICE_INTERFACE_DATA data) {
        Guard guard(S().Lock);
        DeviceList* list = S().List(set);
        if (!list) return Fail(ERROR_INVALID_HANDLE);
        DWORD error = 0;
        if (!Sim().InterfaceEnum.Take(error)) return Fail(error);
        if (!data || data->cbSize != sizeof(SP_DEVICE_INTERFACE_DATA)) return Fail(ERROR_INVALID_USER_BUFFER);
        if (!list->Interfaces || !interfaceClass || !IsEqualGUID(*interfaceClass, BthPortClass) ||
            index >= list->Ports.size()) {
            return Fail(ERROR_NO_MORE_ITEMS);
        }
        data->InterfaceClassGuid = BthPortClass;
        data->Flags = SPINT_ACTIVE;
        data->Reserved = index + 1;
        return TRUE;
    }

    static BOOL WINAPI GetDeviceInterfaceDetailA(HDEVINFO set, PSP_DEVICE_INTERFACE_DATA data,
                                                 PSP_DEVICE_INTERFACE_DETAIL_DATA_A detail, DWORD size,
                                                 PDWORD required, PSP_DEVINFO_DATA device) {
        Guard guard(S().Lock);
        DeviceList* list = S().List(set);
        if (!list || !data || data->Reserved == 0 || data->Reserved > list->Ports.size()) {
            return Fail(ERROR_INVALID_PARAMETER);
        }
        Sim().InterfaceDetailSizes.push_back(size);
        DWORD error = 0;
        if (!Sim().InterfaceDetail.Take(error)) return Fail(error);
        size_t node = list->Ports[data->Reserved - 1];
        std::string path = SimRadio::PortInterfacePath(S().Nodes[node].InstanceId);
        DWORD needed = static_cast<DWORD>(offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath) + path.size() + 1);
        if (required) *required = needed;
        if (!detail || size < needed) return Fail(ERROR_INSUFFICIENT_BUFFER);
        if (detail->cbSize != sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A)) return Fail(ERROR_INVALID_USER_BUFFER);
        std::memcpy(detail->DevicePath, path.c_str(), path.size() + 1);
        if (device) device->DevInst = static_cast<DEVINST>(node + 1);
        return TRUE;
    }

    static HANDLE WINAPI CreateFileA(LPCSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                                     DWORD disposition, DWORD attributes, HANDLE templateFile) {
        Guard guard(S().Lock);
        std::string name = path ? path : "";
        SimPortOpen open = {name,   access, share, disposition, attributes, security != nullptr, templateFile != nullptr,
                            INVALID_HANDLE_VALUE};
        size_t node = S().Nodes.size();
        for (size_t i = 0; i < S().Nodes.size(); ++i) {
            const SimDeviceNode& candidate = S().Nodes[i];
            if (candidate.PortPresent() &&
                EqualNoCase(SimRadio::PortInterfacePath(candidate.InstanceId), name)) {
                node = i;
            }
        }
        DWORD error = ERROR_FILE_NOT_FOUND;
        if (node < S().Nodes.size() && Sim().PortOpen.Take(error)) {
            open.Result = S().NewHandle();
            S().Ports[open.Result] = node;
        }
        Sim().PortOpens.push_back(open);
        S().Log.push_back("OpenPort " + name + (open.Result == INVALID_HANDLE_VALUE ? " failed" : ""));
        if (open.Result == INVALID_HANDLE_VALUE) SetLastError(error);
        return open.Result;
    }

    static BOOL WINAPI DeviceIoControl(HANDLE port, DWORD code, LPVOID input, DWORD inputSize, LPVOID, DWORD outputSize,
                                       LPDWORD returned, LPOVERLAPPED overlapped) {
        if (Sim().OnPortIoControl) Sim().OnPortIoControl(port);
        Guard guard(S().Lock);
        auto found = S().Ports.find(port);
        SimIoControl call = {port, "", code, {}, outputSize, returned != nullptr, overlapped != nullptr, false};
        if (input) call.Input.assign(static_cast<BYTE*>(input), static_cast<BYTE*>(input) + inputSize);
        DWORD error = 0;
        if (found == S().Ports.end()) {
            error = ERROR_INVALID_HANDLE;
        } else {
            const SimDeviceNode& node = S().Nodes[found->second];
            call.InstanceId = node.InstanceId;
            if (!node.Running()) {
                error = ERROR_DEVICE_NOT_CONNECTED;
            } else if (Sim().PortIoControl.Take(error)) {
                call.Succeeded = true;
            }
        }
        char code_[16];
        std::snprintf(code_, sizeof code_, "%lX", static_cast<unsigned long>(code));
        S().Log.push_back("IoControl " + std::string(code_) + " " + Hex(call.Input.data(), call.Input.size()) +
                          (call.Succeeded ? "" : " failed"));
        Sim().IoControls.push_back(std::move(call));
        if (returned) *returned = 0;
        if (error) return Fail(error);
        return TRUE;
    }

    static BOOL WINAPI CloseHandle(HANDLE handle) {
        Guard guard(S().Lock);
        if (S().Ports.erase(handle)) {
            S().Log.push_back("ClosePort");
            return TRUE;
        }
        auto radio = S().RadioHandles.find(handle);
        if (radio != S().RadioHandles.end()) {
            S().Log.push_back("CloseRadio " + std::to_string(radio->second));
            S().RadioHandles.erase(radio);
            return TRUE;
        }
        Sim().InvalidCloses.push_back(handle);
        return Fail(ERROR_INVALID_HANDLE);
    }

    // ---- Device notifications

    static HDEVNOTIFY WINAPI RegisterDeviceNotificationA(HANDLE recipient, LPVOID filter, DWORD flags) {
        Guard guard(S().Lock);
        SimNotificationRegistration registration = {recipient, flags, {}, nullptr, false};
        if (filter) {
            auto header = static_cast<DEV_BROADCAST_HDR*>(filter);
            size_t size = std::min<size_t>(header->dbch_size, 4096);
            registration.Filter.assign(static_cast<BYTE*>(filter), static_cast<BYTE*>(filter) + size);
            // A service hears of the port interface only through its status handle, with a
            // device-interface filter of the platform's size (32 bytes on both bitnesses).
            auto deviceInterface = static_cast<DEV_BROADCAST_DEVICEINTERFACE_A*>(filter);
            registration.Honoured = recipient && recipient == Sim().StatusHandle &&
                                    flags == DEVICE_NOTIFY_SERVICE_HANDLE && header->dbch_size == 32 &&
                                    header->dbch_devicetype == DBT_DEVTYP_DEVICEINTERFACE &&
                                    IsEqualGUID(deviceInterface->dbcc_classguid, BthPortClass);
        }
        DWORD error = 0;
        if (Sim().NotificationRegistration.Take(error)) {
            registration.Result = S().NewHandle();
            S().Registrations[registration.Result] = {registration.Honoured};
        }
        Sim().NotificationRegistrations.push_back(registration);
        S().Log.push_back(registration.Result ? "RegisterNotification" : "RegisterNotification failed");
        if (!registration.Result) SetLastError(error);
        return registration.Result;
    }

    static BOOL WINAPI UnregisterDeviceNotification(HDEVNOTIFY handle) {
        Guard guard(S().Lock);
        if (!S().Registrations.erase(handle)) return Fail(ERROR_INVALID_HANDLE);
        S().Log.push_back("UnregisterNotification");
        return TRUE;
    }

    // ---- Radio enumeration

    static HANDLE NewRadioHandle(size_t index) {
        HANDLE handle = S().NewHandle();
        S().RadioHandles[handle] = index;
        return handle;
    }

    static HBLUETOOTH_RADIO_FIND WINAPI FindFirstRadio(FindRadioParams* params, HANDLE* radio) {
        Guard guard(S().Lock);
        Sim().RadioFindParamSizes.push_back(params ? params->dwSize : 0);
        DWORD error = ERROR_REVISION_MISMATCH;
        if (!params || params->dwSize != sizeof(BLUETOOTH_FIND_RADIO_PARAMS) || !Sim().FindFirstRadio.Take(error)) {
            S().Log.push_back("FindFirstRadio failed");
            SetLastError(error);
            return nullptr;
        }
        if (Sim().Radios.empty()) {
            S().Log.push_back("FindFirstRadio none");
            SetLastError(ERROR_NO_MORE_ITEMS);
            return nullptr;
        }
        HANDLE search = S().NewHandle();
        S().Searches[search] = {1};
        *radio = NewRadioHandle(0);
        S().Log.push_back("FindFirstRadio");
        return search;
    }

    static BOOL WINAPI FindNextRadio(HBLUETOOTH_RADIO_FIND search, HANDLE* radio) {
        Guard guard(S().Lock);
        auto found = S().Searches.find(search);
        if (found == S().Searches.end()) return Fail(ERROR_INVALID_HANDLE);
        if (found->second.Next >= Sim().Radios.size()) {
            S().Log.push_back("FindNextRadio none");
            return Fail(ERROR_NO_MORE_ITEMS);
        }
        *radio = NewRadioHandle(found->second.Next++);
        S().Log.push_back("FindNextRadio");
        return TRUE;
    }

    static DWORD WINAPI GetRadioInfo(HANDLE radio, PBLUETOOTH_RADIO_INFO info) {
        Guard guard(S().Lock);
        Sim().RadioInfoSizes.push_back(info ? info->dwSize : 0);
        auto found = S().RadioHandles.find(radio);
        if (found == S().RadioHandles.end()) return ERROR_INVALID_HANDLE;
        std::string entry = "GetRadioInfo " + std::to_string(found->second);
        if (!info || info->dwSize != sizeof(BLUETOOTH_RADIO_INFO)) {
            S().Log.push_back(entry + " failed");
            return ERROR_REVISION_MISMATCH;
        }
        const SimBluetoothRadio& simRadio = Sim().Radios[found->second];
        if (simRadio.InfoResult != ERROR_SUCCESS) {
            S().Log.push_back(entry + " failed");
            return simRadio.InfoResult;
        }
        info->address.ullLong = simRadio.Address;
        size_t length = std::min<size_t>(simRadio.Name.size(), BLUETOOTH_MAX_NAME_SIZE - 1);
        std::memcpy(info->szName, simRadio.Name.c_str(), length * sizeof(WCHAR));
        info->szName[length] = L'\0';
        info->ulClassofDevice = 0;
        info->lmpSubversion = 0;
        info->manufacturer = 0x0B3D;
        S().Log.push_back(entry);
        return ERROR_SUCCESS;
    }

    static BOOL WINAPI FindRadioClose(HBLUETOOTH_RADIO_FIND search) {
        Guard guard(S().Lock);
        if (!S().Searches.erase(search)) {
            S().Log.push_back("FindRadioClose failed");
            return Fail(ERROR_INVALID_HANDLE);
        }
        if (!Sim().FindRadioCloseSucceeds) {
            S().Log.push_back("FindRadioClose failed");
            return Fail(ERROR_GEN_FAILURE);
        }
        S().Log.push_back("FindRadioClose");
        return TRUE;
    }

    // ---- Time

    static void WINAPI Sleep(DWORD ms) {
        {
            Guard guard(S().Lock);
            Sim().Sleeps.push_back(ms);
            S().Log.push_back("Sleep " + std::to_string(ms));
        }
        ::Sleep(Scaled(ms));
    }

    static DWORD WINAPI GetTickCount() {
        Guard guard(S().Lock);
        ++Sim().TickCountCalls;
        ULONGLONG elapsed = ::GetTickCount64() - S().RealStart;
        return static_cast<DWORD>(Sim().TickBase + elapsed * Sim().TimeScale);
    }

    static DWORD WINAPI WaitForSingleObject(HANDLE handle, DWORD ms) {
        DWORD result = ::WaitForSingleObject(handle, Scaled(ms));
        Guard guard(S().Lock);
        Sim().Waits.push_back({handle, ms, result});
        const char* outcome = result == WAIT_OBJECT_0 ? "signalled" : result == WAIT_TIMEOUT ? "timeout" : "failed";
        S().Log.push_back("Wait " + std::to_string(ms) + " " + outcome);
        return result;
    }
};

// ---- SimRadio

SimRadio::SimRadio() : state_(new State) {
    current = this;
    ServicePlatform = {
        SimRadioSeam::GetClassDevsExA,
        SimRadioSeam::GetDeviceInfoListDetailA,
        SimRadioSeam::EnumDeviceInfo,
        SimRadioSeam::GetDeviceIdExA,
        SimRadioSeam::GetDeviceRegistryPropertyA,
        SimRadioSeam::SetClassInstallParamsA,
        SimRadioSeam::CallClassInstaller,
        SimRadioSeam::GetDeviceInstallParamsA,
        SimRadioSeam::GetClassDevsA,
        SimRadioSeam::EnumDeviceInterfaces,
        SimRadioSeam::GetDeviceInterfaceDetailA,
        SimRadioSeam::DestroyDeviceInfoList,
        SimRadioSeam::CreateFileA,
        SimRadioSeam::DeviceIoControl,
        SimRadioSeam::CloseHandle,
        SimRadioSeam::RegisterServiceCtrlHandlerExA,
        ::SetServiceStatus,
        SimRadioSeam::RegisterDeviceNotificationA,
        SimRadioSeam::UnregisterDeviceNotification,
        SimRadioSeam::FindFirstRadio,
        SimRadioSeam::FindNextRadio,
        SimRadioSeam::GetRadioInfo,
        SimRadioSeam::FindRadioClose,
        ::QueryCallerToken,
        ::RpcServerUseProtseqEpA,
        ::RpcServerListen,
        ::RpcMgmtWaitServerListen,
        SimRadioSeam::Sleep,
        SimRadioSeam::GetTickCount,
        SimRadioSeam::WaitForSingleObject,
        ::SetEvent,
        // The event log stays as it is: real, or a test's SimEventLog.
        ServicePlatform.RegisterEventSourceA,
        ServicePlatform.ReportEventA,
        ServicePlatform.DeregisterEventSource,
        ::IsWow64Process,
    };
}

SimRadio::~SimRadio() {
    {
        std::lock_guard<std::mutex> guard(state_->Lock);
        state_->Stopping = true;
        state_->QueueChanged.notify_all();
    }
    if (state_->Worker.joinable()) state_->Worker.join();
    ServicePlatform = RealServicePlatform;
    current = nullptr;
    delete state_;
}

size_t SimRadio::AddNode(SimDeviceNode node) {
    state_->Nodes.push_back(std::move(node));
    return state_->Nodes.size() - 1;
}

SimDeviceNode& SimRadio::Node(size_t index) { return state_->Nodes.at(index); }

size_t SimRadio::AddStandardRadio() {
    SimDeviceNode composite;
    composite.InstanceId = SimCompositeInstanceId;
    composite.HardwareIds = MultiSz({"USB\\VID_7A5C&PID_0C31&REV_0112", "USB\\VID_7A5C&PID_0C31"});
    composite.CompatibleIds =
        MultiSz({"USB\\DevClass_EF&SubClass_02&Prot_01", "USB\\DevClass_EF&SubClass_02", "USB\\DevClass_EF",
                 "USB\\COMPOSITE"});
    AddNode(std::move(composite));

    SimDeviceNode radio;
    radio.InstanceId = SimRadioInstanceId;
    radio.HardwareIds = MultiSz({"USB\\VID_7A5C&PID_0C31&REV_0112&MI_00", "USB\\VID_7A5C&PID_0C31&MI_00"});
    radio.CompatibleIds = MultiSz({"USB\\Class_E0&SubClass_01&Prot_01", "USB\\Class_E0&SubClass_01", "USB\\Class_E0"});
    radio.ProvidesPortInterface = true;
    return AddNode(std::move(radio));
}

std::string SimRadio::PortInterfacePath(const std::string& instanceId) {
    std::string path = "\\\\?\\" + instanceId;
    std::replace(path.begin() + 4, path.end(), '\\', '#');
    return path + "#" + BthPortClassText;
}

std::vector<std::string> SimRadio::Log() const {
    std::lock_guard<std::mutex> guard(state_->Lock);
    return state_->Log;
}

void SimRadio::ClearLog() {
    std::lock_guard<std::mutex> guard(state_->Lock);
    state_->Log.clear();
}

void SimRadio::ClearRecords() {
    std::lock_guard<std::mutex> guard(state_->Lock);
    state_->Log.clear();
    StoredParams.clear();
    PropertyReads.clear();
    InstallParamsReads.clear();
    InstanceIdReads.clear();
    ListQueries.clear();
    ListDetails.clear();
    InterfaceDetailSizes.clear();
    PortOpens.clear();
    IoControls.clear();
    Sleeps.clear();
    Waits.clear();
    NotificationRegistrations.clear();
    ProducedEvents.clear();
    DeliveredEvents.clear();
    InvalidCloses.clear();
    RadioFindParamSizes.clear();
    RadioInfoSizes.clear();
}

size_t SimRadio::OpenDeviceLists() const {
    std::lock_guard<std::mutex> guard(state_->Lock);
    return state_->Lists.size();
}

size_t SimRadio::OpenPorts() const {
    std::lock_guard<std::mutex> guard(state_->Lock);
    return state_->Ports.size();
}

size_t SimRadio::OpenRadioHandles() const {
    std::lock_guard<std::mutex> guard(state_->Lock);
    return state_->RadioHandles.size();
}

size_t SimRadio::OpenRadioSearches() const {
    std::lock_guard<std::mutex> guard(state_->Lock);
    return state_->Searches.size();
}
