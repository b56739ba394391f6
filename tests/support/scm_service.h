// A service registered with the test prefix's real Service Control Manager for one
// test: created on demand start, stopped and deleted when the object goes.
#pragma once

#include <windows.h>

#include <string>

class TestService {
public:
    TestService(const char* name, const std::string& binaryPath);
    ~TestService();
    TestService(const TestService&) = delete;
    TestService& operator=(const TestService&) = delete;

    bool Registered() const { return service_ != nullptr; }
    // StartServiceA with no arguments; the last error when it fails.
    DWORD Start();
    // ControlService; the status the SCM returned with it, and its result.
    DWORD Control(DWORD control, SERVICE_STATUS* status = nullptr);
    SERVICE_STATUS_PROCESS Query() const;
    // Polls until the state is reached or the time is up; the last status seen.
    SERVICE_STATUS_PROCESS WaitForState(DWORD state, DWORD timeoutMs) const;
    // Waits for the service's process to end (after it reported stopped); its exit code,
    // or STILL_ACTIVE when it did not end within the time.
    DWORD WaitForProcessExit(DWORD timeoutMs);

private:
    std::string name_;
    SC_HANDLE manager_ = nullptr;
    SC_HANDLE service_ = nullptr;
    HANDLE process_ = nullptr;
};

// Outside the SCM, StartServiceCtrlDispatcherA under Wine fails only after waiting
// 10 s for the control pipe that ServiceCurrent names, unless that pipe cannot exist.
// The value lives in a volatile key, so each session of a prefix must set it again.
void PointServiceCurrentAtNoPipe();

// The shipped service program beside the test program.
std::string ServiceProgramPath();

