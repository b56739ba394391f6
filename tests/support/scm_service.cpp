#include "scm_service.h"

#include <gtest/gtest.h>

#include "test_paths.h"

void PointServiceCurrentAtNoPipe() {
    // Wine's services.exe writes the value when it starts, which in a fresh prefix under
    // load can come after this write: opening the SCM waits until it runs.
    if (SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT)) CloseServiceHandle(manager);
    DWORD unused = 999;
    LSTATUS status = RegSetKeyValueA(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control\\ServiceCurrent", nullptr,
                                     REG_DWORD, &unused, sizeof unused);
    EXPECT_EQ(status, ERROR_SUCCESS);
}

std::string ServiceProgramPath() { return BinaryDirectory() + "radioswitchsvc" RADIOSWITCH_IMAGE_SUFFIX ".exe"; }

TestService::TestService(const char* name, const std::string& binaryPath) : name_(name) {
    manager_ = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    EXPECT_NE(manager_, nullptr) << GetLastError();
    if (!manager_) return;
    service_ = CreateServiceA(manager_, name, name, SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS,
                              SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL, binaryPath.c_str(), nullptr, nullptr,
                              nullptr, nullptr, nullptr);
    EXPECT_NE(service_, nullptr) << "CreateServiceA: " << GetLastError();
}

TestService::~TestService() {
    if (service_) {
        SERVICE_STATUS status;
        if (Query().dwCurrentState != SERVICE_STOPPED) ControlService(service_, SERVICE_CONTROL_STOP, &status);
        WaitForState(SERVICE_STOPPED, 30000);
        WaitForProcessExit(10000);
        DeleteService(service_);
        CloseServiceHandle(service_);
        // The SCM removes the entry once nothing holds it; the next test may reuse the name.
        DWORD start = GetTickCount();
        while (SC_HANDLE still = OpenServiceA(manager_, name_.c_str(), SERVICE_QUERY_STATUS)) {
            CloseServiceHandle(still);
            if (GetTickCount() - start > 10000) {
                ADD_FAILURE() << "the service was not removed";
                break;
            }
            Sleep(20);
        }
    }
    if (manager_) CloseServiceHandle(manager_);
    if (process_) CloseHandle(process_);
}

DWORD TestService::Start() {
    if (!StartServiceA(service_, 0, nullptr)) return GetLastError();
    // Hold the process so that its exit code can be read after it has ended; a restart
    // lets go of the one before.
    if (process_) CloseHandle(process_);
    process_ = nullptr;
    DWORD pid = Query().dwProcessId;
    if (pid) process_ = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    return NO_ERROR;
}

DWORD TestService::Control(DWORD control, SERVICE_STATUS* status) {
    SERVICE_STATUS ignored;
    return ControlService(service_, control, status ? status : &ignored) ? NO_ERROR : GetLastError();
}

SERVICE_STATUS_PROCESS TestService::Query() const {
    SERVICE_STATUS_PROCESS status{};
    DWORD needed = 0;
    EXPECT_TRUE(QueryServiceStatusEx(service_, SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&status),
                                     sizeof status, &needed))
        << GetLastError();
    return status;
}

SERVICE_STATUS_PROCESS TestService::WaitForState(DWORD state, DWORD timeoutMs) const {
    DWORD start = GetTickCount();
    SERVICE_STATUS_PROCESS status = Query();
    while (status.dwCurrentState != state && GetTickCount() - start < timeoutMs) {
        Sleep(20);
        status = Query();
    }
    return status;
}

DWORD TestService::WaitForProcessExit(DWORD timeoutMs) {
    if (!process_) return STILL_ACTIVE;
    if (WaitForSingleObject(process_, timeoutMs) != WAIT_OBJECT_0) return STILL_ACTIVE;
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(process_, &code);
    return code;
}

