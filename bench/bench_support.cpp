#include "bench_support.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>

#include "radio_contract.h"
#include "service_runtime.h"

double NowMs() {
    static const LONGLONG frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f.QuadPart;
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) * 1000.0 / static_cast<double>(frequency);
}

double Median(std::vector<double> values) {
    if (values.empty()) return 0.0;
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2.0;
}

void PrintRow(const std::string& label, const std::string& target, const std::string& result) {
    std::printf("ROW\t%s\t%s\t%s\n", label.c_str(), target.c_str(), result.c_str());
    std::fflush(stdout);
}

std::string Format(const char* format, ...) {
    char text[512];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(text, sizeof text, format, arguments);
    va_end(arguments);
    return text;
}

void Fail(const char* what, DWORD code) {
    std::printf("FAILED: %s (%lu)\n", what, static_cast<unsigned long>(code));
    std::fflush(stdout);
    std::exit(1);
}

std::string BinaryDirectory() {
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string directory(path, length);
    return directory.substr(0, directory.find_last_of("\\/") + 1);
}

std::string LibraryPath() { return BinaryDirectory() + "radioswitch" RADIOSWITCH_IMAGE_SUFFIX ".dll"; }
std::string ServicePath() { return BinaryDirectory() + "radioswitchsvc" RADIOSWITCH_IMAGE_SUFFIX ".exe"; }
std::string SimulatedServicePath() { return BinaryDirectory() + "radioswitchsvcsim" RADIOSWITCH_IMAGE_SUFFIX ".exe"; }

void PrepareRadioSupportKey(DWORD state) {
    HKEY key;
    LSTATUS status = RegCreateKeyExA(HKEY_LOCAL_MACHINE, RadioSupportKeyPath, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                     &key, nullptr);
    if (status != ERROR_SUCCESS) Fail("creating the Radio Support key", status);
    status = RegSetValueExA(key, RadioStateValueName, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&state), sizeof state);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS) Fail("setting ZentRadioState", status);
}

bool WaitForRadioPipe(DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    while (!WaitNamedPipeA("\\\\.\\pipe\\ZkBtRcIf", 100)) {
        if (GetTickCount() - start > timeoutMs) return false;
        Sleep(20);
    }
    return true;
}

BenchService::BenchService(const std::string& binaryPath) {
    manager_ = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    if (!manager_) Fail("OpenSCManagerA", GetLastError());
    service_ = CreateServiceA(manager_, RadioServiceName, RadioServiceName, SERVICE_ALL_ACCESS,
                              SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL,
                              ("\"" + binaryPath + "\"").c_str(), nullptr, nullptr, nullptr, nullptr, nullptr);
    if (!service_) Fail("CreateServiceA", GetLastError());
}

BenchService::~BenchService() {
    SERVICE_STATUS status;
    if (Query().dwCurrentState != SERVICE_STOPPED) ControlService(service_, SERVICE_CONTROL_STOP, &status);
    const DWORD start = GetTickCount();
    while (Query().dwCurrentState != SERVICE_STOPPED && GetTickCount() - start < 30000) Sleep(20);
    DeleteService(service_);
    CloseServiceHandle(service_);
    CloseServiceHandle(manager_);
}

SERVICE_STATUS_PROCESS BenchService::Query() const {
    SERVICE_STATUS_PROCESS status{};
    DWORD needed = 0;
    if (!QueryServiceStatusEx(service_, SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&status), sizeof status,
                              &needed))
        Fail("QueryServiceStatusEx", GetLastError());
    return status;
}

void BenchService::StartServing() {
    if (!StartServiceA(service_, 0, nullptr)) Fail("StartServiceA", GetLastError());
    if (!WaitForRadioPipe(10000)) Fail("the service's pipe did not appear", 0);
}

void BenchService::Control(DWORD control, DWORD expectedState) {
    SERVICE_STATUS status;
    if (!ControlService(service_, control, &status)) Fail("ControlService", GetLastError());
    const DWORD start = GetTickCount();
    while (Query().dwCurrentState != expectedState) {
        if (GetTickCount() - start > 10000) Fail("the service did not reach the state", expectedState);
        Sleep(10);
    }
}

DWORD BenchService::ProcessId() const { return Query().dwProcessId; }
