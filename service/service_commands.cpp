#include "service_commands.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <string_view>
#include <type_traits>

#include "bitness.h"
#include "platform.h"
#include "radio_preparation.h"
#include "service_runtime.h"

char CommandWord[CommandBufferSize];
char ModulePath[CommandBufferSize];

namespace {

static_assert(sizeof(SERVICE_STATUS_PROCESS) == 36);

struct ServiceHandleCloser {
    void operator()(SC_HANDLE handle) const { CloseServiceHandle(handle); }
};
using ServiceHandle = std::unique_ptr<std::remove_pointer_t<SC_HANDLE>, ServiceHandleCloser>;

// Declared in this order so that the service closes before its manager.
struct OpenedService {
    ServiceHandle Manager;
    ServiceHandle Service;
};

bool OpenWithFullAccess(const char* serviceName, OpenedService& opened) {
    opened.Manager.reset(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    if (!opened.Manager) return false;
    opened.Service.reset(OpenServiceA(opened.Manager.get(), serviceName, SERVICE_ALL_ACCESS));
    return opened.Service != nullptr;
}

// Leaves status as it was when the query fails.
bool QueryStatus(SC_HANDLE service, SERVICE_STATUS_PROCESS& status) {
    SERVICE_STATUS_PROCESS fresh{};
    DWORD needed = 0;
    if (!QueryServiceStatusEx(service, SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&fresh), sizeof fresh,
                              &needed))
        return false;
    status = fresh;
    return true;
}

DWORD PendingPollInterval(DWORD waitHint) {
    return std::clamp<DWORD>(waitHint / 10, MinPollIntervalMs, MaxPollIntervalMs);
}

// Unsigned difference: correct across the tick counter's wrap.
DWORD MsSince(DWORD start) { return ServicePlatform.GetTickCount() - start; }

// Whole path, quoted when it contains a space so that no other program can be run
// in the service's place. A path that filled the buffer may have been cut; it is
// left unregistered rather than registered wrong.
void FillModulePath() {
    char path[CommandBufferSize] = {};
    DWORD length = GetModuleFileNameA(nullptr, path, CommandBufferSize - 1);
    path[length] = '\0';
    if (length <= 4 || length >= CommandBufferSize - 1 || path[length - 4] != '.') return;

    const std::string_view whole(path, length);
    const bool quote = whole.find(' ') != std::string_view::npos;
    if (whole.size() + (quote ? 2 : 0) >= CommandBufferSize) return;
    char* out = ModulePath;
    if (quote) *out++ = '"';
    out = std::copy(whole.begin(), whole.end(), out);
    if (quote) *out++ = '"';
    *out = '\0';
}

bool IsCommand(const char* word) { return _stricmp(CommandWord, word) == 0; }

// Says so where the command was given, the only report the install command makes.
void PrintError(const char* text) {
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_ERROR_HANDLE), text, lstrlenA(text), &written, nullptr);
}

}  // namespace

int RunServiceCommand() {
    FillModulePath();
    if (IsCommand("install")) {
        if (RunsUnderWow64()) {
            PrintError(Wow64InstallRefusal);
            return InstallRefusedExitCode;
        }
        // Without a usable path nothing is created, but a registered service still starts.
        InstallRadioService(ModulePath, RadioServiceName);
        StartRadioService(RadioServiceName);
        return 0;
    }
    if (IsCommand("stop")) {
        StopRadioService(RadioServiceName);
        return 0;
    }
    if (IsCommand("remove")) {
        RemoveRadioService(RadioServiceName);
        return 0;
    }
    if (IsCommand("start")) StartRadioService(RadioServiceName);
    // Started from a console this fails at once and the program ends.
    RunAsService();
    return 0;
}

bool IsServiceInstalled(const char* serviceName) {
    OpenedService opened;
    return OpenWithFullAccess(serviceName, opened);
}

