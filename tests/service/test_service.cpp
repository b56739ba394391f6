#include "test_service.h"

#include <gtest/gtest.h>

#include <vector>

#include "scm_test_service.h"
#include "test_paths.h"

namespace {

struct ScmHandle {
    SC_HANDLE Handle = nullptr;
    ~ScmHandle() { if (Handle) CloseServiceHandle(Handle); }
};

void OpenTestService(const char* name, ScmHandle& manager, ScmHandle& service) {
    manager.Handle = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    ASSERT_NE(manager.Handle, nullptr) << GetLastError();
    service.Handle = OpenServiceA(manager.Handle, name, SERVICE_ALL_ACCESS);
    ASSERT_NE(service.Handle, nullptr) << name << ": " << GetLastError();
}

}  // namespace

std::string TestServiceCommandLine(const char* name, int startSteps, int stopSteps, DWORD waitHint) {
    std::string line = "\"";
    line += BinaryDirectory();
    line += "scm_test_service.exe\" \"";
    line += name;
    line += "\" " + std::to_string(startSteps) + " " + std::to_string(stopSteps) + " " + std::to_string(waitHint);
    return line;
}

SERVICE_STATUS_PROCESS QueryTestService(const char* name) {
    SERVICE_STATUS_PROCESS status{};
    ScmHandle manager, service;
    OpenTestService(name, manager, service);
    DWORD needed = 0;
    EXPECT_TRUE(QueryServiceStatusEx(service.Handle, SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&status),
                                     sizeof status, &needed))
        << GetLastError();
    return status;
}

bool ServiceExists(const char* name) {
    ScmHandle manager, service;
    manager.Handle = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
    if (!manager.Handle) return false;
    service.Handle = OpenServiceA(manager.Handle, name, SERVICE_QUERY_STATUS);
    return service.Handle != nullptr;
}

void RemoveServiceCompletely(const char* name) {
    {
        ScmHandle manager, service;
        manager.Handle = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
        service.Handle = manager.Handle ? OpenServiceA(manager.Handle, name, SERVICE_ALL_ACCESS) : nullptr;
        if (!service.Handle) return;
        SERVICE_STATUS_PROCESS status{};
        DWORD needed = 0;
        if (QueryServiceStatusEx(service.Handle, SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&status),
                                 sizeof status, &needed) &&
            status.dwProcessId != 0) {
            HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, status.dwProcessId);
            if (process) {
                TerminateProcess(process, 0);
                WaitForSingleObject(process, 10000);
                CloseHandle(process);
            }
        }
        DeleteService(service.Handle);
    }
    for (int i = 0; i < 200 && ServiceExists(name); ++i) Sleep(50);
    EXPECT_FALSE(ServiceExists(name)) << name << " is still registered";
}

ServiceConfig ReadConfig(const char* name) {
    ServiceConfig config{};
    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
    SC_HANDLE service = manager ? OpenServiceA(manager, name, SERVICE_QUERY_CONFIG) : nullptr;
    EXPECT_NE(service, nullptr) << name;
    std::vector<BYTE> buffer(8192);
    DWORD needed = 0;
    auto* raw = reinterpret_cast<QUERY_SERVICE_CONFIGA*>(buffer.data());
    if (service && QueryServiceConfigA(service, raw, buffer.size(), &needed)) {
        auto text = [](const char* s) { return std::string(s ? s : "(null)"); };
        config = {raw->dwServiceType, raw->dwStartType, raw->dwErrorControl, raw->dwTagId,
                  text(raw->lpBinaryPathName), text(raw->lpLoadOrderGroup), text(raw->lpDependencies),
                  text(raw->lpServiceStartName), text(raw->lpDisplayName)};
    } else {
        ADD_FAILURE() << "QueryServiceConfigA: " << GetLastError();
    }
    if (service) CloseServiceHandle(service);
    if (manager) CloseServiceHandle(manager);
    return config;
}

void SetDemandStart(const char* name) {
    ScmHandle manager, service;
    OpenTestService(name, manager, service);
    EXPECT_TRUE(ChangeServiceConfigA(service.Handle, SERVICE_NO_CHANGE, SERVICE_DEMAND_START, SERVICE_NO_CHANGE,
                                     nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr))
        << GetLastError();
}

ScopedTestService::ScopedTestService(const char* name, int startSteps, int stopSteps, DWORD waitHint)
    : Name(name),
      StepEvent(CreateEventA(nullptr, FALSE, FALSE, TestServiceStepEventName)),
      StepDoneEvent(CreateEventA(nullptr, FALSE, FALSE, TestServiceStepDoneEventName)) {
    RemoveServiceCompletely(name);
    ScmHandle manager, service;
    manager.Handle = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    EXPECT_NE(manager.Handle, nullptr);
    std::string command = TestServiceCommandLine(name, startSteps, stopSteps, waitHint);
    service.Handle = CreateServiceA(manager.Handle, name, name, SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS,
                                    SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL, command.c_str(), nullptr, nullptr,
                                    nullptr, nullptr, nullptr);
    EXPECT_NE(service.Handle, nullptr) << "creating " << name << ": " << GetLastError();
}

ScopedTestService::~ScopedTestService() {
    RemoveServiceCompletely(Name.c_str());
    CloseHandle(StepEvent);
    CloseHandle(StepDoneEvent);
}

void ScopedTestService::Start() {
    ScmHandle manager, service;
    OpenTestService(Name.c_str(), manager, service);
    ASSERT_TRUE(StartServiceA(service.Handle, 0, nullptr)) << GetLastError();
}

void ScopedTestService::SendStop() {
    ScmHandle manager, service;
    OpenTestService(Name.c_str(), manager, service);
    SERVICE_STATUS status{};
    ASSERT_TRUE(ControlService(service.Handle, SERVICE_CONTROL_STOP, &status)) << GetLastError();
}

void ScopedTestService::Step() {
    SetEvent(StepEvent);
    ASSERT_EQ(WaitForSingleObject(StepDoneEvent, 10000), WAIT_OBJECT_0) << "the test service took no step";
}