void InstallRadioService(const char* binaryPath, const char* serviceName) {
    if (binaryPath[0] == '\0') return;
    // A registered service keeps its configuration, and the radio was prepared when it was created.
    if (IsServiceInstalled(serviceName)) return;
    if (IsVendorRadioPresent()) EnableRadioRemoteWake();

    ServiceHandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CREATE_SERVICE));
    if (!manager) return;
    ServiceHandle service(CreateServiceA(manager.get(), serviceName, serviceName, SERVICE_ALL_ACCESS,
                                         SERVICE_WIN32_OWN_PROCESS, SERVICE_AUTO_START, SERVICE_ERROR_NORMAL,
                                         binaryPath, nullptr, nullptr, nullptr, nullptr, nullptr));
}

void RemoveRadioService(const char* serviceName) {
    if (!IsServiceInstalled(serviceName)) return;
    OpenedService opened;
    if (!OpenWithFullAccess(serviceName, opened)) return;
    DeleteService(opened.Service.get());
}

bool StopRadioService(const char* serviceName) {
    const DWORD start = ServicePlatform.GetTickCount();
    OpenedService opened;
    if (!OpenWithFullAccess(serviceName, opened)) return false;
    SC_HANDLE service = opened.Service.get();

    SERVICE_STATUS_PROCESS status{};
    if (!QueryStatus(service, status)) return false;
    if (status.dwCurrentState == SERVICE_STOPPED) return true;

    // A stop already under way: wait for it instead of sending another.
    while (status.dwCurrentState == SERVICE_STOP_PENDING) {
        ServicePlatform.Sleep(PendingPollInterval(status.dwWaitHint));
        if (!QueryStatus(service, status)) return false;
        if (status.dwCurrentState == SERVICE_STOPPED) return true;
        if (MsSince(start) > StopCommandLimitMs) return false;
    }

    // The first seven fields of the process record are the control's status record.
    if (!ControlService(service, SERVICE_CONTROL_STOP, reinterpret_cast<SERVICE_STATUS*>(&status)))
        return status.dwCurrentState == SERVICE_STOPPED;
    while (status.dwCurrentState != SERVICE_STOPPED) {
        // The raw wait hint, which is 0 in this service's own stop-pending report: never spin.
        ServicePlatform.Sleep(std::max(status.dwWaitHint, MinStopPollMs));
        if (!QueryStatus(service, status)) return false;
        if (status.dwCurrentState == SERVICE_STOPPED) return true;
        if (MsSince(start) > StopCommandLimitMs) return false;
    }
    return true;
}

bool StartRadioService(const char* serviceName) {
    OpenedService opened;
    if (!OpenWithFullAccess(serviceName, opened)) return false;
    SC_HANDLE service = opened.Service.get();

    SERVICE_STATUS_PROCESS status{};
    if (!QueryStatus(service, status)) return false;
    if (status.dwCurrentState != SERVICE_STOPPED && status.dwCurrentState != SERVICE_STOP_PENDING) return true;

    DWORD notedTime = ServicePlatform.GetTickCount();
    DWORD notedCheckPoint = status.dwCheckPoint;
    while (status.dwCurrentState == SERVICE_STOP_PENDING) {
        ServicePlatform.Sleep(PendingPollInterval(status.dwWaitHint));
        if (!QueryStatus(service, status)) return false;
        // A stop that has ended carries no checkpoint; only a stop still pending can be overdue.
        if (status.dwCurrentState != SERVICE_STOP_PENDING) break;
        if (status.dwCheckPoint > notedCheckPoint) {
            notedTime = ServicePlatform.GetTickCount();
            notedCheckPoint = status.dwCheckPoint;
        } else if (MsSince(notedTime) > status.dwWaitHint) {
            return false;
        }
    }

    if (!StartServiceA(service, 0, nullptr)) return false;
    if (!QueryStatus(service, status)) return false;
    notedTime = ServicePlatform.GetTickCount();
    notedCheckPoint = status.dwCheckPoint;
    while (status.dwCurrentState == SERVICE_START_PENDING) {
        ServicePlatform.Sleep(PendingPollInterval(status.dwWaitHint));
        if (!QueryStatus(service, status)) break;
        if (status.dwCheckPoint > notedCheckPoint) {
            notedTime = ServicePlatform.GetTickCount();
            notedCheckPoint = status.dwCheckPoint;
        } else if (MsSince(notedTime) > status.dwWaitHint) {
            break;
        }
    }
    return status.dwCurrentState == SERVICE_RUNNING;
}
